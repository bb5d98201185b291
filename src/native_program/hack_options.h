// The command line of glimmerweave, the native program for X: options in the
// manner of xscreensaver's hacks (-speed 5 and --speed 5 alike), read from one
// table that also decides each option's valid range, and the choice of the
// window to draw into.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace glimmerweave {

// Where the program draws when neither -window-id nor $XSCREENSAVER_WINDOW names a window.
enum class HackPlace : std::uint8_t { OwnWindow, Root };

struct HackOptions {
  // The settings, with their first-run defaults.
  std::int32_t speed = 3;
  std::int32_t brightness = 100;
  std::int32_t algorithm = 15;
  std::int32_t detail = 5;
  bool randomAlgorithm = false;
  // The start of the animation: the seed (none: the clock) and phases or steps
  // that replace the drawn ones.
  std::optional<std::uint32_t> seed;
  std::optional<long double> phaseA, phaseB, stepA, stepB;
  // Presentation.
  bool fps = false;
  bool smooth = false;
  bool sharedMemory = true;  // MIT-SHM where the server offers it; -no-shm: never
  // The window: -window-id, else -root or -window (the default).
  std::optional<std::uint32_t> windowId;
  HackPlace place = HackPlace::OwnWindow;
  std::string display;  // -display NAME; empty: $DISPLAY
};

struct HackCommand {
  enum class Kind : std::uint8_t { Run, Help, Version, Error } kind = Kind::Run;
  HackOptions options;
  std::string error;  // for Kind::Error: one line naming the option and what it takes
};

// Reads the arguments after the program name. Every option is accepted with one
// dash or two, and its value as the next argument or after '='.
HackCommand parseHackCommand(const std::vector<std::string>& arguments);

// The -help text.
const char* hackUsage();

// A window id as xscreensaver and window tools print it: decimal, or
// hexadecimal after "0x"; none for anything else, 0 or more than 32 bits.
std::optional<std::uint32_t> parseWindowId(std::string_view text);

// The window to draw into: the one -window-id names, else the one
// $XSCREENSAVER_WINDOW names (`xscreensaverWindow`, null when unset), else the
// root window with -root, else a window of the program's own.
struct HackWindow {
  enum class Kind : std::uint8_t { Own, Root, Given } kind = Kind::Own;
  std::uint32_t id = 0;  // for Kind::Given
};

// Chooses the window; false with `error` set when $XSCREENSAVER_WINDOW holds no
// window id.
bool chooseHackWindow(const HackOptions& options, const char* xscreensaverWindow,
                      HackWindow& window, std::string& error);

}  // namespace glimmerweave
