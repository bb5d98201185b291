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
#include <memory>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/frame_pool.h"
#include "glimmerweave/version.h"

namespace {

using namespace glimmerweave;

constexpr const char* kUsage =
    "Usage: glimmerweave-bench [options]\n"
    "\n"
    "Times the engine's frames: median ms per frame with all threads, one thread,\n"
    "and one thread with the portable standard-library math.\n"
    "\n"
    "  --algorithm N   one algorithm 0..34 (default: all 35)\n"
    "  --detail D      the full-screen frame of Detail 0..10 (default 10: 800 x 600)\n"
    "  --width W       frame width 1..801, with --height instead of --detail\n"
    "  --height H      frame height 1..601\n"
    "  --frames N      timed frames per measurement, 1..1000 (default 5)\n"
    "  --warmup N      untimed frames first, 0..1000 (default 1)\n"
    "  --threads N     threads of the pool, 1..256 (default: one per hardware thread)\n"
    "  --json          print JSON instead of a table\n"
    "  --help          show this text\n"
    "  --version       show the program's version\n";

struct Options {
  int first = 0, last = 34;
  int width = 800, height = 600;
  int frames = 5, warmup = 1;
  unsigned threads = FramePool::defaultThreadCount();
  bool json = false;
};

bool parseNumber(const char* text, long low, long high, long& value) {
  char* end = nullptr;
  const long parsed = std::strtol(text, &end, 10);
  if (!*text || *end || parsed < low || parsed > high) return false;
  value = parsed;
  return true;
}

int usageError(const std::string& message) {
  std::fprintf(stderr, "glimmerweave-bench: %s (see --help)\n", message.c_str());
  return 2;
}

// Median milliseconds per frame of `frames` timed ComputeFrame calls.
double measure(int algorithm, const Options& options, FramePool* pool, MathBackend backend) {
  auto fractals = std::make_unique<Fractals>();
  fractals->pool = pool;
  fractals->random.seed(1);
  fractals->settings.Algorithm = algorithm;
  fractals->settings.Speed = 5;
  fractals->EngineBrightness = 100;
  fractals->FrameWidth = options.width;
  fractals->FrameHeight = options.height;
  StartAnimation(*fractals);
  for (int i = 0; i < options.warmup; ++i) ComputeFrame(*fractals, backend);
  std::vector<double> times;
  for (int i = 0; i < options.frames; ++i) {
    const auto start = std::chrono::steady_clock::now();
    ComputeFrame(*fractals, backend);
    const auto end = std::chrono::steady_clock::now();
    times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
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
  Options options;
  bool sizeGiven = false, detailGiven = false;
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    if (name == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (name == "--version") {
      std::printf("glimmerweave-bench %s\n", kVersion);
      return 0;
    }
    if (name == "--json") {
      options.json = true;
      continue;
    }
    if (i + 1 >= argc) return usageError("option " + name + " needs a value");
    const char* value = argv[++i];
    long number = 0;
    if (name == "--algorithm") {
      if (!parseNumber(value, 0, 34, number)) return usageError("--algorithm takes 0 to 34");
      options.first = options.last = static_cast<int>(number);
    } else if (name == "--detail") {
      if (!parseNumber(value, 0, 10, number)) return usageError("--detail takes 0 to 10");
      frameSizeForDetail(static_cast<std::int32_t>(number), 800, 600, options.width,
                         options.height);
      detailGiven = true;
    } else if (name == "--width") {
      if (!parseNumber(value, 1, 801, number)) return usageError("--width takes 1 to 801");
      options.width = static_cast<int>(number);
      sizeGiven = true;
    } else if (name == "--height") {
      if (!parseNumber(value, 1, 601, number)) return usageError("--height takes 1 to 601");
      options.height = static_cast<int>(number);
      sizeGiven = true;
    } else if (name == "--frames") {
      if (!parseNumber(value, 1, 1000, number)) return usageError("--frames takes 1 to 1000");
      options.frames = static_cast<int>(number);
    } else if (name == "--warmup") {
      if (!parseNumber(value, 0, 1000, number)) return usageError("--warmup takes 0 to 1000");
      options.warmup = static_cast<int>(number);
    } else if (name == "--threads") {
      if (!parseNumber(value, 1, 256, number)) return usageError("--threads takes 1 to 256");
      options.threads = static_cast<unsigned>(number);
    } else {
      return usageError("unknown option '" + name + "'");
    }
  }
  if (sizeGiven && detailGiven) return usageError("give either --detail or --width and --height");

  FramePool pool(options.threads);
  std::vector<Row> rows;
  const int count = options.last - options.first + 1;
  for (int algorithm = options.first; algorithm <= options.last; ++algorithm) {
    std::fprintf(stderr, "\rglimmerweave-bench: algorithm %d (%d of %d)", algorithm,
                 algorithm - options.first + 1, count);
    std::fflush(stderr);
    rows.push_back(Row{algorithm, measure(algorithm, options, &pool, MathBackend::Native),
                       measure(algorithm, options, nullptr, MathBackend::Native),
                       measure(algorithm, options, nullptr, MathBackend::Portable)});
  }
  std::fputc('\n', stderr);

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
