// Which display system the program tries, in which order, and what it says when
// none can be reached: the start run with fake front-ends.
#include "native_program/native_main.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace glimmerweave {
namespace {

using Systems = std::vector<DisplaySystem>;
constexpr DisplaySystem kX = DisplaySystem::X11;
constexpr DisplaySystem kWayland = DisplaySystem::Wayland;

TEST(DisplaySystemChoice, OptionsAndEnvironmentDecideTheOrder) {
  const DisplayEnvironment none;
  DisplayEnvironment wayland;
  wayland.waylandDisplay = "wayland-0";
  DisplayEnvironment socket;
  socket.waylandSocket = "3";
  DisplayEnvironment xscreensaver = wayland;
  xscreensaver.xscreensaverWindow = "0x400001";
  DisplayEnvironment empty;
  empty.waylandDisplay = "";
  const struct {
    std::vector<std::string> arguments;
    DisplayEnvironment environment;
    Systems systems;
  } kCases[] = {
      {{}, none, {kX}},
      {{}, empty, {kX}},
      {{}, wayland, {kWayland, kX}},
      {{}, socket, {kWayland, kX}},
      {{}, xscreensaver, {kX}},
      {{"-root"}, wayland, {kX}},
      {{"-window-id", "0x400001"}, wayland, {kX}},
      {{"-x11"}, wayland, {kX}},
      {{"-wayland"}, none, {kWayland}},
      {{"-saver"}, none, {kWayland}},
      {{"-background"}, xscreensaver, {kWayland}},
  };
  for (const auto& c : kCases) {
    const HackCommand command = parseHackCommand(c.arguments);
    ASSERT_EQ(command.kind, HackCommand::Kind::Run) << command.error;
    EXPECT_EQ(chooseDisplaySystems(command.options, c.environment), c.systems)
        << (c.arguments.empty() ? "" : c.arguments[0]);
  }
}

// The options that -help lists under "On X:" and "On Wayland:", with a value
// where they take one; Wayland's with -fullscreen, which -output needs.
std::vector<std::pair<DisplaySystem, std::vector<std::string>>> optionsOfOneSystem() {
  std::vector<std::pair<DisplaySystem, std::vector<std::string>>> found;
  std::istringstream usage(hackUsage());
  DisplaySystem section = DisplaySystem::Either;  // outside both
  for (std::string line; std::getline(usage, line);) {
    if (line == "On X:" || line == "On Wayland:")
      section = line == "On X:" ? kX : kWayland;
    else if (line.empty())
      section = DisplaySystem::Either;
    else if (section != DisplaySystem::Either && line.rfind("  -", 0) == 0) {
      std::istringstream words(line);
      std::string option, value;
      words >> option >> value;
      std::vector<std::string> arguments{option};
      if (value == "NAME" || value == "ID") arguments.push_back("7");
      if (value == "SECONDS") arguments.insert(arguments.end(), {"60", "-saver"});
      if (section == kWayland) arguments.push_back("-fullscreen");
      found.emplace_back(section, arguments);
    }
  }
  return found;
}

TEST(DisplaySystemChoice, AnOptionOfOneSystemChoosesItAloneAndTheOtherRefusesIt) {
  DisplayEnvironment wayland;
  wayland.waylandDisplay = "wayland-0";
  const auto options = optionsOfOneSystem();
  ASSERT_EQ(options.size(), 9u);
  for (const auto& [system, arguments] : options) {
    const std::string& option = arguments[0];
    const HackCommand command = parseHackCommand(arguments);
    ASSERT_EQ(command.kind, HackCommand::Kind::Run) << command.error;
    EXPECT_EQ(chooseDisplaySystems(command.options, wayland), Systems{system}) << option;

    std::vector<std::string> forced = arguments;
    forced.push_back(system == kX ? "-wayland" : "-x11");
    EXPECT_EQ(parseHackCommand(forced).error,
              system == kX ? option + " is an option for X, not for Wayland, which -wayland chooses"
                           : option + " is an option for Wayland, not for X, which -x11 chooses");
  }
  EXPECT_EQ(parseHackCommand({"-saver", "-root"}).error,
            "-saver is an option for Wayland and -root one for X: give options of one display "
            "system");
}

TEST(DisplaySystemChoice, OutputNamesTheOutputOfTheLayerShellOrOfFullscreen) {
  EXPECT_EQ(parseHackCommand({"-output", ""}).kind, HackCommand::Kind::Error);
  EXPECT_EQ(parseHackCommand({"-wayland", "-output", "DP-1"}).kind, HackCommand::Kind::Error);
  const HackOptions options = parseHackCommand({"-background", "-output", "HDMI-A-1"}).options;
  EXPECT_EQ(options.role, WaylandRole::Background);
  EXPECT_EQ(options.output, "HDMI-A-1");
}

// The start with front-ends that record their calls and answer as told.
struct Start {
  std::vector<DisplaySystem> called;
  FrontEndOutcome x11{false, kExitCannotDraw, "cannot open the display ':0'"};
  FrontEndOutcome wayland{false, kExitCannotDraw, "no compositor"};
  std::ostringstream out, err;

  int run(const std::vector<std::string>& arguments, const DisplayEnvironment& environment) {
    FrontEnds frontEnds;
    frontEnds.x11 = [this](const HackOptions&) {
      called.push_back(kX);
      return x11;
    };
    frontEnds.wayland = [this](const HackOptions&) {
      called.push_back(kWayland);
      return wayland;
    };
    return nativeProgramMain(arguments, environment, frontEnds, out, err);
  }
};

TEST(NativeStart, WaylandUnreachedFallsBackToXAndNeitherIsOneMessageNamingBoth) {
  DisplayEnvironment environment;
  environment.waylandDisplay = "wayland-0";
  Start start;
  EXPECT_EQ(start.run({}, environment), kExitCannotDraw);
  EXPECT_EQ(start.called, (Systems{kWayland, kX}));
  EXPECT_EQ(start.err.str(), "glimmerweave: no display could be reached (Wayland: " +
                                 start.wayland.error + "; X: " + start.x11.error + ")\n");

  Start reached;
  reached.x11 = {true, kExitOk, ""};
  EXPECT_EQ(reached.run({}, environment), kExitOk);
  EXPECT_EQ(reached.err.str(), "");
}

TEST(NativeStart, AnOptionOfWaylandNeverFallsBackToXAndTheMessageNamesIt) {
  DisplayEnvironment environment;
  environment.waylandDisplay = "wayland-0";
  Start start;
  start.x11 = {true, kExitOk, ""};
  EXPECT_EQ(start.run({"--fullscreen"}, environment), kExitCannotDraw);
  EXPECT_EQ(start.called, Systems{kWayland});
  EXPECT_EQ(start.err.str(),
            "glimmerweave: no display could be reached (Wayland, which --fullscreen asks for: " +
                start.wayland.error + ")\n");
}

TEST(NativeStart, AReachedDisplaysFailureIsItsOwnAndNothingElseIsTried) {
  DisplayEnvironment environment;
  environment.waylandDisplay = "wayland-0";
  Start start;
  start.wayland = {true, kExitCannotDraw, "the compositor has no layer shell"};
  EXPECT_EQ(start.run({"-saver"}, environment), kExitCannotDraw);
  EXPECT_EQ(start.called, (Systems{kWayland}));
  EXPECT_EQ(start.err.str(), "glimmerweave: " + start.wayland.error + "\n");
}

TEST(NativeStart, BadOptionsHelpAndVersionNeedNoDisplay) {
  Start start;
  EXPECT_EQ(start.run({"-speed", "11"}, {}), kExitBadOption);
  EXPECT_EQ(start.run({"-help"}, {}), kExitOk);
  EXPECT_EQ(start.out.str(), hackUsage());
  EXPECT_TRUE(start.called.empty());
}

}  // namespace
}  // namespace glimmerweave
