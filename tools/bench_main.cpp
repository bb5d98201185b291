// glimmerweave-bench: how fast the engine computes frames. For one algorithm or
// all 35 it times ComputeFrame over several frames after a warm-up and reports
// the median milliseconds per frame with all threads of a pool, with one
// thread, and with one thread on the standard library's math (the path of
// processors without x87), with the ratios between them. Beside them: the
// estimated floor of each algorithm's frame (its sin, cos, ln, sqrt and e^x calls
// alone, timed on the very operands that frame gives them, for one thread) and what a still frame
// costs (a tick at Speed 0 after the first frame).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench_floor.h"
#include "bench_options.h"
#include "engine/engine.h"
#include "engine/frame_pool.h"
#include "glimmerweave/version.h"
#include "progress.h"

namespace {

using namespace glimmerweave;

int usageError(const std::string& message) {
  std::fprintf(stderr, "glimmerweave-bench: %s (see --help)\n", message.c_str());
  return 2;
}

// An engine as the benchmark runs it: seed 1, brightness 100, Speed 5.
std::unique_ptr<Fractals> benchEngine(int algorithm, const BenchOptions& options, FramePool* pool) {
  auto fractals = std::make_unique<Fractals>();
  fractals->pool = pool;
  fractals->random.seed(1);
  fractals->settings.Algorithm = algorithm;
  fractals->settings.Speed = 5;
  fractals->EngineBrightness = 100;
  fractals->FrameWidth = options.width;
  fractals->FrameHeight = options.height;
  StartAnimation(*fractals);
  return fractals;
}

enum class Ticks { Computed, AsTheyCome };

// Median milliseconds per tick of `frames` timed ComputeFrame calls of `fractals`
// after `warmup` untimed ones; every tick counts on `progress`. Computed ticks
// compute every frame, also one the planes still hold (algorithm 33's).
double medianTick(Fractals& fractals, int warmup, int frames, MathBackend backend, Ticks ticks,
                  ProgressReport& progress) {
  for (int i = 0; i < warmup; ++i) {
    ComputeFrame(fractals, backend);
    progress.advance();
  }
  std::vector<double> times;
  for (int i = 0; i < frames; ++i) {
    if (ticks == Ticks::Computed) fractals.lastFrame.valid = false;
    const auto start = std::chrono::steady_clock::now();
    ComputeFrame(fractals, backend);
    const auto end = std::chrono::steady_clock::now();
    times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    // Outside the timed span: reporting costs nothing that is measured.
    progress.advance();
  }
  std::sort(times.begin(), times.end());
  const std::size_t middle = times.size() / 2;
  return times.size() % 2 ? times[middle] : (times[middle - 1] + times[middle]) / 2;
}

double measure(int algorithm, const BenchOptions& options, FramePool* pool, MathBackend backend,
               ProgressReport& progress) {
  const auto fractals = benchEngine(algorithm, options, pool);
  return medianTick(*fractals, options.warmup, options.frames, backend, Ticks::Computed, progress);
}

// A still frame with all threads: Speed 0, the first frame computed untimed.
double measureStill(int algorithm, const BenchOptions& options, FramePool& pool,
                    ProgressReport& progress) {
  const auto fractals = benchEngine(algorithm, options, &pool);
  fractals->settings.Speed = 0;
  return medianTick(*fractals, 1, options.frames, MathBackend::Native, Ticks::AsTheyCome, progress);
}

// Seconds and calls per function, summed over the algorithms measured.
struct CallTotals {
  PerFunction seconds{};
  PerFunction calls{};
};

// The floor of the benchmark's first frame of `algorithm`, in milliseconds: its
// calls, on the operands that frame gives them at the phases the engine starts with,
// measured once untimed and then three times, the least kept. Adds them to `totals`.
double floorOf(int algorithm, const BenchOptions& options, CallTotals& totals) {
  const auto fractals = benchEngine(algorithm, options, nullptr);
  const FrameOperands operands =
      frameOperands(algorithm, options.width, options.height, fractals->state.PhaseA,
                    fractals->state.PhaseB, fractals->state.IterZ[0]);
  const PerFunction seconds = measureFloor(operands, 3);
  double floor = 0;
  for (std::size_t f = 0; f < kMathFunctionCount; ++f) {
    floor += seconds[f];
    totals.seconds[f] += seconds[f];
    totals.calls[f] += double(operands[f].size());
  }
  return floor * 1e3;
}

struct Row {
  int algorithm = 0;
  double allThreads = 0, oneThread = 0, floor = 0, still = 0, portable = 0;
};

double geometricMean(const std::vector<Row>& rows, double (*ratio)(const Row&)) {
  double sum = 0;
  for (const Row& row : rows) sum += std::log(ratio(row));
  return std::exp(sum / double(rows.size()));
}

}  // namespace

int main(int argc, char** argv) {
  // argc is 0 for a program started without even its own name.
  const std::vector<std::string> arguments(argv + std::min(argc, 1), argv + argc);
  const BenchCommand command = parseBenchCommand(arguments);
  if (command.kind == BenchCommand::Kind::Help) {
    std::fputs(benchUsage(), stdout);
    return 0;
  }
  if (command.kind == BenchCommand::Kind::Version) {
    std::printf("glimmerweave-bench %s\n", kVersion);
    return 0;
  }
  if (command.kind == BenchCommand::Kind::Error) return usageError(command.error);
  const BenchOptions& options = command.options;

  FramePool pool(options.threads);
  std::vector<Row> rows;
  const int count = options.last - options.first + 1;
  // Per algorithm: three measurements of its warm-up and timed frames, the still
  // frame's first and timed ticks, and the floor's frame with its timed calls
  // (counted as one, so that the time left allows for them too).
  ProgressReport progress(std::cerr, "glimmerweave-bench: ", "frames",
                          count * (3LL * (options.warmup + options.frames) + 2 + options.frames),
                          {isTerminal(stderr)});
  CallTotals totals;
  for (int algorithm = options.first; algorithm <= options.last; ++algorithm) {
    Row row{};
    row.algorithm = algorithm;
    row.allThreads = measure(algorithm, options, &pool, MathBackend::Native, progress);
    row.oneThread = measure(algorithm, options, nullptr, MathBackend::Native, progress);
    row.portable = measure(algorithm, options, nullptr, MathBackend::Portable, progress);
    row.still = measureStill(algorithm, options, pool, progress);
    row.floor = floorOf(algorithm, options, totals);
    progress.advance();
    rows.push_back(row);
  }
  progress.finish();

  const double threadSpeedUp =
      geometricMean(rows, [](const Row& row) { return row.oneThread / row.allThreads; });
  const double overFloor =
      geometricMean(rows, [](const Row& row) { return row.oneThread / row.floor; });
  const double stillShare =
      geometricMean(rows, [](const Row& row) { return row.still / row.allThreads; });
  const double mathSpeedUp =
      geometricMean(rows, [](const Row& row) { return row.portable / row.oneThread; });
  const unsigned hardwareThreads = std::thread::hardware_concurrency();
  // What one call cost on average over the floors' measurements.
  PerFunction costs{};
  for (std::size_t f = 0; f < kMathFunctionCount; ++f)
    costs[f] = totals.calls[f] > 0 ? totals.seconds[f] / totals.calls[f] * 1e9 : 0;

  if (options.json) {
    std::printf(
        "{\"width\": %d, \"height\": %d, \"threads\": %u, \"hardware_threads\": %u, "
        "\"frames\": %d,\n \"call_ns\": {",
        options.width, options.height, pool.threads(), hardwareThreads, options.frames);
    for (std::size_t f = 0; f < kMathFunctionCount; ++f)
      std::printf("%s\"%s\": %.2f", f ? ", " : "", mathFunctionName(MathFunction(f)), costs[f]);
    std::printf("},\n \"algorithms\": [");
    for (std::size_t i = 0; i < rows.size(); ++i)
      std::printf(
          "%s\n  {\"algorithm\": %d, \"all_threads_ms\": %.3f, \"one_thread_ms\": %.3f, "
          "\"floor_ms\": %.3f, \"still_ms\": %.3f, \"portable_ms\": %.3f}",
          i ? "," : "", rows[i].algorithm, rows[i].allThreads, rows[i].oneThread, rows[i].floor,
          rows[i].still, rows[i].portable);
    std::printf(
        "],\n \"threads_speed_up\": %.3f, \"one_thread_over_floor\": %.3f, "
        "\"still_share\": %.5f, \"x87_speed_up\": %.3f}\n",
        threadSpeedUp, overFloor, stillShare, mathSpeedUp);
    return 0;
  }
  std::printf("Frame %d x %d, %u threads of %u hardware threads, median of %d frames (ms)\n",
              options.width, options.height, pool.threads(), hardwareThreads, options.frames);
  std::printf("One call costs (ns):");
  for (std::size_t f = 0; f < kMathFunctionCount; ++f)
    std::printf(" %s %.1f", mathFunctionName(MathFunction(f)), costs[f]);
  std::printf("\n\n");
  std::printf(
      "algorithm  all threads  one thread   floor  x floor   still  threads x  portable  "
      "x87 x\n");
  for (const Row& row : rows)
    std::printf("%9d  %11.2f  %10.2f  %6.2f  %7.2f  %6.3f  %9.2f  %8.2f  %5.2f\n", row.algorithm,
                row.allThreads, row.oneThread, row.floor, row.oneThread / row.floor, row.still,
                row.oneThread / row.allThreads, row.portable, row.portable / row.oneThread);
  std::printf(
      "\ngeometric mean: one thread %.2f x the estimated floor; all threads %.2f x one thread; "
      "a still frame %.2f %% of a computed one; x87 %.2f x portable math\n",
      overFloor, threadSpeedUp, stillShare * 100, mathSpeedUp);
  return 0;
}
