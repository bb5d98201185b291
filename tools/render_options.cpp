#include "render_options.h"

#include <cstdio>
#include <limits>

#include "option_numbers/number_text.h"

namespace glimmerweave {

namespace {

constexpr const char* kUsage =
    "Usage: glimmerweave-render --output FILE.png|FILE.ppm [options]\n"
    "\n"
    "Renders frames of the Glimmerweave animation to PNG or binary PPM (P6) files.\n"
    "\n"
    "  --algorithm N   algorithm 0..34; other numbers draw black (default 15)\n"
    "  --width W       frame width 0..801 (default 800)\n"
    "  --height H      frame height 0..601 (default 600)\n"
    "  --brightness P  colour scale in percent (default 100)\n"
    "  --speed S       phase speed, 0 keeps the phases still (default 5)\n"
    "  --seed N        random seed 0..4294967295 (default: from the clock)\n"
    "  --phase-a A     starting phase A, replacing the drawn one\n"
    "  --phase-b B     starting phase B, replacing the drawn one\n"
    "  --step-a SA     step of phase A per tick at speed 5\n"
    "  --step-b SB     step of phase B per tick at speed 5\n"
    "  --z0 Z          value carried into the first step (Z[0])\n"
    "  --ticks N       ticks computed before the (first) frame, 1..1000000 (default 1)\n"
    "  --frames N      consecutive frames to write, 1..10000 (default 1); more than\n"
    "                  one are numbered FILE0000.png, FILE0001.png, ...\n"
    "  --output FILE   the file to write: binary PPM (P6, maxval 255) when its name\n"
    "                  ends in .ppm, in any case (.PPM too), PNG otherwise\n"
    "  --help          show this text\n"
    "  --version       show the program's version\n"
    "\n"
    "A frame of width or height 0 writes no file (and says so).\n"
    "\n"
    "Exit status: 0 success, 2 bad options or unwritable file, 3 arithmetic error in a\n"
    "frame (the partial frame is still written).\n";

struct IntegerOption {
  const char* name;
  std::int32_t RenderOptions::*field;
  long long low, high;
  const char* range;
};

constexpr long long kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr long long kInt32Max = std::numeric_limits<std::int32_t>::max();

const IntegerOption kIntegerOptions[] = {
    {"--algorithm", &RenderOptions::algorithm, kInt32Min, kInt32Max, "a whole number"},
    {"--width", &RenderOptions::width, 0, 801, "a whole number from 0 to 801"},
    {"--height", &RenderOptions::height, 0, 601, "a whole number from 0 to 601"},
    {"--brightness", &RenderOptions::brightness, kInt32Min, kInt32Max, "a whole number"},
    {"--speed", &RenderOptions::speed, kInt32Min, kInt32Max, "a whole number"},
    {"--ticks", &RenderOptions::ticks, 1, 1000000, "a whole number from 1 to 1000000"},
    {"--frames", &RenderOptions::frames, 1, 10000, "a whole number from 1 to 10000"},
};

struct DecimalOption {
  const char* name;
  std::optional<long double> RenderOptions::*field;
};

const DecimalOption kDecimalOptions[] = {
    {"--phase-a", &RenderOptions::phaseA}, {"--phase-b", &RenderOptions::phaseB},
    {"--step-a", &RenderOptions::stepA},   {"--step-b", &RenderOptions::stepB},
    {"--z0", &RenderOptions::z0},
};

// Where the extension of the file name in `path` starts (its dot), or npos if it has
// none. The extension's dot follows the name's first character ("out.png", not ".png").
std::size_t extensionStart(const std::string& path) {
  const auto slash = path.find_last_of("/\\");
  const auto dot = path.find_last_of('.');
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  return dot != std::string::npos && dot > nameStart ? dot : std::string::npos;
}

RenderCommand failure(std::string message) {
  RenderCommand command;
  command.kind = RenderCommand::Kind::Error;
  command.error = std::move(message);
  return command;
}

}  // namespace

const char* renderUsage() {
  return kUsage;
}

RenderCommand parseRenderCommand(const std::vector<std::string>& arguments) {
  RenderCommand command;
  RenderOptions& options = command.options;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string name = arguments[i];
    std::optional<std::string> value;
    if (const auto equals = name.find('=');
        name.rfind("--", 0) == 0 && equals != std::string::npos) {
      value = name.substr(equals + 1);
      name.resize(equals);
    }
    if (name == "--help" || name == "-h") {
      command.kind = RenderCommand::Kind::Help;
      return command;
    }
    if (name == "--version") {
      command.kind = RenderCommand::Kind::Version;
      return command;
    }

    const IntegerOption* integer = nullptr;
    for (const auto& option : kIntegerOptions)
      if (name == option.name) integer = &option;
    const DecimalOption* decimal = nullptr;
    for (const auto& option : kDecimalOptions)
      if (name == option.name) decimal = &option;
    const bool known = integer || decimal || name == "--seed" || name == "--output";
    if (!known) return failure("unknown option '" + name + "' (see --help)");

    if (!value) {
      if (i + 1 >= arguments.size()) return failure("option " + name + " needs a value");
      value = arguments[++i];
    }

    if (integer) {
      long long parsed = 0;
      if (!parseWholeNumber(*value, integer->low, integer->high, parsed))
        return failure(name + " takes " + integer->range + ", not '" + *value + "'");
      options.*(integer->field) = static_cast<std::int32_t>(parsed);
    } else if (decimal) {
      long double parsed = 0;
      if (!parseDecimalNumber(*value, parsed))
        return failure(name + " takes a finite decimal number, not '" + *value + "'");
      options.*(decimal->field) = parsed;
    } else if (name == "--seed") {
      long long parsed = 0;
      if (!parseWholeNumber(*value, 0, 0xFFFFFFFFLL, parsed))
        return failure("--seed takes a whole number from 0 to 4294967295, not '" + *value + "'");
      options.seed = static_cast<std::uint32_t>(parsed);
    } else {
      if (value->empty()) return failure("--output needs a file name");
      options.output = *value;
    }
  }
  if (options.output.empty())
    return failure("no output file: give --output FILE.png or FILE.ppm (see --help)");
  return command;
}

std::string numberedFileName(const std::string& path, int index) {
  char number[16];
  std::snprintf(number, sizeof number, "%04d", index);
  const auto dot = extensionStart(path);
  if (dot == std::string::npos) return path + number;
  return path.substr(0, dot) + number + path.substr(dot);
}

ImageFormat imageFormatOf(const std::string& path) {
  const auto dot = extensionStart(path);
  if (dot == std::string::npos) return ImageFormat::Png;
  std::string extension = path.substr(dot);
  for (char& ch : extension)
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  return extension == ".ppm" ? ImageFormat::Ppm : ImageFormat::Png;
}

}  // namespace glimmerweave
