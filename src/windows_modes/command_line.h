// The screen saver's command line: splitting it into parameters and choosing
// the mode from the first one.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace glimmerweave {

// Splits a whole command line (program name first) into parameters: runs of
// blanks and control characters (codes below 33) separate them, a stretch in
// double quotes belongs to one parameter and loses its quotes, and a pair of
// double quotes at the start of a parameter is skipped.
std::vector<std::string> splitCommandLine(std::string_view commandLine);

enum class Mode { FullScreen, SettingsDialog, Preview, PasswordChange };

// The mode letter of the first parameter: its second character, upper-cased
// (a..z only); none when the parameter has fewer than two characters.
std::optional<char> modeLetter(std::string_view firstParameter);

// The mode the letter selects: C settings dialog, P preview, A password change,
// anything else or no letter the full-screen run.
Mode modeFor(std::optional<char> letter);

// The parameters of a command line: the mode and, for the preview, the
// parameter that carries the parent window's handle ("" when absent).
struct Invocation {
  Mode mode = Mode::FullScreen;
  std::string handleParameter;
};

Invocation parseInvocation(std::string_view commandLine);

}  // namespace glimmerweave
