#include "engine/engine.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <mutex>

#include "engine/algorithms.h"
#include "engine/frame_pool.h"

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

// What depends on the column alone, computed once per frame.
struct FrameColumns {
  long double u[ColorPlanes::kColumns];

  explicit FrameColumns(std::int32_t width) {
    const long double w = width;
    for (std::int32_t c = 0; c < width; ++c) u[c] = static_cast<long double>(c) / w - 0.5L;
  }
};

// How many pixels of a row the algorithm computes side by side (SideBySide).
template <class Algorithm>
constexpr int lanesOf() {
  if constexpr (requires { Algorithm::kLanes; })
    return Algorithm::kLanes;
  else
    return 1;
}

// Writes a computed pixel's clamped values into its cells.
void writeCell(ColorPlanes& out, std::size_t cell, const Rgb& rgb) {
  out.red[cell] = clampCell(rgb.red);
  out.green[cell] = clampCell(rgb.green);
  out.blue[cell] = clampCell(rgb.blue);
}

// Computes columns c, c + 1, ... of the row side by side, as many at a time as
// the algorithm computes together, while they come out without an error, and
// returns the first column not computed. Each lane starts from `it`: a pixel
// reads only what it writes itself or what the frame started with, so each comes
// out as in raster order, and `it` is left as the last one left it. A group
// that raises an error flag writes nothing: the flags do not say which of its
// pixels raised it, so they are cleared and the group is left to be computed
// again one pixel at a time.
template <class M, class Algorithm>
std::int32_t computeSideBySide(PixelInput& in, const typename Algorithm::Terms& terms,
                               Iteration& it, const FrameColumns& columns, ColorPlanes& out,
                               std::int32_t r, std::int32_t width) {
  constexpr int kLanes = lanesOf<Algorithm>();
  std::int32_t c = 0;
  if constexpr (kLanes > 1) {
    PixelInput lane[kLanes];
    for (PixelInput& pixel : lane) pixel = in;
    for (; c + kLanes <= width; c += kLanes) {
      Iteration lanes[kLanes];
      Rgb rgb[kLanes];
      for (int l = 0; l < kLanes; ++l) {
        lane[l].column = c + l;
        lane[l].u = columns.u[c + l];
        lanes[l] = it;
      }
      Algorithm::template lanes<kLanes>(lane, terms, lanes, rgb);
      settle(lanes, rgb);
      if (M::pendingError() != ArithmeticError::None) {
        M::clearErrors();
        break;
      }
      for (int l = 0; l < kLanes; ++l) writeCell(out, ColorPlanes::index(r, c + l), rgb[l]);
      it = lanes[kLanes - 1];
    }
  }
  return c;
}

// Computes row r of the frame into `out` with the algorithm's frame terms
// `terms`. On an arithmetic error the failing cell is set to 0, `error` says
// which, and the failing column is returned; otherwise -1. The error flags are
// sticky and cleared once per thread and frame, so the first pixel after which
// one is raised is the one that failed.
template <class M, class Algorithm>
std::int32_t computeRow(PixelInput& in, const typename Algorithm::Terms& terms, Iteration& it,
                        const FrameColumns& columns, ColorPlanes& out, std::int32_t r,
                        std::int32_t width, ArithmeticError& error) {
  in.row = r;
  in.v = in.row / in.height - 0.5L;
  // What the pixels side by side leave, if any (the row's end, an odd pixel, or a
  // group with an error), is computed here one pixel at a time.
  std::int32_t first = 0;
  if constexpr (lanesOf<Algorithm>() > 1)
    first = computeSideBySide<M, Algorithm>(in, terms, it, columns, out, r, width);
  for (std::int32_t c = first; c < width; ++c) {
    in.column = c;
    in.u = columns.u[c];
    const Rgb rgb = Algorithm::pixel(in, terms, it);
    const std::size_t cell = ColorPlanes::index(r, c);
    settle(it, rgb);
    if (const ArithmeticError pending = M::pendingError(); pending != ArithmeticError::None) {
      out.red[cell] = out.green[cell] = out.blue[cell] = 0;
      error = pending;
      return c;
    }
    out.red[cell] = clampCell(rgb.red);
    out.green[cell] = clampCell(rgb.green);
    out.blue[cell] = clampCell(rgb.blue);
  }
  return -1;
}

// Whether the frame being computed is to be given up.
bool abandonRequested(const std::atomic<bool>* abandon) {
  return abandon && abandon->load(std::memory_order_relaxed);
}

// The pixels' input as the frame starts, before a pixel's place is filled in.
template <class M>
PixelInput frameStart(const Fractals& fractals, std::int32_t width, std::int32_t height) {
  return PixelInput{frameInput<M>(fractals.state.PhaseA, fractals.state.PhaseB, width, height,
                                  static_cast<long double>(fractals.EngineBrightness) * 2.55L,
                                  fractals.state.IterZ[0])};
}

// The frame shared among a pool's threads. Each thread takes the next row not
// yet taken and computes it into the pool's staging planes, starting from the
// iteration values the frame started with: every pixel writes the same slots,
// and it reads only what it has written itself or what the frame started with
// (the rule at the top of algorithms.h), so a row's pixels come out as in
// raster order on one thread.
template <class M, class Algorithm>
struct ParallelFrame {
  PixelInput input;
  typename Algorithm::Terms terms;
  const FrameColumns* columns = nullptr;
  Iteration start;
  ColorPlanes* staging = nullptr;
  std::int32_t width = 0;
  std::int32_t height = 0;
  const std::atomic<bool>* abandon = nullptr;
  std::atomic<bool> abandoned{false};
  std::atomic<std::int32_t> nextRow{0};
  // The raster index of the earliest failing pixel found so far.
  std::atomic<std::int64_t> firstError{INT64_MAX};
  std::mutex errorMutex;
  FrameOutcome failure;
  Iteration atFailure;
  Iteration atLastRow;

  static void run(void* context, unsigned /*participant*/) {
    auto& frame = *static_cast<ParallelFrame*>(context);
    const FloatingPointScope scope;
    PixelInput in = frame.input;
    const typename Algorithm::Terms terms = frame.terms;
    Iteration it = frame.start;
    M::clearErrors();
    for (;;) {
      const std::int32_t r = frame.nextRow.fetch_add(1, std::memory_order_relaxed);
      if (r >= frame.height) break;
      if (abandonRequested(frame.abandon)) {
        frame.abandoned.store(true, std::memory_order_relaxed);
        break;
      }
      // Rows are taken in order: once one lies past a failure, all later ones do.
      if (std::int64_t{r} * frame.width > frame.firstError.load(std::memory_order_relaxed)) break;
      ArithmeticError error = ArithmeticError::None;
      const std::int32_t c = computeRow<M, Algorithm>(in, terms, it, *frame.columns, *frame.staging,
                                                      r, frame.width, error);
      if (c >= 0) {
        const std::int64_t index = std::int64_t{r} * frame.width + c;
        const std::lock_guard<std::mutex> lock(frame.errorMutex);
        if (index < frame.firstError.load(std::memory_order_relaxed)) {
          frame.firstError.store(index, std::memory_order_relaxed);
          frame.failure = FrameOutcome{error, r, c};
          frame.atFailure = it;
        }
        break;
      }
      if (r == frame.height - 1) frame.atLastRow = it;
    }
  }
};

// Copies rows [0, rows) and the first `columns` cells of row `rows` from the
// staging planes into the frame.
void commitRows(const ColorPlanes& staging, ColorPlanes& planes, std::int32_t width,
                std::int32_t rows, std::int32_t columns) {
  const auto copy = [&](std::int32_t r, std::int32_t count) {
    const std::size_t first = ColorPlanes::index(r, 0);
    std::copy_n(staging.red + first, count, planes.red + first);
    std::copy_n(staging.green + first, count, planes.green + first);
    std::copy_n(staging.blue + first, count, planes.blue + first);
  };
  for (std::int32_t r = 0; r < rows; ++r) copy(r, width);
  if (columns > 0) copy(rows, columns);
}

template <class M, class Algorithm>
FrameOutcome computePixelsInParallel(Fractals& fractals, std::int32_t width, std::int32_t height,
                                     FramePool& pool) {
  ParallelFrame<M, Algorithm> frame;
  const FrameColumns columns(width);
  frame.columns = &columns;
  frame.input = frameStart<M>(fractals, width, height);
  frame.terms = Algorithm::prepare(frame.input);
  loadIteration(fractals.state, frame.start);
  frame.staging = &pool.staging();
  frame.width = width;
  frame.height = height;
  frame.abandon = fractals.abandon;
  pool.run(&ParallelFrame<M, Algorithm>::run, &frame);
  // Nothing of it reaches the planes.
  if (frame.abandoned.load(std::memory_order_relaxed)) return FrameOutcome{.abandoned = true};

  if (!frame.failure.ok()) {
    const FrameOutcome& failure = frame.failure;
    commitRows(*frame.staging, fractals.planes, width, failure.row, failure.column);
    const std::size_t cell = ColorPlanes::index(failure.row, failure.column);
    fractals.planes.red[cell] = fractals.planes.green[cell] = fractals.planes.blue[cell] = 0;
    saveIteration(frame.atFailure, fractals.state);
    return failure;
  }
  commitRows(*frame.staging, fractals.planes, width, height, 0);
  saveIteration(frame.atLastRow, fractals.state);
  return FrameOutcome{};
}

// Computes the frame's pixels with one algorithm, in raster order on this
// thread, or spread over the engine's pool.
template <class M, class Algorithm>
FrameOutcome computePixels(Fractals& fractals, std::int32_t width, std::int32_t height) {
  if (fractals.pool && fractals.pool->threads() > 1 && height > 1)
    return computePixelsInParallel<M, Algorithm>(fractals, width, height, *fractals.pool);

  Iteration it;
  loadIteration(fractals.state, it);
  PixelInput in = frameStart<M>(fractals, width, height);
  const typename Algorithm::Terms terms = Algorithm::prepare(in);
  const FrameColumns columns(width);
  FrameOutcome outcome;
  M::clearErrors();
  for (std::int32_t r = 0; r < height; ++r) {
    if (abandonRequested(fractals.abandon)) return FrameOutcome{.abandoned = true};
    ArithmeticError error = ArithmeticError::None;
    const std::int32_t c =
        computeRow<M, Algorithm>(in, terms, it, columns, fractals.planes, r, width, error);
    if (c >= 0) {
      outcome = FrameOutcome{error, r, c};
      break;
    }
  }
  saveIteration(it, fractals.state);
  return outcome;
}

using PixelLoop = FrameOutcome (*)(Fractals&, std::int32_t, std::int32_t);

// An algorithm's pixel loop, compiled for it alone.
template <class M, class Algorithm>
struct PixelLoopOf {
  static constexpr PixelLoop value = &computePixels<M, Algorithm>;
};

// ---------------------------------------------------------------------------
// Still frames

// An algorithm's dependencies, as an entry of the algorithm table.
template <class M, class Algorithm>
struct DependenciesOf {
  static constexpr PixelDependencies value = Algorithm::kDependencies;
};

// The bytes of a long double that hold its value (x87's 80 bits of 16 on x86).
constexpr std::size_t kLongDoubleValueBytes =
    std::numeric_limits<long double>::digits == 64 ? 10 : sizeof(long double);

bool sameBits(long double a, long double b) {
  return std::memcmp(&a, &b, kLongDoubleValueBytes) == 0;
}

bool sameBits(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

FrameInputs frameInputsOf(const Fractals& fractals, std::int32_t width, std::int32_t height,
                          MathBackend backend, const PixelDependencies& reads) {
  FrameInputs inputs;
  inputs.algorithm = fractals.settings.Algorithm;
  inputs.width = width;
  inputs.height = height;
  inputs.brightness = fractals.EngineBrightness;
  if (reads.phases) {
    inputs.phaseA = fractals.state.PhaseA;
    inputs.phaseB = fractals.state.PhaseB;
  }
  if (reads.carriedZ) inputs.z0 = fractals.state.IterZ[0];
  inputs.backend = backend;
  inputs.pool = fractals.pool;
  return inputs;
}

bool sameInputs(const FrameInputs& a, const FrameInputs& b) {
  return a.algorithm == b.algorithm && a.width == b.width && a.height == b.height &&
         a.brightness == b.brightness && sameBits(a.phaseA, b.phaseA) &&
         sameBits(a.phaseB, b.phaseB) && sameBits(a.z0, b.z0) && a.backend == b.backend &&
         a.pool == b.pool;
}

// Whether the frame's cells (its rows and columns) of two planes are alike.
bool sameCells(const ColorPlanes& a, const ColorPlanes& b, std::int32_t width,
               std::int32_t height) {
  const std::size_t rowBytes = std::size_t(width) * sizeof(std::int32_t);
  for (std::int32_t r = 0; r < height; ++r) {
    const std::size_t first = ColorPlanes::index(r, 0);
    if (std::memcmp(a.red + first, b.red + first, rowBytes) != 0 ||
        std::memcmp(a.green + first, b.green + first, rowBytes) != 0 ||
        std::memcmp(a.blue + first, b.blue + first, rowBytes) != 0)
      return false;
  }
  return true;
}

void rememberFrame(Fractals& fractals, const FrameInputs& inputs, const FrameOutcome& outcome) {
  FrameMemory& memory = fractals.lastFrame;
  memory.valid = true;
  memory.inputs = inputs;
  memory.outcome = outcome;
  const EngineState& state = fractals.state;
  std::copy(std::begin(state.IterX), std::end(state.IterX), memory.IterX);
  std::copy(std::begin(state.IterY), std::end(state.IterY), memory.IterY);
  std::copy(std::begin(state.IterZ), std::end(state.IterZ), memory.IterZ);
  commitRows(fractals.planes, memory.cells, inputs.width, inputs.height, 0);
}

// Leaves in the iteration arrays what the remembered frame's pixels wrote; the
// slots they do not write keep what this frame started with, as computing it would.
void recallIteration(const FrameMemory& memory, const PixelDependencies& writes,
                     EngineState& state) {
  const auto recall = [&](int first, int last) {
    for (int k = first; k <= last; ++k) {
      state.IterX[k] = memory.IterX[k];
      state.IterY[k] = memory.IterY[k];
      state.IterZ[k] = memory.IterZ[k];
    }
  };
  const double z0 = state.IterZ[0];
  if (writes.writesStart) recall(0, 0);
  state.IterZ[0] = writes.writesZ0 ? memory.IterZ[0] : z0;
  if (writes.writesSteps) recall(1, 3);
}

// ---------------------------------------------------------------------------
// The tick

template <class M>
FrameOutcome computeFrameWith(Fractals& fractals, MathBackend backend) {
  EngineState& state = fractals.state;
  const EngineState before = state;
  const RandomGenerator randomBefore = fractals.random;
  const std::int32_t speed = fractals.settings.Speed;
  advancePhase(state.PhaseA, state.StepA, speed, fractals.random);
  advancePhase(state.PhaseB, state.StepB, speed, fractals.random);

  const std::int32_t width = boundedFrameWidth(fractals.FrameWidth);
  const std::int32_t height = boundedFrameHeight(fractals.FrameHeight);
  if (width == 0 || height == 0) return FrameOutcome{};

  const std::int32_t algorithm = fractals.settings.Algorithm;
  const PixelDependencies dependencies = algorithmEntry<M, DependenciesOf>(algorithm);
  const FrameInputs inputs = frameInputsOf(fractals, width, height, backend, dependencies);
  FrameMemory& memory = fractals.lastFrame;
  if (memory.valid && sameInputs(memory.inputs, inputs) &&
      sameCells(memory.cells, fractals.planes, width, height)) {
    recallIteration(memory, dependencies, state);
    ++memory.skipped;
    return memory.outcome;
  }
  const FrameOutcome outcome = algorithmEntry<M, PixelLoopOf>(algorithm)(fractals, width, height);
  if (outcome.abandoned) {
    state = before;
    fractals.random = randomBefore;
    memory.valid = false;
    return outcome;
  }
  rememberFrame(fractals, inputs, outcome);
  return outcome;
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
  if (backend == MathBackend::Portable) return computeFrameWith<PortableMath>(fractals, backend);
  return computeFrameWith<NativeMath>(fractals, backend);
}

}  // namespace glimmerweave
