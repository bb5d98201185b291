#include "engine/engine.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <utility>

#include "engine/algorithms.h"

namespace glimmerweave {

namespace {

// ---------------------------------------------------------------------------
// Tick update

// Turns a phase at either bound by drawing a new step (one draw per test that
// holds, both tests looking at the phase before this tick), then advances it.
void advancePhase(long double& phase, long double& step, std::int32_t speed,
                  RandomGenerator& random) {
  if (phase >= kTwoPi) step = -0.05L - static_cast<long double>(random.Random(100)) / 100000;
  if (phase <= 0) step = static_cast<long double>(random.Random(100)) / 100000 + 0.05L;
  phase = static_cast<long double>(speed) * step / 5 + phase;
}

// ---------------------------------------------------------------------------
// Pixel loop

// A negative value becomes its absolute value, then anything above 255 becomes 255.
std::int32_t clampCell(std::int32_t value) {
  const std::int64_t magnitude = value < 0 ? -std::int64_t{value} : std::int64_t{value};
  return static_cast<std::int32_t>(std::min<std::int64_t>(magnitude, 255));
}

template <class M>
Rgb blackPixel(const PixelInput&, Iteration&) {
  return Rgb{};
}

void loadIteration(const EngineState& state, Iteration& it) {
  std::copy(std::begin(state.IterX), std::end(state.IterX), it.X);
  std::copy(std::begin(state.IterY), std::end(state.IterY), it.Y);
  std::copy(std::begin(state.IterZ), std::end(state.IterZ), it.Z);
}

void saveIteration(const Iteration& it, EngineState& state) {
  std::copy(std::begin(it.X), std::end(it.X), state.IterX);
  std::copy(std::begin(it.Y), std::end(it.Y), state.IterY);
  std::copy(std::begin(it.Z), std::end(it.Z), state.IterZ);
}

// Computes the frame's pixels in raster order with one algorithm. The error flags
// are sticky and cleared once: the first pixel after which one is raised is the
// pixel that failed.
template <class M, AlgorithmFunction<M> Algorithm>
FrameOutcome computePixels(Fractals& fractals, std::int32_t width, std::int32_t height) {
  ColorPlanes& planes = fractals.planes;
  Iteration it;
  loadIteration(fractals.state, it);

  PixelInput in;
  in.A = fractals.state.PhaseA;
  in.B = fractals.state.PhaseB;
  in.width = width;
  in.height = height;
  in.L = static_cast<long double>(fractals.EngineBrightness) * 2.55L;

  FrameOutcome outcome;
  M::clearErrors();
  for (std::int32_t r = 0; r < height && outcome.ok(); ++r) {
    in.row = r;
    in.v = in.row / in.height - 0.5L;
    for (std::int32_t c = 0; c < width; ++c) {
      in.column = c;
      in.u = in.column / in.width - 0.5L;
      const Rgb rgb = Algorithm(in, it);
      const std::size_t cell = ColorPlanes::index(r, c);
      settle(it, rgb);
      if (const ArithmeticError error = M::pendingError(); error != ArithmeticError::None) {
        planes.red[cell] = planes.green[cell] = planes.blue[cell] = 0;
        outcome = FrameOutcome{error, r, c};
        break;
      }
      planes.red[cell] = clampCell(rgb.red);
      planes.green[cell] = clampCell(rgb.green);
      planes.blue[cell] = clampCell(rgb.blue);
    }
  }
  saveIteration(it, fractals.state);
  return outcome;
}

using PixelLoop = FrameOutcome (*)(Fractals&, std::int32_t, std::int32_t);

// One pixel loop per algorithm, and a last one for numbers outside 0..34.
template <class M, std::size_t... I>
constexpr std::array<PixelLoop, sizeof...(I) + 1> makePixelLoops(std::index_sequence<I...>) {
  return {&computePixels<M, kAlgorithms<M>[I]>..., &computePixels<M, blackPixel<M>>};
}

template <class M>
constexpr auto kPixelLoops = makePixelLoops<M>(std::make_index_sequence<kAlgorithmCount>());

template <class M>
FrameOutcome computeFrameWith(Fractals& fractals) {
  EngineState& state = fractals.state;
  const std::int32_t speed = fractals.settings.Speed;
  advancePhase(state.PhaseA, state.StepA, speed, fractals.random);
  advancePhase(state.PhaseB, state.StepB, speed, fractals.random);

  const std::int32_t width = boundedFrameWidth(fractals.FrameWidth);
  const std::int32_t height = boundedFrameHeight(fractals.FrameHeight);
  if (width == 0 || height == 0) return FrameOutcome{};

  const std::int32_t algorithm = fractals.settings.Algorithm;
  const bool known = algorithm >= 0 && algorithm < kAlgorithmCount;
  return kPixelLoops<M>[known ? std::size_t(algorithm) : std::size_t{kAlgorithmCount}](
      fractals, width, height);
}

}  // namespace

std::int32_t roundedQuotient(std::int64_t numerator, std::int64_t denominator) {
  std::int64_t quotient = numerator / denominator;
  std::int64_t remainder = numerator % denominator;
  if (remainder < 0) {
    remainder += denominator;
    --quotient;
  }
  if (2 * remainder > denominator || (2 * remainder == denominator && quotient % 2 != 0))
    ++quotient;
  return static_cast<std::int32_t>(quotient);
}

void frameSizeForDetail(std::int32_t detail, int fullWidth, int fullHeight, std::int32_t& width,
                        std::int32_t& height) {
  const std::int64_t steps = std::clamp<std::int32_t>(detail, 0, 10) + 5;
  width = roundedQuotient(steps * fullWidth, 15);
  height = roundedQuotient(steps * fullHeight, 15);
}

std::int32_t boundedFrameWidth(std::int32_t requested) {
  return std::clamp<std::int32_t>(requested, 0, ColorPlanes::kColumns);
}

std::int32_t boundedFrameHeight(std::int32_t requested) {
  return std::clamp<std::int32_t>(requested, 0, ColorPlanes::kRows);
}

void StartAnimation(Fractals& fractals) {
  EngineState& state = fractals.state;
  RandomGenerator& random = fractals.random;
  state.PhaseA = static_cast<long double>(random.Random(628)) * 0.01L;
  state.PhaseB = static_cast<long double>(random.Random(628)) * 0.01L;
  state.StepA = static_cast<long double>(random.Random(100)) / 100000 + 0.05L;
  state.StepB = static_cast<long double>(random.Random(100)) / 100000 + 0.05L;
}

FrameOutcome ComputeFrame(Fractals& fractals, MathBackend backend) {
  const FloatingPointScope scope;
  if (backend == MathBackend::Portable) return computeFrameWith<PortableMath>(fractals);
  return computeFrameWith<NativeMath>(fractals);
}

}  // namespace glimmerweave
