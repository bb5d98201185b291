// Still frames: a tick whose frame the planes already hold skips the pixels and
// leaves exactly what computing the frame would have left. Each case runs an
// engine as the program does beside one that forgets its last frame before every
// tick, so that it computes them all, and compares the two after every tick.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "engine/algorithms.h"
#include "engine/engine.h"
#include "engine/frame_pool.h"
#include "support/engine_test_support.h"

namespace glimmerweave {
namespace {

using testing::stillEngine;

constexpr std::size_t kExtendedBytes = std::numeric_limits<long double>::digits == 64 ? 10 : 16;

bool sameExtended(long double a, long double b) {
  return std::memcmp(&a, &b, kExtendedBytes) == 0;
}

template <std::size_t N>
bool sameDoubles(const double (&a)[N], const double (&b)[N]) {
  return std::memcmp(a, b, sizeof a) == 0;
}

// Everything of two engines that a tick can change, compared bit for bit.
::testing::AssertionResult sameEngines(const Fractals& a, const Fractals& b) {
  const EngineState& x = a.state;
  const EngineState& y = b.state;
  if (!sameExtended(x.PhaseA, y.PhaseA) || !sameExtended(x.PhaseB, y.PhaseB))
    return ::testing::AssertionFailure() << "the phases differ";
  if (!sameExtended(x.StepA, y.StepA) || !sameExtended(x.StepB, y.StepB))
    return ::testing::AssertionFailure() << "the steps differ";
  if (a.random.state() != b.random.state())
    return ::testing::AssertionFailure() << "the random generators differ";
  if (!sameDoubles(x.IterX, y.IterX) || !sameDoubles(x.IterY, y.IterY) ||
      !sameDoubles(x.IterZ, y.IterZ))
    return ::testing::AssertionFailure()
           << "the iteration arrays differ (Z[0] " << x.IterZ[0] << " and " << y.IterZ[0] << ")";
  if (std::memcmp(&a.planes, &b.planes, sizeof a.planes) != 0)
    return ::testing::AssertionFailure() << "the planes differ";
  return ::testing::AssertionSuccess();
}

// Two engines in the same state ticking together.
class Lockstep {
 public:
  Lockstep(int algorithm, int width, int height, long double phaseA, long double phaseB,
           MathBackend backend)
      : skipping_(stillEngine(algorithm, width, height, phaseA, phaseB)),
        computing_(stillEngine(algorithm, width, height, phaseA, phaseB)),
        backend_(backend) {
    skipping_->random.seed(7);
    computing_->random.seed(7);
  }

  // Changes both engines alike.
  void change(const std::function<void(Fractals&)>& what) {
    what(*skipping_);
    what(*computing_);
  }

  void useBackend(MathBackend backend) { backend_ = backend; }

  // One tick of both; fails unless they report and leave the same.
  ::testing::AssertionResult tick() {
    computing_->lastFrame.valid = false;
    const FrameOutcome skipped = ComputeFrame(*skipping_, backend_);
    const FrameOutcome computed = ComputeFrame(*computing_, backend_);
    last_ = computed;
    if (skipped.error != computed.error || skipped.row != computed.row ||
        skipped.column != computed.column)
      return ::testing::AssertionFailure()
             << "the outcome is \"" << skipped.message() << "\" at " << skipped.row << ", "
             << skipped.column << " instead of \"" << computed.message() << "\" at " << computed.row
             << ", " << computed.column;
    return sameEngines(*skipping_, *computing_);
  }

  ::testing::AssertionResult ticks(int count) {
    for (int i = 0; i < count; ++i)
      if (auto result = tick(); !result) return result << " after tick " << i + 1;
    return ::testing::AssertionSuccess();
  }

  // How many ticks of the engine as the program runs it skipped their pixels.
  std::uint64_t skipped() const { return skipping_->lastFrame.skipped; }
  const FrameOutcome& lastOutcome() const { return last_; }
  const Fractals& engine() const { return *skipping_; }

 private:
  std::unique_ptr<Fractals> skipping_, computing_;
  MathBackend backend_;
  FrameOutcome last_;
};

class StillFrame : public ::testing::TestWithParam<MathBackend> {};

TEST_P(StillFrame, AtSpeedZeroEveryAlgorithmSkipsAllButTheFirstFrame) {
  // -1 and 35 are numbers no algorithm has: their frames are black.
  for (int algorithm = -1; algorithm <= kAlgorithmCount; ++algorithm) {
    SCOPED_TRACE("algorithm " + std::to_string(algorithm));
    Lockstep engines(algorithm, 31, 23, 1.0L, 2.0L, GetParam());
    engines.change([](Fractals& f) { f.state.IterZ[0] = 0.75; });
    ASSERT_TRUE(engines.ticks(10));
    EXPECT_EQ(engines.skipped(), 9u);
  }
}

TEST_P(StillFrame, APhaseAtOrBeyondABoundDrawsAStepEveryTickWhileTheFrameStaysStill) {
  for (const auto& [phaseA, phaseB] : {std::pair{kTwoPi, 0.0L}, std::pair{7.5L, -0.25L}}) {
    SCOPED_TRACE("phases " + std::to_string(double(phaseA)) + ", " +
                 std::to_string(double(phaseB)));
    Lockstep engines(15, 40, 30, phaseA, phaseB, GetParam());
    std::uint32_t drawnBefore = engines.engine().random.state();
    for (int tick = 0; tick < 5; ++tick) {
      ASSERT_TRUE(engines.tick()) << "tick " << tick + 1;
      EXPECT_NE(engines.engine().random.state(), drawnBefore) << "no step drawn";
      drawnBefore = engines.engine().random.state();
    }
    EXPECT_EQ(engines.skipped(), 4u);
  }
}

TEST_P(StillFrame, Algorithm33SkipsWhileThePhasesMoveAndAnotherAlgorithmDoesNot) {
  const auto moveThePhases = [](Fractals& f) {
    f.settings.Speed = 5;
    f.state.StepA = 0.05L;
    f.state.StepB = -0.07L;
  };
  Lockstep still(33, 50, 40, 1.0L, 2.0L, GetParam());
  still.change(moveThePhases);
  ASSERT_TRUE(still.ticks(6));
  EXPECT_EQ(still.skipped(), 5u);

  Lockstep moving(15, 50, 40, 1.0L, 2.0L, GetParam());
  moving.change(moveThePhases);
  ASSERT_TRUE(moving.ticks(6));
  EXPECT_EQ(moving.skipped(), 0u);
}

TEST_P(StillFrame, AChangeOfAnyOneInputComputesTheFrame) {
  FramePool pool(2);
  struct Change {
    const char* what;
    int algorithm;
    std::function<void(Fractals&)> apply;
  };
  const std::vector<Change> changes{
      {"the algorithm (34 computes what 18 computes)", 18,
       [](Fractals& f) { f.settings.Algorithm = 34; }},
      {"the width", 15, [](Fractals& f) { --f.FrameWidth; }},
      {"the height", 15, [](Fractals& f) { ++f.FrameHeight; }},
      {"the brightness", 15, [](Fractals& f) { f.EngineBrightness = 99; }},
      {"phase A by one bit", 15,
       [](Fractals& f) { f.state.PhaseA = std::nextafter(f.state.PhaseA, 10.0L); }},
      {"phase B by one bit", 15,
       [](Fractals& f) { f.state.PhaseB = std::nextafter(f.state.PhaseB, 0.0L); }},
      {"Z[0] of an algorithm that reads it", 12, [](Fractals& f) { f.state.IterZ[0] = 0.5; }},
      {"a cell of the frame", 15, [](Fractals& f) { f.planes.green[ColorPlanes::index(3, 4)]++; }},
      {"the last cell of the frame", 15,
       [](Fractals& f) { f.planes.blue[ColorPlanes::index(29, 39)] = -1; }},
      {"the pool", 15, [&](Fractals& f) { f.pool = &pool; }},
  };
  for (const Change& change : changes) {
    SCOPED_TRACE(change.what);
    Lockstep engines(change.algorithm, 40, 30, 1.0L, 2.0L, GetParam());
    ASSERT_TRUE(engines.ticks(2));
    ASSERT_EQ(engines.skipped(), 1u);
    engines.change(change.apply);
    ASSERT_TRUE(engines.tick());
    EXPECT_EQ(engines.skipped(), 1u) << "the changed frame was not computed";
    ASSERT_TRUE(engines.tick());
    EXPECT_EQ(engines.skipped(), 2u) << "the frame after it was computed again";
  }

  SCOPED_TRACE("the math backend");
  Lockstep engines(15, 40, 30, 1.0L, 2.0L, GetParam());
  ASSERT_TRUE(engines.ticks(2));
  engines.useBackend(GetParam() == MathBackend::Native ? MathBackend::Portable
                                                       : MathBackend::Native);
  ASSERT_TRUE(engines.tick());
  EXPECT_EQ(engines.skipped(), 1u);
}

TEST_P(StillFrame, WhatAnAlgorithmDoesNotReadCanChangeWithoutComputingTheFrame) {
  struct Case {
    const char* what;
    int algorithm;
    std::function<void(Fractals&)> apply;
  };
  const std::vector<Case> cases{
      {"Z[0], which algorithm 5 does not read", 5, [](Fractals& f) { f.state.IterZ[0] = 9.0; }},
      {"Z[0], which algorithm 17 writes first", 17, [](Fractals& f) { f.state.IterZ[0] = 9.0; }},
      {"X[0] and Y[0], which algorithm 33 neither reads nor writes", 33,
       [](Fractals& f) { f.state.IterX[0] = f.state.IterY[0] = -4.0; }},
      {"a cell outside the frame", 15,
       [](Fractals& f) { f.planes.red[ColorPlanes::index(30, 0)] = 1234; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Lockstep engines(c.algorithm, 40, 30, 1.0L, 2.0L, GetParam());
    ASSERT_TRUE(engines.ticks(2));
    engines.change(c.apply);
    ASSERT_TRUE(engines.ticks(2));
    EXPECT_EQ(engines.skipped(), 3u);
  }
}

TEST_P(StillFrame, Z0ChainsBetweenAlgorithmsAsWhenEveryFrameIsComputed) {
  // Writers (17, 19), readers (15, 12, 0, 23, 2) and algorithms that ignore Z[0]
  // (5, 33), each for a few still ticks.
  Lockstep engines(17, 36, 27, 1.0L, 2.0L, GetParam());
  engines.change([](Fractals& f) { f.state.IterZ[0] = 0.5; });
  for (int algorithm : {17, 15, 5, 15, 17, 12, 33, 0, 19, 23, 2, 17}) {
    SCOPED_TRACE("algorithm " + std::to_string(algorithm));
    engines.change([&](Fractals& f) { f.settings.Algorithm = algorithm; });
    ASSERT_TRUE(engines.ticks(3));
  }
  EXPECT_EQ(engines.skipped(), 12u * 2);
}

TEST_P(StillFrame, AFrameThatEndsInAnErrorIsReportedAgainWithTheSameCells) {
  // Algorithm 9 at A = 0 takes ln 0 at the centre pixel; the cells after it keep
  // what they held.
  Lockstep engines(9, 80, 60, 0.0L, 2.0L, GetParam());
  engines.change([](Fractals& f) {
    for (auto* plane : {f.planes.red, f.planes.green, f.planes.blue})
      std::fill(plane, plane + ColorPlanes::kCells, 300);
  });
  for (int tick = 0; tick < 3; ++tick) {
    ASSERT_TRUE(engines.tick()) << "tick " << tick + 1;
    EXPECT_EQ(engines.lastOutcome().error, ArithmeticError::DivisionByZero);
    EXPECT_EQ(engines.lastOutcome().row, 30);
    EXPECT_EQ(engines.lastOutcome().column, 40);
  }
  EXPECT_EQ(engines.skipped(), 2u);
  EXPECT_EQ(testing::cellAt(engines.engine(), 59, 79), (testing::Cell{300, 300, 300}));
}

INSTANTIATE_TEST_SUITE_P(Backends, StillFrame,
                         ::testing::Values(MathBackend::Native, MathBackend::Portable),
                         [](const auto& backend) {
                           return backend.param == MathBackend::Native ? "Native" : "Portable";
                         });

// ---------------------------------------------------------------------------
// What each algorithm declares it reads and writes, against what its frames show

template <class M, class Algorithm>
struct DeclaredDependencies {
  static constexpr PixelDependencies value = Algorithm::kDependencies;
};

// A frame of `algorithm` from iteration slots that all hold values no pixel
// stores, after `prepare` set the engine up.
std::unique_ptr<Fractals> frameFrom(int algorithm, const std::function<void(Fractals&)>& prepare) {
  auto fractals = stillEngine(algorithm, 9, 7);
  for (int k = 0; k < 4; ++k) {
    fractals->state.IterX[k] = 1000.25 + k;
    fractals->state.IterY[k] = 2000.25 + k;
    fractals->state.IterZ[k] = 3000.25 + k;
  }
  prepare(*fractals);
  EXPECT_TRUE(ComputeFrame(*fractals).ok());
  return fractals;
}

TEST(PixelDependencies, EveryAlgorithmReadsAndWritesWhatItDeclares) {
  for (int algorithm = 0; algorithm <= kAlgorithmCount; ++algorithm) {
    SCOPED_TRACE("algorithm " + std::to_string(algorithm));
    const PixelDependencies declared = algorithmEntry<NativeMath, DeclaredDependencies>(algorithm);
    const auto base = frameFrom(algorithm, [](Fractals&) {});
    const EngineState& state = base->state;
    EXPECT_EQ(state.IterX[0] != 1000.25, declared.writesStart);
    EXPECT_EQ(state.IterY[0] != 2000.25, declared.writesStart);
    EXPECT_EQ(state.IterZ[0] != 3000.25, declared.writesZ0);
    for (int k = 1; k < 4; ++k) {
      EXPECT_EQ(state.IterX[k] != 1000.25 + k, declared.writesSteps) << "X[" << k << "]";
      EXPECT_EQ(state.IterY[k] != 2000.25 + k, declared.writesSteps) << "Y[" << k << "]";
      EXPECT_EQ(state.IterZ[k] != 3000.25 + k, declared.writesSteps) << "Z[" << k << "]";
    }

    const auto otherZ0 = frameFrom(algorithm, [](Fractals& f) { f.state.IterZ[0] = 0.375; });
    EXPECT_EQ(std::memcmp(&base->planes, &otherZ0->planes, sizeof base->planes) != 0,
              declared.carriedZ)
        << "another Z[0] as the frame starts";
    const auto otherPhases = frameFrom(algorithm, [](Fractals& f) {
      f.state.PhaseA = 1.5L;
      f.state.PhaseB = 2.5L;
    });
    EXPECT_EQ(std::memcmp(&base->planes, &otherPhases->planes, sizeof base->planes) != 0,
              declared.phases)
        << "other phases";
  }
}

}  // namespace
}  // namespace glimmerweave
