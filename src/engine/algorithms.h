// The 35 per-pixel algorithms and the three colour maps.
//
// Each algorithm sets a starting point from the pixel's position and the phases,
// takes three steps of a two-dimensional map and maps three results to red,
// green and blue. Everything is computed in long double (80-bit on x86); a value
// is rounded to double exactly where it is stored into the iteration arrays,
// and what a formula reads back after a store is the stored double. Terms kept
// for all three steps of a pixel stay in long double unless noted.
//
// An algorithm is a struct template over the math backend M (X87Math or
// PortableMath) with
//   Terms         its frame terms (NoFrameTerms when it has none);
//   prepare       `static Terms prepare(const FrameInput&)`, once per frame;
//   pixel         `static Rgb pixel(const PixelInput&, const Terms&, Iteration&)`,
//                 once per pixel (with frame terms, a template over the terms'
//                 type, so that the tests can give it UnpreparedTerms instead);
//   kDependencies what its pixels read besides their place, and which iteration
//                 slots they write (PixelDependencies);
// and its number is its place in AlgorithmTable, the one table that ComputeFrame
// and the tests run. An algorithm whose pixels run faster in pairs derives from
// SideBySide and writes `lanes<N>` (N pixels side by side) instead of `pixel`,
// which SideBySide gives it as `lanes<1>`; which algorithms do is measured, not
// assumed (see "Pixels side by side").
//
// How threads share a frame. ComputeFrame hands a frame's rows to several
// threads, each starting from the iteration values the frame started with, and
// still gives the frame one thread computes in raster order. That holds because
// a pixel reads only what it has written itself or what the frame started
// with: its own start and steps; Z[0] as the frame started with it (carried in
// from the previous frame), unless the pixel has written Z[0] itself first; and
// the frame's inputs and terms, computed before any pixel. A pixel never reads
// what an earlier pixel left in the iteration arrays. The same rule lets a row's
// pixels be computed side by side, each lane from the values the row started with.
//
// What prepare may do. It runs once per frame before any pixel and sees only
// the frame's inputs (FrameInput). It computes terms that every pixel of the
// frame would compute alike, bit for bit, so that the pixels read them instead:
// typically a step-1 term that reads Z[0], in an algorithm that never writes
// Z[0]. It computes such a term with the function the step itself uses for
// steps 2 and 3 (k = 1, z = Z[0]), never with a copy of its formula. It may not
// read a pixel's position or the iteration arrays, keep anything from one frame
// to the next, or compute a term that can raise an arithmetic error (the error
// flags are cleared after it, and an error must be raised by the pixel it
// belongs to). The pixels of every thread read its terms and never write them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <tuple>
#include <utility>

#include "engine/extended_math.h"

namespace glimmerweave {

// A frame's inputs, the same for all its pixels.
struct FrameInput {
  long double A = 0.0L;  // PhaseA
  long double B = 0.0L;  // PhaseB
  long double width = 0.0L;
  long double height = 0.0L;
  long double L = 0.0L;  // colour scale, EngineBrightness * 2.55
  // Z[0] as the frame starts: what the previous frame's last pixel left there.
  double z0 = 0.0;

  // The phases' sines and cosines, which many algorithms read.
  long double sinA = 0.0L, cosA = 1.0L, sinB = 0.0L, cosB = 1.0L;
  long double sinHalfA = 0.0L, cosHalfB = 1.0L;
};

// The inputs of a frame of `width` x `height` pixels at phases A and B, with
// colour scale L, whose first pixel finds `z0` in Z[0].
template <class M>
FrameInput frameInput(long double A, long double B, std::int32_t width, std::int32_t height,
                      long double L, double z0) {
  FrameInput frame;
  frame.A = A;
  frame.B = B;
  frame.width = width;
  frame.height = height;
  frame.L = L;
  frame.z0 = z0;
  frame.sinA = M::sin(A);
  frame.cosA = M::cos(A);
  frame.sinB = M::sin(B);
  frame.cosB = M::cos(B);
  frame.sinHalfA = M::sin(A / 2);
  frame.cosHalfB = M::cos(B / 2);
  return frame;
}

// What an algorithm knows of its pixel: the frame's inputs and the pixel's place.
struct PixelInput : FrameInput {
  long double u = 0.0L;  // column / width - 0.5
  long double v = 0.0L;  // row / height - 0.5
  long double column = 0.0L;
  long double row = 0.0L;
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

// What the pixels of an algorithm read besides their place, the frame size and
// the colour scale, and which slots of the iteration arrays they write (the
// slots they do not write keep what the frame started with). The engine knows
// from it whether a tick would compute the frame the planes already hold.
struct PixelDependencies {
  bool phases = true;       // A and B, or terms of them
  bool carriedZ = false;    // Z[0] as the frame started with it
  bool writesZ0 = false;    // Z[0] (before reading it, if it reads it)
  bool writesStart = true;  // X[0] and Y[0]
  bool writesSteps = true;  // X, Y and Z of steps 1 to 3
};

namespace algorithms {

inline constexpr PixelDependencies kReadsCarriedZ{true, true, false, true, true};
inline constexpr PixelDependencies kWritesZ0{true, false, true, true, true};

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

// The pixel loops run faster with the colour maps out of line: inlined, they cost
// algorithms 0, 4, 5 and 11 6 to 8 % (measured), so they stay calls whatever the
// compiler makes of how often they are used.

// R, G, Bl from Z[1], Z[2], Z[3].
template <ColorMap Map>
[[gnu::noinline]] Rgb rising(const Iteration& it, ld L) {
  return Rgb{Map(it.Z[1], L), Map(it.Z[2], L), Map(it.Z[3], L)};
}

// R, G, Bl from Z[3], Z[2], Z[1].
template <ColorMap Map>
[[gnu::noinline]] Rgb falling(const Iteration& it, ld L) {
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

// As iterate, for formulas of X and Y that share terms of the previous step's
// stored x, y, z: shared(k, x, y, z) computes them once per step, and nextX and
// nextY read them as their last argument in place of z.
template <class Shared, class NextX, class NextY, class NextZ>
void iterateSharing(Iteration& it, Shared shared, NextX nextX, NextY nextY, NextZ nextZ) {
  for (int k = 1; k <= 3; ++k) {
    const ld kk = k;
    const ld x = it.X[k - 1], y = it.Y[k - 1], z = it.Z[k - 1];
    const auto terms = shared(kk, x, y, z);
    it.X[k] = store(nextX(kk, x, y, terms));
    it.Y[k] = store(nextY(kk, x, y, terms));
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

// The start at (x0, y0), with Z[0] its stored (X[0]^2 + Y[0]^2)^2.
inline void startWithZ0FromRadius(Iteration& it, ld x0, ld y0) {
  start(it, x0, y0);
  it.Z[0] = store(startRadiusSquaredSquared(it));
}
template <class M>
ld startRadius(const Iteration& it) {
  const ld x = it.X[0], y = it.Y[0];
  return M::sqrt(x * x + y * y);
}

// ---------------------------------------------------------------------------
// Pixels side by side
//
// A pixel's three steps are one chain: each step's formulas put an x87 sin, cos,
// ln or e^x (tens of cycles each) behind arithmetic behind another one, with
// every stored value's round trip to double on the way. The processor overlaps
// two such instructions only when they stand next to each other with their
// operands ready, never two consecutive pixels. So some algorithms compute N
// pixels side by side ("lanes"): each formula for every lane in turn, each
// lane's values exactly as one pixel alone computes them, so that one lane's
// arithmetic runs under the other's instructions. Such an algorithm derives
// from SideBySide and writes `lanes<N>`; its `pixel` is the one-lane case.

// Calls f(0), ..., f(N - 1), unrolled.
template <int N, class F>
inline void eachLane(F f) {
  [&]<int... l>(std::integer_sequence<int, l...>) {
    (f(l), ...);
  }
  (std::make_integer_sequence<int, N>());
}

// What makes an algorithm compute its pixels in pairs: `pixel` is `lanes<1>`
// of Algorithm, and the engine's row loop calls `lanes<kLanes>`.
template <class Algorithm>
struct SideBySide {
  static constexpr int kLanes = 2;

  template <class Prepared>
  static Rgb pixel(const PixelInput& in, const Prepared& prepared, Iteration& it) {
    Rgb rgb;
    Algorithm::template lanes<1>(&in, prepared, &it, &rgb);
    return rgb;
  }
};

// A formula of Z in two parts, inner(l, k, x, y) and outer(l, k, inner): side by
// side every lane's inner part comes first, so that the lanes' sines and cosines
// stand together before their logarithms.
template <class Inner, class Outer>
struct ZInTwoParts {
  Inner inner;
  Outer outer;
};
template <class Inner, class Outer>
ZInTwoParts(Inner, Outer) -> ZInTwoParts<Inner, Outer>;

// Z[k] = nextZ(l, k, X[k], Y[k]) of every lane, from the stored X[k] and Y[k].
template <int N, class NextZ>
void storeZ(Iteration* it, int k, NextZ& nextZ) {
  eachLane<N>([&](int l) { it[l].Z[k] = store(nextZ(l, ld(k), ld{it[l].X[k]}, ld{it[l].Y[k]})); });
}
template <int N, class Inner, class Outer>
void storeZ(Iteration* it, int k, ZInTwoParts<Inner, Outer>& nextZ) {
  ld inner[N];
  eachLane<N>([&](int l) { inner[l] = nextZ.inner(l, ld(k), ld{it[l].X[k]}, ld{it[l].Y[k]}); });
  eachLane<N>([&](int l) { it[l].Z[k] = store(nextZ.outer(l, ld(k), inner[l])); });
}

// As iterate, for N lanes: nextX, nextY and nextZ take the lane first.
template <int N, class NextX, class NextY, class NextZ>
void iterateLanes(Iteration* it, NextX nextX, NextY nextY, NextZ nextZ) {
  for (int k = 1; k <= 3; ++k) {
    const ld kk = k;
    ld x[N], y[N], z[N];
    eachLane<N>([&](int l) {
      x[l] = it[l].X[k - 1];
      y[l] = it[l].Y[k - 1];
      z[l] = it[l].Z[k - 1];
    });
    eachLane<N>([&](int l) { it[l].X[k] = store(nextX(l, kk, x[l], y[l], z[l])); });
    eachLane<N>([&](int l) { it[l].Y[k] = store(nextY(l, kk, x[l], y[l], z[l])); });
    storeZ<N>(it, k, nextZ);
  }
}

// As iterateSharing, for N lanes: shared, nextX, nextY and nextZ take the lane first.
template <int N, class Shared, class NextX, class NextY, class NextZ>
void iterateSharingLanes(Iteration* it, Shared shared, NextX nextX, NextY nextY, NextZ nextZ) {
  for (int k = 1; k <= 3; ++k) {
    const ld kk = k;
    ld x[N], y[N], z[N];
    eachLane<N>([&](int l) {
      x[l] = it[l].X[k - 1];
      y[l] = it[l].Y[k - 1];
      z[l] = it[l].Z[k - 1];
    });
    decltype(shared(0, kk, x[0], y[0], z[0])) terms[N];
    eachLane<N>([&](int l) { terms[l] = shared(l, kk, x[l], y[l], z[l]); });
    eachLane<N>([&](int l) { it[l].X[k] = store(nextX(l, kk, x[l], y[l], terms[l])); });
    eachLane<N>([&](int l) { it[l].Y[k] = store(nextY(l, kk, x[l], y[l], terms[l])); });
    storeZ<N>(it, k, nextZ);
  }
}

// rising and falling for N lanes, plane by plane.
template <ColorMap Map, int N>
void risingLanes(const Iteration* it, ld L, Rgb* rgb) {
  eachLane<N>([&](int l) { rgb[l].red = Map(it[l].Z[1], L); });
  eachLane<N>([&](int l) { rgb[l].green = Map(it[l].Z[2], L); });
  eachLane<N>([&](int l) { rgb[l].blue = Map(it[l].Z[3], L); });
}
template <ColorMap Map, int N>
void fallingLanes(const Iteration* it, ld L, Rgb* rgb) {
  eachLane<N>([&](int l) { rgb[l].red = Map(it[l].Z[3], L); });
  eachLane<N>([&](int l) { rgb[l].green = Map(it[l].Z[2], L); });
  eachLane<N>([&](int l) { rgb[l].blue = Map(it[l].Z[1], L); });
}

// ---------------------------------------------------------------------------
// Frame terms

// The Terms of an algorithm without frame terms.
struct NoFrameTerms {};

// What an algorithm without frame terms derives from: nothing to prepare.
struct WithoutFrameTerms {
  using Terms = NoFrameTerms;
  static Terms prepare(const FrameInput&) { return Terms{}; }
  static constexpr PixelDependencies kDependencies{};
};

// Given to an algorithm with frame terms in place of the terms prepare computed:
// step 1 then computes its terms from Z[0] as steps 2 and 3 compute theirs, and a
// pixel computes the terms of the frame's inputs for itself, which is what the
// prepared terms stand for (the tests compare the two).
struct UnpreparedTerms {};

// The terms of an algorithm whose frame terms depend on the frame's inputs alone:
// as prepared, or, unprepared, computed by termsOf(frame) for the pixel.
template <class Terms, class TermsOf>
Terms frameTerms(const Terms& prepared, const FrameInput&, TermsOf) {
  return prepared;
}
template <class TermsOf>
auto frameTerms(UnpreparedTerms, const FrameInput& frame, TermsOf termsOf) {
  return termsOf(frame);
}

// The terms of step k: step 1's as prepared for the frame, the others (or,
// unprepared, all) computed into `computed` by termsOf(k, z) from the previous
// step's stored z.
template <class Terms, class TermsOf>
const Terms& stepTerms(const Terms& prepared, TermsOf termsOf, int k, ld z, Terms& computed) {
  return k == 1 ? prepared : (computed = termsOf(ld(k), z));
}
template <class Terms, class TermsOf>
const Terms& stepTerms(UnpreparedTerms, TermsOf termsOf, int k, ld z, Terms& computed) {
  return computed = termsOf(ld(k), z);
}

// What a step does to its stored X[k] and Y[k]: keep them, or fold them.
struct Unfolded {
  double operator()(double stored) const { return stored; }
};
template <class M>
struct Folded {
  ld threshold;
  double operator()(double stored) const { return fold<M>(stored, threshold); }
};

// As iterate, for an algorithm with frame terms: each step first takes its terms
// (stepTerms), which nextX and nextY read as their last argument in place of z,
// then `finish` keeps or folds the stored X[k] and Y[k] (Folded<M> folds them).
template <class Prepared, class TermsOf, class Finish, class NextX, class NextY, class NextZ>
void iterateWithTerms(Iteration& it, const Prepared& prepared, TermsOf termsOf, Finish finish,
                      NextX nextX, NextY nextY, NextZ nextZ) {
  decltype(termsOf(ld{}, ld{})) computed;
  for (int k = 1; k <= 3; ++k) {
    const ld kk = k;
    const ld x = it.X[k - 1], y = it.Y[k - 1], z = it.Z[k - 1];
    const auto& terms = stepTerms(prepared, termsOf, k, z, computed);
    it.X[k] = finish(store(nextX(kk, x, y, terms)));
    it.Y[k] = finish(store(nextY(kk, x, y, terms)));
    it.Z[k] = store(nextZ(kk, ld{it.X[k]}, ld{it.Y[k]}));
  }
}

// As iterateWithTerms, for N lanes: termsOf, nextX, nextY and nextZ take the lane first.
template <int N, class Prepared, class TermsOf, class Finish, class NextX, class NextY, class NextZ>
void iterateWithTermsLanes(Iteration* it, const Prepared& prepared, TermsOf termsOf, Finish finish,
                           NextX nextX, NextY nextY, NextZ nextZ) {
  using Terms = decltype(termsOf(0, ld{}, ld{}));
  Terms computed[N];
  for (int k = 1; k <= 3; ++k) {
    const ld kk = k;
    ld x[N], y[N], z[N];
    eachLane<N>([&](int l) {
      x[l] = it[l].X[k - 1];
      y[l] = it[l].Y[k - 1];
      z[l] = it[l].Z[k - 1];
    });
    const Terms* terms[N];
    eachLane<N>([&](int l) {
      terms[l] = &stepTerms(
          prepared, [&](ld kk2, ld z2) { return termsOf(l, kk2, z2); }, k, z[l], computed[l]);
    });
    eachLane<N>([&](int l) { it[l].X[k] = finish(store(nextX(l, kk, x[l], y[l], *terms[l]))); });
    eachLane<N>([&](int l) { it[l].Y[k] = finish(store(nextY(l, kk, x[l], y[l], *terms[l]))); });
    storeZ<N>(it, k, nextZ);
  }
}

// ---------------------------------------------------------------------------
// Algorithms 0 to 16

// Algorithms 0 and 2 share their steps; they differ in start, scale, fold and Z.
// Their frame terms are step 1's phase terms, which read Z[0] alone.
template <class M>
struct QuadraticWithPhaseTerms {
  // sin^2(A z / 2) and sin^2(B z / 2) of the previous step's z.
  struct Terms {
    ld sinSquareA = 0;
    ld sinSquareB = 0;
  };

  static Terms termsOf(const FrameInput& frame, ld z) {
    return Terms{sq(M::sin(frame.A * z / 2)), sq(M::sin(frame.B * z / 2))};
  }

  static Terms prepare(const FrameInput& frame) { return termsOf(frame, frame.z0); }
  static constexpr PixelDependencies kDependencies = kReadsCarriedZ;

  // The steps of N lanes whose pixels have p[l] and q[l].
  template <int N, class Prepared, class NextZ>
  static void steps(const PixelInput& frame, const Prepared& prepared, Iteration* it, const ld* p,
                    const ld* q, ld threshold, NextZ nextZ) {
    iterateWithTermsLanes<N>(
        it, prepared, [&](int, ld, ld z) { return termsOf(frame, z); }, Folded<M>{threshold},
        [&](int l, ld k, ld x, ld y, const Terms& t) {
          return t.sinSquareA + x * x - y * y + p[l] / k;
        },
        [&](int l, ld k, ld x, ld y, const Terms& t) {
          return t.sinSquareB + 2 * x * y + q[l] / k;
        },
        nextZ);
  }
};

template <class M>
struct Algorithm0 : QuadraticWithPhaseTerms<M>, SideBySide<Algorithm0<M>> {
  template <int N, class Prepared>
  static void lanes(const PixelInput* in, const Prepared& prepared, Iteration* it, Rgb* rgb) {
    ld p[N], q[N];
    eachLane<N>([&](int l) {
      start(it[l], in[l].sinA, in[l].cosA);
      p[l] = 5 * in[l].u;
      q[l] = 5 * in[l].v;
    });
    QuadraticWithPhaseTerms<M>::template steps<N>(
        in[0], prepared, it, p, q, 0, [](int, ld, ld x, ld y) { return x * x + y * y; });
    risingLanes<GaussColor<M>, N>(it, in[0].L, rgb);
  }
};

template <class M>
struct Algorithm1 : WithoutFrameTerms, SideBySide<Algorithm1<M>> {
  template <int N>
  static void lanes(const PixelInput* in, const Terms&, Iteration* it, Rgb* rgb) {
    const ld sinA = in[0].sinA, cosA = in[0].cosA;
    ld p[N], q[N];
    eachLane<N>([&](int l) {
      start(it[l], (cosA + sinA) / 2, (sinA - cosA) / 2);
      p[l] = 5 * in[l].u;
      q[l] = 5 * in[l].v;
    });
    iterateLanes<N>(
        it, [&](int l, ld k, ld x, ld y, ld) { return x * x - y * y + k * M::sin(k + p[l] + x); },
        [&](int l, ld k, ld x, ld y, ld) { return 2 * x * y + k * M::sin(k + q[l] + y); },
        [](int, ld, ld x, ld y) { return M::ln(x * x + y * y + 0.01L); });
    fallingLanes<SineSquareColor<M>, N>(it, in[0].L, rgb);
  }
};

template <class M>
struct Algorithm2 : QuadraticWithPhaseTerms<M>, SideBySide<Algorithm2<M>> {
  template <int N, class Prepared>
  static void lanes(const PixelInput* in, const Prepared& prepared, Iteration* it, Rgb* rgb) {
    ld p[N], q[N];
    eachLane<N>([&](int l) {
      start(it[l], 0, 0);
      p[l] = 10 * in[l].u;
      q[l] = 10 * in[l].v;
    });
    QuadraticWithPhaseTerms<M>::template steps<N>(
        in[0], prepared, it, p, q, 1,
        [](int, ld, ld x, ld y) { return M::sin(x * x) + M::cos(y * y); });
    risingLanes<GaussColor<M>, N>(it, in[0].L, rgb);
  }
};

template <class M>
struct Algorithm3 : WithoutFrameTerms {
  static Rgb pixel(const PixelInput& in, const Terms&, Iteration& it) {
    start(it, in.u * (in.A + 5), in.v * (in.B + 5));
    const ld x0 = it.X[0], y0 = it.Y[0];
    struct Shared {
      SinCos ofX, ofY;
    };
    iterateSharing(
        it,
        [](ld, ld x, ld y, ld) {
          return Shared{M::sinCos(x), M::sinCos(y)};
        },
        [&](ld k, ld, ld, const Shared& t) {
          return sq(t.ofX.sin * t.ofY.cos) + M::sin(in.A - x0 - k);
        },
        [&](ld k, ld, ld, const Shared& t) {
          return sq(t.ofX.cos + t.ofY.sin) + M::cos(in.A - y0 - k);
        },
        [](ld, ld x, ld y) { return logInverseRadius<M>(0.75L, x, y); });
    return falling<AbsSineColor<M>>(it, in.L);
  }
};

template <class M>
struct Algorithm4 : WithoutFrameTerms, SideBySide<Algorithm4<M>> {
  template <int N>
  static void lanes(const PixelInput* in, const Terms&, Iteration* it, Rgb* rgb) {
    eachLane<N>([&](int l) { start(it[l], in[l].u * (in[l].A + 5), in[l].v * (in[l].B + 5)); });
    const ld sinA = in[0].sinA, cosA = in[0].cosA;
    iterateLanes<N>(
        it, [&](int, ld, ld x, ld y, ld) { return M::sin(x) + M::cos(y) + sinA + 0.295L; },
        [&](int, ld, ld x, ld y, ld) { return cosA + x * y + 0.55L; },
        [](int, ld, ld x, ld y) { return M::ln(absl(x + y)); });
    risingLanes<GaussColor<M>, N>(it, in[0].L, rgb);
  }
};

template <class M>
struct Algorithm5 : WithoutFrameTerms, SideBySide<Algorithm5<M>> {
  template <int N>
  static void lanes(const PixelInput* in, const Terms&, Iteration* it, Rgb* rgb) {
    eachLane<N>([&](int l) { start(it[l], 3 * in[l].u, 3 * in[l].v); });
    iterateLanes<N>(
        it,
        [&](int, ld, ld x, ld y, ld) {
          return M::sin(x) - M::cos(y) + M::sin(3 * y + in[0].A) + 0.32L;
        },
        [&](int, ld k, ld x, ld y, ld) { return M::cos(k * x + in[0].B) + x * y + 0.435L; },
        [](int, ld, ld x, ld y) { return M::ln(x * x + y * y + 0.1L); });
    risingLanes<GaussColor<M>, N>(it, in[0].L, rgb);
  }
};

// The family of algorithms 6, 10, 13, 14 and 16 (and 8): the sine or cosine of a
// guarded quotient of x^2 - y^2, and of a multiple of x * y, shifted by phase terms.
template <class M>
struct Algorithm6 : WithoutFrameTerms, SideBySide<Algorithm6<M>> {
  template <int N>
  static void lanes(const PixelInput* in, const Terms&, Iteration* it, Rgb* rgb) {
    eachLane<N>([&](int l) { start(it[l], sq(3 * in[l].u), sq(3 * in[l].v)); });
    iterateLanes<N>(
        it,
        [&](int, ld, ld x, ld y, ld) {
          return M::sin((x * x - y * y) / (sq(x * x + y * y) + 0.02L) + in[0].A);
        },
        [&](int, ld, ld x, ld y, ld) { return M::sin(5 * x * y / (sq(x * x + y * y) + 0.02L)); },
        [](int, ld, ld x, ld y) { return logInverseRadius<M>(0.5L, x, y); });
    fallingLanes<AbsSineColor<M>, N>(it, in[0].L, rgb);
  }
};

template <class M>
struct Algorithm7 : WithoutFrameTerms, SideBySide<Algorithm7<M>> {
  template <int N>
  static void lanes(const PixelInput* in, const Terms&, Iteration* it, Rgb* rgb) {
    eachLane<N>([&](int l) { start(it[l], 7 * in[l].u, 7 * in[l].v); });
    const ld sinA = in[0].sinA, cosB = in[0].cosB;
    iterateSharingLanes<N>(
        it, [](int, ld, ld x, ld y, ld) { return M::sin(x * y); },
        [&](int, ld, ld x, ld, ld sinXY) { return M::cos(x * x) - sinXY + sinA; },
        [&](int, ld, ld x, ld y, ld sinXY) { return M::sin(x + y) + sinXY - cosB; },
        [](int, ld, ld x, ld y) { return M::ln(x * x + y * y); });
    risingLanes<GaussColor<M>, N>(it, in[0].L, rgb);
  }
};

template <class M>
struct Algorithm8 : WithoutFrameTerms, SideBySide<Algorithm8<M>> {
  template <int N>
  static void lanes(const PixelInput* in, const Terms&, Iteration* it, Rgb* rgb) {
    eachLane<N>([&](int l) { start(it[l], 3 * in[l].u, 3 * in[l].v); });
    const ld sinA = in[0].sinA, cosA = in[0].cosA;
    iterateSharingLanes<N>(
        it, [](int, ld, ld x, ld y, ld) { return M::sqrt(x * x + y * y + 0.01L); },
        [&](int, ld, ld x, ld y, ld radius) { return M::sin((x * x - y * y) / radius - sinA); },
        [&](int, ld, ld x, ld y, ld radius) { return M::cos(cosA + 3 * x * y / radius); },
        [](int, ld, ld x, ld y) { return logInverseRadius<M>(0.5L, x, y); });
    risingLanes<GaussColor<M>, N>(it, in[0].L, rgb);
  }
};

template <class M>
struct Algorithm9 {
  // The factors of y and x that the phases set.
  struct Terms {
    ld ofY = 0;
    ld ofX = 0;
  };

  static Terms termsOf(const FrameInput& frame) {
    return Terms{frame.A / 5 - 2.23L, frame.B / 5 + 1.43L};
  }

  static Terms prepare(const FrameInput& frame) { return termsOf(frame); }
  static constexpr PixelDependencies kDependencies{};

  template <class Prepared>
  static Rgb pixel(const PixelInput& in, const Prepared& prepared, Iteration& it) {
    const Terms factor = frameTerms(prepared, in, termsOf);
    start(it, in.u * (in.A + 5), in.v * (in.A + 5));
    const ld sinA = in.sinA, cosB = in.cosB;
    iterate(
        it, [&](ld, ld x, ld y, ld) { return M::sin(factor.ofY * y) + M::sin(1.65L * x) + sinA; },
        [&](ld, ld x, ld y, ld) { return M::cos(factor.ofX * x) + M::cos(-2.43L * y) + cosB; },
        [](ld, ld x, ld) { return M::ln(x * x); });
    return falling<AbsSineColor<M>>(it, in.L);
  }
};

template <class M>
struct Algorithm10 : WithoutFrameTerms, SideBySide<Algorithm10<M>> {
  template <int N>
  static void lanes(const PixelInput* in, const Terms&, Iteration* it, Rgb* rgb) {
    eachLane<N>([&](int l) { start(it[l], sq(3 * in[l].u), sq(3 * in[l].v)); });
    iterateLanes<N>(
        it,
        [&](int, ld, ld x, ld y, ld) {
          return M::sin((x * x - y * y) / (M::sqrt(x * x + y * y) + 0.1L) + in[0].A);
        },
        [&](int, ld, ld x, ld y, ld) { return M::sin(5 * x * y / (sq(x * x + y * y) + 0.1L)); },
        [](int, ld, ld x, ld y) { return logInverseRadius<M>(0.5L, x, y); });
    fallingLanes<AbsSineColor<M>, N>(it, in[0].L, rgb);
  }
};

template <class M>
struct Algorithm11 {
  // A fifth of B.
  struct Terms {
    ld fifthB = 0;
  };

  static Terms termsOf(const FrameInput& frame) { return Terms{frame.B / 5}; }
  static Terms prepare(const FrameInput& frame) { return termsOf(frame); }
  static constexpr PixelDependencies kDependencies{};

  template <class Prepared>
  static Rgb pixel(const PixelInput& in, const Prepared& prepared, Iteration& it) {
    const Terms terms = frameTerms(prepared, in, termsOf);
    start(it, in.u * (in.A + 5), in.v * (in.A + 5));
    iterate(
        it, [&](ld, ld x, ld y, ld) { return M::sin(x * x) + M::cos(y * y) + in.A; },
        [&](ld, ld x, ld y, ld) { return M::cos(x) + M::sin(y) + terms.fifthB; },
        [](ld, ld x, ld y) { return M::ln(sq(M::sin(x) + M::cos(y)) / 5); });
    return rising<GaussColor<M>>(it, in.L);
  }
};

template <class M>
struct Algorithm12 : WithoutFrameTerms {
  static constexpr PixelDependencies kDependencies = kReadsCarriedZ;
  static Rgb pixel(const PixelInput& in, const Terms&, Iteration& it) {
    start(it, 0, 0);
    // p and q are the only per-pixel terms of the engine kept as doubles.
    const ld p = store(in.u * (in.A + 5)), q = store(in.v * (in.B + 5));
    struct Shared {
      ld z, sinY, cosX;
    };
    iterateSharing(
        it,
        [](ld, ld x, ld y, ld z) {
          return Shared{z, M::sin(y), M::cos(x)};
        },
        [&](ld k, ld, ld, const Shared& t) { return k * M::sin(p + t.z) + t.sinY * t.cosX + in.A; },
        [&](ld k, ld, ld, const Shared& t) {
          return k * M::cos(q + t.z) + sq(t.sinY) - sq(t.cosX) + in.B;
        },
        [](ld, ld x, ld y) { return M::ln(sq(M::sin(x) - M::cos(y))); });
    return falling<AbsSineColor<M>>(it, in.L);
  }
};

template <class M>
struct Algorithm13 : WithoutFrameTerms, SideBySide<Algorithm13<M>> {
  template <int N>
  static void lanes(const PixelInput* in, const Terms&, Iteration* it, Rgb* rgb) {
    eachLane<N>([&](int l) { start(it[l], 3 * in[l].u, 3 * in[l].v); });
    const ld sinHalfA = in[0].sinHalfA, cosHalfB = in[0].cosHalfB;
    iterateLanes<N>(
        it,
        [&](int, ld, ld x, ld y, ld) {
          return M::sin((x * x - y * y) / (sq(x * x + y * y) + 0.01L) - sinHalfA);
        },
        [&](int, ld, ld x, ld y, ld) {
          return M::cos(-2 * x * y / (sq(x * x + y * y) + 0.01L) - cosHalfB);
        },
        [](int, ld, ld x, ld y) { return logInverseRadius<M>(0.5L, x, y); });
    fallingLanes<AbsSineColor<M>, N>(it, in[0].L, rgb);
  }
};

template <class M>
struct Algorithm14 : WithoutFrameTerms, SideBySide<Algorithm14<M>> {
  template <int N>
  static void lanes(const PixelInput* in, const Terms&, Iteration* it, Rgb* rgb) {
    eachLane<N>([&](int l) { start(it[l], 3 * in[l].u, 3 * in[l].v); });
    iterateLanes<N>(
        it,
        [&](int, ld, ld x, ld y, ld) {
          return M::sin((x * x - y * y) / (sq(x * x + y * y) + 0.1L) + in[0].A);
        },
        [&](int, ld, ld x, ld y, ld) {
          return M::cos(4 * x * y / (sq(x * x + y * y) + 0.1L) - in[0].A);
        },
        [](int, ld, ld x, ld y) { return logInverseRadius<M>(0.5L, x, y); });
    fallingLanes<AbsSineColor<M>, N>(it, in[0].L, rgb);
  }
};

// Its frame terms are step 1's phase terms, which read Z[0] alone.
template <class M>
struct Algorithm15 : SideBySide<Algorithm15<M>> {
  // sin(k A + z) and cos(k B + z) of the previous step's z.
  struct Terms {
    ld sinAZ = 0;
    ld cosBZ = 1;
  };

  static Terms termsOf(const FrameInput& frame, ld k, ld z) {
    return Terms{M::sin(k * frame.A + z), M::cos(k * frame.B + z)};
  }

  static Terms prepare(const FrameInput& frame) { return termsOf(frame, 1, frame.z0); }
  static constexpr PixelDependencies kDependencies = kReadsCarriedZ;

  template <int N, class Prepared>
  static void lanes(const PixelInput* in, const Prepared& prepared, Iteration* it, Rgb* rgb) {
    eachLane<N>([&](int l) { start(it[l], 2 * in[l].u, 2 * in[l].v); });
    iterateWithTermsLanes<N>(
        it, prepared, [&](int l, ld k, ld z) { return termsOf(in[l], k, z); }, Unfolded{},
        [](int, ld, ld x, ld y, const Terms& t) { return t.sinAZ + x * x - y * y; },
        [](int, ld, ld x, ld y, const Terms& t) { return t.cosBZ + 2 * y * x; },
        ZInTwoParts{[](int, ld, ld x, ld y) { return M::sin(x) + M::cos(y); },
                    [](int, ld, ld sum) { return M::ln(sq(sum)); }});
    risingLanes<GaussColor<M>, N>(it, in[0].L, rgb);
  }
};

template <class M>
struct Algorithm16 : WithoutFrameTerms, SideBySide<Algorithm16<M>> {
  template <int N>
  static void lanes(const PixelInput* in, const Terms&, Iteration* it, Rgb* rgb) {
    eachLane<N>([&](int l) { start(it[l], 3 * in[l].u, 3 * in[l].v); });
    iterateLanes<N>(
        it,
        [&](int, ld, ld x, ld y, ld) {
          return M::sin((x * x - y * y) / (sq(x * x + y * y) + 0.05L) + in[0].A);
        },
        [&](int, ld, ld x, ld y, ld) { return M::sin(4 * x * y / (sq(x * x + y * y) + 0.05L)); },
        [](int, ld, ld x, ld y) { return logInverseRadius<M>(0.5L, x, y); });
    fallingLanes<AbsSineColor<M>, N>(it, in[0].L, rgb);
  }
};

// ---------------------------------------------------------------------------
// Algorithms 17 to 34

inline constexpr ld kPi = 3.14159265358979323846L;

template <class M>
struct Algorithm17 : WithoutFrameTerms, SideBySide<Algorithm17<M>> {
  static constexpr PixelDependencies kDependencies = kWritesZ0;
  template <int N>
  static void lanes(const PixelInput* in, const Terms&, Iteration* it, Rgb* rgb) {
    eachLane<N>([&](int l) {
      start(it[l], 3 * in[l].u, 3 * in[l].v);
      it[l].Z[0] = store(startRadius<M>(it[l]));
    });
    const ld sinA = in[0].sinA;
    iterateLanes<N>(
        it,
        [&](int, ld, ld x, ld y, ld z) {
          return M::sin(sinA + (x * x - y * y) / (sq(y * y + z * z) + 0.1L));
        },
        [&](int, ld, ld x, ld y, ld z) { return -M::sin(3 * x * y / (sq(x * x + z * z) + 0.1L)); },
        [](int, ld, ld x, ld y) { return logInverseRadius<M>(0.5L, x, y); });
    fallingLanes<AbsSineColor<M>, N>(it, in[0].L, rgb);
  }
};

// Algorithms 18 and 34.
template <class M>
struct Algorithm18 : WithoutFrameTerms {
  static Rgb pixel(const PixelInput& in, const Terms&, Iteration& it) {
    start(it, kPi * in.u, kPi * in.v);
    const ld sinA = in.sinA;
    iterateSharing(
        it, [](ld, ld x, ld y, ld) { return M::sin(x * x + y * y); },
        [&](ld, ld x, ld y, ld sinR) {
          return M::sin(sinA * y) + M::sin(x * x - y * y) / (sinR + 0.01L);
        },
        [&](ld, ld x, ld y, ld sinR) {
          return M::sin(-sinA * y) + M::cos((in.A + 1) * x * y) / (sinR * (in.B + 1) + 0.01L);
        },
        [](ld, ld x, ld y) { return M::ln(x * x + y * y + 0.00001L); });
    return rising<SineSquareColor<M>>(it, in.L);
  }
};

template <class M>
struct Algorithm19 : WithoutFrameTerms, SideBySide<Algorithm19<M>> {
  static constexpr PixelDependencies kDependencies = kWritesZ0;
  template <int N>
  static void lanes(const PixelInput* in, const Terms&, Iteration* it, Rgb* rgb) {
    eachLane<N>([&](int l) { startWithZ0FromRadius(it[l], 3 * in[l].u, 3 * in[l].v); });
    const ld sinA = in[0].sinA;
    iterateLanes<N>(
        it,
        [&](int, ld, ld x, ld y, ld) {
          return M::cos(sinA + (x * x - y * y) / (sq(x * x + y * y) + 0.1L));
        },
        [&](int, ld, ld x, ld y, ld) { return M::sin(x * y / (sq(x * x + y * y) + 0.1L)); },
        [](int, ld, ld x, ld y) { return logInverseRadius<M>(0.5L, x, y); });
    fallingLanes<AbsSineColor<M>, N>(it, in[0].L, rgb);
  }
};

template <class M>
struct Algorithm20 : WithoutFrameTerms, SideBySide<Algorithm20<M>> {
  static constexpr PixelDependencies kDependencies = kWritesZ0;
  template <int N>
  static void lanes(const PixelInput* in, const Terms&, Iteration* it, Rgb* rgb) {
    eachLane<N>([&](int l) { startWithZ0FromRadius(it[l], 3 * in[l].u, 3 * in[l].v); });
    const ld sinA = in[0].sinA, sinB = in[0].sinB;
    iterateLanes<N>(
        it,
        [&](int, ld, ld x, ld y, ld) {
          return M::cos(sinA + (sinB + x * x - y * y) / (absl(y) + 0.3L));
        },
        [&](int, ld, ld x, ld y, ld) { return M::sin(x * y / (absl(x) + 0.3L)); },
        [](int, ld, ld x, ld y) { return logInverseRadius<M>(0.5L, x, y); });
    fallingLanes<AbsSineColor<M>, N>(it, in[0].L, rgb);
  }
};

template <class M>
struct Algorithm21 : WithoutFrameTerms, SideBySide<Algorithm21<M>> {
  static constexpr PixelDependencies kDependencies = kWritesZ0;
  template <int N>
  static void lanes(const PixelInput* in, const Terms&, Iteration* it, Rgb* rgb) {
    eachLane<N>([&](int l) { startWithZ0FromRadius(it[l], 3 * in[l].u, 3 * in[l].v); });
    const ld sinA = in[0].sinA;
    iterateLanes<N>(
        it,
        [&](int, ld, ld x, ld y, ld z) {
          return sinA + (x * x - y * y) / M::sqrt(z * z * (y * y) + 0.1L);
        },
        [&](int, ld, ld x, ld y, ld z) { return x * y / M::sqrt(z * z * (x * x) + 0.1L); },
        [](int, ld, ld x, ld y) { return M::ln(0.5L / (absl(x) + absl(y) + 0.0001L)); });
    fallingLanes<AbsSineColor<M>, N>(it, in[0].L, rgb);
  }
};

template <class M>
struct Algorithm22 : WithoutFrameTerms, SideBySide<Algorithm22<M>> {
  template <int N>
  static void lanes(const PixelInput* in, const Terms&, Iteration* it, Rgb* rgb) {
    eachLane<N>([&](int l) { start(it[l], 2.5L * in[l].u, 2.5L * in[l].v); });
    const ld sinA = in[0].sinA, cosA = in[0].cosA;
    iterateLanes<N>(
        it,
        [&](int, ld, ld x, ld y, ld) {
          return 2 * M::sin(2 * y / (x * x + y * y + 0.01L)) + sinA / 2;
        },
        [&](int, ld, ld x, ld y, ld) {
          return 2 * M::cos(2 * x / (x * x + y * y + 0.01L)) + cosA / 2;
        },
        [](int, ld, ld x, ld y) { return M::ln(0.1L / sq(x * x + y * y + 0.1L)); });
    fallingLanes<AbsSineColor<M>, N>(it, in[0].L, rgb);
  }
};

// Its frame terms are step 1's terms of z, which read Z[0] alone.
template <class M>
struct Algorithm23 : SideBySide<Algorithm23<M>> {
  // sin(k z) and cos(k z) of the previous step's z.
  struct Terms {
    ld sinKZ = 0;
    ld cosKZ = 1;
  };

  static Terms termsOf(ld k, ld z) {
    const SinCos kz = M::sinCos(k * z);
    return Terms{kz.sin, kz.cos};
  }

  static Terms prepare(const FrameInput& frame) { return termsOf(1, frame.z0); }
  static constexpr PixelDependencies kDependencies = kReadsCarriedZ;

  template <int N, class Prepared>
  static void lanes(const PixelInput* in, const Prepared& prepared, Iteration* it, Rgb* rgb) {
    eachLane<N>([&](int l) { start(it[l], 3.5L * in[l].u, 3.5L * in[l].v); });
    const ld sinA = in[0].sinA, sinB = in[0].sinB;
    iterateWithTermsLanes<N>(
        it, prepared, [](int, ld k, ld z) { return termsOf(k, z); }, Folded<M>{0},
        [&](int, ld, ld x, ld y, const Terms& t) { return sinA * t.sinKZ + x * x - y * y; },
        [&](int, ld, ld x, ld y, const Terms& t) { return sinB * t.cosKZ + 0.5L * x * y; },
        [](int, ld, ld x, ld y) { return M::ln(0.1L / (x * x + y * y + 0.1L)); });
    fallingLanes<AbsSineColor<M>, N>(it, in[0].L, rgb);
  }
};

template <class M>
struct Algorithm24 : SideBySide<Algorithm24<M>> {
  // sqrt k of steps 1 to 3.
  struct Terms {
    ld rootOfStep[4] = {};
  };

  static Terms termsOf(const FrameInput&) {
    Terms terms;
    for (int k = 1; k <= 3; ++k) terms.rootOfStep[k] = M::sqrt(ld(k));
    return terms;
  }

  static Terms prepare(const FrameInput& frame) { return termsOf(frame); }
  static constexpr PixelDependencies kDependencies{};

  template <int N, class Prepared>
  static void lanes(const PixelInput* in, const Prepared& prepared, Iteration* it, Rgb* rgb) {
    const Terms roots = frameTerms(prepared, in[0], termsOf);
    eachLane<N>([&](int l) { start(it[l], 2.5L * in[l].u, 2.5L * in[l].v); });
    const ld sinA = in[0].sinA, cosA = in[0].cosA;
    iterateLanes<N>(
        it, [&](int, ld, ld x, ld y, ld) { return M::sin(x * x - y * y) + sinA / 2; },
        [&](int, ld, ld x, ld y, ld) { return M::sin(3 * x * y) + cosA / 2; },
        [&](int, ld k, ld x, ld y) {
          // Z[k] is stored twice: the sum's square first, then the exponential of it.
          const ld first = store(sq(absl(x) + absl(y)));
          return M::exp(-first / roots.rootOfStep[int(k)]);
        });
    fallingLanes<AbsSineColor<M>, N>(it, in[0].L, rgb);
  }
};

template <class M>
struct Algorithm25 : WithoutFrameTerms, SideBySide<Algorithm25<M>> {
  template <int N>
  static void lanes(const PixelInput* in, const Terms&, Iteration* it, Rgb* rgb) {
    eachLane<N>([&](int l) { start(it[l], 3.5L * in[l].u, 3.5L * in[l].v); });
    const ld sinA = in[0].sinA, cosA = in[0].cosA;
    iterateLanes<N>(
        it,
        [&](int, ld, ld x, ld y, ld) {
          return M::sin((x * x - y * y) / sq(x * x + y * y + 0.1L) + sinA);
        },
        [&](int, ld, ld x, ld y, ld) {
          return M::sin(3 * x * y / sq(x * x + y * y + 0.1L) + cosA);
        },
        [](int, ld, ld x, ld y) { return 5 / (x * x + y * y + 0.5L); });
    fallingLanes<AbsSineColor<M>, N>(it, in[0].L, rgb);
  }
};

template <class M>
struct Algorithm26 : WithoutFrameTerms, SideBySide<Algorithm26<M>> {
  static constexpr PixelDependencies kDependencies = kWritesZ0;
  template <int N>
  static void lanes(const PixelInput* in, const Terms&, Iteration* it, Rgb* rgb) {
    eachLane<N>([&](int l) { startWithZ0FromRadius(it[l], 2.5L * in[l].u, 2.5L * in[l].v); });
    const ld sinA = in[0].sinA, cosA = in[0].cosA;
    iterateLanes<N>(
        it, [&](int, ld, ld x, ld y, ld) { return M::sin(x * x - y * y + sinA * cosA); },
        [&](int, ld, ld x, ld y, ld) { return M::cos(3 * x * y + sinA * sinA); },
        [](int, ld, ld x, ld y) { return sq(x * x + y * y); });
    fallingLanes<AbsSineColor<M>, N>(it, in[0].L, rgb);
  }
};

template <class M>
struct Algorithm27 : WithoutFrameTerms, SideBySide<Algorithm27<M>> {
  static constexpr PixelDependencies kDependencies = kWritesZ0;
  template <int N>
  static void lanes(const PixelInput* in, const Terms&, Iteration* it, Rgb* rgb) {
    eachLane<N>([&](int l) { startWithZ0FromRadius(it[l], 2.5L * in[l].u, 2.5L * in[l].v); });
    const ld sinA = in[0].sinA, cosA = in[0].cosA;
    struct Shared {
      SinCos ofX, ofY;
    };
    iterateSharingLanes<N>(
        it,
        [](int, ld, ld x, ld y, ld) {
          return Shared{M::sinCos(x), M::sinCos(y)};
        },
        [&](int, ld, ld, ld, const Shared& t) {
          return sq(t.ofX.sin - t.ofY.sin * t.ofY.cos + sinA);
        },
        [&](int, ld, ld, ld, const Shared& t) {
          return sq(t.ofX.cos * t.ofX.sin + t.ofY.sin + cosA);
        },
        [](int, ld, ld x, ld y) { return M::sqrt(x * x + y * y); });
    fallingLanes<AbsSineColor<M>, N>(it, in[0].L, rgb);
  }
};

template <class M>
struct Algorithm28 : WithoutFrameTerms, SideBySide<Algorithm28<M>> {
  template <int N>
  static void lanes(const PixelInput* in, const Terms&, Iteration* it, Rgb* rgb) {
    ld m[N];
    eachLane<N>([&](int l) {
      // The column is divided by the height and the row by the width here.
      start(it[l], 2 * (in[l].column / in[l].height - 0.6L), 2 * (in[l].row / in[l].width - 0.35L));
      const ld x0 = it[l].X[0], y0 = it[l].Y[0];
      m[l] = M::sqrt(x0 * x0 * (y0 * y0) + 0.01L);
    });
    const ld sinA = in[0].sinA, cosA = in[0].cosA;
    iterateLanes<N>(
        it, [&](int l, ld, ld x, ld y, ld) { return sinA + x / (sq(y * y + x) + m[l]); },
        [&](int l, ld, ld x, ld y, ld) { return cosA + y / (sq(x * x + y) + m[l]); },
        [](int, ld, ld x, ld y) { return M::ln(x * x + y * y + 0.1L); });
    fallingLanes<AbsSineColor<M>, N>(it, in[0].L, rgb);
  }
};

template <class M>
struct Algorithm29 : SideBySide<Algorithm29<M>> {
  // The mean of sin and cos of either phase.
  struct Terms {
    ld a = 0;
    ld b = 0;
  };

  static Terms termsOf(const FrameInput& frame) {
    return Terms{frame.sinA / 2 + frame.cosA / 2, frame.sinB / 2 + frame.cosB / 2};
  }

  static Terms prepare(const FrameInput& frame) { return termsOf(frame); }
  static constexpr PixelDependencies kDependencies = kWritesZ0;

  template <int N, class Prepared>
  static void lanes(const PixelInput* in, const Prepared& prepared, Iteration* it, Rgb* rgb) {
    const Terms means = frameTerms(prepared, in[0], termsOf);
    const ld a = means.a, b = means.b;
    eachLane<N>([&](int l) { startWithZ0FromRadius(it[l], -2.5L * in[l].v, -2.5L * in[l].u); });
    iterateLanes<N>(
        it,
        [&](int, ld, ld x, ld y, ld) {
          return a * x - (x * x - y * y) / (3 * sq(x * x + y * y + 0.1L));
        },
        [&](int, ld, ld x, ld y, ld) { return sq(1 - x / sq(x * x + y * y + 0.1L)) * b * y; },
        [](int, ld, ld x, ld y) { return M::sqrt(x * x + y * y + 0.1L); });
    fallingLanes<SineSquareColor<M>, N>(it, in[0].L, rgb);
  }
};

template <class M>
struct Algorithm30 : WithoutFrameTerms, SideBySide<Algorithm30<M>> {
  static constexpr PixelDependencies kDependencies = kWritesZ0;
  template <int N>
  static void lanes(const PixelInput* in, const Terms&, Iteration* it, Rgb* rgb) {
    eachLane<N>([&](int l) { startWithZ0FromRadius(it[l], 2.5L * in[l].u, 2.5L * in[l].v); });
    const ld sinA = in[0].sinA;
    iterateLanes<N>(
        it,
        [&](int, ld, ld x, ld y, ld) {
          return sinA + 2 * M::sin(x * x - y * y) / (x * x + y * y + 0.1L);
        },
        [&](int, ld, ld x, ld y, ld) { return sinA + M::cos(3 * x * y) / (x * x + y * y + 0.1L); },
        [](int, ld, ld x, ld y) { return M::sqrt(x * x + y * y + 0.01L); });
    fallingLanes<SineSquareColor<M>, N>(it, in[0].L, rgb);
  }
};

template <class M>
struct Algorithm31 : SideBySide<Algorithm31<M>> {
  // The factor of x y that A sets, and the scale of Z that B sets.
  struct Terms {
    ld ofXY = 0;
    ld scale = 0;
  };

  static Terms termsOf(const FrameInput& frame) {
    const ld fifthA = frame.A / 5;
    return Terms{fifthA + 1, frame.sinB + 1.4L};
  }

  static Terms prepare(const FrameInput& frame) { return termsOf(frame); }
  static constexpr PixelDependencies kDependencies = kWritesZ0;

  template <int N, class Prepared>
  static void lanes(const PixelInput* in, const Prepared& prepared, Iteration* it, Rgb* rgb) {
    const Terms terms = frameTerms(prepared, in[0], termsOf);
    eachLane<N>([&](int l) {
      start(it[l], 3.5L * in[l].u, 3.5L * in[l].v);
      it[l].Z[0] = store(startRadius<M>(it[l]));
    });
    const ld A = in[0].A;
    iterateLanes<N>(
        it, [&](int, ld, ld x, ld y, ld z) { return M::sin(A + x * x - y * y + sq(z / 3)); },
        [&](int, ld, ld x, ld y, ld z) { return terms.ofXY * x * y / (z + 0.1L); },
        [&](int, ld, ld x, ld y) { return M::ln(terms.scale / sq(x * x + y * y + 0.1L)); });
    fallingLanes<AbsSineColor<M>, N>(it, in[0].L, rgb);
  }
};

template <class M>
struct Algorithm32 : WithoutFrameTerms, SideBySide<Algorithm32<M>> {
  static constexpr PixelDependencies kDependencies = kWritesZ0;
  template <int N>
  static void lanes(const PixelInput* in, const Terms&, Iteration* it, Rgb* rgb) {
    eachLane<N>([&](int l) {
      start(it[l], 3 * in[l].u, 3 * in[l].v);
      it[l].Z[0] = store(startRadius<M>(it[l]));
    });
    const ld sinA = in[0].sinA, sinB = in[0].sinB;
    iterateLanes<N>(
        it,
        [&](int, ld, ld x, ld y, ld) {
          return sinA + (sinA + 1.5L) * (x * x - y * y) / (2 * sq(M::sin(y)) + 0.1L);
        },
        [&](int, ld, ld x, ld y, ld) { return (sinB + 1.5L) * x * y / (5 * sq(M::cos(x)) + 0.1L); },
        [](int, ld, ld x, ld y) { return M::ln(x * x + y * y + 0.001L); });
    fallingLanes<AbsSineColor<M>, N>(it, in[0].L, rgb);
  }
};

template <class M>
struct Algorithm33 : WithoutFrameTerms, SideBySide<Algorithm33<M>> {
  // Neither the phases nor X[0] and Y[0].
  static constexpr PixelDependencies kDependencies{false, false, false, false, true};
  template <int N>
  static void lanes(const PixelInput* in, const Terms&, Iteration* it, Rgb* rgb) {
    // A still picture: every step stores the same values, read from nothing but
    // the pixel's position.
    ld p[N], q[N], rho[N];
    eachLane<N>([&](int l) {
      p[l] = 5 * in[l].u;
      q[l] = 5 * in[l].v;
      rho[l] = 5 * M::sqrt(p[l] * p[l] + q[l] * q[l] + 0.0001L);
    });
    SinCos ofRho[N];
    eachLane<N>([&](int l) { ofRho[l] = M::sinCos(rho[l]); });
    double z[N];
    eachLane<N>([&](int l) {
      const double x = store(5 * ofRho[l].sin * p[l] / rho[l]);
      const double y = store(5 * ofRho[l].cos * q[l] / rho[l]);
      z[l] = store(ld{x} + ld{y} + 0.01L);
      for (int k = 1; k <= 3; ++k) {
        it[l].X[k] = x;
        it[l].Y[k] = y;
        it[l].Z[k] = z[l];
      }
    });
    // Z[1], Z[2] and Z[3] are one value: one colour for all three planes.
    eachLane<N>([&](int l) {
      const std::int32_t grey = AbsSineColor<M>(z[l], in[0].L);
      rgb[l] = Rgb{grey, grey, grey};
    });
  }
};

// What a number outside 0..34 runs: nothing; the pixel is black.
template <class M>
struct NoAlgorithm : WithoutFrameTerms {
  static constexpr PixelDependencies kDependencies{false, false, false, false, false};
  static Rgb pixel(const PixelInput&, const Terms&, Iteration&) { return Rgb{}; }
};

}  // namespace algorithms

// A list of algorithms, At<n> being number n.
template <class... Algorithm>
struct AlgorithmList {
  static constexpr int kCount = sizeof...(Algorithm);
  template <std::size_t N>
  using At = std::tuple_element_t<N, std::tuple<Algorithm...>>;
};

inline constexpr int kAlgorithmCount = 35;

// The algorithms by number: the one table ComputeFrame runs, and the tests with
// it. 34 computes exactly what 18 computes.
template <class M>
using AlgorithmTable = AlgorithmList<
    algorithms::Algorithm0<M>, algorithms::Algorithm1<M>, algorithms::Algorithm2<M>,
    algorithms::Algorithm3<M>, algorithms::Algorithm4<M>, algorithms::Algorithm5<M>,
    algorithms::Algorithm6<M>, algorithms::Algorithm7<M>, algorithms::Algorithm8<M>,
    algorithms::Algorithm9<M>, algorithms::Algorithm10<M>, algorithms::Algorithm11<M>,
    algorithms::Algorithm12<M>, algorithms::Algorithm13<M>, algorithms::Algorithm14<M>,
    algorithms::Algorithm15<M>, algorithms::Algorithm16<M>, algorithms::Algorithm17<M>,
    algorithms::Algorithm18<M>, algorithms::Algorithm19<M>, algorithms::Algorithm20<M>,
    algorithms::Algorithm21<M>, algorithms::Algorithm22<M>, algorithms::Algorithm23<M>,
    algorithms::Algorithm24<M>, algorithms::Algorithm25<M>, algorithms::Algorithm26<M>,
    algorithms::Algorithm27<M>, algorithms::Algorithm28<M>, algorithms::Algorithm29<M>,
    algorithms::Algorithm30<M>, algorithms::Algorithm31<M>, algorithms::Algorithm32<M>,
    algorithms::Algorithm33<M>, algorithms::Algorithm18<M>>;

static_assert(AlgorithmTable<PortableMath>::kCount == kAlgorithmCount);

namespace algorithms {

template <class M, template <class, class> class Entry, std::size_t... N>
constexpr auto makeAlgorithmEntries(std::index_sequence<N...>) {
  return std::array{Entry<M, typename AlgorithmTable<M>::template At<N>>::value...,
                    Entry<M, NoAlgorithm<M>>::value};
}

}  // namespace algorithms

// Entry<M, Algorithm>::value for each algorithm of the table in number order,
// then for NoAlgorithm: whatever a caller makes of each algorithm (the engine a
// frame loop, the tests a pixel function).
template <class M, template <class, class> class Entry>
inline constexpr auto kAlgorithmEntries =
    algorithms::makeAlgorithmEntries<M, Entry>(std::make_index_sequence<kAlgorithmCount>());

// The entry of algorithm number `algorithm`: NoAlgorithm's for a number outside 0..34.
template <class M, template <class, class> class Entry>
constexpr auto algorithmEntry(std::int32_t algorithm) {
  const bool known = algorithm >= 0 && algorithm < kAlgorithmCount;
  return kAlgorithmEntries<M, Entry>[known ? std::size_t(algorithm) : std::size_t{kAlgorithmCount}];
}

}  // namespace glimmerweave
