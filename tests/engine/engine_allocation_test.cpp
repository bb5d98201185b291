// ComputeFrame runs on every 40 ms tick and must not allocate. This program
// replaces the global allocation functions to count the calls made while a
// frame is computed; it is a program of its own so that the replacement
// touches no other test.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>

#include "engine/engine.h"
#include "engine/frame_pool.h"

// GCC cannot see that these replacements pair malloc with free on both sides.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

namespace {
std::atomic<bool> counting{false};
std::atomic<int> allocations{0};
}  // namespace

void* operator new(std::size_t size) {
  if (counting) ++allocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  return ::operator new(size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}

namespace glimmerweave {
namespace {

TEST(ComputeFrame, AllocatesNothing) {
  FramePool pool(3);
  auto fractals = std::make_unique<Fractals>();
  fractals->random.seed(5);
  fractals->settings.Speed = 5;
  fractals->EngineBrightness = 100;
  fractals->FrameWidth = 64;
  fractals->FrameHeight = 48;
  StartAnimation(*fractals);
  for (int algorithm = -1; algorithm <= 35; ++algorithm) {
    fractals->settings.Algorithm = algorithm;
    for (MathBackend backend : {MathBackend::Native, MathBackend::Portable}) {
      // Alternately on this thread alone and spread over the pool.
      fractals->pool = fractals->pool ? nullptr : &pool;
      allocations = 0;
      counting = true;
      const FrameOutcome outcome = ComputeFrame(*fractals, backend);
      counting = false;
      EXPECT_TRUE(outcome.ok());
      EXPECT_EQ(allocations, 0) << "algorithm " << algorithm;
    }
  }
  // The counter itself works (a direct call, which the compiler may not elide).
  counting = true;
  void* probe = ::operator new(16);
  counting = false;
  ::operator delete(probe);
  EXPECT_EQ(allocations, 1);
}

}  // namespace
}  // namespace glimmerweave
