// The floor of a frame's time: what the transcendental instructions it computes
// cost on this machine, one thread, and nothing else. glimmerweave-bench sets
// each algorithm's time beside it.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "engine/counting_math.h"

namespace glimmerweave {

// Per function (MathFunction order): nanoseconds per call, or calls per pixel.
using PerFunction = std::array<double, kMathFunctionCount>;

// The operands the algorithms give each function in a frame of width x height
// at phases A and B: every algorithm's calls, as a sample to time the functions on.
std::array<std::vector<long double>, kMathFunctionCount> sampleOperands(int width, int height,
                                                                        long double A,
                                                                        long double B);

// What one call of each function costs on this thread at best, in nanoseconds:
// the time per call of `rounds` passes over its operands, the calls independent
// of each other (so that the processor overlaps what it can).
PerFunction measureCallCosts(
    const std::array<std::vector<long double>, kMathFunctionCount>& operands, int rounds);

// The calls per pixel of algorithm `algorithm` in a frame of width x height at
// phases A and B whose first pixel finds z0 in Z[0] (the frame's terms included).
PerFunction countCallsPerPixel(int algorithm, int width, int height, long double A, long double B,
                               double z0);

// The milliseconds that `pixels` pixels of `callsPerPixel` cost at `costs`.
double floorMilliseconds(const PerFunction& callsPerPixel, const PerFunction& costs,
                         std::int64_t pixels);

}  // namespace glimmerweave
