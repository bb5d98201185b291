// Single pixels of the algorithms: start values, folds, the worked steps, and
// the colour range, for both math backends.
#include "engine/algorithms.h"

#include <gtest/gtest.h>

#include <cmath>

#include "math_backends.h"

namespace glimmerweave {
namespace {

template <class M>
class AlgorithmPixel : public ::testing::Test {
 protected:
  // A pixel of an 800 x 600 frame at A = 1, B = 2, brightness 100.
  static PixelInput pixel(int column, int row, long double A = 1.0L, long double B = 2.0L) {
    PixelInput in = framePixelInput<M>(A, B, 800, 600, 255, 0.0);
    in.column = column;
    in.row = row;
    in.u = in.column / in.width - 0.5L;
    in.v = in.row / in.height - 0.5L;
    return in;
  }

  Rgb run(int algorithm, const PixelInput& in) { return computePixel<M>(algorithm, in, it); }

  FloatingPointScope scope;
  Iteration it;
};

TYPED_TEST_SUITE(AlgorithmPixel, testing::MathBackends);

TYPED_TEST(AlgorithmPixel, Algorithm15FirstStep) {
  const Rgb rgb = this->run(15, this->pixel(600, 225));
  EXPECT_NEAR(this->it.X[1], 1.02897, 5e-6);
  EXPECT_NEAR(this->it.Y[1], -0.66615, 5e-6);
  EXPECT_NEAR(this->it.Z[1], 0.99302, 5e-6);
  EXPECT_EQ(rgb.red, 95);
}

TYPED_TEST(AlgorithmPixel, CentrePixels) {
  const PixelInput centre = this->pixel(400, 300);
  const double sinA = std::sin(1.0), cosA = std::cos(1.0);

  this->run(2, centre);
  EXPECT_EQ(this->it.X[1], 0.0);
  EXPECT_EQ(this->it.Y[1], 0.0);
  EXPECT_EQ(this->it.Z[1], 1.0);

  this->run(22, centre);
  EXPECT_NEAR(this->it.X[1], sinA / 2, 1e-15);
  EXPECT_NEAR(this->it.Y[1], 2 + cosA / 2, 1e-15);

  this->run(17, centre);
  EXPECT_EQ(this->it.X[0], 0.0);
  EXPECT_EQ(this->it.Y[0], 0.0);
  EXPECT_EQ(this->it.Z[0], 0.0);
  EXPECT_NEAR(this->it.X[1], std::sin(sinA), 1e-15);

  this->run(33, centre);
  for (int k = 1; k <= 3; ++k) {
    EXPECT_EQ(this->it.X[k], 0.0);
    EXPECT_EQ(this->it.Y[k], 0.0);
    EXPECT_EQ(this->it.Z[k], static_cast<double>(0.01L));
  }
}

TYPED_TEST(AlgorithmPixel, StartValuesOfAlgorithms28And29) {
  this->run(28, this->pixel(0, 0));
  EXPECT_EQ(this->it.X[0], static_cast<double>(-1.2L));
  EXPECT_EQ(this->it.Y[0], static_cast<double>(-0.7L));
  this->run(28, this->pixel(799, 599));
  EXPECT_NEAR(this->it.X[0], 2 * (799.0 / 600 - 0.6), 1e-15);  // about 1.4633
  EXPECT_NEAR(this->it.Y[0], 0.7975, 1e-15);

  this->run(29, this->pixel(0, 0));
  EXPECT_EQ(this->it.X[0], 1.25);
  EXPECT_EQ(this->it.Y[0], 1.25);
  EXPECT_EQ(this->it.Z[0], std::pow(1.25 * 1.25 * 2, 2));
}

TYPED_TEST(AlgorithmPixel, Algorithm12StartsAtTheOrigin) {
  for (int column : {0, 123, 799}) {
    this->it.X[0] = this->it.Y[0] = 5;
    this->run(12, this->pixel(column, 77));
    EXPECT_EQ(this->it.X[0], 0.0);
    EXPECT_EQ(this->it.Y[0], 0.0);
  }
}

TYPED_TEST(AlgorithmPixel, FoldKeepsTheSign) {
  using M = TypeParam;
  // Threshold 0 (algorithms 0 and 23).
  EXPECT_EQ(algorithms::fold<M>(-4.0, 0), -2.0);
  EXPECT_EQ(algorithms::fold<M>(0.25, 0), 0.5);
  EXPECT_EQ(algorithms::fold<M>(4.0, 0), 2.0);
  EXPECT_EQ(algorithms::fold<M>(-9.0, 0), -3.0);
  EXPECT_EQ(algorithms::fold<M>(0.0, 0), 0.0);
  // Threshold 1 (algorithm 2).
  EXPECT_EQ(algorithms::fold<M>(0.5, 1), 0.5);
  EXPECT_EQ(algorithms::fold<M>(-0.25, 1), -0.25);
  EXPECT_EQ(algorithms::fold<M>(4.0, 1), 2.0);
  EXPECT_EQ(algorithms::fold<M>(-9.0, 1), -3.0);
}

TYPED_TEST(AlgorithmPixel, Algorithm23FirstStepWithZ0Zero) {
  using M = TypeParam;
  const PixelInput in = this->pixel(600, 225);
  this->it.Z[0] = 0;
  this->run(23, in);
  const long double x0 = this->it.X[0], y0 = this->it.Y[0];
  EXPECT_EQ(x0, static_cast<double>(3.5L * 0.25L));
  EXPECT_EQ(this->it.X[1], algorithms::fold<M>(static_cast<double>(x0 * x0 - y0 * y0), 0));
  EXPECT_EQ(this->it.Y[1],
            algorithms::fold<M>(static_cast<double>(M::sin(in.B) + 0.5L * x0 * y0), 0));
  EXPECT_EQ(this->it.Z[0], 0.0) << "algorithm 23 never writes Z[0]";
}

TYPED_TEST(AlgorithmPixel, Algorithm24ValuesLieInTheUnitInterval) {
  for (int column = 0; column < 800; column += 57)
    for (int row = 0; row < 600; row += 61) {
      this->run(24, this->pixel(column, row, 0.7L));
      for (int k = 1; k <= 3; ++k) {
        EXPECT_GE(this->it.Z[k], 0.0);
        EXPECT_LE(this->it.Z[k], 1.0);
        if (this->it.X[k] == 0 && this->it.Y[k] == 0) {
          EXPECT_EQ(this->it.Z[k], 1.0);
        }
      }
    }
}

TYPED_TEST(AlgorithmPixel, Algorithm9ColourDependsOnXAlone) {
  // With A / 5 = 2.23 the y term of X[k] vanishes, so every pixel of a column
  // has the same X values; their Y values differ, their colour does not.
  const long double A = 2.23L * 5;
  ASSERT_EQ(A / 5 - 2.23L, 0.0L);
  Iteration top, bottom;
  const Rgb a = computePixel<TypeParam>(9, this->pixel(500, 100, A), top);
  const Rgb b = computePixel<TypeParam>(9, this->pixel(500, 420, A), bottom);
  EXPECT_NE(top.Y[1], bottom.Y[1]);
  EXPECT_EQ(top.X[3], bottom.X[3]);
  EXPECT_EQ(a.red, b.red);
  EXPECT_EQ(a.green, b.green);
  EXPECT_EQ(a.blue, b.blue);
}

TYPED_TEST(AlgorithmPixel, EveryAlgorithmStaysInTheColourRange) {
  for (int algorithm = 0; algorithm < kAlgorithmCount; ++algorithm)
    for (long double A : {0.2L, 3.1L, 6.2L})
      for (int column = 3; column < 800; column += 97)
        for (int row = 5; row < 600; row += 89) {
          const Rgb rgb = this->run(algorithm, this->pixel(column, row, A, 6.3L - A));
          for (int value : {rgb.red, rgb.green, rgb.blue}) {
            ASSERT_GE(value, 0) << "algorithm " << algorithm;
            ASSERT_LE(value, 255) << "algorithm " << algorithm;
          }
        }
}

TYPED_TEST(AlgorithmPixel, NumbersOutsideTheRangeComputeNothing) {
  this->it.Z[0] = 4.5;
  this->it.X[1] = 7;
  for (int algorithm : {-1, 35, 1000}) {
    const Rgb rgb = this->run(algorithm, this->pixel(10, 10));
    EXPECT_EQ(rgb.red + rgb.green + rgb.blue, 0);
  }
  EXPECT_EQ(this->it.Z[0], 4.5);
  EXPECT_EQ(this->it.X[1], 7.0);
}

}  // namespace
}  // namespace glimmerweave
