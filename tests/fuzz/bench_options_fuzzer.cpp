// glimmerweave-bench's command line from arbitrary bytes, split into arguments at NUL
// bytes. A refusal says why; an accepted command measures algorithms within 0..34 on a
// frame that fits the planes, with frame, warm-up and thread counts within their ranges,
// and reads back as itself when its options are written out again.
#include <cstdint>
#include <string>
#include <vector>

#include "bench_options.h"
#include "fuzz_support.h"

namespace glimmerweave::fuzz {
namespace {

std::vector<std::string> argumentsFor(const BenchOptions& options) {
  std::vector<std::string> arguments = {
      "--width",   std::to_string(options.width),  "--height", std::to_string(options.height),
      "--frames",  std::to_string(options.frames), "--warmup", std::to_string(options.warmup),
      "--threads", std::to_string(options.threads)};
  if (options.first == options.last)
    arguments.insert(arguments.end(), {"--algorithm", std::to_string(options.first)});
  if (options.json) arguments.emplace_back("--json");
  return arguments;
}

void checkAccepted(const BenchOptions& options) {
  FUZZ_CHECK(0 <= options.first && options.first <= options.last && options.last <= 34);
  FUZZ_CHECK(options.first == options.last || (options.first == 0 && options.last == 34));
  FUZZ_CHECK(options.width >= 1 && options.width <= 801);
  FUZZ_CHECK(options.height >= 1 && options.height <= 601);
  FUZZ_CHECK(options.frames >= 1 && options.frames <= 1000);
  FUZZ_CHECK(options.warmup >= 0 && options.warmup <= 1000);
  FUZZ_CHECK(options.threads >= 1);

  if (options.threads > 256) return;  // the machine's own count, which no option gives
  const BenchCommand again = parseBenchCommand(argumentsFor(options));
  FUZZ_CHECK(again.kind == BenchCommand::Kind::Run, again.error);
  const BenchOptions& read = again.options;
  FUZZ_CHECK(read.first == options.first && read.last == options.last &&
                 read.width == options.width && read.height == options.height &&
                 read.frames == options.frames && read.warmup == options.warmup &&
                 read.threads == options.threads && read.json == options.json,
             "the options read back differently");
}

}  // namespace
}  // namespace glimmerweave::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace glimmerweave;
  glimmerweave::fuzz::checkOptionsReading({reinterpret_cast<const char*>(data), size},
                                          parseBenchCommand, BenchCommand::Kind::Run,
                                          glimmerweave::fuzz::checkAccepted);
  return 0;
}
