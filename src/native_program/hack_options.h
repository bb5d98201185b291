// The command line of glimmerweave, the native program for X and Wayland:
// options in the manner of xscreensaver's hacks (-speed 5 and --speed 5 alike),
// read from one table that also decides each option's valid range; the choice
// of the display system, and on X of the window to draw into.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace glimmerweave {

// Where the program draws when neither -window-id nor $XSCREENSAVER_WINDOW names a window.
enum class HackPlace : std::uint8_t { OwnWindow, Root };

// What the program is on Wayland: a window (xdg-shell toplevel, the default), a
// screen saver over every output (-saver) or a wallpaper (-background), both on
// the layer shell.
enum class WaylandRole : std::uint8_t { Window, Saver, Background };

// The display system that -x11 or -wayland forces; Either lets the environment
// decide (chooseDisplaySystems).
enum class DisplaySystem : std::uint8_t { Either, X11, Wayland };

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
  // The display system, and what the program is on Wayland.
  DisplaySystem system = DisplaySystem::Either;
  WaylandRole role = WaylandRole::Window;
  bool fullscreen = false;  // -fullscreen: the window asks for its whole output
  std::string output;       // -output NAME: -saver, -background or -fullscreen on that output
  // -idle SECONDS with -saver: a resident saver that covers the outputs once the
  // session has been idle so long, and waits again when input ends the cover; 0: none.
  std::int32_t idleSeconds = 0;
  // The first option given that only X takes (-root, -window-id, -display,
  // -no-shm), and the first that only Wayland takes (-saver, -background,
  // -output, -fullscreen, -idle), as written; empty when none was.
  std::string xOption;
  std::string waylandOption;
};

struct HackCommand {
  enum class Kind : std::uint8_t { Run, Help, Version, Error } kind = Kind::Run;
  HackOptions options;
  std::string error;  // for Kind::Error: one line naming the option and what it takes
};

// Reads the arguments after the program name. Every option is accepted with one
// dash or two, and its value as the next argument or after '=' (an option
// without a value refuses one). Options of X and of Wayland together, or of one
// with -x11 or -wayland choosing the other, are refused.
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

// The environment that decides the display system, each null when unset.
struct DisplayEnvironment {
  const char* display = nullptr;             // DISPLAY
  const char* xscreensaverWindow = nullptr;  // XSCREENSAVER_WINDOW
  const char* waylandDisplay = nullptr;      // WAYLAND_DISPLAY
  const char* waylandSocket = nullptr;       // WAYLAND_SOCKET
};

// The display systems to try, in order: the one -x11 or -wayland forces; else
// the one that an option only it takes asks for, alone (HackOptions::xOption,
// waylandOption); else X11 alone when $XSCREENSAVER_WINDOW is set; else Wayland,
// then X11, when WAYLAND_DISPLAY or WAYLAND_SOCKET is set; else X11.
std::vector<DisplaySystem> chooseDisplaySystems(const HackOptions& options,
                                                const DisplayEnvironment& environment);

}  // namespace glimmerweave
