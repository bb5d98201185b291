// The engine on hostile animation states: any phases and steps (infinities, NaNs and the
// 80-bit patterns that no arithmetic makes among them), any Z[0], frame size, Speed,
// Algorithm and EngineBrightness, for one or two ticks, with either math backend, on
// the calling thread and on a pool of two threads.
//
// ComputeFrame may end with an arithmetic error, and nothing else may go wrong: no
// sanitizer finding, and exactly the cells it promises change. Before every tick each
// plane is filled with a sentinel that no frame writes; afterwards the frame's cells
// before a failing pixel hold intensities 0..255, the failing pixel 0, and every other
// cell, inside the frame after the failure or outside the frame's rows and columns,
// still the sentinel. The settings, EngineBrightness and the frame size are left as
// they were, and the random generator moves only for a phase at or beyond a bound. On
// the pool the frame, the outcome and the engine's state come out bit for bit as on one
// thread.
//
// Input, little-endian: a flags byte (bit 0 portable math; bit 1 also on the pool; bit 2
// Algorithm any int32, otherwise -1..35; bits 3..6 PhaseA, PhaseB, StepA, StepB as ten
// raw bytes, otherwise as a double of eight; bit 7 two ticks); then Algorithm, Speed,
// EngineBrightness, FrameWidth and FrameHeight (int32 each), the seed (uint32), the
// phases and steps, and Z[0] (a double).
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "engine/engine.h"
#include "engine/frame_pool.h"
#include "fuzz_support.h"

namespace glimmerweave::fuzz {
namespace {

// No frame writes it: intensities are 0..255.
constexpr std::int32_t kSentinel = -0x5EED;

// Frames are held to about two full rows of pixels (any size up to the planes' keeps
// its own bounds: a width beyond the planes with a few rows, or a height beyond them
// with a few columns), so that a run tries many inputs.
constexpr std::int64_t kPixelBudget = std::int64_t{2} * ColorPlanes::kColumns;

struct Case {
  MathBackend backend = MathBackend::Native;
  bool onPool = false;
  int ticks = 1;
  std::int32_t algorithm = 0, speed = 0, brightness = 0, width = 0, height = 0;
  std::uint32_t seed = 0;
  long double phaseA = 0, phaseB = 0, stepA = 0, stepB = 0;
  double z0 = 0;
};

Case readCase(FuzzInput& in) {
  Case c;
  const std::uint8_t flags = in.byte();
  c.backend = (flags & 1) ? MathBackend::Portable : MathBackend::Native;
  c.onPool = (flags & 2) != 0;
  c.ticks = (flags & 128) ? 2 : 1;
  c.algorithm = in.i32();
  if ((flags & 4) == 0)
    c.algorithm = static_cast<std::int32_t>(std::uint32_t(c.algorithm) % 37) - 1;
  c.speed = in.i32();
  c.brightness = in.i32();
  c.width = in.i32();
  c.height = in.i32();
  c.seed = in.u32();
  const auto real = [&](int bit) { return (flags & (1 << bit)) ? in.f80() : in.f64(); };
  c.phaseA = real(3);
  c.phaseB = real(4);
  c.stepA = real(5);
  c.stepB = real(6);
  c.z0 = in.f64();

  const std::int64_t width = boundedFrameWidth(c.width), height = boundedFrameHeight(c.height);
  if (width * height > kPixelBudget) {
    if (c.height > ColorPlanes::kRows)
      c.width = static_cast<std::int32_t>(kPixelBudget / height);
    else
      c.height = static_cast<std::int32_t>(kPixelBudget / width);
  }
  return c;
}

void setUp(Fractals& fractals, const Case& c) {
  fractals.settings = FractalSettings{};
  fractals.settings.Speed = c.speed;
  fractals.settings.Algorithm = c.algorithm;
  fractals.EngineBrightness = c.brightness;
  fractals.FrameWidth = c.width;
  fractals.FrameHeight = c.height;
  fractals.random.seed(c.seed);
  fractals.state = EngineState{};
  fractals.state.PhaseA = c.phaseA;
  fractals.state.PhaseB = c.phaseB;
  fractals.state.StepA = c.stepA;
  fractals.state.StepB = c.stepB;
  fractals.state.IterZ[0] = c.z0;
}

struct Shared {
  std::unique_ptr<Fractals> alone = std::make_unique<Fractals>();
  std::unique_ptr<Fractals> pooled = std::make_unique<Fractals>();
  FramePool pool{2};
  std::unique_ptr<ColorPlanes> sentinel = std::make_unique<ColorPlanes>();

  Shared() {
    std::fill(std::begin(sentinel->red), std::end(sentinel->red), kSentinel);
    std::fill(std::begin(sentinel->green), std::end(sentinel->green), kSentinel);
    std::fill(std::begin(sentinel->blue), std::end(sentinel->blue), kSentinel);
    pooled->pool = &pool;
  }
};

Shared& shared() {
  static Shared instance;
  return instance;
}

bool sameBits(const long double& a, const long double& b) {
  return std::memcmp(&a, &b, 10) == 0;  // the 80 bits, not the padding
}

// Bit for bit, so that NaNs and the sign of zero count too.
bool sameBits(const double (&a)[4], const double (&b)[4]) {
  return std::equal(std::begin(a), std::end(a), std::begin(b), [](double x, double y) {
    return std::bit_cast<std::uint64_t>(x) == std::bit_cast<std::uint64_t>(y);
  });
}

// How many numbers the tick update draws: one for each test of a phase that holds.
int drawsForTick(const EngineState& state) {
  int draws = 0;
  for (const long double phase : {state.PhaseA, state.PhaseB}) {
    if (phase >= kTwoPi) ++draws;
    if (phase <= 0) ++draws;
  }
  return draws;
}

bool isSentinel(const std::int32_t* cells, std::size_t count) {
  return std::memcmp(cells, shared().sentinel->red, count * sizeof *cells) == 0;
}

void checkPlane(const std::int32_t* plane, std::int32_t width, std::int32_t height,
                std::int64_t failedAt) {
  for (std::int32_t r = 0; r < height; ++r) {
    for (std::int32_t c = 0; c < width; ++c) {
      const std::int64_t at = std::int64_t{r} * width + c;
      const std::int32_t value = plane[ColorPlanes::index(r, c)];
      const std::string where = "cell " + std::to_string(r) + ", " + std::to_string(c) + " holds " +
                                std::to_string(value);
      if (at < failedAt)
        FUZZ_CHECK(value >= 0 && value <= 255, where);
      else if (at == failedAt)
        FUZZ_CHECK(value == 0, "the failing pixel is 0; " + where);
      else
        FUZZ_CHECK(value == kSentinel, "a cell after the failing pixel changed: " + where);
    }
    FUZZ_CHECK(isSentinel(plane + ColorPlanes::index(r, width), ColorPlanes::kColumns - width),
               "a cell right of the frame changed in row " + std::to_string(r));
  }
  const std::size_t below = ColorPlanes::index(height, 0);
  FUZZ_CHECK(isSentinel(plane + below, ColorPlanes::kCells - below),
             "a cell below the frame changed");
}

// One tick on sentinel planes, checked against everything ComputeFrame promises.
FrameOutcome checkedTick(Fractals& fractals, MathBackend backend) {
  fractals.planes = *shared().sentinel;
  const FractalSettings settings = fractals.settings;
  const std::int32_t brightness = fractals.EngineBrightness;
  const std::int32_t requestedWidth = fractals.FrameWidth, requestedHeight = fractals.FrameHeight;
  RandomGenerator expectedRandom = fractals.random;
  for (int draws = drawsForTick(fractals.state); draws > 0; --draws) expectedRandom.Random(100);

  const FrameOutcome outcome = ComputeFrame(fractals, backend);

  FUZZ_CHECK(fractals.settings.Speed == settings.Speed &&
             fractals.settings.Algorithm == settings.Algorithm &&
             fractals.settings.Brightness == settings.Brightness &&
             fractals.settings.Detail == settings.Detail &&
             fractals.settings.RandomAlgorithm == settings.RandomAlgorithm);
  FUZZ_CHECK(fractals.EngineBrightness == brightness);
  FUZZ_CHECK(fractals.FrameWidth == requestedWidth && fractals.FrameHeight == requestedHeight);
  FUZZ_CHECK(fractals.random.state() == expectedRandom.state(), "draws only when a phase turns");

  const std::int32_t width = boundedFrameWidth(requestedWidth);
  const std::int32_t height = boundedFrameHeight(requestedHeight);
  std::int64_t failedAt = std::int64_t{width} * height;
  if (outcome.ok()) {
    FUZZ_CHECK(outcome.row == -1 && outcome.column == -1);
    FUZZ_CHECK(std::string(outcome.message()).empty());
  } else {
    FUZZ_CHECK(outcome.error == ArithmeticError::InvalidOperation ||
               outcome.error == ArithmeticError::DivisionByZero ||
               outcome.error == ArithmeticError::Overflow);
    FUZZ_CHECK(!std::string(outcome.message()).empty());
    FUZZ_CHECK(
        outcome.row >= 0 && outcome.row < height && outcome.column >= 0 && outcome.column < width,
        "failing pixel " + std::to_string(outcome.row) + ", " + std::to_string(outcome.column) +
            " outside the frame");
    failedAt = std::int64_t{outcome.row} * width + outcome.column;
  }
  checkPlane(fractals.planes.red, width, height, failedAt);
  checkPlane(fractals.planes.green, width, height, failedAt);
  checkPlane(fractals.planes.blue, width, height, failedAt);
  return outcome;
}

void checkSameAsAlone(const Fractals& alone, const FrameOutcome& aloneOutcome,
                      const Fractals& pooled, const FrameOutcome& pooledOutcome) {
  FUZZ_CHECK(pooledOutcome.error == aloneOutcome.error && pooledOutcome.row == aloneOutcome.row &&
             pooledOutcome.column == aloneOutcome.column);
  FUZZ_CHECK(std::memcmp(&pooled.planes, &alone.planes, sizeof alone.planes) == 0,
             "the pool's frame differs");
  const EngineState& a = alone.state;
  const EngineState& p = pooled.state;
  FUZZ_CHECK(sameBits(p.PhaseA, a.PhaseA) && sameBits(p.PhaseB, a.PhaseB) &&
             sameBits(p.StepA, a.StepA) && sameBits(p.StepB, a.StepB));
  FUZZ_CHECK(sameBits(p.IterX, a.IterX) && sameBits(p.IterY, a.IterY) && sameBits(p.IterZ, a.IterZ),
             "the pool left other iteration values");
  FUZZ_CHECK(pooled.random.state() == alone.random.state());
}

}  // namespace
}  // namespace glimmerweave::fuzz

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  // The pool's threads and the large planes are made once, before the first input.
  glimmerweave::fuzz::shared();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace glimmerweave;
  using namespace glimmerweave::fuzz;
  FuzzInput in(data, size);
  const Case c = readCase(in);
  Fractals& alone = *shared().alone;
  Fractals& pooled = *shared().pooled;
  setUp(alone, c);
  setUp(pooled, c);
  for (int tick = 0; tick < c.ticks; ++tick) {
    const FrameOutcome outcome = checkedTick(alone, c.backend);
    if (c.onPool) checkSameAsAlone(alone, outcome, pooled, checkedTick(pooled, c.backend));
  }

  // One more tick at Speed 0 over the planes the last one left, where the engine
  // may skip the pixels, against the pool computing the frame in full from the
  // same state.
  alone.settings.Speed = 0;
  pooled.settings = alone.settings;
  pooled.EngineBrightness = alone.EngineBrightness;
  pooled.FrameWidth = alone.FrameWidth;
  pooled.FrameHeight = alone.FrameHeight;
  pooled.random = alone.random;
  pooled.state = alone.state;
  pooled.planes = alone.planes;
  pooled.lastFrame.valid = false;
  const FrameOutcome still = ComputeFrame(alone, c.backend);
  checkSameAsAlone(alone, still, pooled, ComputeFrame(pooled, c.backend));
  return 0;
}
