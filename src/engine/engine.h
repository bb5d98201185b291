// The fractal engine: the animation state, StartAnimation and ComputeFrame.
//
// One Fractals object holds everything a process animates with: the settings
// record, the engine's inputs (EngineBrightness, FrameWidth, FrameHeight), the
// random generator, the animation state and the colour planes. The program keeps
// one for its whole life; tests make their own. A mode seeds the generator, calls
// StartAnimation once and then ComputeFrame once per 40 ms tick.
#pragma once

#include <atomic>
#include <cstdint>

#include "engine/color_planes.h"
#include "engine/extended_math.h"
#include "engine/fractal_settings.h"
#include "engine/random.h"

namespace glimmerweave {

// 2*pi as the extended constant the phases turn at.
inline constexpr long double kTwoPi = 6.283185307179586477L;

struct EngineState {
  long double PhaseA = 0.0L;
  long double PhaseB = 0.0L;
  long double StepA = 0.0L;
  long double StepB = 0.0L;
  // The current pixel's starting point (index 0) and its three steps. IterZ[0]
  // outlives the pixel: some algorithms read the value others left there.
  double IterX[4] = {};
  double IterY[4] = {};
  double IterZ[4] = {};
};

class FramePool;

// What ComputeFrame reports: no error, or the arithmetic error that stopped the
// frame and the pixel where it happened.
struct FrameOutcome {
  ArithmeticError error = ArithmeticError::None;
  std::int32_t row = -1;
  std::int32_t column = -1;
  // The frame was given up part-way (Fractals::abandon) and its tick undone.
  bool abandoned = false;

  bool ok() const { return error == ArithmeticError::None; }
  const char* message() const { return arithmeticErrorMessage(error); }
};

// Which implementation of sin, cos, ln, sqrt and e^x computes the frame. Native is
// the x87 instructions on x86 and the standard library elsewhere; Portable is
// always the standard library (a baseline for comparisons).
enum class MathBackend : std::uint8_t { Native, Portable };

// What decides a frame: its algorithm, the inputs its pixels read (the phases and
// Z[0] only where the algorithm reads them, else 0), its size and colour scale,
// and how it is computed.
struct FrameInputs {
  std::int32_t algorithm = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t brightness = 0;
  long double phaseA = 0.0L;
  long double phaseB = 0.0L;
  double z0 = 0.0;
  MathBackend backend = MathBackend::Native;
  const FramePool* pool = nullptr;
};

// The engine's memory of the frame it computed last: its inputs, its outcome,
// the iteration values it left, and a copy of the cells it wrote, against which
// the planes are checked before a frame is skipped.
struct FrameMemory {
  bool valid = false;
  // How many ticks found their frame in the planes and skipped its pixels.
  std::uint64_t skipped = 0;
  FrameInputs inputs;
  FrameOutcome outcome;
  double IterX[4] = {};
  double IterY[4] = {};
  double IterZ[4] = {};
  ColorPlanes cells;
};

struct Fractals {
  FractalSettings settings;
  std::int32_t EngineBrightness = 0;
  std::int32_t FrameWidth = 0;
  std::int32_t FrameHeight = 0;
  RandomGenerator random;
  EngineState state;
  ColorPlanes planes;
  // The threads that share each frame's rows; none: the calling thread alone.
  FramePool* pool = nullptr;
  // Kept by ComputeFrame. Clearing `valid` makes the next tick compute its frame
  // in full (the benchmark does, to time computed frames).
  FrameMemory lastFrame;
  // Set from another thread, it makes the frame being computed stop at its next
  // row: the tick is then undone (the phases, the generator and the iteration
  // values are as they were before it; the planes may hold part of a frame, and
  // the next tick computes its frame in full), so that the animation goes on as
  // if that tick had not come. Null: never.
  const std::atomic<bool>* abandon = nullptr;
};

// Draws the starting phases and steps: PhaseA, PhaseB, StepA, StepB in this order.
void StartAnimation(Fractals& fractals);

// One tick: advances the phases, then computes every pixel of the frame into the
// colour planes. On an arithmetic error the frame stops at the failing pixel,
// which is left 0, and the later cells keep their previous values.
//
// A frame given up through Fractals::abandon reports `abandoned`, with the tick
// undone.
//
// A tick whose frame inputs are those of the frame the planes still hold (the
// phases standing still at Speed 0, or an algorithm that does not read them)
// skips the pixels: the planes, the iteration arrays and the outcome are then
// what computing the frame again would give. Writing the planes outside
// ComputeFrame is allowed; the next tick then computes its frame in full.
FrameOutcome ComputeFrame(Fractals& fractals, MathBackend backend = MathBackend::Native);

// Round(numerator / denominator), ties to even, for a positive denominator.
std::int32_t roundedQuotient(std::int64_t numerator, std::int64_t denominator);

// The frame size of a Detail setting for a full size of fullWidth x fullHeight
// (800 x 600 in the full-screen run, 400 x 300 in the settings dialog):
// Round((Detail + 5) x full / 15), the integer product first, with Detail
// clamped to 0..10 so that the frame fits the planes and is never empty.
void frameSizeForDetail(std::int32_t detail, int fullWidth, int fullHeight, std::int32_t& width,
                        std::int32_t& height);

// The frame size that ComputeFrame computes for a requested size: bounded to the
// planes, and 0 for a negative request.
std::int32_t boundedFrameWidth(std::int32_t requested);
std::int32_t boundedFrameHeight(std::int32_t requested);

}  // namespace glimmerweave
