#include "bench_options.h"

#include "engine/engine.h"
#include "option_numbers/number_text.h"

namespace glimmerweave {

namespace {

constexpr const char* kUsage =
    "Usage: glimmerweave-bench [options]\n"
    "\n"
    "Times the engine's frames: median ms per frame with all threads, one thread,\n"
    "and one thread with the portable standard-library math; beside them an estimate\n"
    "of each frame's floor (its sin, cos, ln, sqrt and e^x calls alone, timed on the\n"
    "operands that frame gives them, for one thread; a frame may come in just under\n"
    "it) and a still frame (a tick at Speed 0).\n"
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

BenchCommand failure(std::string message) {
  BenchCommand command;
  command.kind = BenchCommand::Kind::Error;
  command.error = std::move(message);
  return command;
}

}  // namespace

const char* benchUsage() {
  return kUsage;
}

BenchCommand parseBenchCommand(const std::vector<std::string>& arguments) {
  BenchCommand command;
  BenchOptions& options = command.options;
  bool sizeGiven = false, detailGiven = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& name = arguments[i];
    if (name == "--help") {
      command.kind = BenchCommand::Kind::Help;
      return command;
    }
    if (name == "--version") {
      command.kind = BenchCommand::Kind::Version;
      return command;
    }
    if (name == "--json") {
      options.json = true;
      continue;
    }
    if (i + 1 >= arguments.size()) return failure("option " + name + " needs a value");
    const std::string& value = arguments[++i];
    long long number = 0;
    if (name == "--algorithm") {
      if (!parseWholeNumber(value, 0, 34, number)) return failure("--algorithm takes 0 to 34");
      options.first = options.last = static_cast<int>(number);
    } else if (name == "--detail") {
      if (!parseWholeNumber(value, 0, 10, number)) return failure("--detail takes 0 to 10");
      frameSizeForDetail(static_cast<std::int32_t>(number), 800, 600, options.width,
                         options.height);
      detailGiven = true;
    } else if (name == "--width") {
      if (!parseWholeNumber(value, 1, 801, number)) return failure("--width takes 1 to 801");
      options.width = static_cast<int>(number);
      sizeGiven = true;
    } else if (name == "--height") {
      if (!parseWholeNumber(value, 1, 601, number)) return failure("--height takes 1 to 601");
      options.height = static_cast<int>(number);
      sizeGiven = true;
    } else if (name == "--frames") {
      if (!parseWholeNumber(value, 1, 1000, number)) return failure("--frames takes 1 to 1000");
      options.frames = static_cast<int>(number);
    } else if (name == "--warmup") {
      if (!parseWholeNumber(value, 0, 1000, number)) return failure("--warmup takes 0 to 1000");
      options.warmup = static_cast<int>(number);
    } else if (name == "--threads") {
      if (!parseWholeNumber(value, 1, 256, number)) return failure("--threads takes 1 to 256");
      options.threads = static_cast<unsigned>(number);
    } else {
      return failure("unknown option '" + name + "'");
    }
  }
  if (sizeGiven && detailGiven) return failure("give either --detail or --width and --height");
  return command;
}

}  // namespace glimmerweave
