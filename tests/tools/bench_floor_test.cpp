// The benchmark's floor: the calls each algorithm makes per pixel, and the operands
// the functions are timed on: the frame's own.
#include "bench_floor.h"

#include <gtest/gtest.h>

namespace glimmerweave {
namespace {

TEST(BenchFloor, CallsPerPixelAreTheFormulasCallsWithTheFrameTermsSharedOut) {
  // Algorithm 15: sin and cos of steps 2 and 3 and of each step's Z, ln of each Z,
  // e^x of each colour; step 1's sin and cos once in the frame of 60 pixels.
  const PerFunction fifteen = countCallsPerPixel(15, 10, 6, 1.0L, 2.0L, 0.0);
  EXPECT_DOUBLE_EQ(fifteen[0], 5 + 1.0 / 60);
  EXPECT_DOUBLE_EQ(fifteen[1], 5 + 1.0 / 60);
  EXPECT_DOUBLE_EQ(fifteen[2], 3);
  EXPECT_DOUBLE_EQ(fifteen[3], 0);
  EXPECT_DOUBLE_EQ(fifteen[4], 3);

  // Algorithm 33: one step's sqrt, sin and cos, and one colour's sin.
  const PerFunction still = countCallsPerPixel(33, 10, 6, 1.0L, 2.0L, 0.0);
  EXPECT_EQ(still, (PerFunction{2, 1, 0, 1, 0}));
}

TEST(BenchFloor, TheTimedOperandsAreTheFramesOwnCallsInTheirOrder) {
  for (const int algorithm : {0, 15, 21, 33}) {
    const FrameOperands operands = frameOperands(algorithm, 8, 6, 1.0L, 2.0L, 0.25);
    const PerFunction calls = countCallsPerPixel(algorithm, 8, 6, 1.0L, 2.0L, 0.25);
    const PerFunction seconds = measureFloor(operands, 1);
    for (std::size_t f = 0; f < kMathFunctionCount; ++f) {
      EXPECT_DOUBLE_EQ(double(operands[f].size()), calls[f] * 48) << algorithm << ' ' << f;
      // A function the frame never calls costs it nothing.
      if (operands[f].empty()) {
        EXPECT_EQ(seconds[f], 0) << algorithm << ' ' << f;
      }
    }
  }
  // Algorithm 15's first sin is step 1's, of the phase A, before any pixel's.
  EXPECT_EQ(frameOperands(15, 8, 6, 1.0L, 2.0L, 0.0)[0].front(), 1.0L);
}

}  // namespace
}  // namespace glimmerweave
