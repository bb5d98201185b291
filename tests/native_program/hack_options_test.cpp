// The native program's command line: defaults, both spellings, each option's
// range, the messages of bad options, and the choice of the window.
#include "native_program/hack_options.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace glimmerweave {
namespace {

HackCommand parse(const std::vector<std::string>& arguments) {
  return parseHackCommand(arguments);
}

// Parses arguments that must be accepted.
HackOptions accepted(const std::vector<std::string>& arguments) {
  const HackCommand command = parseHackCommand(arguments);
  EXPECT_EQ(command.kind, HackCommand::Kind::Run) << command.error;
  return command.options;
}

// The message of arguments that must be refused.
std::string refused(const std::vector<std::string>& arguments) {
  const HackCommand command = parseHackCommand(arguments);
  EXPECT_EQ(command.kind, HackCommand::Kind::Error);
  EXPECT_EQ(command.error.find('\n'), std::string::npos) << "one line: " << command.error;
  return command.error;
}

TEST(HackOptions, NoOptionsGiveTheFirstRunDefaultsInAWindowOfItsOwn) {
  const HackOptions options = accepted({});
  EXPECT_EQ(options.speed, 3);
  EXPECT_EQ(options.brightness, 100);
  EXPECT_EQ(options.algorithm, 15);
  EXPECT_EQ(options.detail, 5);
  EXPECT_FALSE(options.randomAlgorithm);
  EXPECT_FALSE(options.seed.has_value());
  EXPECT_FALSE(options.phaseA || options.phaseB || options.stepA || options.stepB);
  EXPECT_FALSE(options.fps);
  EXPECT_FALSE(options.smooth);
  EXPECT_TRUE(options.sharedMemory);
  EXPECT_FALSE(options.windowId.has_value());
  EXPECT_EQ(options.place, HackPlace::OwnWindow);
  EXPECT_TRUE(options.display.empty());
}

TEST(HackOptions, EveryOptionTakesOneOrTwoDashesAndItsValueApartOrAfterEquals) {
  for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
           {"-speed", "7"}, {"--speed", "7"}, {"-speed=7"}, {"--speed=7"}})
    EXPECT_EQ(accepted(arguments).speed, 7) << arguments[0];
  EXPECT_TRUE(accepted({"--fps"}).fps);
  EXPECT_TRUE(accepted({"-fps"}).fps);
  EXPECT_EQ(accepted({"--root"}).place, HackPlace::Root);
  EXPECT_EQ(accepted({"--window-id=0x2a"}).windowId, 42u);
}

struct IntegerRange {
  const char* name;
  int low;
  int high;
  std::int32_t HackOptions::*field;
};

const IntegerRange kRanges[] = {
    {"speed", 0, 10, &HackOptions::speed},
    {"brightness", 1, 100, &HackOptions::brightness},
    {"algorithm", 0, 34, &HackOptions::algorithm},
    {"detail", 0, 10, &HackOptions::detail},
};

TEST(HackOptions, EachSettingAcceptsItsWholeRangeAndNamesItWhenGivenMore) {
  for (const IntegerRange& range : kRanges) {
    const std::string option = std::string("-") + range.name;
    for (int value = range.low; value <= range.high; ++value)
      EXPECT_EQ(accepted({option, std::to_string(value)}).*(range.field), value) << option;
    const std::string expected = option + " takes a whole number from " +
                                 std::to_string(range.low) + " to " + std::to_string(range.high);
    for (const int outside : {range.low - 1, range.high + 1}) {
      const std::string message = refused({option, std::to_string(outside)});
      EXPECT_NE(message.find(expected), std::string::npos) << message;
      const std::string quoted = std::string("'").append(std::to_string(outside)).append("'");
      EXPECT_NE(message.find(quoted), std::string::npos) << message;
    }
  }
}

TEST(HackOptions, ValuesThatAreNotWholeNumbersAreRefused) {
  for (const char* value : {"", "abc", "5x", " 5", "1.5", "0x5", "99999999999999999999999"})
    EXPECT_NE(refused({"-speed", value}).find("-speed takes a whole number from 0 to 10"),
              std::string::npos)
        << "'" << value << "'";
}

TEST(HackOptions, MessagesNameTheOptionAsWritten) {
  EXPECT_NE(refused({"--detail", "11"}).find("--detail takes"), std::string::npos);
  EXPECT_NE(refused({"--detail=11"}).find("--detail takes"), std::string::npos);
}

TEST(HackOptions, AMissingValueIsReportedWithWhatItShouldBe) {
  EXPECT_EQ(refused({"-brightness"}), "-brightness needs a value: a whole number from 1 to 100");
  EXPECT_EQ(refused({"-fps", "--seed"}),
            "--seed needs a value: a whole number from 0 to 4294967295");
}

TEST(HackOptions, UnknownOptionsAndStrayArgumentsAreRefused) {
  EXPECT_EQ(refused({"-sped", "3"}), "unknown option '-sped' (-help lists the options)");
  EXPECT_EQ(refused({"-"}), "unknown option '-' (-help lists the options)");
  EXPECT_EQ(refused({"---speed", "3"}), "unknown option '---speed' (-help lists the options)");
  EXPECT_EQ(refused({"speed"}), "unexpected argument 'speed' (-help lists the options)");
  EXPECT_EQ(refused({"-saver", "--background"}),
            "-saver and --background ask for two things at once: give one of -window, -saver "
            "and -background");
  EXPECT_NE(refused({"-window", "-saver"}).find("two things at once"), std::string::npos);
  EXPECT_EQ(parseHackCommand({"-saver", "--saver"}).kind, HackCommand::Kind::Run);
  EXPECT_EQ(refused({"-idle", "60"}), "-idle makes -saver resident, and -saver is not given");
}

TEST(HackOptions, NoOptionWithoutAValueTakesOneAfterEquals) {
  // Those of -help: an indented option with no value's name after it.
  std::istringstream usage(hackUsage());
  int flags = 0;
  for (std::string line; std::getline(usage, line);) {
    if (line.rfind("  -", 0) != 0) continue;
    const std::string option = line.substr(2, line.find(' ', 2) - 2);
    if (line.compare(2 + option.size(), 2, "  ") != 0) continue;
    for (const std::string& written : {option, "-" + option})
      for (const char* value : {"=", "=1", "=foo"})
        EXPECT_EQ(refused({written + value}), written + " takes no value");
    ++flags;
  }
  EXPECT_GE(flags, 13);
}

TEST(HackOptions, FlagsSetWhatTheyName) {
  const HackOptions options = accepted({"-random", "-fps", "-smooth", "-no-shm"});
  EXPECT_TRUE(options.randomAlgorithm);
  EXPECT_TRUE(options.fps);
  EXPECT_TRUE(options.smooth);
  EXPECT_FALSE(options.sharedMemory);
  EXPECT_EQ(accepted({"-root", "-window"}).place, HackPlace::OwnWindow);
  EXPECT_EQ(accepted({"-window", "-root"}).place, HackPlace::Root);
}

TEST(HackOptions, TheSeedIsAnyUnsigned32BitNumber) {
  EXPECT_EQ(accepted({"-seed", "0"}).seed, 0u);
  EXPECT_EQ(accepted({"-seed", "4294967295"}).seed, 4294967295u);
  EXPECT_NE(refused({"-seed", "4294967296"}).find("from 0 to 4294967295"), std::string::npos);
  EXPECT_NE(refused({"-seed", "-1"}).find("from 0 to 4294967295"), std::string::npos);
}

TEST(HackOptions, PhasesAndStepsAreFiniteDecimalsReadAsTheRendererReadsThem) {
  const HackOptions options =
      accepted({"-phase-a", "1", "-phase-b", "2.1", "-step-a", "-0.05", "-step-b", "5e-2"});
  EXPECT_EQ(options.phaseA, 1.0L);
  EXPECT_EQ(options.phaseB, std::strtold("2.1", nullptr));
  EXPECT_EQ(options.stepA, std::strtold("-0.05", nullptr));
  EXPECT_EQ(options.stepB, std::strtold("5e-2", nullptr));
  for (const char* value : {"nan", "inf", "1e99999", "0x1p3", "1,5", ""})
    EXPECT_NE(refused({"-phase-a", value}).find("-phase-a takes a finite decimal number"),
              std::string::npos)
        << value;
}

TEST(HackOptions, HelpAndVersionAreAnsweredWhereverTheyStand) {
  EXPECT_EQ(parse({"-help"}).kind, HackCommand::Kind::Help);
  EXPECT_EQ(parse({"--help"}).kind, HackCommand::Kind::Help);
  EXPECT_EQ(parse({"-speed", "4", "-h"}).kind, HackCommand::Kind::Help);
  EXPECT_EQ(parse({"--version"}).kind, HackCommand::Kind::Version);
}

TEST(HackOptions, TheUsageListsEveryOptionWithItsRange) {
  const std::string usage = hackUsage();
  for (const char* option :
       {"-speed N", "-brightness N", "-algorithm N", "-detail N", "-random", "-seed N", "-phase-a",
        "-phase-b", "-step-a", "-step-b", "-smooth", "-fps", "-no-shm", "-window", "-root",
        "-window-id ID", "-display NAME", "-help", "-version"})
    EXPECT_NE(usage.find(option), std::string::npos) << option;
  for (const char* range : {"0..10", "1..100", "0..34", "0..4294967295", "(default 3)",
                            "(default 100)", "(default 15)", "(default 5)"})
    EXPECT_NE(usage.find(range), std::string::npos) << range;
}

// ---------------------------------------------------------------------------
// Window ids and the window

TEST(HackWindowId, DecimalOrHexadecimalAfter0xWithin32Bits) {
  EXPECT_EQ(parseWindowId("12345"), 12345u);
  EXPECT_EQ(parseWindowId("0x1a00003"), 0x1a00003u);
  EXPECT_EQ(parseWindowId("0X1A"), 0x1au);
  EXPECT_EQ(parseWindowId("4294967295"), 4294967295u);
  EXPECT_EQ(parseWindowId("0xffffffff"), 0xffffffffu);
  for (const char* bad :
       {"", "0", "0x", "0x0", "-5", "+5", "abc", "1a", "0x100000000", "4294967296", " 5", "0x-1"})
    EXPECT_FALSE(parseWindowId(bad).has_value()) << "'" << bad << "'";
}

TEST(HackWindowId, BadIdsAreRefusedAsOptions) {
  EXPECT_EQ(refused({"-window-id", "0x"}),
            "-window-id takes a window id (decimal, or hexadecimal after 0x), not '0x'");
}

HackWindow choose(const std::vector<std::string>& arguments, const char* environment) {
  HackWindow window;
  std::string error;
  EXPECT_TRUE(chooseHackWindow(accepted(arguments), environment, window, error)) << error;
  return window;
}

TEST(HackWindowChoice, WindowIdThenXscreensaverWindowThenRootThenItsOwn) {
  HackWindow window = choose({"-window-id", "0x10", "-root"}, "0x20");
  EXPECT_EQ(window.kind, HackWindow::Kind::Given);
  EXPECT_EQ(window.id, 0x10u);
  window = choose({"-root"}, "0x20");
  EXPECT_EQ(window.kind, HackWindow::Kind::Given);
  EXPECT_EQ(window.id, 0x20u);
  window = choose({"-root"}, "48");
  EXPECT_EQ(window.id, 48u);
  EXPECT_EQ(choose({"-root"}, nullptr).kind, HackWindow::Kind::Root);
  EXPECT_EQ(choose({"-root"}, "").kind, HackWindow::Kind::Root);
  EXPECT_EQ(choose({}, nullptr).kind, HackWindow::Kind::Own);
  EXPECT_EQ(choose({"-window"}, nullptr).kind, HackWindow::Kind::Own);
}

TEST(HackWindowChoice, AnXscreensaverWindowThatIsNoIdIsAnError) {
  HackWindow window;
  std::string error;
  EXPECT_FALSE(chooseHackWindow(accepted({}), "window", window, error));
  EXPECT_EQ(error, "XSCREENSAVER_WINDOW holds no window id: 'window'");
  // -window-id makes the variable irrelevant.
  EXPECT_TRUE(chooseHackWindow(accepted({"-window-id", "7"}), "window", window, error));
}

}  // namespace
}  // namespace glimmerweave
