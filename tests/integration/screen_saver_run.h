// The fixture every integration case builds on: one run of the real
// glimmerweave.scr, started with a command-line switch and watched from outside,
// with the checks the cases share (a window comes up, the screen animates, the
// program keeps running or ends cleanly) and what the cases know of the
// program's settings in the registry.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "screen_saver_harness.h"

namespace glimmerweave::integration {

// Set by main from the command line.
extern std::string screenSaverPath;        // the program under test
extern std::string passwordComponentPath;  // the test's own PASSWORD.CPL

inline constexpr const char* kSettingsKey = "Software\\Glimmerweave";
inline constexpr const char* kDesktopKey = "Control Panel\\Desktop";
inline constexpr const char* kUsePasswordValue = "ScreenSaveUsePassword";

// A picture counts as shown when this share of its pixels is not dark, and as
// changed when this share of its pixels changed.
inline constexpr double kLitShare = 0.05;
inline constexpr double kChangedShare = 0.01;
// How long after the picture first showed up the tests look again whether it changes.
inline constexpr DWORD kLookAgainAfter = 1'000;
// How long a run that should go on is given to end wrongly after it took in the input.
inline constexpr DWORD kGraceToEnd = 1'000;

std::string describe(const std::vector<std::string>& names);
std::string describe(POINT point);

// The settings as REG_DWORD numbers by name; a value of another type or size
// shows as the number 0xDEADBEEF so that it cannot pass for a setting.
std::map<std::string, DWORD> storedSettings();
// What the program stores on its first start.
std::map<std::string, DWORD> firstRunSettings();

class ScreenSaverRun : public ::testing::Test {
 protected:
  void SetUp() override;

  // Starts `program` (the screen saver by default) with `arguments`, watching
  // from the start which windows it creates.
  void startScreenSaver(const std::string& arguments, std::string program = {},
                        const std::string& folder = {});

  // Waits for a visible top-level window of the program with the given class;
  // fails the case when it does not come.
  void waitForWindow(const std::string& className, HWND& window);

  // Checks that `area` of the screen (the whole screen by default) shows a picture
  // that keeps changing: once it is lit, a screenshot taken a while later and then
  // one that differs from it. `label` names the .bmp files saved on failure.
  ::testing::AssertionResult animates(const std::string& label);
  ::testing::AssertionResult animates(const std::string& label, const RECT& area);

  // Waits until `window` is the foreground window, which gets key presses.
  ::testing::AssertionResult inForeground(HWND window);

  // Checks that the program is still running, with `window` shown, after it took in
  // the input given so far.
  ::testing::AssertionResult stillRunning(HWND window);

  // Checks that the program ends, with exit code 0.
  ::testing::AssertionResult endsCleanly();

  int screenWidth_ = 0, screenHeight_ = 0;
  POINT start_{};
  std::unique_ptr<ChildProcess> process_;
  std::unique_ptr<WindowCreationWatcher> watcher_;
};

}  // namespace glimmerweave::integration
