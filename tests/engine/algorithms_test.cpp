// Single pixels of the algorithms, run through the engine's table: start
// values, folds, the worked steps, the colour range, and the frame terms
// against the steps they stand for, for both math backends.
#include "engine/algorithms.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "engine/counting_math.h"
#include "support/math_backends.h"

namespace glimmerweave {
namespace {

// Computes `in` as the first pixel of a frame that starts with `it`, as the
// engine does: the frame's terms first, then the pixel.
template <class M, class Algorithm>
Rgb firstPixelOfFrame(PixelInput in, Iteration& it) {
  in.z0 = it.Z[0];
  return Algorithm::pixel(in, Algorithm::prepare(in), it);
}

template <class M, class Algorithm>
struct FirstPixelOf {
  static constexpr Rgb (*value)(PixelInput, Iteration&) = &firstPixelOfFrame<M, Algorithm>;
};

// Computes one pixel with algorithm number `algorithm` from the engine's table.
template <class M>
Rgb computePixel(std::int32_t algorithm, const PixelInput& in, Iteration& it) {
  return algorithmEntry<M, FirstPixelOf>(algorithm)(in, it);
}

// A pixel of an 800 x 600 frame at phases A and B, brightness 100.
template <class M>
PixelInput pixelOfFrame(int column, int row, long double A, long double B, double z0 = 0.0) {
  PixelInput in{frameInput<M>(A, B, 800, 600, 255, z0)};
  in.column = column;
  in.row = row;
  in.u = in.column / in.width - 0.5L;
  in.v = in.row / in.height - 0.5L;
  return in;
}

template <class M>
class AlgorithmPixel : public ::testing::Test {
 protected:
  // A pixel of an 800 x 600 frame at A = 1, B = 2, brightness 100.
  static PixelInput pixel(int column, int row, long double A = 1.0L, long double B = 2.0L) {
    return pixelOfFrame<M>(column, row, A, B);
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

// ---------------------------------------------------------------------------
// Frame terms

bool sameBits(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// Computes a row of pixels of frames at several phases and starting Z[0]
// values twice, one pixel after another as a frame does: with the terms
// prepare computed for the frame, and with step 1 computing its terms from
// Z[0] as the later steps compute theirs. Every value stored must be the same,
// bit for bit. Answers whether the algorithm has frame terms to compare.
template <class M, class Algorithm>
bool preparedTermsMatchTheSteps(int algorithm) {
  if constexpr (std::is_same_v<typename Algorithm::Terms, algorithms::NoFrameTerms>) {
    return false;
  } else {
    // 0 is a fresh engine's Z[0]; the others are of the kind algorithms 17, 19
    // to 21, 26, 27 and 29 to 32 leave there.
    for (const double z0 : {0.0, 0.8125, -1.375, 2.4748737341529163, 37.515625})
      for (const auto& [A, B] :
           {std::pair{0.0L, 0.0L}, {1.3L, 2.1L}, {2.9L, 0.35L}, {6.2L, 4.7L}}) {
        const PixelInput frame = pixelOfFrame<M>(0, 0, A, B, z0);
        const typename Algorithm::Terms terms = Algorithm::prepare(frame);
        Iteration prepared, unprepared;
        prepared.Z[0] = unprepared.Z[0] = z0;
        for (int column = 0; column < 800; column += 41) {
          const PixelInput in = pixelOfFrame<M>(column, 229, A, B, z0);
          const Rgb a = Algorithm::pixel(in, terms, prepared);
          const Rgb b = Algorithm::pixel(in, algorithms::UnpreparedTerms{}, unprepared);
          for (int k = 0; k <= 3; ++k) {
            EXPECT_TRUE(sameBits(prepared.X[k], unprepared.X[k]) &&
                        sameBits(prepared.Y[k], unprepared.Y[k]) &&
                        sameBits(prepared.Z[k], unprepared.Z[k]))
                << "algorithm " << algorithm << ", A " << A << ", B " << B << ", Z[0] " << z0
                << ", column " << column << ", step " << k;
          }
          EXPECT_TRUE(a.red == b.red && a.green == b.green && a.blue == b.blue)
              << "algorithm " << algorithm << ", A " << A << ", B " << B << ", Z[0] " << z0
              << ", column " << column;
        }
      }
    return true;
  }
}

template <class M, class Algorithm>
struct FrameTermsCheckOf {
  static constexpr bool (*value)(int) = &preparedTermsMatchTheSteps<M, Algorithm>;
};

TYPED_TEST(AlgorithmPixel, FrameTermsAreWhatStepOneComputes) {
  std::set<int> withTerms;
  for (int algorithm = 0; algorithm < kAlgorithmCount; ++algorithm)
    if (algorithmEntry<TypeParam, FrameTermsCheckOf>(algorithm)(algorithm))
      withTerms.insert(algorithm);
  // The algorithms whose step 1 reads Z[0] without writing it take that step's
  // terms from the frame.
  for (int algorithm : {0, 2, 15, 23}) EXPECT_TRUE(withTerms.count(algorithm)) << algorithm;
}

// ---------------------------------------------------------------------------
// The transcendental functions a pixel computes

using Counted = CountingMath<NativeMath>;

// The calls of one pixel that repeat an earlier call of the same function on the
// same value, described.
std::vector<std::string> repeatedCalls(const std::vector<MathCall>& calls) {
  std::vector<std::string> repeats;
  for (std::size_t i = 0; i < calls.size(); ++i)
    for (std::size_t j = 0; j < i; ++j)
      if (calls[i].function == calls[j].function &&
          std::memcmp(&calls[i].operand, &calls[j].operand, 10) == 0) {
        repeats.push_back(std::string(mathFunctionName(calls[i].function)) + "(" +
                          std::to_string(double(calls[i].operand)) + ") as call " +
                          std::to_string(i + 1) + " and " + std::to_string(j + 1));
        break;
      }
  return repeats;
}

TEST(PixelMath, NoPixelComputesAFunctionTwiceOnTheSameValue) {
  const FloatingPointScope scope;
  for (int algorithm = 0; algorithm < kAlgorithmCount; ++algorithm) {
    for (const auto& [A, B] : {std::pair{1.0L, 2.0L}, std::pair{4.5L, 0.3L}}) {
      std::vector<MathCall> calls;
      MathCallLog log;
      log.calls = &calls;
      Counted::log = &log;
      const FrameInput frame = frameInput<NativeMath>(A, B, 29, 23, 255, 0.25);
      Iteration it;
      it.Z[0] = frame.z0;
      int pixel = 0;
      std::vector<std::string> failures;
      forEachPixel<Counted>(algorithm, frame, it, [&] {
        // The corner pixel (u = v = -1/2) starts at x = y, where formulas in x and
        // in y give one value by symmetry.
        if (pixel > 0)
          for (const std::string& repeat : repeatedCalls(calls))
            failures.push_back("pixel " + std::to_string(pixel) + ": " + repeat);
        calls.clear();
        ++pixel;
      });
      Counted::log = nullptr;
      EXPECT_EQ(pixel, 29 * 23);
      EXPECT_TRUE(failures.empty())
          << "algorithm " << algorithm << " at A " << double(A) << ", " << failures.size()
          << " repeats, first " << (failures.empty() ? "" : failures.front());
    }
  }
}

TEST(PixelMath, TheCountsOfAlgorithm15AreItsFormulasCalls) {
  // Per pixel: steps 2 and 3 take sin(k A + z) and cos(k B + z), each step's Z
  // takes ln, sin and cos, and the colours three e^x; step 1's sin and cos are
  // the frame's, taken once.
  const FloatingPointScope scope;
  MathCallLog log;
  Counted::log = &log;
  Iteration it;
  forEachPixel<Counted>(15, frameInput<NativeMath>(1.0L, 2.0L, 10, 6, 255, 0.0), it, [] {});
  Counted::log = nullptr;
  const std::array<std::uint64_t, kMathFunctionCount> expected{5 * 60 + 1, 5 * 60 + 1, 3 * 60, 0,
                                                               3 * 60};
  EXPECT_EQ(log.counts, expected);
}

}  // namespace
}  // namespace glimmerweave
