// The screen saver program as the system runs it: each case starts the real
// glimmerweave.scr with a command-line switch, watches its windows, the
// registry and the screen from outside, and gives it key presses and mouse
// movements as the user would. The settings key and the password option are
// saved before and put back after each case, so the cases also run on a real
// desktop; under Wine each case gets a prefix of its own.
//
//   screen_saver_integration_test --screen-saver=PATH [--password-component=PATH]
//                                 [--gtest_filter=...]
//   screen_saver_integration_test --paint-child=HANDLE
//
// PATH may be a Unix path (it is then taken as one on Wine's drive Z:). The second
// form is the painter some cases start (runChildPainter). The settings dialog and
// the control-panel preview have files of their own; the full-screen run's cases
// are here.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "password_component_protocol.h"
#include "screen_saver_harness.h"
#include "screen_saver_run.h"

namespace glimmerweave::integration {
namespace {

constexpr const char* kRunWindowClass = "TForm1";
constexpr const char* kDialogClass = "#32770";
constexpr const char* kTitle = "Glimmerweave";

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
  ASSERT_NO_FATAL_FAILURE(waitForWindow(kRunWindowClass, window));
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

  EXPECT_EQ(storedSettings(), firstRunSettings());

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
  ASSERT_NO_FATAL_FAILURE(waitForWindow(kRunWindowClass, window));
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
  ASSERT_NO_FATAL_FAILURE(waitForWindow(kRunWindowClass, window));
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
  ASSERT_NO_FATAL_FAILURE(waitForWindow(kRunWindowClass, window));
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
  using namespace glimmerweave::integration;
  // The cases measure the program's windows in the screen's real pixels, also when a
  // case scales the desktop, as the program does in its manifest.
  beAwareOfEveryMonitorsDpi();
  const std::string painterOption = "--paint-child=";
  for (int index = 1; index < argc; ++index) {
    const std::string argument = argv[index];
    if (argument.rfind(painterOption, 0) == 0) {
      // The program's other role: the painter a case starts to find out what the
      // system shows (see runChildPainter).
      const auto handle = std::strtoull(argument.c_str() + painterOption.size(), nullptr, 10);
      return runChildPainter(reinterpret_cast<HWND>(static_cast<std::uintptr_t>(handle)));
    }
  }
  return runTestCases(
      argc, argv,
      {{"--screen-saver=", &screenSaverPath}, {"--password-component=", &passwordComponentPath}});
}
