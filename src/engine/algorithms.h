// The 35 per-pixel algorithms and the three colour maps.
//
// Each algorithm sets a starting point from the pixel's position and the phases,
// takes three steps of a two-dimensional map and maps three results to red,
// green and blue. Everything is computed in long double (80-bit on x86); a value
// is rounded to double exactly where it is stored into the iteration arrays,
// and what a formula reads back after a store is the stored double. Terms kept
// for all three steps of a pixel stay in long double unless noted.
//
// The templates take the math backend (X87Math or PortableMath) as parameter M.
#pragma once

#include <cstdint>

#include "engine/extended_math.h"

namespace glimmerweave {

// What an algorithm knows of its pixel and of the animation.
struct PixelInput {
  long double A = 0.0L;  // PhaseA
  long double B = 0.0L;  // PhaseB
  long double u = 0.0L;  // column / width - 0.5
  long double v = 0.0L;  // row / height - 0.5
  long double column = 0.0L;
  long double row = 0.0L;
  long double width = 0.0L;
  long double height = 0.0L;
  long double L = 0.0L;  // colour scale, EngineBrightness * 2.55

  // Terms of the whole frame, computed once by framePixelInput: the phases'
  // sines and cosines, and the first step's terms of the algorithms that read
  // Z[0] without writing it (Z[0] then stays as the frame found it).
  long double sinA = 0.0L, cosA = 1.0L, sinB = 0.0L, cosB = 1.0L;
  long double sinHalfA = 0.0L, cosHalfB = 1.0L;
  long double firstSinSquareA = 0.0L;  // sin^2(A x Z[0] / 2)
  long double firstSinSquareB = 0.0L;  // sin^2(B x Z[0] / 2)
  long double firstSinAZ = 0.0L;       // sin(1 x A + Z[0])
  long double firstCosBZ = 1.0L;       // cos(1 x B + Z[0])
  long double firstSinZ = 0.0L;        // sin(1 x Z[0])
  long double firstCosZ = 1.0L;        // cos(1 x Z[0])
};

// The iteration arrays: the starting point (index 0) and the three steps.
struct Iteration {
  double X[4] = {};
  double Y[4] = {};
  double Z[4] = {};
};

// A pixel's three plane values, before the clamp.
struct Rgb {
  std::int32_t red = 0;
  std::int32_t green = 0;
  std::int32_t blue = 0;
};

namespace algorithms {

using ld = long double;

inline double store(ld value) {
  return static_cast<double>(value);
}
inline ld sq(ld value) {
  return value * value;
}
inline ld absl(ld value) {
  return __builtin_fabsl(value);
}

// ---------------------------------------------------------------------------
// Colour maps

template <class M>
std::int32_t GaussColor(double t, ld L) {
  const ld x = t;
  return M::round(M::exp(-(x * x)) * L);
}

template <class M>
std::int32_t SineSquareColor(double t, ld L) {
  return M::round(sq(M::sin(t)) * L);
}

template <class M>
std::int32_t AbsSineColor(double t, ld L) {
  return M::round(absl(M::sin(t)) * L);
}

using ColorMap = std::int32_t (*)(double, ld);

// R, G, Bl from Z[1], Z[2], Z[3].
template <ColorMap Map>
Rgb rising(const Iteration& it, ld L) {
  return Rgb{Map(it.Z[1], L), Map(it.Z[2], L), Map(it.Z[3], L)};
}

// R, G, Bl from Z[3], Z[2], Z[1].
template <ColorMap Map>
Rgb falling(const Iteration& it, ld L) {
  return Rgb{Map(it.Z[3], L), Map(it.Z[2], L), Map(it.Z[1], L)};
}

// ---------------------------------------------------------------------------
// Steps

// The sign-preserving square root applied to a stored value: sqrt(w) above the
// threshold, -sqrt(-w) below its negative, unchanged in between.
template <class M>
double fold(double stored, ld threshold) {
  const ld w = stored;
  if (w > threshold) return store(M::sqrt(w));
  if (w < -threshold) return store(-M::sqrt(-w));
  return stored;
}

// Runs steps k = 1, 2, 3: X[k] = nextX(k, x, y, z), then Y[k] = nextY(k, x, y, z)
// from the previous step's stored x, y, z; then Z[k] = nextZ(k, x', y') from the
// new stored values.
template <class NextX, class NextY, class NextZ>
void iterate(Iteration& it, NextX nextX, NextY nextY, NextZ nextZ) {
  for (int k = 1; k <= 3; ++k) {
    const ld kk = k;
    const ld x = it.X[k - 1], y = it.Y[k - 1], z = it.Z[k - 1];
    it.X[k] = store(nextX(kk, x, y, z));
    it.Y[k] = store(nextY(kk, x, y, z));
    it.Z[k] = store(nextZ(kk, ld{it.X[k]}, ld{it.Y[k]}));
  }
}

// As iterate, with X[k] and Y[k] folded after they are stored.
template <class M, class NextX, class NextY, class NextZ>
void iterateFolded(Iteration& it, ld threshold, NextX nextX, NextY nextY, NextZ nextZ) {
  for (int k = 1; k <= 3; ++k) {
    const ld kk = k;
    const ld x = it.X[k - 1], y = it.Y[k - 1], z = it.Z[k - 1];
    it.X[k] = store(nextX(kk, x, y, z));
    it.Y[k] = store(nextY(kk, x, y, z));
    it.X[k] = fold<M>(it.X[k], threshold);
    it.Y[k] = fold<M>(it.Y[k], threshold);
    it.Z[k] = store(nextZ(kk, ld{it.X[k]}, ld{it.Y[k]}));
  }
}

// Sets X[0] and Y[0].
inline void start(Iteration& it, ld x0, ld y0) {
  it.X[0] = store(x0);
  it.Y[0] = store(y0);
}

// ln(scale / (x'^2 + y'^2 + 0.0001)), the value of many algorithms.
template <class M>
ld logInverseRadius(ld scale, ld x, ld y) {
  return M::ln(scale / (x * x + y * y + 0.0001L));
}

// (X[0]^2 + Y[0]^2)^2 and sqrt(X[0]^2 + Y[0]^2) from the stored start.
inline ld startRadiusSquaredSquared(const Iteration& it) {
  const ld x = it.X[0], y = it.Y[0];
  return sq(x * x + y * y);
}
template <class M>
ld startRadius(const Iteration& it) {
  const ld x = it.X[0], y = it.Y[0];
  return M::sqrt(x * x + y * y);
}

// ---------------------------------------------------------------------------
// Algorithms 0 to 16

// Algorithms 0 and 2 share their steps; they differ in start, scale, fold and Z.
template <class M, class NextZ>
void quadraticWithPhaseTerms(const PixelInput& in, Iteration& it, ld p, ld q, ld threshold,
                             NextZ nextZ) {
  iterateFolded<M>(
      it, threshold,
      [&](ld k, ld x, ld y, ld z) {
        const ld phaseTerm = k == 1 ? in.firstSinSquareA : sq(M::sin(in.A * z / 2));
        return phaseTerm + x * x - y * y + p / k;
      },
      [&](ld k, ld x, ld y, ld z) {
        const ld phaseTerm = k == 1 ? in.firstSinSquareB : sq(M::sin(in.B * z / 2));
        return phaseTerm + 2 * x * y + q / k;
      },
      nextZ);
}

template <class M>
Rgb algorithm0(const PixelInput& in, Iteration& it) {
  start(it, in.sinA, in.cosA);
  quadraticWithPhaseTerms<M>(in, it, 5 * in.u, 5 * in.v, 0,
                             [](ld, ld x, ld y) { return x * x + y * y; });
  return rising<GaussColor<M>>(it, in.L);
}

template <class M>
Rgb algorithm1(const PixelInput& in, Iteration& it) {
  const ld sinA = in.sinA, cosA = in.cosA;
  start(it, (cosA + sinA) / 2, (sinA - cosA) / 2);
  const ld p = 5 * in.u, q = 5 * in.v;
  iterate(
      it, [&](ld k, ld x, ld y, ld) { return x * x - y * y + k * M::sin(k + p + x); },
      [&](ld k, ld x, ld y, ld) { return 2 * x * y + k * M::sin(k + q + y); },
      [](ld, ld x, ld y) { return M::ln(x * x + y * y + 0.01L); });
  return falling<SineSquareColor<M>>(it, in.L);
}

template <class M>
Rgb algorithm2(const PixelInput& in, Iteration& it) {
  start(it, 0, 0);
  quadraticWithPhaseTerms<M>(in, it, 10 * in.u, 10 * in.v, 1,
                             [](ld, ld x, ld y) { return M::sin(x * x) + M::cos(y * y); });
  return rising<GaussColor<M>>(it, in.L);
}

template <class M>
Rgb algorithm3(const PixelInput& in, Iteration& it) {
  start(it, in.u * (in.A + 5), in.v * (in.B + 5));
  const ld x0 = it.X[0], y0 = it.Y[0];
  iterate(
      it, [&](ld k, ld x, ld y, ld) { return sq(M::sin(x) * M::cos(y)) + M::sin(in.A - x0 - k); },
      [&](ld k, ld x, ld y, ld) { return sq(M::cos(x) + M::sin(y)) + M::cos(in.A - y0 - k); },
      [](ld, ld x, ld y) { return logInverseRadius<M>(0.75L, x, y); });
  return falling<AbsSineColor<M>>(it, in.L);
}

template <class M>
Rgb algorithm4(const PixelInput& in, Iteration& it) {
  start(it, in.u * (in.A + 5), in.v * (in.B + 5));
  const ld sinA = in.sinA, cosA = in.cosA;
  iterate(
      it, [&](ld, ld x, ld y, ld) { return M::sin(x) + M::cos(y) + sinA + 0.295L; },
      [&](ld, ld x, ld y, ld) { return cosA + x * y + 0.55L; },
      [](ld, ld x, ld y) { return M::ln(absl(x + y)); });
  return rising<GaussColor<M>>(it, in.L);
}

template <class M>
Rgb algorithm5(const PixelInput& in, Iteration& it) {
  start(it, 3 * in.u, 3 * in.v);
  iterate(
      it, [&](ld, ld x, ld y, ld) { return M::sin(x) - M::cos(y) + M::sin(3 * y + in.A) + 0.32L; },
      [&](ld k, ld x, ld y, ld) { return M::cos(k * x + in.B) + x * y + 0.435L; },
      [](ld, ld x, ld y) { return M::ln(x * x + y * y + 0.1L); });
  return rising<GaussColor<M>>(it, in.L);
}

// The family of algorithms 6, 10, 13, 14 and 16 (and 8): the sine or cosine of a
// guarded quotient of x^2 - y^2, and of a multiple of x * y, shifted by phase terms.
template <class M>
Rgb algorithm6(const PixelInput& in, Iteration& it) {
  start(it, sq(3 * in.u), sq(3 * in.v));
  iterate(
      it,
      [&](ld, ld x, ld y, ld) {
        return M::sin((x * x - y * y) / (sq(x * x + y * y) + 0.02L) + in.A);
      },
      [&](ld, ld x, ld y, ld) { return M::sin(5 * x * y / (sq(x * x + y * y) + 0.02L)); },
      [](ld, ld x, ld y) { return logInverseRadius<M>(0.5L, x, y); });
  return falling<AbsSineColor<M>>(it, in.L);
}

template <class M>
Rgb algorithm7(const PixelInput& in, Iteration& it) {
  start(it, 7 * in.u, 7 * in.v);
  const ld sinA = in.sinA, cosB = in.cosB;
  iterate(
      it, [&](ld, ld x, ld y, ld) { return M::cos(x * x) - M::sin(x * y) + sinA; },
      [&](ld, ld x, ld y, ld) { return M::sin(x + y) + M::sin(x * y) - cosB; },
      [](ld, ld x, ld y) { return M::ln(x * x + y * y); });
  return rising<GaussColor<M>>(it, in.L);
}

template <class M>
Rgb algorithm8(const PixelInput& in, Iteration& it) {
  start(it, 3 * in.u, 3 * in.v);
  const ld sinA = in.sinA, cosA = in.cosA;
  iterate(
      it,
      [&](ld, ld x, ld y, ld) {
        return M::sin((x * x - y * y) / M::sqrt(x * x + y * y + 0.01L) - sinA);
      },
      [&](ld, ld x, ld y, ld) { return M::cos(cosA + 3 * x * y / M::sqrt(x * x + y * y + 0.01L)); },
      [](ld, ld x, ld y) { return logInverseRadius<M>(0.5L, x, y); });
  return rising<GaussColor<M>>(it, in.L);
}

template <class M>
Rgb algorithm9(const PixelInput& in, Iteration& it) {
  start(it, in.u * (in.A + 5), in.v * (in.A + 5));
  const ld sinA = in.sinA, cosB = in.cosB;
  iterate(
      it,
      [&](ld, ld x, ld y, ld) { return M::sin((in.A / 5 - 2.23L) * y) + M::sin(1.65L * x) + sinA; },
      [&](ld, ld x, ld y, ld) {
        return M::cos((in.B / 5 + 1.43L) * x) + M::cos(-2.43L * y) + cosB;
      },
      [](ld, ld x, ld) { return M::ln(x * x); });
  return falling<AbsSineColor<M>>(it, in.L);
}

template <class M>
Rgb algorithm10(const PixelInput& in, Iteration& it) {
  start(it, sq(3 * in.u), sq(3 * in.v));
  iterate(
      it,
      [&](ld, ld x, ld y, ld) {
        return M::sin((x * x - y * y) / (M::sqrt(x * x + y * y) + 0.1L) + in.A);
      },
      [&](ld, ld x, ld y, ld) { return M::sin(5 * x * y / (sq(x * x + y * y) + 0.1L)); },
      [](ld, ld x, ld y) { return logInverseRadius<M>(0.5L, x, y); });
  return falling<AbsSineColor<M>>(it, in.L);
}

template <class M>
Rgb algorithm11(const PixelInput& in, Iteration& it) {
  start(it, in.u * (in.A + 5), in.v * (in.A + 5));
  iterate(
      it, [&](ld, ld x, ld y, ld) { return M::sin(x * x) + M::cos(y * y) + in.A; },
      [&](ld, ld x, ld y, ld) { return M::cos(x) + M::sin(y) + in.B / 5; },
      [](ld, ld x, ld y) { return M::ln(sq(M::sin(x) + M::cos(y)) / 5); });
  return rising<GaussColor<M>>(it, in.L);
}

template <class M>
Rgb algorithm12(const PixelInput& in, Iteration& it) {
  start(it, 0, 0);
  // p and q are the only per-pixel terms of the engine kept as doubles.
  const ld p = store(in.u * (in.A + 5)), q = store(in.v * (in.B + 5));
  iterate(
      it, [&](ld k, ld x, ld y, ld z) { return k * M::sin(p + z) + M::sin(y) * M::cos(x) + in.A; },
      [&](ld k, ld x, ld y, ld z) {
        return k * M::cos(q + z) + sq(M::sin(y)) - sq(M::cos(x)) + in.B;
      },
      [](ld, ld x, ld y) { return M::ln(sq(M::sin(x) - M::cos(y))); });
  return falling<AbsSineColor<M>>(it, in.L);
}

template <class M>
Rgb algorithm13(const PixelInput& in, Iteration& it) {
  start(it, 3 * in.u, 3 * in.v);
  const ld sinHalfA = in.sinHalfA, cosHalfB = in.cosHalfB;
  iterate(
      it,
      [&](ld, ld x, ld y, ld) {
        return M::sin((x * x - y * y) / (sq(x * x + y * y) + 0.01L) - sinHalfA);
      },
      [&](ld, ld x, ld y, ld) {
        return M::cos(-2 * x * y / (sq(x * x + y * y) + 0.01L) - cosHalfB);
      },
      [](ld, ld x, ld y) { return logInverseRadius<M>(0.5L, x, y); });
  return falling<AbsSineColor<M>>(it, in.L);
}

template <class M>
Rgb algorithm14(const PixelInput& in, Iteration& it) {
  start(it, 3 * in.u, 3 * in.v);
  iterate(
      it,
      [&](ld, ld x, ld y, ld) {
        return M::sin((x * x - y * y) / (sq(x * x + y * y) + 0.1L) + in.A);
      },
      [&](ld, ld x, ld y, ld) { return M::cos(4 * x * y / (sq(x * x + y * y) + 0.1L) - in.A); },
      [](ld, ld x, ld y) { return logInverseRadius<M>(0.5L, x, y); });
  return falling<AbsSineColor<M>>(it, in.L);
}

template <class M>
Rgb algorithm15(const PixelInput& in, Iteration& it) {
  start(it, 2 * in.u, 2 * in.v);
  iterate(
      it,
      [&](ld k, ld x, ld y, ld z) {
        return (k == 1 ? in.firstSinAZ : M::sin(k * in.A + z)) + x * x - y * y;
      },
      [&](ld k, ld x, ld y, ld z) {
        return (k == 1 ? in.firstCosBZ : M::cos(k * in.B + z)) + 2 * y * x;
      },
      [](ld, ld x, ld y) { return M::ln(sq(M::sin(x) + M::cos(y))); });
  return rising<GaussColor<M>>(it, in.L);
}

template <class M>
Rgb algorithm16(const PixelInput& in, Iteration& it) {
  start(it, 3 * in.u, 3 * in.v);
  iterate(
      it,
      [&](ld, ld x, ld y, ld) {
        return M::sin((x * x - y * y) / (sq(x * x + y * y) + 0.05L) + in.A);
      },
      [&](ld, ld x, ld y, ld) { return M::sin(4 * x * y / (sq(x * x + y * y) + 0.05L)); },
      [](ld, ld x, ld y) { return logInverseRadius<M>(0.5L, x, y); });
  return falling<AbsSineColor<M>>(it, in.L);
}

// ---------------------------------------------------------------------------
// Algorithms 17 to 34

inline constexpr ld kPi = 3.14159265358979323846L;

template <class M>
Rgb algorithm17(const PixelInput& in, Iteration& it) {
  start(it, 3 * in.u, 3 * in.v);
  it.Z[0] = store(startRadius<M>(it));
  const ld sinA = in.sinA;
  iterate(
      it,
      [&](ld, ld x, ld y, ld z) {
        return M::sin(sinA + (x * x - y * y) / (sq(y * y + z * z) + 0.1L));
      },
      [&](ld, ld x, ld y, ld z) { return -M::sin(3 * x * y / (sq(x * x + z * z) + 0.1L)); },
      [](ld, ld x, ld y) { return logInverseRadius<M>(0.5L, x, y); });
  return falling<AbsSineColor<M>>(it, in.L);
}

// Algorithms 18 and 34.
template <class M>
Rgb algorithm18(const PixelInput& in, Iteration& it) {
  start(it, kPi * in.u, kPi * in.v);
  const ld sinA = in.sinA;
  iterate(
      it,
      [&](ld, ld x, ld y, ld) {
        return M::sin(sinA * y) + M::sin(x * x - y * y) / (M::sin(x * x + y * y) + 0.01L);
      },
      [&](ld, ld x, ld y, ld) {
        return M::sin(-sinA * y) +
               M::cos((in.A + 1) * x * y) / (M::sin(x * x + y * y) * (in.B + 1) + 0.01L);
      },
      [](ld, ld x, ld y) { return M::ln(x * x + y * y + 0.00001L); });
  return rising<SineSquareColor<M>>(it, in.L);
}

template <class M>
Rgb algorithm19(const PixelInput& in, Iteration& it) {
  start(it, 3 * in.u, 3 * in.v);
  it.Z[0] = store(startRadiusSquaredSquared(it));
  const ld sinA = in.sinA;
  iterate(
      it,
      [&](ld, ld x, ld y, ld) {
        return M::cos(sinA + (x * x - y * y) / (sq(x * x + y * y) + 0.1L));
      },
      [&](ld, ld x, ld y, ld) { return M::sin(x * y / (sq(x * x + y * y) + 0.1L)); },
      [](ld, ld x, ld y) { return logInverseRadius<M>(0.5L, x, y); });
  return falling<AbsSineColor<M>>(it, in.L);
}

template <class M>
Rgb algorithm20(const PixelInput& in, Iteration& it) {
  start(it, 3 * in.u, 3 * in.v);
  it.Z[0] = store(startRadiusSquaredSquared(it));
  const ld sinA = in.sinA, sinB = in.sinB;
  iterate(
      it,
      [&](ld, ld x, ld y, ld) { return M::cos(sinA + (sinB + x * x - y * y) / (absl(y) + 0.3L)); },
      [&](ld, ld x, ld y, ld) { return M::sin(x * y / (absl(x) + 0.3L)); },
      [](ld, ld x, ld y) { return logInverseRadius<M>(0.5L, x, y); });
  return falling<AbsSineColor<M>>(it, in.L);
}

template <class M>
Rgb algorithm21(const PixelInput& in, Iteration& it) {
  start(it, 3 * in.u, 3 * in.v);
  it.Z[0] = store(startRadiusSquaredSquared(it));
  const ld sinA = in.sinA;
  iterate(
      it,
      [&](ld, ld x, ld y, ld z) {
        return sinA + (x * x - y * y) / M::sqrt(z * z * (y * y) + 0.1L);
      },
      [&](ld, ld x, ld y, ld z) { return x * y / M::sqrt(z * z * (x * x) + 0.1L); },
      [](ld, ld x, ld y) { return M::ln(0.5L / (absl(x) + absl(y) + 0.0001L)); });
  return falling<AbsSineColor<M>>(it, in.L);
}

template <class M>
Rgb algorithm22(const PixelInput& in, Iteration& it) {
  start(it, 2.5L * in.u, 2.5L * in.v);
  const ld sinA = in.sinA, cosA = in.cosA;
  iterate(
      it,
      [&](ld, ld x, ld y, ld) { return 2 * M::sin(2 * y / (x * x + y * y + 0.01L)) + sinA / 2; },
      [&](ld, ld x, ld y, ld) { return 2 * M::cos(2 * x / (x * x + y * y + 0.01L)) + cosA / 2; },
      [](ld, ld x, ld y) { return M::ln(0.1L / sq(x * x + y * y + 0.1L)); });
  return falling<AbsSineColor<M>>(it, in.L);
}

template <class M>
Rgb algorithm23(const PixelInput& in, Iteration& it) {
  start(it, 3.5L * in.u, 3.5L * in.v);
  const ld sinA = in.sinA, sinB = in.sinB;
  iterateFolded<M>(
      it, 0,
      [&](ld k, ld x, ld y, ld z) {
        return sinA * (k == 1 ? in.firstSinZ : M::sin(k * z)) + x * x - y * y;
      },
      [&](ld k, ld x, ld y, ld z) {
        return sinB * (k == 1 ? in.firstCosZ : M::cos(k * z)) + 0.5L * x * y;
      },
      [](ld, ld x, ld y) { return M::ln(0.1L / (x * x + y * y + 0.1L)); });
  return falling<AbsSineColor<M>>(it, in.L);
}

template <class M>
Rgb algorithm24(const PixelInput& in, Iteration& it) {
  start(it, 2.5L * in.u, 2.5L * in.v);
  const ld sinA = in.sinA, cosA = in.cosA;
  iterate(
      it, [&](ld, ld x, ld y, ld) { return M::sin(x * x - y * y) + sinA / 2; },
      [&](ld, ld x, ld y, ld) { return M::sin(3 * x * y) + cosA / 2; },
      [](ld k, ld x, ld y) {
        // Z[k] is stored twice: the sum's square first, then the exponential of it.
        const ld first = store(sq(absl(x) + absl(y)));
        return M::exp(-first / M::sqrt(k));
      });
  return falling<AbsSineColor<M>>(it, in.L);
}

template <class M>
Rgb algorithm25(const PixelInput& in, Iteration& it) {
  start(it, 3.5L * in.u, 3.5L * in.v);
  const ld sinA = in.sinA, cosA = in.cosA;
  iterate(
      it,
      [&](ld, ld x, ld y, ld) { return M::sin((x * x - y * y) / sq(x * x + y * y + 0.1L) + sinA); },
      [&](ld, ld x, ld y, ld) { return M::sin(3 * x * y / sq(x * x + y * y + 0.1L) + cosA); },
      [](ld, ld x, ld y) { return 5 / (x * x + y * y + 0.5L); });
  return falling<AbsSineColor<M>>(it, in.L);
}

template <class M>
Rgb algorithm26(const PixelInput& in, Iteration& it) {
  start(it, 2.5L * in.u, 2.5L * in.v);
  it.Z[0] = store(startRadiusSquaredSquared(it));
  const ld sinA = in.sinA, cosA = in.cosA;
  iterate(
      it, [&](ld, ld x, ld y, ld) { return M::sin(x * x - y * y + sinA * cosA); },
      [&](ld, ld x, ld y, ld) { return M::cos(3 * x * y + sinA * sinA); },
      [](ld, ld x, ld y) { return sq(x * x + y * y); });
  return falling<AbsSineColor<M>>(it, in.L);
}

template <class M>
Rgb algorithm27(const PixelInput& in, Iteration& it) {
  start(it, 2.5L * in.u, 2.5L * in.v);
  it.Z[0] = store(startRadiusSquaredSquared(it));
  const ld sinA = in.sinA, cosA = in.cosA;
  iterate(
      it, [&](ld, ld x, ld y, ld) { return sq(M::sin(x) - M::sin(y) * M::cos(y) + sinA); },
      [&](ld, ld x, ld y, ld) { return sq(M::cos(x) * M::sin(x) + M::sin(y) + cosA); },
      [](ld, ld x, ld y) { return M::sqrt(x * x + y * y); });
  return falling<AbsSineColor<M>>(it, in.L);
}

template <class M>
Rgb algorithm28(const PixelInput& in, Iteration& it) {
  // The column is divided by the height and the row by the width here.
  start(it, 2 * (in.column / in.height - 0.6L), 2 * (in.row / in.width - 0.35L));
  const ld x0 = it.X[0], y0 = it.Y[0];
  const ld m = M::sqrt(x0 * x0 * (y0 * y0) + 0.01L);
  const ld sinA = in.sinA, cosA = in.cosA;
  iterate(
      it, [&](ld, ld x, ld y, ld) { return sinA + x / (sq(y * y + x) + m); },
      [&](ld, ld x, ld y, ld) { return cosA + y / (sq(x * x + y) + m); },
      [](ld, ld x, ld y) { return M::ln(x * x + y * y + 0.1L); });
  return falling<AbsSineColor<M>>(it, in.L);
}

template <class M>
Rgb algorithm29(const PixelInput& in, Iteration& it) {
  start(it, -2.5L * in.v, -2.5L * in.u);
  it.Z[0] = store(startRadiusSquaredSquared(it));
  const ld a = in.sinA / 2 + in.cosA / 2;
  const ld b = in.sinB / 2 + in.cosB / 2;
  iterate(
      it,
      [&](ld, ld x, ld y, ld) { return a * x - (x * x - y * y) / (3 * sq(x * x + y * y + 0.1L)); },
      [&](ld, ld x, ld y, ld) { return sq(1 - x / sq(x * x + y * y + 0.1L)) * b * y; },
      [](ld, ld x, ld y) { return M::sqrt(x * x + y * y + 0.1L); });
  return falling<SineSquareColor<M>>(it, in.L);
}

template <class M>
Rgb algorithm30(const PixelInput& in, Iteration& it) {
  start(it, 2.5L * in.u, 2.5L * in.v);
  it.Z[0] = store(startRadiusSquaredSquared(it));
  const ld sinA = in.sinA;
  iterate(
      it,
      [&](ld, ld x, ld y, ld) { return sinA + 2 * M::sin(x * x - y * y) / (x * x + y * y + 0.1L); },
      [&](ld, ld x, ld y, ld) { return sinA + M::cos(3 * x * y) / (x * x + y * y + 0.1L); },
      [](ld, ld x, ld y) { return M::sqrt(x * x + y * y + 0.01L); });
  return falling<SineSquareColor<M>>(it, in.L);
}

template <class M>
Rgb algorithm31(const PixelInput& in, Iteration& it) {
  start(it, 3.5L * in.u, 3.5L * in.v);
  it.Z[0] = store(startRadius<M>(it));
  const ld fifthA = in.A / 5;
  const ld sinB = in.sinB;
  iterate(
      it, [&](ld, ld x, ld y, ld z) { return M::sin(in.A + x * x - y * y + sq(z / 3)); },
      [&](ld, ld x, ld y, ld z) { return (fifthA + 1) * x * y / (z + 0.1L); },
      [&](ld, ld x, ld y) { return M::ln((sinB + 1.4L) / sq(x * x + y * y + 0.1L)); });
  return falling<AbsSineColor<M>>(it, in.L);
}

template <class M>
Rgb algorithm32(const PixelInput& in, Iteration& it) {
  start(it, 3 * in.u, 3 * in.v);
  it.Z[0] = store(startRadius<M>(it));
  const ld sinA = in.sinA, sinB = in.sinB;
  iterate(
      it,
      [&](ld, ld x, ld y, ld) {
        return sinA + (sinA + 1.5L) * (x * x - y * y) / (2 * sq(M::sin(y)) + 0.1L);
      },
      [&](ld, ld x, ld y, ld) { return (sinB + 1.5L) * x * y / (5 * sq(M::cos(x)) + 0.1L); },
      [](ld, ld x, ld y) { return M::ln(x * x + y * y + 0.001L); });
  return falling<AbsSineColor<M>>(it, in.L);
}

template <class M>
Rgb algorithm33(const PixelInput& in, Iteration& it) {
  // A still picture: every step stores the same values, read from nothing but
  // the pixel's position.
  const ld p = 5 * in.u, q = 5 * in.v;
  const ld rho = 5 * M::sqrt(p * p + q * q + 0.0001L);
  for (int k = 1; k <= 3; ++k) {
    it.X[k] = store(5 * M::sin(rho) * p / rho);
    it.Y[k] = store(5 * M::cos(rho) * q / rho);
    it.Z[k] = store(ld{it.X[k]} + ld{it.Y[k]} + 0.01L);
  }
  return rising<AbsSineColor<M>>(it, in.L);
}

}  // namespace algorithms

// The input of every pixel of a frame before its position is filled in, with
// the frame's terms computed once: phases A and B, the frame's size, the colour
// scale L and the Z[0] the frame starts with.
template <class M>
PixelInput framePixelInput(long double A, long double B, std::int32_t width, std::int32_t height,
                           long double L, double z0) {
  PixelInput in;
  in.A = A;
  in.B = B;
  in.width = width;
  in.height = height;
  in.L = L;
  in.sinA = M::sin(A);
  in.cosA = M::cos(A);
  in.sinB = M::sin(B);
  in.cosB = M::cos(B);
  in.sinHalfA = M::sin(A / 2);
  in.cosHalfB = M::cos(B / 2);
  const long double z = z0, one = 1;
  in.firstSinSquareA = algorithms::sq(M::sin(A * z / 2));
  in.firstSinSquareB = algorithms::sq(M::sin(B * z / 2));
  in.firstSinAZ = M::sin(one * A + z);
  in.firstCosBZ = M::cos(one * B + z);
  in.firstSinZ = M::sin(one * z);
  in.firstCosZ = M::cos(one * z);
  return in;
}

inline constexpr int kAlgorithmCount = 35;

template <class M>
using AlgorithmFunction = Rgb (*)(const PixelInput&, Iteration&);

// The algorithms by number. 34 computes exactly what 18 computes.
template <class M>
inline constexpr AlgorithmFunction<M> kAlgorithms[kAlgorithmCount] = {
    algorithms::algorithm0<M>,  algorithms::algorithm1<M>,  algorithms::algorithm2<M>,
    algorithms::algorithm3<M>,  algorithms::algorithm4<M>,  algorithms::algorithm5<M>,
    algorithms::algorithm6<M>,  algorithms::algorithm7<M>,  algorithms::algorithm8<M>,
    algorithms::algorithm9<M>,  algorithms::algorithm10<M>, algorithms::algorithm11<M>,
    algorithms::algorithm12<M>, algorithms::algorithm13<M>, algorithms::algorithm14<M>,
    algorithms::algorithm15<M>, algorithms::algorithm16<M>, algorithms::algorithm17<M>,
    algorithms::algorithm18<M>, algorithms::algorithm19<M>, algorithms::algorithm20<M>,
    algorithms::algorithm21<M>, algorithms::algorithm22<M>, algorithms::algorithm23<M>,
    algorithms::algorithm24<M>, algorithms::algorithm25<M>, algorithms::algorithm26<M>,
    algorithms::algorithm27<M>, algorithms::algorithm28<M>, algorithms::algorithm29<M>,
    algorithms::algorithm30<M>, algorithms::algorithm31<M>, algorithms::algorithm32<M>,
    algorithms::algorithm33<M>, algorithms::algorithm18<M>,
};

// Runs algorithm `algorithm` for one pixel; a number outside 0..34 computes
// nothing and gives black.
template <class M>
Rgb computePixel(std::int32_t algorithm, const PixelInput& in, Iteration& it) {
  if (algorithm < 0 || algorithm >= kAlgorithmCount) return Rgb{};
  return kAlgorithms<M>[algorithm](in, it);
}

}  // namespace glimmerweave
