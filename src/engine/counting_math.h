// A math backend that counts, and can list, the sin, cos, ln, sqrt and e^x its
// algorithms compute, for the tests and the benchmark: which values a pixel
// computes, and how many of each instruction a frame costs. Not used by the
// program's frames.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/algorithms.h"
#include "engine/extended_math.h"

namespace glimmerweave {

enum class MathFunction : std::uint8_t { Sin, Cos, Ln, Sqrt, Exp };
inline constexpr std::size_t kMathFunctionCount = 5;

// "sin", "cos", "ln", "sqrt" or "exp".
constexpr const char* mathFunctionName(MathFunction function) {
  constexpr const char* kNames[kMathFunctionCount] = {"sin", "cos", "ln", "sqrt", "exp"};
  return kNames[static_cast<std::size_t>(function)];
}

struct MathCall {
  MathFunction function;
  long double operand;
};

// Where a thread's CountingMath calls are counted, and listed when `calls` is set.
struct MathCallLog {
  std::array<std::uint64_t, kMathFunctionCount> counts{};
  std::vector<MathCall>* calls = nullptr;
};

// Base (X87Math or PortableMath), counting into the calling thread's `log`.
template <class Base>
struct CountingMath : Base {
  static inline thread_local MathCallLog* log = nullptr;

  static long double sin(long double x) { return note(MathFunction::Sin, x, Base::sin); }
  static long double cos(long double x) { return note(MathFunction::Cos, x, Base::cos); }
  // Counted as the sin and the cos it stands for.
  static SinCos sinCos(long double x) {
    noteOnly(MathFunction::Sin, x);
    noteOnly(MathFunction::Cos, x);
    return Base::sinCos(x);
  }
  static long double ln(long double x) { return note(MathFunction::Ln, x, Base::ln); }
  static long double sqrt(long double x) { return note(MathFunction::Sqrt, x, Base::sqrt); }
  static long double exp(long double x) { return note(MathFunction::Exp, x, Base::exp); }

 private:
  static void noteOnly(MathFunction function, long double x) {
    if (log) {
      ++log->counts[static_cast<std::size_t>(function)];
      if (log->calls) log->calls->push_back(MathCall{function, x});
    }
  }
  static long double note(MathFunction function, long double x,
                          long double (*compute)(long double)) {
    noteOnly(function, x);
    return compute(x);
  }
};

namespace math_census_detail {

template <class M, class Algorithm>
void runPixels(const FrameInput& frame, Iteration& it, void (*afterPixel)(void*), void* context) {
  PixelInput in{frame};
  const typename Algorithm::Terms terms = Algorithm::prepare(frame);
  for (std::int32_t r = 0; r < static_cast<std::int32_t>(frame.height); ++r) {
    in.row = r;
    in.v = in.row / in.height - 0.5L;
    for (std::int32_t c = 0; c < static_cast<std::int32_t>(frame.width); ++c) {
      in.column = c;
      in.u = static_cast<long double>(c) / frame.width - 0.5L;
      Algorithm::pixel(in, terms, it);
      afterPixel(context);
    }
  }
}

template <class M, class Algorithm>
struct PixelsOf {
  static constexpr auto value = &runPixels<M, Algorithm>;
};

}  // namespace math_census_detail

// Computes the pixels of `frame` with algorithm number `algorithm` and backend M
// in raster order, from and into `it`, and calls `afterPixel()` after each. Only
// the math a pixel does: nothing is stored and errors are not looked at.
template <class M, class AfterPixel>
void forEachPixel(std::int32_t algorithm, const FrameInput& frame, Iteration& it,
                  AfterPixel afterPixel) {
  algorithmEntry<M, math_census_detail::PixelsOf>(algorithm)(
      frame, it, [](void* context) { (*static_cast<AfterPixel*>(context))(); }, &afterPixel);
}

}  // namespace glimmerweave
