// The engine's arithmetic: the transcendental functions of both backends, Round,
// the error flags and the floating-point scope.
#include "engine/extended_math.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/math_backends.h"

namespace glimmerweave {
namespace {

template <class M>
class ExtendedMath : public ::testing::Test {
 protected:
  FloatingPointScope scope;
};

TYPED_TEST_SUITE(ExtendedMath, testing::MathBackends);

constexpr long double kTwo63 = 9223372036854775808.0L;

// |a - b| <= tolerance, measured in extended precision.
::testing::AssertionResult closeTo(long double a, long double b, long double tolerance) {
  const long double difference = std::fabs(a - b);
  if (difference <= tolerance) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << static_cast<double>(a) << " and " << static_cast<double>(b) << " differ by "
         << static_cast<double>(difference);
}

TYPED_TEST(ExtendedMath, FunctionsAgreeWithTheLibraryWithinAFewUlps) {
  using M = TypeParam;
  const long double ulp = 0x1p-64L;
  for (long double x : {-7.5L, -1.0L, -0.3L, 1e-5L, 0.5L, 1.0L, 2.0L, 3.1L, 100.25L}) {
    const double shown = static_cast<double>(x);
    EXPECT_TRUE(closeTo(M::sin(x), std::sin(x), 8 * ulp)) << shown;
    EXPECT_TRUE(closeTo(M::cos(x), std::cos(x), 8 * ulp)) << shown;
    const SinCos both = M::sinCos(x);
    EXPECT_EQ(both.sin, M::sin(x)) << shown;  // bit for bit, as the frames need
    EXPECT_EQ(both.cos, M::cos(x)) << shown;
    EXPECT_TRUE(closeTo(M::exp(x) / std::exp(x), 1.0L, 8 * ulp)) << shown;
    const long double ax = std::fabs(x);
    EXPECT_TRUE(closeTo(M::ln(ax), std::log(ax), 8 * ulp * (1 + std::fabs(std::log(ax))))) << shown;
    EXPECT_EQ(M::sqrt(ax), std::sqrt(ax)) << shown;  // correctly rounded in both
  }
  EXPECT_EQ(M::exp(0.0L), 1.0L);
  EXPECT_EQ(M::ln(1.0L), 0.0L);
  EXPECT_EQ(M::sin(0.0L), 0.0L);
  EXPECT_EQ(M::exp(-20000.0L), 0.0L);  // underflows quietly
}

TYPED_TEST(ExtendedMath, SineAndCosineAnswerZeroFrom2To63) {
  using M = TypeParam;
  for (long double x : {kTwo63, -kTwo63, 1e30L, -1e300L}) {
    EXPECT_EQ(M::sin(x), 0.0L) << x;
    EXPECT_EQ(M::cos(x), 0.0L) << x;
    EXPECT_EQ(M::sinCos(x).sin, 0.0L) << x;
    EXPECT_EQ(M::sinCos(x).cos, 0.0L) << x;
  }
  const long double below = kTwo63 - 1024;  // the largest extended value under 2^63
  EXPECT_NE(M::sin(below), 0.0L);
  EXPECT_LE(std::fabs(M::cos(below)), 1.0L);
  M::clearErrors();
  M::sin(kTwo63);
  EXPECT_EQ(M::pendingError(), ArithmeticError::None);
}

TYPED_TEST(ExtendedMath, RoundTiesToEvenAndSaturates) {
  using M = TypeParam;
  EXPECT_EQ(M::round(126.5L), 126);
  EXPECT_EQ(M::round(127.5L), 128);
  EXPECT_EQ(M::round(-126.5L), -126);
  EXPECT_EQ(M::round(254.49999L), 254);
  EXPECT_EQ(M::round(2147483647.0L), INT32_MAX);
  EXPECT_EQ(M::round(2147483647.5L), INT32_MAX);
  EXPECT_EQ(M::round(1e30L), INT32_MAX);
  EXPECT_EQ(M::round(-2147483648.5L), INT32_MIN);
  EXPECT_EQ(M::round(-1e30L), INT32_MIN);
  EXPECT_EQ(M::round(std::nanl("")), 0);
  M::clearErrors();
  M::round(1e30L);
  EXPECT_EQ(M::pendingError(), ArithmeticError::None) << "saturation raises nothing";
  volatile long double zero = 0.0L;
  volatile long double minusInfinity = M::ln(zero);
  EXPECT_EQ(M::round(2.5L), 2);
  EXPECT_LT(minusInfinity, 0.0L);
  EXPECT_EQ(M::pendingError(), ArithmeticError::DivisionByZero) << "rounding keeps earlier flags";
}

TYPED_TEST(ExtendedMath, ErrorFlagsReportTheCause) {
  using M = TypeParam;
  volatile long double zero = 0.0L, minusOne = -1.0L, big = 1e4000L;

  M::clearErrors();
  EXPECT_EQ(M::ln(zero), -INFINITY);
  EXPECT_EQ(M::pendingError(), ArithmeticError::DivisionByZero);

  M::clearErrors();
  EXPECT_TRUE(std::isnan(M::sqrt(minusOne)));
  EXPECT_EQ(M::pendingError(), ArithmeticError::InvalidOperation);

  M::clearErrors();
  EXPECT_EQ(M::exp(20000.0L), INFINITY);
  EXPECT_EQ(M::pendingError(), ArithmeticError::Overflow);

  // Rounding to double at a store overflows too.
  M::clearErrors();
  volatile double stored = static_cast<double>(big);
  EXPECT_EQ(stored, INFINITY);
  EXPECT_EQ(M::pendingError(), ArithmeticError::Overflow);

  // An infinity's later invalid operation does not hide its cause.
  M::clearErrors();
  volatile long double inf = M::ln(zero);
  volatile long double nan = inf - inf;
  EXPECT_TRUE(std::isnan(nan));
  EXPECT_EQ(M::pendingError(), ArithmeticError::DivisionByZero);

  // Underflow and inexact results are not errors.
  M::clearErrors();
  volatile double tiny = static_cast<double>(1e-4000L);
  volatile long double third = 1.0L / 3;
  EXPECT_EQ(tiny, 0.0);
  EXPECT_GT(third, 0.0L);
  EXPECT_EQ(M::pendingError(), ArithmeticError::None);
}

TEST(ArithmeticErrorMessage, NamesEachError) {
  EXPECT_STREQ(arithmeticErrorMessage(ArithmeticError::InvalidOperation),
               "Invalid floating point operation");
  EXPECT_STREQ(arithmeticErrorMessage(ArithmeticError::DivisionByZero),
               "Floating point division by zero");
  EXPECT_STREQ(arithmeticErrorMessage(ArithmeticError::Overflow), "Floating point overflow");
  EXPECT_STREQ(arithmeticErrorMessage(ArithmeticError::None), "");
}

#if GLIMMERWEAVE_HAS_X87

std::uint16_t controlWord() {
  std::uint16_t word;
  __asm__ volatile("fnstcw %0" : "=m"(word));
  return word;
}

void loadControlWord(std::uint16_t word) {
  __asm__ volatile("fldcw %0" : : "m"(word));
}

TEST(FloatingPointScope, Sets64BitPrecisionAndGivesTheCallersWordBack) {
  const std::uint16_t original = controlWord();
  constexpr std::uint16_t k53BitRoundUp = 0x0A7F;  // 53-bit precision, round up
  loadControlWord(k53BitRoundUp);
  long double third = 0;
  {
    FloatingPointScope scope;
    EXPECT_EQ(controlWord() & 0x0F3F, 0x033F) << "64-bit precision, to nearest, masked";
    volatile long double one = 1.0L;
    third = one / 3;
  }
  EXPECT_EQ(controlWord(), k53BitRoundUp);
  loadControlWord(original);
  EXPECT_EQ(third, 1.0L / 3) << "the quotient carries all 64 bits";
}

#endif

}  // namespace
}  // namespace glimmerweave
