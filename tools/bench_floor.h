// The floor of a frame's time: what the transcendental instructions it computes
// cost on this machine, one thread, and nothing else, measured on the very operands
// the frame gives them. glimmerweave-bench sets each algorithm's time beside it.
// It is an estimate, not a proven bound: a microcoded x87 instruction overlaps
// the arithmetic around it, and how well depends on the processor, so a frame
// that does little besides its calls may come in just under the sum of its calls.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "engine/counting_math.h"

namespace glimmerweave {

// Per function (MathFunction order): calls per pixel, or seconds.
using PerFunction = std::array<double, kMathFunctionCount>;

// Per function (MathFunction order): the operands of its calls, in the order the
// frame's pixels compute them.
using FrameOperands = std::array<std::vector<long double>, kMathFunctionCount>;

// The operands that algorithm `algorithm` gives each function in its frame of
// width x height at phases A and B whose first pixel finds z0 in Z[0] (the frame's
// terms included).
FrameOperands frameOperands(int algorithm, int width, int height, long double A, long double B,
                            double z0);

// The floor of that frame's time on this thread, per function in seconds: its calls on
// exactly those operands, in that order, the calls independent of each other (so that
// the processor overlaps what it can, more than the frame itself lets it), the least
// time of `rounds` passes. Their sum is the floor; nothing else of the frame is in it.
PerFunction measureFloor(const FrameOperands& operands, int rounds);

// The calls per pixel of algorithm `algorithm` in a frame of width x height at
// phases A and B whose first pixel finds z0 in Z[0] (the frame's terms included).
PerFunction countCallsPerPixel(int algorithm, int width, int height, long double A, long double B,
                               double z0);

}  // namespace glimmerweave
