// The screen saver's command line from arbitrary bytes: the whole line as the system
// passes it, split into parameters, the mode letter of the first one and the mode it
// selects, and the preview's handle parameter (and every other one) through
// ParamToHandle.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "windows_modes/command_line.h"
#include "windows_modes/preview.h"

namespace glimmerweave::fuzz {
namespace {

using Parameters = std::vector<std::string>;

// The parameters each in double quotes, separated by blanks.
std::string quotedLine(const Parameters& parameters) {
  std::string line;
  for (const std::string& parameter : parameters) line += " \"" + parameter + "\"";
  return line;
}

void checkSplit(std::string_view line, const Parameters& parameters) {
  std::size_t characters = 0;
  for (const std::string& parameter : parameters) {
    FUZZ_CHECK(parameter.find('"') == std::string::npos, "quotes are dropped");
    FUZZ_CHECK(parameter.find('\0') == std::string::npos, "a NUL ends the line");
    characters += parameter.size();
  }
  FUZZ_CHECK(characters <= line.size());

  // Nothing after a NUL counts.
  if (const auto nul = line.find('\0'); nul != std::string_view::npos)
    FUZZ_CHECK(splitCommandLine(line.substr(0, nul)) == parameters);

  // Quoted again, the parameters split into themselves, but for the empty ones: a pair
  // of double quotes before a parameter is skipped.
  Parameters nonEmpty;
  std::copy_if(parameters.begin(), parameters.end(), std::back_inserter(nonEmpty),
               [](const std::string& parameter) { return !parameter.empty(); });
  FUZZ_CHECK(splitCommandLine(quotedLine(nonEmpty)) == nonEmpty);
}

void checkMode(std::string_view line, const Parameters& parameters) {
  const std::string first = parameters.size() > 1 ? parameters[1] : std::string();
  const std::optional<char> letter = modeLetter(first);
  if (first.size() < 2) {
    FUZZ_CHECK(!letter.has_value());
  } else {
    char expected = first[1];
    if (expected >= 'a' && expected <= 'z') expected = static_cast<char>(expected - 'a' + 'A');
    FUZZ_CHECK(letter == expected);
  }

  Mode expectedMode = Mode::FullScreen;
  if (letter == 'C') expectedMode = Mode::SettingsDialog;
  if (letter == 'P') expectedMode = Mode::Preview;
  if (letter == 'A') expectedMode = Mode::PasswordChange;
  FUZZ_CHECK(modeFor(letter) == expectedMode);

  const Invocation invocation = parseInvocation(line);
  FUZZ_CHECK(invocation.mode == expectedMode);
  FUZZ_CHECK(invocation.handleParameter == (parameters.size() > 2 ? parameters[2] : ""));
}

bool allDigits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char ch) { return ch >= '0' && ch <= '9'; });
}

void checkHandle(std::string_view text) {
  const std::int32_t handle = ParamToHandle(text);

  // Only blanks, signs, the hexadecimal prefixes and digits make a number.
  if (text.find_first_not_of(" +-$xX0123456789abcdefABCDEF") != std::string_view::npos)
    FUZZ_CHECK(handle == 0, std::string(text));

  // Up to nine decimal digits, with or without a minus sign, always fit.
  const bool negative = !text.empty() && text[0] == '-';
  const std::string_view digits = negative ? text.substr(1) : text;
  if (allDigits(digits) && digits.size() <= 9) {
    const std::int32_t magnitude = std::stoi(std::string(digits));
    FUZZ_CHECK(handle == (negative ? -magnitude : magnitude), std::string(text));
  }

  if (handle != 0) {
    // The handle written again, in decimal or in hexadecimal, reads as itself.
    FUZZ_CHECK(ParamToHandle(std::to_string(handle)) == handle);
    char hexadecimal[16];
    std::snprintf(hexadecimal, sizeof hexadecimal, "$%X", static_cast<unsigned>(handle));
    FUZZ_CHECK(ParamToHandle(hexadecimal) == handle, hexadecimal);
    std::snprintf(hexadecimal, sizeof hexadecimal, "0x%x", static_cast<unsigned>(handle));
    FUZZ_CHECK(ParamToHandle(hexadecimal) == handle, hexadecimal);
    // Leading blanks are skipped.
    FUZZ_CHECK(ParamToHandle("   " + std::string(text)) == handle);
  }
}

}  // namespace
}  // namespace glimmerweave::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace glimmerweave;
  using namespace glimmerweave::fuzz;
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  const Parameters parameters = splitCommandLine(line);
  checkSplit(line, parameters);
  checkMode(line, parameters);
  for (const std::string& parameter : parameters) checkHandle(parameter);
  checkHandle(line);
  return 0;
}
