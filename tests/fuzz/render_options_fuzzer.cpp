// glimmerweave-render's command line from arbitrary bytes, split into arguments at NUL
// bytes. A refusal says why; an accepted command has every option within its range, a
// non-empty output name whose numbered frames keep its format, and reads back as itself
// when its options are written out again.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "render_options.h"

namespace glimmerweave::fuzz {
namespace {

// A long double written with enough digits (21) to read back as the same value.
std::string exactDecimal(long double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.21Lg", value);
  return text;
}

// The options written out as arguments, each named.
std::vector<std::string> argumentsFor(const RenderOptions& options) {
  std::vector<std::string> arguments = {"--algorithm",  std::to_string(options.algorithm),
                                        "--width",      std::to_string(options.width),
                                        "--height",     std::to_string(options.height),
                                        "--brightness", std::to_string(options.brightness),
                                        "--speed",      std::to_string(options.speed),
                                        "--ticks",      std::to_string(options.ticks),
                                        "--frames",     std::to_string(options.frames),
                                        "--output",     options.output};
  if (options.seed) arguments.insert(arguments.end(), {"--seed", std::to_string(*options.seed)});
  const auto decimal = [&](const char* name, const std::optional<long double>& value) {
    if (value) arguments.insert(arguments.end(), {name, exactDecimal(*value)});
  };
  decimal("--phase-a", options.phaseA);
  decimal("--phase-b", options.phaseB);
  decimal("--step-a", options.stepA);
  decimal("--step-b", options.stepB);
  decimal("--z0", options.z0);
  return arguments;
}

bool sameValue(const std::optional<long double>& a, const std::optional<long double>& b) {
  return a.has_value() == b.has_value() && (!a || *a == *b);
}

bool sameOptions(const RenderOptions& a, const RenderOptions& b) {
  return a.algorithm == b.algorithm && a.width == b.width && a.height == b.height &&
         a.brightness == b.brightness && a.speed == b.speed && a.seed == b.seed &&
         sameValue(a.phaseA, b.phaseA) && sameValue(a.phaseB, b.phaseB) &&
         sameValue(a.stepA, b.stepA) && sameValue(a.stepB, b.stepB) && sameValue(a.z0, b.z0) &&
         a.ticks == b.ticks && a.frames == b.frames && a.output == b.output;
}

void checkAccepted(const RenderOptions& options) {
  FUZZ_CHECK(!options.output.empty());
  FUZZ_CHECK(options.width >= 0 && options.width <= 801);
  FUZZ_CHECK(options.height >= 0 && options.height <= 601);
  FUZZ_CHECK(options.ticks >= 1 && options.ticks <= 1000000);
  FUZZ_CHECK(options.frames >= 1 && options.frames <= 10000);
  for (const auto& value :
       {options.phaseA, options.phaseB, options.stepA, options.stepB, options.z0})
    FUZZ_CHECK(!value || std::isfinite(*value));

  const ImageFormat format = imageFormatOf(options.output);
  for (const int index : {0, options.frames - 1, 9999}) {
    const std::string numbered = numberedFileName(options.output, index);
    FUZZ_CHECK(numbered.size() == options.output.size() + 4, numbered);
    FUZZ_CHECK(imageFormatOf(numbered) == format, "frame " + numbered + " of " + options.output);
  }

  const RenderCommand again = parseRenderCommand(argumentsFor(options));
  FUZZ_CHECK(again.kind == RenderCommand::Kind::Render, again.error);
  FUZZ_CHECK(sameOptions(again.options, options), "the options read back differently");
}

}  // namespace
}  // namespace glimmerweave::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace glimmerweave;
  glimmerweave::fuzz::checkOptionsReading({reinterpret_cast<const char*>(data), size},
                                          parseRenderCommand, RenderCommand::Kind::Render,
                                          glimmerweave::fuzz::checkAccepted);
  return 0;
}
