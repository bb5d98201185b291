// The command line of glimmerweave-bench.
#pragma once

#include <string>
#include <vector>

#include "engine/frame_pool.h"

namespace glimmerweave {

struct BenchOptions {
  int first = 0, last = 34;  // the algorithms measured
  int width = 800, height = 600;
  int frames = 5, warmup = 1;
  unsigned threads = FramePool::defaultThreadCount();
  bool json = false;
};

struct BenchCommand {
  enum class Kind { Run, Help, Version, Error } kind = Kind::Run;
  BenchOptions options;
  std::string error;  // for Kind::Error: what was wrong
};

// Reads the arguments after the program name.
BenchCommand parseBenchCommand(const std::vector<std::string>& arguments);

// The --help text.
const char* benchUsage();

}  // namespace glimmerweave
