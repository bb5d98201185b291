// glimmerweave-bench: how fast the engine computes frames. For one algorithm or
// all 35 it times ComputeFrame over several frames after a warm-up and reports
// the median milliseconds per frame with all threads of a pool, with one
// thread, and with one thread on the standard library's math (the path of
// processors without x87), with the ratios between them.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

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

// Median milliseconds per frame of `frames` timed ComputeFrame calls; every frame
// computed, warm-up or timed, counts on `progress`.
double measure(int algorithm, const BenchOptions& options, FramePool* pool, MathBackend backend,
               ProgressReport& progress) {
  auto fractals = std::make_unique<Fractals>();
  fractals->pool = pool;
  fractals->random.seed(1);
  fractals->settings.Algorithm = algorithm;
  fractals->settings.Speed = 5;
  fractals->EngineBrightness = 100;
  fractals->FrameWidth = options.width;
  fractals->FrameHeight = options.height;
  StartAnimation(*fractals);
  for (int i = 0; i < options.warmup; ++i) {
    ComputeFrame(*fractals, backend);
    progress.advance();
  }
  std::vector<double> times;
  for (int i = 0; i < options.frames; ++i) {
    const auto start = std::chrono::steady_clock::now();
    ComputeFrame(*fractals, backend);
    const auto end = std::chrono::steady_clock::now();
    times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    // Outside the timed span: reporting costs nothing that is measured.
    progress.advance();
  }
  std::sort(times.begin(), times.end());
  const std::size_t middle = times.size() / 2;
  return times.size() % 2 ? times[middle] : (times[middle - 1] + times[middle]) / 2;
}

struct Row {
  int algorithm;
  double allThreads, oneThread, portable;
};

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
  // Three measurements of each algorithm, each of its warm-up and timed frames.
  ProgressReport progress(std::cerr, "glimmerweave-bench: ", "frames",
                          3LL * count * (options.warmup + options.frames), {isTerminal(stderr)});
  for (int algorithm = options.first; algorithm <= options.last; ++algorithm)
    rows.push_back(Row{algorithm, measure(algorithm, options, &pool, MathBackend::Native, progress),
                       measure(algorithm, options, nullptr, MathBackend::Native, progress),
                       measure(algorithm, options, nullptr, MathBackend::Portable, progress)});
  progress.finish();

  double logThreads = 0, logMath = 0;
  for (const Row& row : rows) {
    logThreads += std::log(row.oneThread / row.allThreads);
    logMath += std::log(row.portable / row.oneThread);
  }
  const double threadSpeedUp = std::exp(logThreads / double(rows.size()));
  const double mathSpeedUp = std::exp(logMath / double(rows.size()));

  if (options.json) {
    std::printf(
        "{\"width\": %d, \"height\": %d, \"threads\": %u, \"frames\": %d, \"algorithms\": [",
        options.width, options.height, pool.threads(), options.frames);
    for (std::size_t i = 0; i < rows.size(); ++i)
      std::printf(
          "%s\n  {\"algorithm\": %d, \"all_threads_ms\": %.3f, \"one_thread_ms\": %.3f, "
          "\"portable_ms\": %.3f}",
          i ? "," : "", rows[i].algorithm, rows[i].allThreads, rows[i].oneThread, rows[i].portable);
    std::printf("],\n \"threads_speed_up\": %.3f, \"x87_speed_up\": %.3f}\n", threadSpeedUp,
                mathSpeedUp);
    return 0;
  }
  std::printf("Frame %d x %d, %u threads, median of %d frames (ms per frame)\n\n", options.width,
              options.height, pool.threads(), options.frames);
  std::printf("algorithm  all threads  one thread  portable  threads x  x87 x\n");
  for (const Row& row : rows)
    std::printf("%9d  %11.2f  %10.2f  %8.2f  %9.2f  %5.2f\n", row.algorithm, row.allThreads,
                row.oneThread, row.portable, row.oneThread / row.allThreads,
                row.portable / row.oneThread);
  std::printf("\ngeometric mean: all threads %.2f x one thread; x87 %.2f x portable math\n",
              threadSpeedUp, mathSpeedUp);
  return 0;
}
