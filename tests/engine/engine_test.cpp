// The engine's frame: worked pixels, the tick update, the pixel loop's bounds,
// the clamp, Z[0] carried between algorithms and arithmetic errors.
#include "engine/engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "support/engine_test_support.h"

namespace glimmerweave {
namespace {

using testing::Cell;
using testing::cellAt;
using testing::frameCells;
using testing::stillEngine;

class EngineFrame : public ::testing::TestWithParam<MathBackend> {
 protected:
  FrameOutcome compute(Fractals& fractals) { return ComputeFrame(fractals, GetParam()); }
};

// ---------------------------------------------------------------------------
// Worked pixels at A = 1, B = 2, Z[0] = 0, brightness 100

// Column 600, row 225 of an 800 x 600 frame is u = 0.25, v = -0.125; so is
// column 3, row 3 of a 4 x 8 frame, bit for bit.
TEST_P(EngineFrame, WorkedPixelAtQuarterRightEighthUp) {
  struct Case {
    int algorithm;
    Cell expected;
  };
  for (const Case& c : {Case{0, {6, 0, 0}}, Case{1, {250, 160, 1}}, Case{12, {172, 73, 10}},
                        Case{15, {95, 236, 0}}}) {
    auto fractals = stillEngine(c.algorithm, 4, 8);
    ASSERT_TRUE(compute(*fractals).ok());
    EXPECT_EQ(cellAt(*fractals, 3, 3), c.expected) << "algorithm " << c.algorithm;
  }
}

TEST_P(EngineFrame, Algorithm2AtTheCentreOfAFreshEngine) {
  auto fractals = stillEngine(2, 2, 2);  // cell (1, 1) is u = v = 0
  ASSERT_TRUE(compute(*fractals).ok());
  EXPECT_EQ(cellAt(*fractals, 1, 1).red, 94);  // Round(255 / e)
}

TEST_P(EngineFrame, Algorithm34DrawsExactlyWhat18Draws) {
  for (long double phaseA : {0.3L, 1.0L, 5.9L}) {
    auto a = stillEngine(18, 160, 120, phaseA, 2.5L);
    auto b = stillEngine(34, 160, 120, phaseA, 2.5L);
    ASSERT_TRUE(compute(*a).ok());
    ASSERT_TRUE(compute(*b).ok());
    EXPECT_EQ(frameCells(*a), frameCells(*b));
  }
}

TEST_P(EngineFrame, Algorithm33IsGreyAndStill) {
  auto fractals = stillEngine(33, 200, 150);
  fractals->settings.Speed = 10;
  fractals->state.StepA = fractals->state.StepB = 0.05L;
  ASSERT_TRUE(compute(*fractals).ok());
  const auto first = frameCells(*fractals);
  for (std::size_t i = 0; i < first.size(); i += 3) {
    ASSERT_EQ(first[i], first[i + 1]);
    ASSERT_EQ(first[i], first[i + 2]);
  }
  EXPECT_GT(*std::max_element(first.begin(), first.end()), 0);
  for (int tick = 0; tick < 3; ++tick) ASSERT_TRUE(compute(*fractals).ok());
  EXPECT_NE(fractals->state.PhaseA, 1.0L);
  EXPECT_EQ(frameCells(*fractals), first);
}

// ---------------------------------------------------------------------------
// Pixel loop bounds

TEST_P(EngineFrame, UnknownAlgorithmDrawsBlackAndKeepsZ0) {
  for (int algorithm : {35, -1}) {
    auto fractals = stillEngine(algorithm, 40, 30);
    fractals->settings.Speed = 5;
    fractals->state.StepA = fractals->state.StepB = 0.05L;
    std::fill(std::begin(fractals->planes.red), std::end(fractals->planes.red), 9);
    fractals->state.IterZ[0] = 0.75;
    ASSERT_TRUE(compute(*fractals).ok());
    const auto cells = frameCells(*fractals);
    EXPECT_TRUE(std::all_of(cells.begin(), cells.end(), [](int v) { return v == 0; }));
    EXPECT_EQ(fractals->planes.red[ColorPlanes::index(0, 40)], 9) << "outside the frame";
    EXPECT_EQ(fractals->state.IterZ[0], 0.75);
    EXPECT_EQ(fractals->state.PhaseA, 1.0L + 0.05L);
    EXPECT_EQ(fractals->state.PhaseB, 2.0L + 0.05L);
  }
}

TEST_P(EngineFrame, EmptyFrameWritesNoCellButAdvancesThePhases) {
  for (auto [width, height] : {std::pair{0, 600}, std::pair{800, 0}, std::pair{-5, 10}}) {
    auto fractals = stillEngine(15, width, height);
    fractals->settings.Speed = 5;
    fractals->state.StepA = fractals->state.StepB = 0.05L;
    std::fill(std::begin(fractals->planes.green), std::end(fractals->planes.green), 7);
    ASSERT_TRUE(compute(*fractals).ok());
    EXPECT_TRUE(std::all_of(std::begin(fractals->planes.green), std::end(fractals->planes.green),
                            [](int v) { return v == 7; }));
    EXPECT_EQ(fractals->state.PhaseA, 1.05L);
    EXPECT_EQ(fractals->state.PhaseB, 2.05L);
  }
}

TEST_P(EngineFrame, OversizedFrameIsBoundedToThePlanes) {
  auto big = stillEngine(33, 5000, 4000);
  auto full = stillEngine(33, 801, 601);
  ASSERT_TRUE(compute(*big).ok());
  ASSERT_TRUE(compute(*full).ok());
  EXPECT_EQ(frameCells(*big), frameCells(*full));
  EXPECT_EQ(boundedFrameWidth(802), 801);
  EXPECT_EQ(boundedFrameHeight(602), 601);
  EXPECT_EQ(boundedFrameWidth(-1), 0);
}

// ---------------------------------------------------------------------------
// Colour scale and clamp

TEST_P(EngineFrame, NegativeBrightnessStoresTheMagnitude) {
  auto negative = stillEngine(15, 120, 90);
  auto positive = stillEngine(15, 120, 90);
  negative->EngineBrightness = -50;
  positive->EngineBrightness = 50;
  ASSERT_TRUE(compute(*negative).ok());
  ASSERT_TRUE(compute(*positive).ok());
  // Round ties to even, so Round(-x) = -Round(x) and the clamp's absolute value
  // gives the positive brightness's frame.
  EXPECT_EQ(frameCells(*negative), frameCells(*positive));
}

TEST_P(EngineFrame, BrightnessAbove100SaturatesAt255) {
  auto doubled = stillEngine(15, 120, 90);
  auto normal = stillEngine(15, 120, 90);
  doubled->EngineBrightness = 200;
  ASSERT_TRUE(compute(*doubled).ok());
  ASSERT_TRUE(compute(*normal).ok());
  const auto high = frameCells(*doubled), base = frameCells(*normal);
  int saturated = 0;
  for (std::size_t i = 0; i < high.size(); ++i) {
    ASSERT_LE(high[i], 255);
    // Twice the scale: at least twice the value, less one for the rounding.
    ASSERT_GE(high[i], std::min(255, 2 * base[i] - 1));
    saturated += base[i] >= 128 && high[i] == 255;
  }
  EXPECT_GT(saturated, 0);
}

TEST_P(EngineFrame, ZeroBrightnessIsBlackAndExtremeBrightnessSaturates) {
  auto black = stillEngine(15, 64, 48);
  black->EngineBrightness = 0;
  ASSERT_TRUE(compute(*black).ok());
  const auto blackCells = frameCells(*black);
  EXPECT_TRUE(std::all_of(blackCells.begin(), blackCells.end(), [](int v) { return v == 0; }));

  // A hand-edited brightness far outside the range: map values beyond the 32-bit
  // range saturate, and every cell that is not black at brightness 100 is 255.
  auto normal = stillEngine(15, 64, 48);
  ASSERT_TRUE(compute(*normal).ok());
  const auto base = frameCells(*normal);
  for (std::int32_t brightness : {INT32_MAX, INT32_MIN}) {
    auto extreme = stillEngine(15, 64, 48);
    extreme->EngineBrightness = brightness;
    ASSERT_TRUE(compute(*extreme).ok());
    const auto cells = frameCells(*extreme);
    for (std::size_t i = 0; i < cells.size(); ++i) {
      ASSERT_LE(cells[i], 255);
      if (base[i] > 0) {
        ASSERT_EQ(cells[i], 255) << "brightness " << brightness << ", value " << i;
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Z[0] carried between pixels, frames and algorithms

TEST_P(EngineFrame, Z0LeftByAlgorithm17ChangesAlgorithms0And23) {
  auto fresh0 = stillEngine(0, 80, 60);
  auto fresh23 = stillEngine(23, 80, 60);
  ASSERT_TRUE(compute(*fresh0).ok());
  ASSERT_TRUE(compute(*fresh23).ok());
  EXPECT_EQ(fresh0->state.IterZ[0], 0.0);

  auto fractals = stillEngine(17, 80, 60);
  ASSERT_TRUE(compute(*fractals).ok());
  // The last pixel (row 59, column 79) stored sqrt(X[0]^2 + Y[0]^2).
  const double x0 = static_cast<double>(3 * (79.0L / 80 - 0.5L));
  const double y0 = static_cast<double>(3 * (59.0L / 60 - 0.5L));
  const double z0 = fractals->state.IterZ[0];
  EXPECT_NEAR(z0, std::sqrt(x0 * x0 + y0 * y0), 1e-15);

  for (auto [algorithm, fresh] : {std::pair{0, fresh0.get()}, std::pair{23, fresh23.get()}}) {
    fractals->settings.Algorithm = algorithm;
    ASSERT_TRUE(compute(*fractals).ok());
    EXPECT_NE(frameCells(*fractals), frameCells(*fresh)) << "algorithm " << algorithm;
    EXPECT_EQ(fractals->state.IterZ[0], z0) << "algorithm " << algorithm << " only reads Z[0]";
  }
}

TEST_P(EngineFrame, Algorithm17AfterTheSameZ0DrawsTheSameAsAFreshRun) {
  // Z[0] carried in from an earlier algorithm 0 run cannot change algorithm 17,
  // which writes Z[0] before reading it.
  auto fractals = stillEngine(0, 50, 40);
  fractals->state.IterZ[0] = 3.25;
  ASSERT_TRUE(compute(*fractals).ok());
  fractals->settings.Algorithm = 17;
  ASSERT_TRUE(compute(*fractals).ok());
  auto fresh = stillEngine(17, 50, 40);
  ASSERT_TRUE(compute(*fresh).ok());
  EXPECT_EQ(frameCells(*fractals), frameCells(*fresh));
}

// ---------------------------------------------------------------------------
// Arithmetic errors

TEST_P(EngineFrame, LogarithmOfZeroStopsTheFrameAtThatPixel) {
  // Algorithm 9 at the centre pixel with A = 0: X[1] = sin 0 = 0 and Z[1] = ln 0.
  auto fractals = stillEngine(9, 80, 60, 0.0L, 2.0L);
  for (auto* plane : {fractals->planes.red, fractals->planes.green, fractals->planes.blue})
    std::fill(plane, plane + ColorPlanes::kCells, 300);

  const FrameOutcome outcome = compute(*fractals);
  EXPECT_EQ(outcome.error, ArithmeticError::DivisionByZero);
  EXPECT_STREQ(outcome.message(), "Floating point division by zero");
  EXPECT_EQ(outcome.row, 30);
  EXPECT_EQ(outcome.column, 40);

  // Every cell before the failing pixel was written (300 is no colour value),
  // the failing pixel is black and the cells after it are untouched.
  for (int r = 0; r < 30; ++r)
    for (int c = 0; c < 80; ++c) ASSERT_LE(cellAt(*fractals, r, c).red, 255) << r << ", " << c;
  for (int c = 0; c < 40; ++c) ASSERT_LE(cellAt(*fractals, 30, c).blue, 255) << "column " << c;
  EXPECT_EQ(cellAt(*fractals, 30, 40), (Cell{0, 0, 0}));
  EXPECT_EQ(cellAt(*fractals, 30, 41), (Cell{300, 300, 300}));
  EXPECT_EQ(cellAt(*fractals, 59, 79), (Cell{300, 300, 300}));

  // The next frame with other phases runs cleanly over the same planes.
  fractals->state.PhaseA = 1.0L;
  EXPECT_TRUE(compute(*fractals).ok());
  EXPECT_EQ(cellAt(*fractals, 59, 79).red <= 255, true);
}

TEST_P(EngineFrame, Algorithm7WithBothStepValuesZeroFails) {
  // At the centre X[1] = 1 + sin A and Y[1] = -cos B: sin(3 pi / 2) is -1 in
  // extended precision, and cos answers 0 for an argument of 2^63.
  auto fractals = stillEngine(7, 20, 10, 4.712388980384689858L, 9223372036854775808.0L);
  const FrameOutcome outcome = compute(*fractals);
  EXPECT_EQ(outcome.error, ArithmeticError::DivisionByZero);
  EXPECT_EQ(outcome.row, 5);
  EXPECT_EQ(outcome.column, 10);
}

// Algorithm 15 computes its pixels in pairs. At A = asin(1 - pi/2) and B = 2^63
// the centre column of row 0 has X[1] = -pi/2 and Y[1] = 0, so Z[1] = ln 0: the
// failing pixel is the first of its pair in a frame 4 wide, the second in one 6 wide.
TEST_P(EngineFrame, PixelFailingInEitherLaneOfAPair) {
  for (const int width : {4, 6}) {
    const int column = width / 2;
    auto fractals = stillEngine(15, width, 3, std::asin(1 - 3.14159265358979323846L / 2),
                                9223372036854775808.0L);
    for (auto* plane : {fractals->planes.red, fractals->planes.green, fractals->planes.blue})
      std::fill(plane, plane + ColorPlanes::kCells, 300);

    const FrameOutcome outcome = compute(*fractals);
    EXPECT_EQ(outcome.error, ArithmeticError::DivisionByZero) << width;
    EXPECT_EQ(outcome.row, 0);
    EXPECT_EQ(outcome.column, column);
    for (int c = 0; c < column; ++c) EXPECT_LE(cellAt(*fractals, 0, c).red, 255) << width;
    EXPECT_EQ(cellAt(*fractals, 0, column), (Cell{0, 0, 0}));
    EXPECT_EQ(cellAt(*fractals, 0, column + 1), (Cell{300, 300, 300})) << width;
    // The iteration values are the failing pixel's, not its pair's.
    EXPECT_EQ(fractals->state.IterX[0], 0.0);
    EXPECT_EQ(fractals->state.IterY[0], -1.0);
    EXPECT_EQ(fractals->state.IterZ[1], -INFINITY);
  }
}

INSTANTIATE_TEST_SUITE_P(Backends, EngineFrame,
                         ::testing::Values(MathBackend::Native, MathBackend::Portable),
                         [](const auto& backend) {
                           return backend.param == MathBackend::Native ? "Native" : "Portable";
                         });

// ---------------------------------------------------------------------------
// Tick update and the random draws

TEST(TickUpdate, SpeedScalesTheStepAndZeroStandsStill) {
  auto fractals = stillEngine(15, 32, 24);
  fractals->state.StepA = 0.05L;
  fractals->state.StepB = -0.0505L;
  ASSERT_TRUE(ComputeFrame(*fractals).ok());
  const auto first = frameCells(*fractals);
  ASSERT_TRUE(ComputeFrame(*fractals).ok());
  EXPECT_EQ(fractals->state.PhaseA, 1.0L);
  EXPECT_EQ(fractals->state.PhaseB, 2.0L);
  EXPECT_EQ(frameCells(*fractals), first);

  fractals->settings.Speed = 1;
  ASSERT_TRUE(ComputeFrame(*fractals).ok());
  EXPECT_EQ(fractals->state.PhaseA, 0.05L / 5 + 1.0L);
  EXPECT_EQ(fractals->state.PhaseB, -0.0505L / 5 + 2.0L);
}

TEST(TickUpdate, PhaseTurnsBackAfterOvershootingTwoPi) {
  auto fractals = stillEngine(-1, 0, 0, 6.27L, 3.0L);
  fractals->settings.Speed = 10;
  fractals->state.StepA = fractals->state.StepB = 0.05L;
  fractals->random.seed(99);
  ASSERT_TRUE(ComputeFrame(*fractals).ok());
  EXPECT_NEAR(static_cast<double>(fractals->state.PhaseA), 6.37, 1e-15);
  EXPECT_EQ(fractals->random.state(), 99u) << "no draw while inside the bounds";

  ASSERT_TRUE(ComputeFrame(*fractals).ok());
  EXPECT_LE(fractals->state.StepA, -0.05L);
  EXPECT_GE(fractals->state.StepA, -0.05099L);
  RandomGenerator expected;
  expected.seed(99);
  EXPECT_EQ(fractals->state.StepA,
            -0.05L - static_cast<long double>(expected.Random(100)) / 100000);
  EXPECT_EQ(fractals->random.state(), expected.state()) << "exactly one draw";
  EXPECT_LE(fractals->state.PhaseA, 6.27L + 1e-15L);
  EXPECT_GE(fractals->state.PhaseA, 6.26802L - 1e-15L);
}

TEST(TickUpdate, PhaseAtZeroDrawsAFreshPositiveStep) {
  auto fractals = stillEngine(-1, 0, 0, 0.0L, 1.0L);
  fractals->settings.Speed = 5;
  fractals->state.StepA = -0.05L;
  fractals->state.StepB = 0.05L;
  fractals->random.seed(12345);
  ASSERT_TRUE(ComputeFrame(*fractals).ok());
  RandomGenerator expected;
  expected.seed(12345);
  const auto draw = expected.Random(100);
  EXPECT_EQ(fractals->state.StepA, static_cast<long double>(draw) / 100000 + 0.05L);
  EXPECT_GT(fractals->state.PhaseA, 0.0L);
  EXPECT_EQ(fractals->random.state(), expected.state());
}

TEST(FrameSize, FollowsDetailAndStaysInsideThePlanes) {
  struct Case {
    int detail, fullWidth, fullHeight, width, height;
  };
  for (const Case& c :
       {Case{0, 800, 600, 267, 200}, Case{3, 800, 600, 427, 320}, Case{5, 800, 600, 533, 400},
        Case{10, 800, 600, 800, 600}, Case{15, 800, 600, 800, 600}, Case{-7, 800, 600, 267, 200},
        Case{INT32_MIN, 800, 600, 267, 200}, Case{0, 400, 300, 133, 100},
        Case{5, 400, 300, 267, 200}, Case{9, 400, 300, 373, 280}, Case{10, 400, 300, 400, 300}}) {
    std::int32_t width = 0, height = 0;
    frameSizeForDetail(c.detail, c.fullWidth, c.fullHeight, width, height);
    EXPECT_EQ(width, c.width) << "Detail " << c.detail << " of " << c.fullWidth;
    EXPECT_EQ(height, c.height) << "Detail " << c.detail << " of " << c.fullWidth;
  }
  EXPECT_EQ(roundedQuotient(5, 2), 2) << "ties to even";
  EXPECT_EQ(roundedQuotient(7, 2), 4) << "ties to even";
  EXPECT_EQ(roundedQuotient(-5, 2), -2);
  EXPECT_EQ(roundedQuotient(-7, 2), -4);
}

TEST(StartAnimation, DrawsPhasesThenStepsInOrder) {
  auto fractals = std::make_unique<Fractals>();
  fractals->random.seed(12345);
  fractals->state.IterZ[0] = 1.5;
  StartAnimation(*fractals);
  // Seed 12345 draws 242 and 181 of 628, then 7 and 55 of 100.
  EXPECT_EQ(fractals->state.PhaseA, 242 * 0.01L);
  EXPECT_EQ(fractals->state.PhaseB, 181 * 0.01L);
  EXPECT_EQ(fractals->state.StepA, 7 / 100000.0L + 0.05L);
  EXPECT_EQ(fractals->state.StepB, 55 / 100000.0L + 0.05L);
  EXPECT_EQ(fractals->random.state(), 2377737157u);
  EXPECT_EQ(fractals->state.IterZ[0], 1.5) << "StartAnimation leaves Z[0] alone";
}

}  // namespace
}  // namespace glimmerweave
