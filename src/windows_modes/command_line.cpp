#include "windows_modes/command_line.h"

namespace glimmerweave {

namespace {

bool isSeparator(char ch) {
  return static_cast<unsigned char>(ch) <= ' ';
}

}  // namespace

std::vector<std::string> splitCommandLine(std::string_view line) {
  std::vector<std::string> parameters;
  std::size_t i = 0;
  const auto at = [&](std::size_t k) { return k < line.size() ? line[k] : '\0'; };
  for (;;) {
    // Separators, and pairs of double quotes standing before a parameter.
    for (;;) {
      while (i < line.size() && isSeparator(line[i]) && line[i] != '\0') ++i;
      if (at(i) == '"' && at(i + 1) == '"')
        i += 2;
      else
        break;
    }
    if (i >= line.size() || line[i] == '\0') break;

    std::string parameter;
    while (i < line.size() && !isSeparator(line[i])) {
      if (line[i] == '"') {
        ++i;
        while (i < line.size() && line[i] != '"' && line[i] != '\0') parameter += line[i++];
        if (i < line.size() && line[i] == '"') ++i;
      } else {
        parameter += line[i++];
      }
    }
    parameters.push_back(std::move(parameter));
  }
  return parameters;
}

std::optional<char> modeLetter(std::string_view firstParameter) {
  if (firstParameter.size() < 2) return std::nullopt;
  char letter = firstParameter[1];
  if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
  return letter;
}

Mode modeFor(std::optional<char> letter) {
  if (letter == 'C') return Mode::SettingsDialog;
  if (letter == 'P') return Mode::Preview;
  if (letter == 'A') return Mode::PasswordChange;
  return Mode::FullScreen;
}

Invocation parseInvocation(std::string_view commandLine) {
  const std::vector<std::string> parameters = splitCommandLine(commandLine);
  Invocation invocation;
  const std::string first = parameters.size() > 1 ? parameters[1] : std::string();
  invocation.mode = modeFor(modeLetter(first));
  if (parameters.size() > 2) invocation.handleParameter = parameters[2];
  return invocation;
}

}  // namespace glimmerweave
