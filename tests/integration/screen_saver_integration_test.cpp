// The screen saver program as the system runs it: each case starts the real
// glimmerweave.scr with a command-line switch, watches its windows, the
// registry and the screen from outside, and gives it key presses and mouse
// movements as the user would. The settings key and the password option are
// saved before and put back after each case, so the cases also run on a real
// desktop; under Wine each case gets a prefix of its own.
//
//   screen_saver_integration_test --screen-saver=PATH [--password-component=PATH]
//                                 [--gtest_filter=...]
//
// PATH may be a Unix path (it is then taken as one on Wine's drive Z:).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "password_component_protocol.h"
#include "screen_saver_harness.h"

namespace glimmerweave::integration {
namespace {

std::string screenSaverPath;        // the program under test
std::string passwordComponentPath;  // the test's own PASSWORD.CPL

constexpr const char* kSettingsKey = "Software\\Glimmerweave";
constexpr const char* kDesktopKey = "Control Panel\\Desktop";
constexpr const char* kUsePasswordValue = "ScreenSaveUsePassword";
constexpr const char* kRunWindowClass = "TForm1";
constexpr const char* kDialogClass = "#32770";
constexpr const char* kTitle = "Glimmerweave";

// A picture counts as shown when this share of the screen is not dark, and as
// changed when this share of its pixels changed.
constexpr double kLitShare = 0.05;
constexpr double kChangedShare = 0.01;
// How long after the picture first showed up the tests look again whether it changes.
constexpr DWORD kLookAgainAfter = 1'000;
// How long a run that should go on is given to end wrongly after it took in the input.
constexpr DWORD kGraceToEnd = 1'000;

std::string describe(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + ("\"" + name + "\"");
  return text.empty() ? "none" : text;
}

std::string describe(POINT point) {
  return "(" + std::to_string(point.x) + ", " + std::to_string(point.y) + ")";
}

class ScreenSaverRun : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(screenSaverPath.empty()) << "no --screen-saver=PATH given";
    screenWidth_ = GetSystemMetrics(SM_CXSCREEN);
    screenHeight_ = GetSystemMetrics(SM_CYSCREEN);
    // The run measures mouse movements from where the cursor stands when it starts.
    start_ = POINT{screenWidth_ / 2, screenHeight_ / 2};
    ASSERT_TRUE(moveCursorTo(start_.x, start_.y));
    ASSERT_TRUE(waitUntil([&] {
      const POINT now = cursorPosition();
      return now.x == start_.x && now.y == start_.y;
    })) << "the cursor did not go to "
        << describe(start_) << "; it is at " << describe(cursorPosition());
  }

  // Starts `program` (the screen saver by default) with `arguments`, watching
  // from the start which windows it creates.
  void startScreenSaver(const std::string& arguments, std::string program = {},
                        const std::string& folder = {}) {
    if (program.empty()) program = windowsPath(screenSaverPath);
    process_ = std::make_unique<ChildProcess>();
    std::string error;
    ASSERT_TRUE(process_->startSuspended(program, arguments,
                                         folder.empty() ? folderOf(program) : folder, error))
        << error;
    watcher_ = std::make_unique<WindowCreationWatcher>(process_->id());
    ASSERT_TRUE(watcher_->installed())
        << "cannot watch the windows the program creates: " << systemMessage(GetLastError());
    process_->resume();
  }

  // Waits for the run's visible window; fails the case when it does not come.
  void waitForRunWindow(HWND& window) {
    window = nullptr;
    const bool shown = waitUntil(
        [&] {
          window = visibleWindowOf(process_->id(), kRunWindowClass);
          return window != nullptr || !process_->running();
        },
        kStartPatience);
    ASSERT_TRUE(shown && window) << (process_->running()
                                         ? "no visible \"TForm1\" window appeared"
                                         : "the program ended (exit code " +
                                               std::to_string(process_->exitCode()) +
                                               ") without showing a \"TForm1\" window");
  }

  // Checks that the screen shows a picture that keeps changing: once the screen is
  // lit, a screenshot taken a while later and then one that differs from it.
  // `label` names the .bmp files saved on failure.
  ::testing::AssertionResult animates(const std::string& label) {
    Screenshot first;
    if (!waitUntil([&] {
          first = captureScreen();
          return litShare(first) >= kLitShare;
        })) {
      saveBitmap(first, label + "-dark.bmp");
      return ::testing::AssertionFailure()
             << "the screen stayed dark (" << litShare(first) * 100
             << "% lit; the screenshot is in " << label << "-dark.bmp)";
    }
    // Not the first frames only: the picture must still change a while later.
    Sleep(kLookAgainAfter);
    first = captureScreen();
    Screenshot later;
    double changed = 0;
    if (!waitUntil([&] {
          later = captureScreen();
          changed = differingShare(first, later);
          return changed >= kChangedShare && litShare(later) >= kLitShare;
        })) {
      saveBitmap(first, label + "-first.bmp");
      saveBitmap(later, label + "-later.bmp");
      return ::testing::AssertionFailure()
             << "the picture did not change: " << changed * 100
             << "% of the pixels differ, the later shot is " << litShare(later) * 100
             << "% lit (screenshots in " << label << "-first.bmp and " << label << "-later.bmp)";
    }
    return ::testing::AssertionSuccess();
  }

  // Waits until the run's window is the foreground window, which gets key presses.
  ::testing::AssertionResult inForeground(HWND window) {
    if (waitUntil([&] { return GetForegroundWindow() == window; }))
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "the run's window never became the foreground window (it is a window of class \""
           << windowClass(GetForegroundWindow()) << "\"), so key presses cannot reach it";
  }

  // Checks that the run is still going after it took in the input given so far.
  ::testing::AssertionResult stillRunning(HWND window) {
    if (!settle(window)) return ::testing::AssertionFailure() << "the run's window went away";
    if (process_->waitForExit(kGraceToEnd))
      return ::testing::AssertionFailure()
             << "the program ended (exit code " << process_->exitCode() << ")";
    if (!IsWindow(window) || !IsWindowVisible(window))
      return ::testing::AssertionFailure() << "the run's window is no longer shown";
    return ::testing::AssertionSuccess();
  }

  // Checks that the program ends, with exit code 0.
  ::testing::AssertionResult endsCleanly() {
    if (!process_->waitForExit(kPatience))
      return ::testing::AssertionFailure() << "the program is still running";
    if (process_->exitCode() != 0)
      return ::testing::AssertionFailure()
             << "the program ended with exit code " << process_->exitCode();
    return ::testing::AssertionSuccess();
  }

  int screenWidth_ = 0, screenHeight_ = 0;
  POINT start_{};
  std::unique_ptr<ChildProcess> process_;
  std::unique_ptr<WindowCreationWatcher> watcher_;
};

// The five settings as REG_DWORD numbers by name; a value of another type or size
// shows as the number 0xDEADBEEF so that it cannot pass for a setting.
std::map<std::string, DWORD> storedSettings() {
  std::map<std::string, DWORD> settings;
  for (const auto& [name, value] : readValues(HKEY_CURRENT_USER, kSettingsKey)) {
    DWORD number = 0xDEADBEEF;
    if (value.type == REG_DWORD && value.data.size() == sizeof number)
      std::memcpy(&number, value.data.data(), sizeof number);
    settings[name] = number;
  }
  return settings;
}

// ---------------------------------------------------------------------------
// Password change request

TEST_F(ScreenSaverRun, PasswordChangeRequestEndsAtOnceWithoutWindowAndLeavesTheSettingsAlone) {
  SavedKey savedSettings(HKEY_CURRENT_USER, kSettingsKey);
  ASSERT_TRUE(deleteKey(HKEY_CURRENT_USER, kSettingsKey));

  ASSERT_NO_FATAL_FAILURE(startScreenSaver("/a"));
  bool formSeen = false;
  const bool ended = waitUntil(
      [&] {
        if (!windowsOf(process_->id(), kRunWindowClass).empty()) formSeen = true;
        return !process_->running();
      },
      kPatience);
  pumpMessages();  // window events the program raised before it ended

  EXPECT_TRUE(ended) << "the program is still running";
  if (ended) {
    EXPECT_EQ(process_->exitCode(), 0u);
  }
  EXPECT_FALSE(formSeen) << "a \"TForm1\" window was there while the program ran";
  EXPECT_TRUE(watcher_->created().empty())
      << "the program created top-level windows: " << describe(watcher_->created());
  EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, kSettingsKey))
      << "the program created HKEY_CURRENT_USER\\" << kSettingsKey;
}

// ---------------------------------------------------------------------------
// Full-screen run

TEST_F(ScreenSaverRun, FirstRunStoresDefaultsCoversTheScreenAnimatesAndEndsOnAKeyPress) {
  SavedKey savedSettings(HKEY_CURRENT_USER, kSettingsKey);
  ASSERT_TRUE(deleteKey(HKEY_CURRENT_USER, kSettingsKey));

  ASSERT_NO_FATAL_FAILURE(startScreenSaver("/s"));
  HWND window = nullptr;
  ASSERT_NO_FATAL_FAILURE(waitForRunWindow(window));
  EXPECT_TRUE(watcher_->sawClass(kRunWindowClass))
      << "windows seen created: " << describe(watcher_->created());

  char caption[256] = {};
  GetWindowTextA(window, caption, sizeof caption);
  EXPECT_STREQ(caption, kTitle);
  const LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
  EXPECT_TRUE(style & WS_POPUP) << "style " << std::hex << style;
  EXPECT_FALSE(style & (WS_CAPTION | WS_THICKFRAME | WS_BORDER)) << "style " << std::hex << style;
  EXPECT_TRUE(GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
  RECT frame{};
  ASSERT_TRUE(GetWindowRect(window, &frame));
  EXPECT_EQ(frame.left, 0);
  EXPECT_EQ(frame.top, 0);
  EXPECT_EQ(frame.right, screenWidth_);
  EXPECT_EQ(frame.bottom, screenHeight_);

  const std::map<std::string, DWORD> defaults{
      {"Speed", 3}, {"Brightness", 100}, {"Algoritm", 15}, {"Detail", 5}, {"Rands", 0}};
  EXPECT_EQ(storedSettings(), defaults);

  EXPECT_TRUE(animates("first-run"));

  ASSERT_TRUE(inForeground(window));
  ASSERT_TRUE(pressKey(VK_SPACE)) << systemMessage(GetLastError());
  ASSERT_TRUE(endsCleanly());
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(FindWindowA(kRunWindowClass, nullptr), nullptr);
}

TEST_F(ScreenSaverRun, MouseMovementsOfFivePixelsKeepTheRunAndSixPixelsEndIt) {
  SavedKey savedSettings(HKEY_CURRENT_USER, kSettingsKey);
  ASSERT_TRUE(deleteKey(HKEY_CURRENT_USER, kSettingsKey));  // the defaults, which animate
  ASSERT_NO_FATAL_FAILURE(startScreenSaver("/s"));
  HWND window = nullptr;
  ASSERT_NO_FATAL_FAILURE(waitForRunWindow(window));
  // Only a run that shows its picture measures movements.
  ASSERT_TRUE(animates("before-moving"));

  const POINT withinReach[] = {{5, 5}, {-5, -5}, {5, -5}, {-5, 5}};
  for (const POINT offset : withinReach) {
    const POINT target{start_.x + offset.x, start_.y + offset.y};
    SCOPED_TRACE("cursor moved to " + describe(target) + ", the run started at " +
                 describe(start_));
    ASSERT_TRUE(moveCursorTo(target.x, target.y));
    ASSERT_EQ(cursorPosition().x, target.x);
    ASSERT_EQ(cursorPosition().y, target.y);
    ASSERT_TRUE(stillRunning(window));
  }

  ASSERT_TRUE(moveCursorTo(start_.x + 6, start_.y + 5));
  EXPECT_TRUE(endsCleanly()) << "after the cursor moved 6 pixels right of where the run started";
}

// ---------------------------------------------------------------------------
// Password check on the way out

TEST_F(ScreenSaverRun, WrongPasswordKeepsTheRunGoingAndTheRightOneEndsIt) {
  ASSERT_FALSE(passwordComponentPath.empty()) << "no --password-component=PATH given";
  SavedKey savedSettings(HKEY_CURRENT_USER, kSettingsKey);
  SavedValue savedOption(HKEY_CURRENT_USER, kDesktopKey, kUsePasswordValue);
  SavedKey savedComponent(HKEY_CURRENT_USER, kPasswordComponentKey);
  ASSERT_TRUE(deleteKey(HKEY_CURRENT_USER, kSettingsKey));
  ASSERT_TRUE(writeDword(HKEY_CURRENT_USER, kDesktopKey, kUsePasswordValue, 1));
  ASSERT_TRUE(deleteKey(HKEY_CURRENT_USER, kPasswordComponentKey));
  ASSERT_TRUE(writeDword(HKEY_CURRENT_USER, kPasswordComponentKey, kAnswerValue, 0));
  const auto calls = [] {
    return readDword(HKEY_CURRENT_USER, kPasswordComponentKey, kCallsValue).value_or(0);
  };

  // The program finds the component next to itself, before any system copy.
  ScratchFolder folder;
  std::string error;
  ASSERT_TRUE(folder.copyIn(windowsPath(screenSaverPath), "glimmerweave.scr", error)) << error;
  ASSERT_TRUE(folder.copyIn(windowsPath(passwordComponentPath), "PASSWORD.CPL", error)) << error;
  ASSERT_NO_FATAL_FAILURE(
      startScreenSaver("/s", folder.path() + "\\glimmerweave.scr", folder.path()));
  HWND window = nullptr;
  ASSERT_NO_FATAL_FAILURE(waitForRunWindow(window));
  ASSERT_TRUE(animates("before-asking"));
  EXPECT_EQ(calls(), 0u) << "the password was asked before any input";

  // A key press asks; the wrong answer keeps the run going, and it goes on drawing.
  ASSERT_TRUE(inForeground(window));
  ASSERT_TRUE(pressKey(VK_SPACE));
  ASSERT_TRUE(waitUntil([&] { return calls() >= 1; }))
      << "the password component was not asked after a key press";
  const std::optional<RegistryValue> owner =
      readValue(HKEY_CURRENT_USER, kPasswordComponentKey, kOwnerValue);
  ASSERT_TRUE(owner && owner->data.size() == sizeof(std::uint64_t));
  std::uint64_t ownerHandle = 0;
  std::memcpy(&ownerHandle, owner->data.data(), sizeof ownerHandle);
  EXPECT_EQ(ownerHandle, static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(window)))
      << "the password dialog's owner is not the run's window";
  ASSERT_TRUE(stillRunning(window)) << "after the wrong password";
  EXPECT_TRUE(animates("after-wrong-password"));

  // A movement well away from the start asks again; still wrong.
  const DWORD callsBeforeMoving = calls();
  ASSERT_TRUE(moveCursorTo(start_.x + 10, start_.y + 10));
  ASSERT_TRUE(waitUntil([&] { return calls() > callsBeforeMoving; }))
      << "the password component was not asked after the cursor moved 10 pixels";
  ASSERT_TRUE(stillRunning(window)) << "after the wrong password, asked for a movement";

  // The right answer ends the run.
  ASSERT_TRUE(writeDword(HKEY_CURRENT_USER, kPasswordComponentKey, kAnswerValue, 1));
  const DWORD callsBeforeKey = calls();
  ASSERT_TRUE(inForeground(window));
  ASSERT_TRUE(pressKey(VK_SPACE));
  EXPECT_TRUE(endsCleanly()) << "after the right password";
  EXPECT_GT(calls(), callsBeforeKey);
}

// ---------------------------------------------------------------------------
// Settings that cannot be read

// The parts of a message box: its text, whether it has an icon, and its buttons.
struct MessageBoxParts {
  std::string text;
  bool icon = false;
  std::vector<HWND> buttons;
};

BOOL CALLBACK collectMessageBoxPart(HWND child, LPARAM parameter) {
  auto* parts = reinterpret_cast<MessageBoxParts*>(parameter);
  const std::string name = windowClass(child);
  if (_stricmp(name.c_str(), "Button") == 0) {
    parts->buttons.push_back(child);
  } else if (_stricmp(name.c_str(), "Static") == 0) {
    if ((GetWindowLongPtrA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
      parts->icon = true;
    else if (parts->text.empty())
      parts->text = windowText(child);
  }
  return TRUE;
}

TEST_F(ScreenSaverRun, MissingSpeedValueIsReportedAndTheRunStillAnimates) {
  SavedKey savedSettings(HKEY_CURRENT_USER, kSettingsKey);
  ASSERT_TRUE(deleteKey(HKEY_CURRENT_USER, kSettingsKey));
  ASSERT_TRUE(writeDword(HKEY_CURRENT_USER, kSettingsKey, "Brightness", 100));
  ASSERT_TRUE(writeDword(HKEY_CURRENT_USER, kSettingsKey, "Algoritm", 15));
  ASSERT_TRUE(writeDword(HKEY_CURRENT_USER, kSettingsKey, "Detail", 5));
  ASSERT_TRUE(writeDword(HKEY_CURRENT_USER, kSettingsKey, "Rands", 0));
  const std::map<std::string, DWORD> stored = storedSettings();

  ASSERT_NO_FATAL_FAILURE(startScreenSaver("/s"));
  HWND box = nullptr;
  ASSERT_TRUE(waitUntil(
                  [&] {
                    box = visibleWindowOf(process_->id(), kDialogClass);
                    return box != nullptr || !process_->running();
                  },
                  kStartPatience) &&
              box)
      << "no message box appeared";
  char caption[256] = {};
  GetWindowTextA(box, caption, sizeof caption);
  EXPECT_STREQ(caption, kTitle);
  MessageBoxParts parts;
  EnumChildWindows(box, collectMessageBoxPart, reinterpret_cast<LPARAM>(&parts));
  EXPECT_EQ(parts.text, "Failed to get data for 'Speed'");
  EXPECT_TRUE(parts.icon) << "the message box shows no icon";
  ASSERT_EQ(parts.buttons.size(), 1u) << "the message box should have only its OK button";
  EXPECT_EQ(windowText(parts.buttons.front()), "OK");

  // Dismissed, the box lets the run go on, and the run draws with what it has.
  const int button = GetDlgCtrlID(parts.buttons.front());
  ASSERT_TRUE(PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                           reinterpret_cast<LPARAM>(parts.buttons.front())));
  ASSERT_TRUE(waitUntil([&] { return !IsWindow(box); })) << "the message box stayed open";
  HWND window = nullptr;
  ASSERT_NO_FATAL_FAILURE(waitForRunWindow(window));
  EXPECT_TRUE(animates("after-the-error"));
  EXPECT_EQ(visibleWindowOf(process_->id(), kDialogClass), nullptr)
      << "another message box came up";

  ASSERT_TRUE(inForeground(window));
  ASSERT_TRUE(pressKey(VK_SPACE));
  EXPECT_TRUE(endsCleanly());
  EXPECT_EQ(storedSettings(), stored) << "the stored settings changed";
}

}  // namespace
}  // namespace glimmerweave::integration

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  using namespace glimmerweave::integration;
  for (int index = 1; index < argc; ++index) {
    const std::string argument = argv[index];
    const std::string screenSaverOption = "--screen-saver=";
    const std::string componentOption = "--password-component=";
    if (argument.rfind(screenSaverOption, 0) == 0) {
      screenSaverPath = argument.substr(screenSaverOption.size());
    } else if (argument.rfind(componentOption, 0) == 0) {
      passwordComponentPath = argument.substr(componentOption.size());
    } else {
      std::fprintf(stderr, "unknown argument: %s\n", argument.c_str());
      return 64;
    }
  }
  const int status = RUN_ALL_TESTS();
  // A filter that selects nothing must not pass for a run.
  if (::testing::UnitTest::GetInstance()->test_to_run_count() == 0) {
    std::fprintf(stderr, "no test case was selected\n");
    return 1;
  }
  return status;
}
