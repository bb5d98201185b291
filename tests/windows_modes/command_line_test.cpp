// Splitting the command line and choosing the mode.
#include "windows_modes/command_line.h"

#include <gtest/gtest.h>

namespace glimmerweave {
namespace {

using Parameters = std::vector<std::string>;

TEST(SplitCommandLine, SeparatesOnBlanksAndControlCharacters) {
  EXPECT_EQ(splitCommandLine("saver.scr /s"), (Parameters{"saver.scr", "/s"}));
  EXPECT_EQ(splitCommandLine("  a\t\tb\r\n c\x01\x1f"
                             "d "),
            (Parameters{"a", "b", "c", "d"}));
  EXPECT_EQ(splitCommandLine(""), Parameters{});
  EXPECT_EQ(splitCommandLine(" \t "), Parameters{});
  EXPECT_EQ(splitCommandLine("x!y \x7f"), (Parameters{"x!y", "\x7f"}));
}

TEST(SplitCommandLine, QuotesGroupAndAreDropped) {
  EXPECT_EQ(splitCommandLine("\"C:\\Program Files\\g.scr\" \"/p\" 1234"),
            (Parameters{"C:\\Program Files\\g.scr", "/p", "1234"}));
  EXPECT_EQ(splitCommandLine("a\"b c\"d e"), (Parameters{"ab cd", "e"}));
  EXPECT_EQ(splitCommandLine("\"unterminated stretch"), (Parameters{"unterminated stretch"}));
  EXPECT_EQ(splitCommandLine("x \"\" y"), (Parameters{"x", "y"}));
  EXPECT_EQ(splitCommandLine("x \"\"\"/c\""), (Parameters{"x", "/c"}));
  EXPECT_EQ(splitCommandLine("x \"\"\"\" \"\"/s"), (Parameters{"x", "/s"}));
  EXPECT_EQ(splitCommandLine("x a\"\"b"), (Parameters{"x", "ab"}));
}

TEST(SplitCommandLine, StopsAtANulCharacter) {
  EXPECT_EQ(splitCommandLine(std::string_view("a /c\0 /p", 8)), (Parameters{"a", "/c"}));
}

TEST(ModeLetter, IsTheSecondCharacterUpperCased) {
  EXPECT_EQ(modeLetter("/s"), 'S');
  EXPECT_EQ(modeLetter("/S"), 'S');
  EXPECT_EQ(modeLetter("-c"), 'C');
  EXPECT_EQ(modeLetter("/c:1234"), 'C');
  EXPECT_EQ(modeLetter("xc"), 'C');
  EXPECT_EQ(modeLetter("sc"), 'C');
  EXPECT_EQ(modeLetter("/1"), '1');
  EXPECT_EQ(modeLetter("/\xe9"), '\xe9') << "only a..z change";
  EXPECT_EQ(modeLetter("s"), std::nullopt);
  EXPECT_EQ(modeLetter(""), std::nullopt);
}

TEST(ParseInvocation, ChoosesTheMode) {
  struct Case {
    const char* line;
    Mode mode;
    const char* handle;
  };
  for (const Case& c : {
           Case{"g.scr /s", Mode::FullScreen, ""},
           Case{"g.scr /S", Mode::FullScreen, ""},
           Case{"g.scr", Mode::FullScreen, ""},
           Case{"g.scr s", Mode::FullScreen, ""},
           Case{"g.scr /x", Mode::FullScreen, ""},
           Case{"g.scr /1", Mode::FullScreen, ""},
           Case{"g.scr /c:1234", Mode::SettingsDialog, ""},
           Case{"g.scr /c 1234", Mode::SettingsDialog, "1234"},
           Case{"g.scr sc", Mode::SettingsDialog, ""},
           Case{"g.scr /p 1234", Mode::Preview, "1234"},
           Case{"g.scr /p", Mode::Preview, ""},
           Case{"g.scr \"/p\" 77", Mode::Preview, "77"},
           Case{"g.scr /a 1234", Mode::PasswordChange, "1234"},
       }) {
    const Invocation invocation = parseInvocation(c.line);
    EXPECT_EQ(invocation.mode, c.mode) << c.line;
    EXPECT_EQ(invocation.handleParameter, c.handle) << c.line;
  }
}

}  // namespace
}  // namespace glimmerweave
