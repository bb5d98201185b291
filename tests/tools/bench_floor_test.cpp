// The benchmark's floor: the calls each algorithm makes per pixel, the operands the
// functions are timed on, and the sum of calls times costs.
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

TEST(BenchFloor, TheTimedOperandsAreEveryAlgorithmsCalls) {
  const auto operands = sampleOperands(8, 6, 1.0L, 2.0L);
  PerFunction expected{};
  for (int algorithm = 0; algorithm < kAlgorithmCount; ++algorithm) {
    const PerFunction calls = countCallsPerPixel(algorithm, 8, 6, 1.0L, 2.0L, 0.0);
    for (std::size_t f = 0; f < kMathFunctionCount; ++f) expected[f] += calls[f] * 48;
  }
  for (std::size_t f = 0; f < kMathFunctionCount; ++f) {
    EXPECT_GT(operands[f].size(), 0u) << mathFunctionName(MathFunction(f));
    EXPECT_DOUBLE_EQ(double(operands[f].size()), expected[f]) << mathFunctionName(MathFunction(f));
  }
}

TEST(BenchFloor, TheFloorIsTheCallsTimesTheirCosts) {
  const PerFunction calls{2, 1, 0.5, 0, 3};
  const PerFunction costs{20, 30, 10, 3, 12};
  // (40 + 30 + 5 + 0 + 36) ns per pixel for 480,000 pixels.
  EXPECT_DOUBLE_EQ(floorMilliseconds(calls, costs, 800 * 600), 111 * 0.48);
  EXPECT_DOUBLE_EQ(floorMilliseconds(calls, costs, 0), 0);
}

}  // namespace
}  // namespace glimmerweave
