// Frames computed by a pool of threads are bit for bit the frames of one
// thread in raster order, whatever the number of threads.
#include "engine/frame_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "engine/engine.h"
#include "support/engine_test_support.h"

namespace glimmerweave {
namespace {

using testing::frameCells;

// An engine in a known state, with the planes full of a value no frame writes.
std::unique_ptr<Fractals> engineFor(int width, int height) {
  auto fractals = std::make_unique<Fractals>();
  fractals->settings.Speed = 5;
  fractals->EngineBrightness = 100;
  fractals->FrameWidth = width;
  fractals->FrameHeight = height;
  fractals->random.seed(4242);
  StartAnimation(*fractals);
  for (auto* plane : {fractals->planes.red, fractals->planes.green, fractals->planes.blue})
    std::fill(plane, plane + ColorPlanes::kCells, 999);
  return fractals;
}

void expectSameState(const Fractals& a, const Fractals& b, const std::string& where) {
  ASSERT_EQ(frameCells(a), frameCells(b)) << where;
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(a.state.IterX[i], b.state.IterX[i]) << where << ", X[" << i << "]";
    ASSERT_EQ(a.state.IterY[i], b.state.IterY[i]) << where << ", Y[" << i << "]";
    ASSERT_EQ(a.state.IterZ[i], b.state.IterZ[i]) << where << ", Z[" << i << "]";
  }
  ASSERT_EQ(a.state.PhaseA, b.state.PhaseA) << where;
  ASSERT_EQ(a.random.state(), b.random.state()) << where;
}

TEST(FramePool, EveryAlgorithmMatchesOneThread) {
  for (unsigned threads : {2u, 3u, 8u}) {
    FramePool pool(threads);
    for (int algorithm = 0; algorithm < 35; ++algorithm) {
      auto single = engineFor(37, 23);
      auto shared = engineFor(37, 23);
      shared->pool = &pool;
      single->settings.Algorithm = shared->settings.Algorithm = algorithm;
      for (int tick = 0; tick < 2; ++tick) {
        const FrameOutcome a = ComputeFrame(*single);
        const FrameOutcome b = ComputeFrame(*shared);
        ASSERT_EQ(a.error, b.error);
        expectSameState(*single, *shared,
                        "algorithm " + std::to_string(algorithm) + ", " + std::to_string(threads) +
                            " threads, tick " + std::to_string(tick));
      }
    }
  }
}

TEST(FramePool, MoreThreadsThanRowsAndZ0CarriedBetweenAlgorithms) {
  FramePool pool(16);
  auto single = engineFor(29, 5);
  auto shared = engineFor(29, 5);
  shared->pool = &pool;
  // Writers of Z[0] followed by readers of it, and a black frame in between.
  for (int algorithm : {17, 0, 23, 29, 12, 35, 15, 31, 2, 21, 23, 33}) {
    single->settings.Algorithm = shared->settings.Algorithm = algorithm;
    ComputeFrame(*single);
    ComputeFrame(*shared);
    expectSameState(*single, *shared, "algorithm " + std::to_string(algorithm));
  }
}

TEST(FramePool, ArithmeticErrorStopsAtTheSamePixel) {
  for (unsigned threads : {2u, 4u, 60u}) {
    FramePool pool(threads);
    // Algorithm 9 with A = 0 takes the logarithm of 0 at the centre pixel.
    auto single = engineFor(80, 60);
    auto shared = engineFor(80, 60);
    shared->pool = &pool;
    for (Fractals* f : {single.get(), shared.get()}) {
      f->settings.Algorithm = 9;
      f->settings.Speed = 0;
      f->state.PhaseA = 0.0L;
    }
    const FrameOutcome a = ComputeFrame(*single);
    const FrameOutcome b = ComputeFrame(*shared);
    EXPECT_EQ(a.error, ArithmeticError::DivisionByZero);
    EXPECT_EQ(b.error, a.error);
    EXPECT_EQ(b.row, 30);
    EXPECT_EQ(b.column, 40);
    expectSameState(*single, *shared, std::to_string(threads) + " threads");
    EXPECT_EQ(shared->planes.red[ColorPlanes::index(45, 3)], 999)
        << "later cells keep their values";
  }
}

TEST(FramePool, FrameSizesDownToOneRow) {
  FramePool pool(3);
  for (auto [width, height] :
       {std::pair{1, 1}, std::pair{5, 1}, std::pair{1, 9}, std::pair{801, 2}}) {
    auto single = engineFor(width, height);
    auto shared = engineFor(width, height);
    shared->pool = &pool;
    single->settings.Algorithm = shared->settings.Algorithm = 22;
    ComputeFrame(*single);
    ComputeFrame(*shared);
    expectSameState(*single, *shared, std::to_string(width) + " x " + std::to_string(height));
  }
}

// A frame given up part-way, wherever that happens to be, undoes its tick: the
// frames that follow are those of a run that never began it.
TEST(FramePool, AnAbandonedFrameLeavesTheAnimationAsIfItsTickHadNotCome) {
  FramePool pool(3);
  for (FramePool* threads : {static_cast<FramePool*>(nullptr), &pool}) {
    const std::string where = threads ? "on the pool" : "on one thread";
    auto reference = engineFor(267, 200);
    auto subject = engineFor(267, 200);
    reference->settings.Algorithm = subject->settings.Algorithm = 21;
    reference->pool = subject->pool = threads;
    std::atomic<bool> abandon{true};
    subject->abandon = &abandon;
    EXPECT_TRUE(ComputeFrame(*subject).abandoned) << where;
    abandon = false;
    std::thread late([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      abandon = true;
    });
    const bool givenUp = ComputeFrame(*subject).abandoned;
    late.join();
    abandon = false;
    for (int frame = givenUp ? 0 : 1; frame < 2; ++frame) ComputeFrame(*subject);
    ComputeFrame(*reference);
    ComputeFrame(*reference);
    expectSameState(*reference, *subject, where);
  }
}

TEST(FramePool, EndingWaitsForAFrameInProgress) {
  auto pool = std::make_unique<FramePool>(3);
  std::atomic<bool> started{false}, finished{false};
  struct Context {
    std::atomic<bool>* started;
    std::atomic<bool>* finished;
  } context{&started, &finished};
  std::thread other([&] {
    pool->run(
        [](void* c, unsigned participant) {
          auto* ctx = static_cast<Context*>(c);
          if (participant != 0) return;
          ctx->started->store(true);
          std::this_thread::sleep_for(std::chrono::milliseconds(100));
          ctx->finished->store(true);
        },
        &context);
  });
  while (!started) std::this_thread::yield();
  pool.reset();  // must wait for the job on the other thread
  EXPECT_TRUE(finished);
  other.join();
}

}  // namespace
}  // namespace glimmerweave
