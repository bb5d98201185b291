// Extended-precision (80-bit) arithmetic helpers of the engine: sin, cos, ln,
// sqrt and e^x, Round, the floating-point error flags and the control-word
// scope under which frames are computed.
//
// Two interchangeable backends share one interface:
//   X87Math      - the x87 instructions themselves (fsin, fcos, fyl2x, fsqrt,
//                  f2xm1/fscale), so that every x86 build of the program, Linux or
//                  Windows, produces the same bits;
//   PortableMath - the standard library's long double functions, for other
//                  processors (and as a baseline on x86).
// NativeMath names the backend this build uses for its frames.
#pragma once

#include <cfenv>
#include <cmath>
#include <cstdint>

#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#define GLIMMERWEAVE_HAS_X87 1
#else
#define GLIMMERWEAVE_HAS_X87 0
#endif

namespace glimmerweave {

// sin x and cos x of one x.
struct SinCos {
  long double sin;
  long double cos;
};

// Whether X87Math's sinCos computes both with one fsincos, which costs less than
// half of fsin and fcos together. On the AMD processors it was compared on it
// gives their bits exactly (the reference frames hold algorithms 3, 23, 27 and 33
// to it); where it does not, false here makes sinCos run fsin and fcos.
inline constexpr bool kFusedSinCos = true;

// The errors that end a frame. Underflow and inexact results are not errors.
enum class ArithmeticError : std::uint8_t { None, InvalidOperation, DivisionByZero, Overflow };

// The user-facing text of an arithmetic error ("" for None).
const char* arithmeticErrorMessage(ArithmeticError error);

namespace math_detail {

// sin and cos answer 0 from this magnitude on (the x87 instructions' own limit).
inline constexpr long double kTrigLimit = 9223372036854775808.0L;  // 2^63

// Round's saturation bounds: exactly the values that round into the int32 range.
inline constexpr long double kRoundLow = -2147483648.5L;
inline constexpr long double kRoundHigh = 2147483647.5L;

// Picks the error to report when a pixel raised several flags. An invalid result
// is almost always the consequence of an infinity that a division by zero or an
// overflow produced earlier in the same pixel, so that cause wins.
constexpr ArithmeticError errorFromFlags(bool invalid, bool divideByZero, bool overflow) {
  if (divideByZero) return ArithmeticError::DivisionByZero;
  if (overflow) return ArithmeticError::Overflow;
  if (invalid) return ArithmeticError::InvalidOperation;
  return ArithmeticError::None;
}

inline std::int32_t saturatedRoundResult(long double x) {
  if (x != x) return 0;  // NaN: only reachable in a pixel that already failed
  return x > 0 ? INT32_MAX : INT32_MIN;
}

}  // namespace math_detail

#if GLIMMERWEAVE_HAS_X87

struct X87Math {
  static long double sin(long double x) {
    if (__builtin_fabsl(x) >= math_detail::kTrigLimit) return 0.0L;
    __asm__("fsin" : "+t"(x));
    return x;
  }

  static long double cos(long double x) {
    if (__builtin_fabsl(x) >= math_detail::kTrigLimit) return 0.0L;
    __asm__("fcos" : "+t"(x));
    return x;
  }

  static SinCos sinCos(long double x) {
    if constexpr (!kFusedSinCos) return SinCos{sin(x), cos(x)};
    if (__builtin_fabsl(x) >= math_detail::kTrigLimit) return SinCos{0.0L, 0.0L};
    SinCos result;
    __asm__("fsincos" : "=t"(result.cos), "=u"(result.sin) : "0"(x));
    return result;
  }

  static long double sqrt(long double x) {
    __asm__("fsqrt" : "+t"(x));
    return x;
  }

  // ln x = ln 2 * log2 x. ln 0 raises division by zero, ln of a negative number
  // an invalid operation.
  static long double ln(long double x) {
    long double result;
    __asm__(
        "fldln2\n\t"
        "fxch %%st(1)\n\t"
        "fyl2x"
        : "=t"(result)
        : "0"(x)
        : "st(1)");
    return result;
  }

  // e^x = 2^n * 2^f with t = x * log2 e, n = t rounded to an integer and f = t - n
  // (|f| <= 1/2, the range of f2xm1).
  static long double exp(long double x) {
    long double result;
    __asm__(
        "fldl2e\n\t"
        "fmulp\n\t"               // t
        "fld %%st(0)\n\t"         // t, t
        "frndint\n\t"             // n, t
        "fxch %%st(1)\n\t"        // t, n
        "fsub %%st(1), %%st\n\t"  // f, n
        "f2xm1\n\t"               // 2^f - 1, n
        "fld1\n\t"
        "faddp\n\t"   // 2^f, n
        "fscale\n\t"  // 2^f * 2^n, n
        "fstp %%st(1)"
        : "=t"(result)
        : "0"(x)
        : "st(1)", "st(2)");
    return result;
  }

  // The nearest integer, ties to even (the control word's rounding), saturated
  // to the int32 range.
  static std::int32_t round(long double x) {
    if (!(x >= math_detail::kRoundLow && x < math_detail::kRoundHigh))
      return math_detail::saturatedRoundResult(x);
    std::int32_t result;
    __asm__("fistpl %0" : "=m"(result) : "t"(x) : "st");
    return result;
  }

  static void clearErrors() { __asm__ volatile("fnclex"); }

  static ArithmeticError pendingError() {
    std::uint16_t status;
    __asm__ volatile("fnstsw %0" : "=am"(status));
    return math_detail::errorFromFlags(status & 0x01, status & 0x04, status & 0x08);
  }
};

#endif  // GLIMMERWEAVE_HAS_X87

struct PortableMath {
  static long double sin(long double x) {
    if (std::fabs(x) >= math_detail::kTrigLimit) return 0.0L;
    return std::sin(x);
  }
  static long double cos(long double x) {
    if (std::fabs(x) >= math_detail::kTrigLimit) return 0.0L;
    return std::cos(x);
  }
  static SinCos sinCos(long double x) { return SinCos{sin(x), cos(x)}; }
  // Some runtimes (MinGW's among them) answer the edge cases of these functions
  // with a constant instead of an operation that raises the status flag, so
  // the flags are raised here explicitly.
  static long double sqrt(long double x) {
    const long double result = std::sqrt(x);
    if (x < 0) std::feraiseexcept(FE_INVALID);
    return result;
  }
  static long double ln(long double x) {
    const long double result = std::log(x);
    if (x == 0) std::feraiseexcept(FE_DIVBYZERO);
    if (x < 0) std::feraiseexcept(FE_INVALID);
    return result;
  }
  static long double exp(long double x) {
    const long double result = std::exp(x);
    if (std::isinf(result) && std::isfinite(x)) std::feraiseexcept(FE_OVERFLOW);
    return result;
  }

  static std::int32_t round(long double x) {
    if (!(x >= math_detail::kRoundLow && x < math_detail::kRoundHigh))
      return math_detail::saturatedRoundResult(x);
    // rint, not nearbyint: some runtimes clear every status flag in nearbyint.
    return static_cast<std::int32_t>(std::rint(x));
  }

  static void clearErrors() { std::feclearexcept(FE_ALL_EXCEPT); }

  static ArithmeticError pendingError() {
    const int flags = std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
    return math_detail::errorFromFlags(flags & FE_INVALID, flags & FE_DIVBYZERO,
                                       flags & FE_OVERFLOW);
  }
};

// Makes every computation that produced `values` complete, in program order,
// before the code that follows, so that the error flags read next cover it.
// Floating-point operations have no visible side effects for the compiler,
// which could otherwise move them past the flag test.
template <class T>
inline void settleValue([[maybe_unused]] const T& value) {
#if defined(__GNUC__) || defined(__clang__)
  __asm__ volatile("" : : "m"(value));
#endif
}

template <class... T>
inline void settle(const T&... values) {
  (settleValue(values), ...);
}

#if GLIMMERWEAVE_HAS_X87
using NativeMath = X87Math;
#else
using NativeMath = PortableMath;
#endif

// Puts the floating-point unit into the state frames are computed in (64-bit
// mantissa, round to nearest, every exception masked, no flags pending) and
// gives the caller's state back on destruction. Threads on some platforms start
// with a 53-bit x87 precision, so every thread that computes needs one.
class FloatingPointScope {
 public:
  FloatingPointScope();
  ~FloatingPointScope();
  FloatingPointScope(const FloatingPointScope&) = delete;
  FloatingPointScope& operator=(const FloatingPointScope&) = delete;

 private:
#if GLIMMERWEAVE_HAS_X87
  std::uint16_t savedControlWord_ = 0;
#else
  std::fenv_t savedEnvironment_{};
#endif
};

}  // namespace glimmerweave
