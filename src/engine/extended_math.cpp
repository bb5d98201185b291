#include "engine/extended_math.h"

namespace glimmerweave {

const char* arithmeticErrorMessage(ArithmeticError error) {
  switch (error) {
    case ArithmeticError::InvalidOperation:
      return "Invalid floating point operation";
    case ArithmeticError::DivisionByZero:
      return "Floating point division by zero";
    case ArithmeticError::Overflow:
      return "Floating point overflow";
    case ArithmeticError::None:
      break;
  }
  return "";
}

#if GLIMMERWEAVE_HAS_X87

namespace {
// 64-bit mantissa, round to nearest, all six exceptions masked.
constexpr std::uint16_t kFrameControlWord = 0x037F;
}  // namespace

FloatingPointScope::FloatingPointScope() {
  __asm__ volatile("fnstcw %0" : "=m"(savedControlWord_));
  __asm__ volatile("fnclex");
  __asm__ volatile("fldcw %0" : : "m"(kFrameControlWord));
}

FloatingPointScope::~FloatingPointScope() {
  // Clear the frame's flags first: reloading a control word that unmasks an
  // exception whose flag is pending would raise it in the caller.
  __asm__ volatile("fnclex");
  __asm__ volatile("fldcw %0" : : "m"(savedControlWord_));
}

#else

FloatingPointScope::FloatingPointScope() {
  std::feholdexcept(&savedEnvironment_);
  std::fesetround(FE_TONEAREST);
}

FloatingPointScope::~FloatingPointScope() {
  std::fesetenv(&savedEnvironment_);
}

#endif

}  // namespace glimmerweave
