#include "native_program/hack_options.h"

#include "option_numbers/number_text.h"

namespace glimmerweave {

namespace {

constexpr const char* kUsage =
    "Usage: glimmerweave [options]\n"
    "\n"
    "Shows the Glimmerweave animation. On X: in a window of its own, in the window\n"
    "that xscreensaver gives it ($XSCREENSAVER_WINDOW), in another program's window or\n"
    "on the root window. On Wayland: in a window, as a screen saver over every output,\n"
    "or as a wallpaper. A key press ends a window of its own.\n"
    "\n"
    "  -speed N         pace of the animation 0..10, 0 keeps the phases still (default 3)\n"
    "  -brightness N    colour intensity in percent 1..100 (default 100)\n"
    "  -algorithm N     algorithm 0..34 (default 15)\n"
    "  -detail N        frame resolution 0..10: 267 x 200 up to 800 x 600 (default 5)\n"
    "  -random          a random algorithm 0..14, chosen at the start\n"
    "  -seed N          random seed 0..4294967295 (default: from the clock)\n"
    "  -phase-a A       starting phase A, replacing the drawn one (a decimal number)\n"
    "  -phase-b B       starting phase B, replacing the drawn one\n"
    "  -step-a SA       step of phase A per tick at speed 5, replacing the drawn one\n"
    "  -step-b SB       step of phase B per tick at speed 5, replacing the drawn one\n"
    "  -smooth          smooth the stretched frame (default: nearest pixel)\n"
    "  -fps             show frames per second, the time a frame took and the processor\n"
    "                   time per frame, drawn into the frame; the whole run's on\n"
    "                   standard error at the end\n"
    "  -window          draw in a window of its own, 800 x 600 (the default)\n"
    "  -x11             use X, whatever the environment says\n"
    "  -wayland         use Wayland, whatever the environment says\n"
    "\n"
    "On X:\n"
    "  -no-shm          never use the MIT-SHM extension\n"
    "  -root            draw on the root window\n"
    "  -window-id ID    draw in the window ID (decimal, or hexadecimal after 0x)\n"
    "  -display NAME    the X display to use (default: $DISPLAY)\n"
    "\n"
    "On Wayland:\n"
    "  -saver           cover every output until a key, a button or a pointer movement\n"
    "                   of more than 5 pixels (layer shell, overlay layer)\n"
    "  -background      a wallpaper on every output (layer shell, background layer)\n"
    "  -output NAME     -background or -saver on this output only (default for\n"
    "                   -background: $SWAYLOCK_PLUGIN_OUTPUT_NAME, else every output),\n"
    "                   or the output that -fullscreen fills\n"
    "  -fullscreen      the window asks for its whole output\n"
    "  -idle SECONDS    with -saver: stay, computing nothing, until the session has been\n"
    "                   idle SECONDS (1..86400); then cover every output as -saver does\n"
    "                   until input, and wait again. One such saver per session\n"
    "\n"
    "  -help            show this text\n"
    "  -version         show the version\n"
    "\n"
    "Every option may also be written with two dashes (--speed 5), and its value\n"
    "after '=' (--speed=5). When $XSCREENSAVER_WINDOW is set and -window-id is not\n"
    "given, the program draws in the window it names. The options under \"On X\" and\n"
    "\"On Wayland\" are refused by the other display system: given with the other's,\n"
    "or with -x11 or -wayland choosing it. Without -x11 or -wayland, an option of X\n"
    "chooses X and an option of Wayland chooses Wayland (never X in its place); else\n"
    "X when $XSCREENSAVER_WINDOW is set; else Wayland when $WAYLAND_DISPLAY or\n"
    "$WAYLAND_SOCKET is set (then X if Wayland cannot be reached); else X.\n"
    "\n"
    "Exit status: 0 when it ends (a key, its window closed, or the display's\n"
    "connection closed), 1 when it cannot draw, 2 for a bad option. SIGTERM, SIGINT\n"
    "and SIGHUP end it, after cleaning up, by the signal itself.\n";

// An option that takes a whole number within a range.
struct IntegerOption {
  const char* name;
  std::int32_t HackOptions::*field;
  std::int32_t low;
  std::int32_t high;
};

const IntegerOption kIntegerOptions[] = {
    {"speed", &HackOptions::speed, 0, 10},         {"brightness", &HackOptions::brightness, 1, 100},
    {"algorithm", &HackOptions::algorithm, 0, 34}, {"detail", &HackOptions::detail, 0, 10},
    {"idle", &HackOptions::idleSeconds, 1, 86400},
};

// An option that takes a finite decimal number.
struct DecimalOption {
  const char* name;
  std::optional<long double> HackOptions::*field;
};

const DecimalOption kDecimalOptions[] = {
    {"phase-a", &HackOptions::phaseA},
    {"phase-b", &HackOptions::phaseB},
    {"step-a", &HackOptions::stepA},
    {"step-b", &HackOptions::stepB},
};

// An option without a value, and the one display system that takes it (Either:
// both).
struct FlagOption {
  const char* name;
  void (*set)(HackOptions& options);
  DisplaySystem only = DisplaySystem::Either;
};

constexpr DisplaySystem kX = DisplaySystem::X11;
constexpr DisplaySystem kWayland = DisplaySystem::Wayland;

const FlagOption kFlagOptions[] = {
    {"random", [](HackOptions& o) { o.randomAlgorithm = true; }},
    {"fps", [](HackOptions& o) { o.fps = true; }},
    {"smooth", [](HackOptions& o) { o.smooth = true; }},
    {"no-shm", [](HackOptions& o) { o.sharedMemory = false; }, kX},
    // xscreensaver's hacks take -shm; it is the default, which Wayland has too.
    {"shm", [](HackOptions& o) { o.sharedMemory = true; }},
    {"window",
     [](HackOptions& o) {
       o.place = HackPlace::OwnWindow;
       o.role = WaylandRole::Window;
     }},
    {"root", [](HackOptions& o) { o.place = HackPlace::Root; }, kX},
    {"x11", [](HackOptions& o) { o.system = DisplaySystem::X11; }},
    {"wayland", [](HackOptions& o) { o.system = DisplaySystem::Wayland; }},
    {"saver", [](HackOptions& o) { o.role = WaylandRole::Saver; }, kWayland},
    {"background", [](HackOptions& o) { o.role = WaylandRole::Background; }, kWayland},
    {"fullscreen", [](HackOptions& o) { o.fullscreen = true; }, kWayland},
};

constexpr long long kSeedHigh = 0xFFFFFFFFLL;

std::string integerRange(long long low, long long high) {
  return "a whole number from " + std::to_string(low) + " to " + std::to_string(high);
}

constexpr const char* kDecimalRange = "a finite decimal number";
constexpr const char* kWindowIdRange = "a window id (decimal, or hexadecimal after 0x)";

HackCommand failure(std::string message) {
  HackCommand command;
  command.kind = HackCommand::Kind::Error;
  command.error = std::move(message);
  return command;
}

HackCommand badValue(const std::string& option, const std::string& takes,
                     const std::string& value) {
  return failure(option + " takes " + takes + ", not '" + value + "'");
}

// Keeps the first option written that only `system` takes.
void noteOnlyFor(DisplaySystem system, const std::string& written, HackOptions& options) {
  std::string* first = system == kX         ? &options.xOption
                       : system == kWayland ? &options.waylandOption
                                            : nullptr;
  if (first && first->empty()) *first = written;
}

// What the options ask of the display systems that cannot be had: options of
// both, or of one with -x11 or -wayland choosing the other; -output where
// nothing has an output to choose. Empty when none.
std::string conflictOf(const HackOptions& options) {
  const std::string& x = options.xOption;
  const std::string& wayland = options.waylandOption;
  if (!x.empty() && !wayland.empty())
    return wayland + " is an option for Wayland and " + x +
           " one for X: give options of one display system";
  if (!wayland.empty() && options.system == kX)
    return wayland + " is an option for Wayland, not for X, which -x11 chooses";
  if (!x.empty() && options.system == kWayland)
    return x + " is an option for X, not for Wayland, which -wayland chooses";
  if (options.idleSeconds > 0 && options.role != WaylandRole::Saver)
    return "-idle makes -saver resident, and -saver is not given";
  if (!options.output.empty() && options.role == WaylandRole::Window && !options.fullscreen)
    return "-output names the output of -saver, -background or -fullscreen, and none is given";
  return {};
}

}  // namespace

const char* hackUsage() {
  return kUsage;
}

HackCommand parseHackCommand(const std::vector<std::string>& arguments) {
  HackCommand command;
  HackOptions& options = command.options;
  std::string role;  // the first of -window, -saver and -background, as written
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    // The option as written (for messages), its bare name and a value after '='.
    std::string written = arguments[i];
    std::optional<std::string> value;
    if (const auto equals = written.find('='); equals != std::string::npos) {
      value = written.substr(equals + 1);
      written.resize(equals);
    }
    std::string name;
    if (written.rfind("--", 0) == 0)
      name = written.substr(2);
    else if (written.rfind('-', 0) == 0)
      name = written.substr(1);
    if (name.empty() || name[0] == '-') {
      if (written.rfind('-', 0) != 0)
        return failure("unexpected argument '" + arguments[i] + "' (-help lists the options)");
      return failure("unknown option '" + written + "' (-help lists the options)");
    }

    const bool help = name == "help" || name == "h";
    const FlagOption* flag = nullptr;
    for (const auto& option : kFlagOptions)
      if (name == option.name) flag = &option;
    if (help || name == "version" || flag) {
      if (value) return failure(written + " takes no value");
      if (flag) {
        // What the program is: one of -window, -saver and -background.
        if (name == "window" || name == "saver" || name == "background") {
          if (!role.empty() && role.substr(role.find_first_not_of('-')) != name) {
            std::string twoRoles = role;
            twoRoles += " and ";
            twoRoles += written;
            twoRoles += " ask for two things at once: give one of -window, -saver and -background";
            return failure(std::move(twoRoles));
          }
          role = written;
        }
        flag->set(options);
        noteOnlyFor(flag->only, written, options);
        continue;
      }
      command.kind = help ? HackCommand::Kind::Help : HackCommand::Kind::Version;
      return command;
    }

    const IntegerOption* integer = nullptr;
    for (const auto& option : kIntegerOptions)
      if (name == option.name) integer = &option;
    const DecimalOption* decimal = nullptr;
    for (const auto& option : kDecimalOptions)
      if (name == option.name) decimal = &option;

    std::string takes;
    if (integer)
      takes = integerRange(integer->low, integer->high);
    else if (decimal)
      takes = kDecimalRange;
    else if (name == "seed")
      takes = integerRange(0, kSeedHigh);
    else if (name == "window-id")
      takes = kWindowIdRange;
    else if (name == "display")
      takes = "a display name";
    else if (name == "output")
      takes = "an output name";
    else
      return failure("unknown option '" + written + "' (-help lists the options)");

    if (!value) {
      if (i + 1 >= arguments.size()) return failure(written.append(" needs a value: ") + takes);
      value = arguments[++i];
    }

    if (integer) {
      long long parsed = 0;
      if (!parseWholeNumber(*value, integer->low, integer->high, parsed))
        return badValue(written, takes, *value);
      options.*(integer->field) = static_cast<std::int32_t>(parsed);
    } else if (decimal) {
      long double parsed = 0;
      if (!parseDecimalNumber(*value, parsed)) return badValue(written, takes, *value);
      options.*(decimal->field) = parsed;
    } else if (name == "seed") {
      long long parsed = 0;
      if (!parseWholeNumber(*value, 0, kSeedHigh, parsed)) return badValue(written, takes, *value);
      options.seed = static_cast<std::uint32_t>(parsed);
    } else if (name == "window-id") {
      const auto id = parseWindowId(*value);
      if (!id) return badValue(written, takes, *value);
      options.windowId = id;
    } else {
      if (value->empty()) return badValue(written, takes, *value);
      (name == "output" ? options.output : options.display) = *value;
    }
    if (name == "window-id" || name == "display") noteOnlyFor(kX, written, options);
    if (name == "output" || name == "idle") noteOnlyFor(kWayland, written, options);
  }
  if (std::string conflict = conflictOf(options); !conflict.empty())
    return failure(std::move(conflict));
  return command;
}

std::optional<std::uint32_t> parseWindowId(std::string_view text) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty() || text.size() > 10) return std::nullopt;
  std::uint64_t value = 0;
  for (const char ch : text) {
    int digit = 0;
    if (ch >= '0' && ch <= '9')
      digit = ch - '0';
    else if (base == 16 && ch >= 'a' && ch <= 'f')
      digit = ch - 'a' + 10;
    else if (base == 16 && ch >= 'A' && ch <= 'F')
      digit = ch - 'A' + 10;
    else
      return std::nullopt;
    value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
  }
  if (value == 0 || value > 0xFFFFFFFFu) return std::nullopt;
  return static_cast<std::uint32_t>(value);
}

bool chooseHackWindow(const HackOptions& options, const char* xscreensaverWindow,
                      HackWindow& window, std::string& error) {
  if (options.windowId) {
    window = HackWindow{HackWindow::Kind::Given, *options.windowId};
    return true;
  }
  if (xscreensaverWindow && *xscreensaverWindow) {
    const auto id = parseWindowId(xscreensaverWindow);
    if (!id) {
      error = std::string("XSCREENSAVER_WINDOW holds no window id: '") + xscreensaverWindow + "'";
      return false;
    }
    window = HackWindow{HackWindow::Kind::Given, *id};
    return true;
  }
  window = HackWindow{
      options.place == HackPlace::Root ? HackWindow::Kind::Root : HackWindow::Kind::Own, 0};
  return true;
}

std::vector<DisplaySystem> chooseDisplaySystems(const HackOptions& options,
                                                const DisplayEnvironment& environment) {
  const auto set = [](const char* value) { return value && *value; };
  if (options.system != DisplaySystem::Either) return {options.system};
  if (!options.xOption.empty()) return {DisplaySystem::X11};
  // Not X after Wayland: X would ignore what the option asks for.
  if (!options.waylandOption.empty()) return {DisplaySystem::Wayland};
  if (set(environment.xscreensaverWindow)) return {DisplaySystem::X11};
  if (set(environment.waylandDisplay) || set(environment.waylandSocket))
    return {DisplaySystem::Wayland, DisplaySystem::X11};
  return {DisplaySystem::X11};
}

}  // namespace glimmerweave
