// The full-screen run (glimmerweave.scr /s) on a desktop of two monitors side by
// side: the form covers the primary one, and the other gets a window of the
// run's own that shows the animation stretched to it, ends the run on a key
// press or on a mouse movement of more than 5 pixels as the form does, stays
// below the password dialog and goes away with the run.
//
// Under Wine the cases run on an X server with two Xinerama heads that
// run_on_two_monitors.sh makes for each of them; where the system shows only one
// monitor they are skipped, and the first case shows what the system has.
//
//   several_monitors_integration_test --screen-saver=PATH --password-component=PATH
//                                     [--gtest_filter=...]
//
// The password component here is the stand-in that shows a dialog
// (test_password_dialog.cpp).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "monitors_harness.h"
#include "password_dialog_protocol.h"
#include "screen_saver_harness.h"
#include "screen_saver_run.h"

namespace glimmerweave::integration {
namespace {

constexpr const char* kRunWindowClass = "TForm1";
constexpr const char* kMonitorWindowClass = "GlimmerweaveMonitor";
constexpr const char* kDialogClass = "#32770";
// The frame at the first-run Detail, 5.
constexpr int kFrameWidth = 533;
constexpr int kFrameHeight = 400;
constexpr std::uint32_t kTestColour = 0x00FF00FF;

RECT shrunk(const RECT& area, int by) {
  return RECT{area.left + by, area.top + by, area.right - by, area.bottom - by};
}

// The shot mirrored left to right.
Screenshot mirrored(const Screenshot& shot) {
  Screenshot mirror = shot;
  for (int y = 0; y < shot.height; ++y)
    for (int x = 0; x < shot.width; ++x)
      mirror.pixels[static_cast<std::size_t>(y) * shot.width + x] =
          shot.pixels[static_cast<std::size_t>(y) * shot.width + (shot.width - 1 - x)];
  return mirror;
}

class SeveralMonitors : public ScreenSaverRun {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(ScreenSaverRun::SetUp());
    monitors_ = displayMonitors();
    const std::optional<RECT> other = monitorBesideThePrimary(monitors_);
    if (!other)
      GTEST_SKIP() << "the system shows no monitor beside the primary one (it lists "
                   << describe(monitors_)
                   << "): under Wine the X server needs a second Xinerama head, which "
                      "run_on_two_monitors.sh makes, and Wine's X11 driver must not use XRandR";
    other_ = *other;
    primary_ = RECT{0, 0, screenWidth_, screenHeight_};
  }

  // Puts the cursor at `point`, from where the run will measure movements.
  void startCursorAt(POINT point) {
    start_ = point;
    ASSERT_TRUE(moveCursorTo(point.x, point.y));
    ASSERT_TRUE(waitUntil([&] {
      const POINT now = cursorPosition();
      return now.x == point.x && now.y == point.y;
    })) << "the cursor did not go to "
        << describe(point) << "; it is at " << describe(cursorPosition());
  }

  // Starts the full-screen run and waits for its form and for its window over
  // the other monitor.
  void startRun(HWND& form, HWND& cover, const std::string& program = {},
                const std::string& folder = {}) {
    ASSERT_NO_FATAL_FAILURE(startScreenSaver("/s", program, folder));
    ASSERT_NO_FATAL_FAILURE(waitForWindow(kRunWindowClass, form));
    cover = nullptr;
    const bool covered = waitUntil(
        [&] {
          for (HWND window : coveringWindows()) {
            RECT place{};
            if (GetWindowRect(window, &place) && sameRect(place, other_)) cover = window;
          }
          return cover != nullptr || !process_->running();
        },
        kStartPatience);
    ASSERT_TRUE(covered && cover) << "no window of the run covers the other monitor at "
                                  << describe(other_) << "; the run's windows over other monitors: "
                                  << describeCoveringWindows();
  }

  // The run's visible windows over other monitors.
  std::vector<HWND> coveringWindows() const {
    std::vector<HWND> shown;
    for (HWND window : windowsOf(process_->id(), kMonitorWindowClass))
      if (IsWindowVisible(window)) shown.push_back(window);
    return shown;
  }

  std::string describeCoveringWindows() const {
    std::string text;
    for (HWND window : coveringWindows()) {
      RECT place{};
      GetWindowRect(window, &place);
      text += (text.empty() ? "" : ", ") + describe(place);
    }
    return text.empty() ? "none" : text;
  }

  // After the run ended: none of its windows is left.
  ::testing::AssertionResult noWindowLeft() const {
    if (HWND window = FindWindowA(kMonitorWindowClass, nullptr)) {
      RECT place{};
      GetWindowRect(window, &place);
      return ::testing::AssertionFailure()
             << "a window over another monitor is left at " << describe(place);
    }
    if (FindWindowA(kRunWindowClass, nullptr))
      return ::testing::AssertionFailure() << "the run's form is left";
    return ::testing::AssertionSuccess();
  }

  // The program's top-level windows from the top down: class, top-most or not, owner's class.
  std::string describeZOrder() const {
    std::string text;
    for (HWND window = GetTopWindow(nullptr); window; window = GetWindow(window, GW_HWNDNEXT)) {
      DWORD owner = 0;
      GetWindowThreadProcessId(window, &owner);
      if (owner != process_->id() || !IsWindowVisible(window)) continue;
      if (!text.empty()) text += ", ";
      text += windowClass(window);
      if (GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) text += " (top-most)";
      if (HWND ownerWindow = GetWindow(window, GW_OWNER))
        text += " owned by " + windowClass(ownerWindow);
    }
    return text;
  }

  std::vector<Monitor> monitors_;
  RECT other_{};
  RECT primary_{};
};

// ---------------------------------------------------------------------------
// What the system shows

// The other cases rest on this: two monitors, the primary one at the origin
// with the screen's size and another beside it, where a window shows.
TEST_F(SeveralMonitors, TheSystemShowsTwoMonitorsAndAWindowOnTheSecond) {
  std::printf("monitors: %s\n", describe(monitors_).c_str());
  const RECT virtualScreen{
      GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
      GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN),
      GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
  bool primaryAtTheOrigin = false;
  for (const Monitor& monitor : monitors_)
    if (monitor.primary) primaryAtTheOrigin = sameRect(monitor.area, primary_);
  EXPECT_TRUE(primaryAtTheOrigin) << "the primary monitor is not " << describe(primary_);
  EXPECT_TRUE(contains(virtualScreen, POINT{other_.left, other_.top}) &&
              contains(virtualScreen, POINT{other_.right - 1, other_.bottom - 1}))
      << "the virtual screen " << describe(virtualScreen) << " does not hold the monitor at "
      << describe(other_);

  // The screenshots of the other cases read what windows show there.
  ColourWindow window(other_, kTestColour);
  ASSERT_NE(window.handle(), nullptr) << systemMessage(GetLastError());
  Screenshot shot;
  const bool shown = waitUntil([&] {
    shot = captureScreen(other_);
    return colourShare(shot, kTestColour) > 0.99;
  });
  if (!shown) saveBitmap(shot, "test-window.bmp");
  EXPECT_TRUE(shown) << "a window of the test's own over " << describe(other_)
                     << " does not show there (" << colourShare(shot, kTestColour) * 100
                     << "% of its colour; the screenshot is in test-window.bmp)";
}

// ---------------------------------------------------------------------------
// The picture

TEST_F(SeveralMonitors, TheOtherMonitorIsCoveredAndAnimatesUntilAKeyPressEndsTheRun) {
  SavedKey savedSettings(HKEY_CURRENT_USER, kSettingsKey);
  ASSERT_TRUE(deleteKey(HKEY_CURRENT_USER, kSettingsKey));  // the defaults, which animate
  HWND form = nullptr, cover = nullptr;
  ASSERT_NO_FATAL_FAILURE(startRun(form, cover));

  EXPECT_EQ(coveringWindows().size(), 1u) << "the run's windows: " << describeCoveringWindows();
  const LONG_PTR style = GetWindowLongPtrA(cover, GWL_STYLE);
  EXPECT_TRUE(style & WS_POPUP) << "style " << std::hex << style;
  EXPECT_FALSE(style & (WS_CAPTION | WS_THICKFRAME | WS_BORDER)) << "style " << std::hex << style;
  EXPECT_TRUE(GetWindowLongPtrA(cover, GWL_EXSTYLE) & WS_EX_TOPMOST);
  RECT formPlace{};
  ASSERT_TRUE(GetWindowRect(form, &formPlace));
  EXPECT_TRUE(sameRect(formPlace, primary_)) << "the form is at " << describe(formPlace);

  EXPECT_TRUE(animates("other-monitor", other_));
  EXPECT_TRUE(animates("primary-monitor", primary_));

  ASSERT_TRUE(inForeground(form));
  ASSERT_TRUE(pressKey(VK_SPACE)) << systemMessage(GetLastError());
  ASSERT_TRUE(endsCleanly());
  EXPECT_TRUE(noWindowLeft());
}

TEST_F(SeveralMonitors, TheOtherMonitorShowsTheRunsFrameStretchedToIt) {
  SavedKey savedSettings(HKEY_CURRENT_USER, kSettingsKey);
  ASSERT_TRUE(deleteKey(HKEY_CURRENT_USER, kSettingsKey));
  // Speed 0 stands the phases still: every tick draws the same frame on both.
  for (const auto& [name, value] : firstRunSettings())
    ASSERT_TRUE(writeDword(HKEY_CURRENT_USER, kSettingsKey, name, name == "Speed" ? 0 : value));
  HWND form = nullptr, cover = nullptr;
  ASSERT_NO_FATAL_FAILURE(startRun(form, cover));

  Screenshot onPrimary, onOther;
  double alike = 0;
  const bool same = waitUntil([&] {
    onPrimary = captureScreen(primary_);
    onOther = captureScreen(other_);
    alike = sameFrameShare(onPrimary, onOther, kFrameWidth, kFrameHeight, 8);
    return litShare(onPrimary) >= kLitShare && litShare(onOther) >= kLitShare && alike >= 0.98;
  });
  if (!same) {
    saveBitmap(onPrimary, "frame-on-primary.bmp");
    saveBitmap(onOther, "frame-on-other.bmp");
  }
  EXPECT_TRUE(same) << "at " << alike * 100
                    << "% of the points compared the other monitor shows what the primary shows "
                       "(screenshots in frame-on-primary.bmp and frame-on-other.bmp)";
  // The comparison tells pictures apart: the same frame mirrored does not pass.
  EXPECT_LT(sameFrameShare(onPrimary, mirrored(onOther), kFrameWidth, kFrameHeight, 8), 0.5);

  ASSERT_TRUE(inForeground(form));
  ASSERT_TRUE(pressKey(VK_SPACE));
  ASSERT_TRUE(endsCleanly());
  EXPECT_TRUE(noWindowLeft());
}

// ---------------------------------------------------------------------------
// Input over the other monitor

TEST_F(SeveralMonitors, MovementsOfFivePixelsOverTheOtherMonitorKeepTheRunAndSixEndIt) {
  SavedKey savedSettings(HKEY_CURRENT_USER, kSettingsKey);
  ASSERT_TRUE(deleteKey(HKEY_CURRENT_USER, kSettingsKey));
  ASSERT_NO_FATAL_FAILURE(startCursorAt(centreOf(other_)));
  HWND form = nullptr, cover = nullptr;
  ASSERT_NO_FATAL_FAILURE(startRun(form, cover));
  // Only a run that shows its picture measures movements.
  ASSERT_TRUE(animates("before-moving", other_));

  const POINT withinReach[] = {{5, 5}, {-5, -5}, {5, -5}, {-5, 5}};
  for (const POINT offset : withinReach) {
    const POINT target{start_.x + offset.x, start_.y + offset.y};
    SCOPED_TRACE("cursor moved to " + describe(target) + ", the run started at " +
                 describe(start_));
    ASSERT_TRUE(moveCursorTo(target.x, target.y));
    ASSERT_EQ(cursorPosition().x, target.x);
    ASSERT_EQ(cursorPosition().y, target.y);
    ASSERT_EQ(WindowFromPoint(target), cover) << "the cursor is not over the run's window";
    ASSERT_TRUE(stillRunning(form));
    ASSERT_TRUE(IsWindowVisible(cover));
  }

  ASSERT_TRUE(moveCursorTo(start_.x - 6, start_.y + 5));
  EXPECT_TRUE(endsCleanly()) << "after the cursor moved 6 pixels left of where the run started";
  EXPECT_TRUE(noWindowLeft());
}

TEST_F(SeveralMonitors, WithTheInputOnTheOtherMonitorTheCursorIsHiddenAndAKeyPressEndsTheRun) {
  SavedKey savedSettings(HKEY_CURRENT_USER, kSettingsKey);
  ASSERT_TRUE(deleteKey(HKEY_CURRENT_USER, kSettingsKey));
  ASSERT_NO_FATAL_FAILURE(startCursorAt(centreOf(other_)));
  // The check below can tell: before the run the cursor shows.
  ASSERT_TRUE(cursorShowing()) << "the cursor is hidden before the run started";
  HWND form = nullptr, cover = nullptr;
  ASSERT_NO_FATAL_FAILURE(startRun(form, cover));
  ASSERT_TRUE(animates("before-clicking", other_));

  // A click where the cursor stands gives the window the input, and no movement.
  ASSERT_TRUE(clickButton()) << systemMessage(GetLastError());
  ASSERT_TRUE(waitUntil([&] { return GetForegroundWindow() == cover; }))
      << "the click did not give the run's window over the other monitor the input (the "
         "foreground window is of class \""
      << windowClass(GetForegroundWindow()) << "\")";
  ASSERT_TRUE(stillRunning(form)) << "after a click without movement";
  EXPECT_FALSE(cursorShowing()) << "the cursor shows over the run's window on the other monitor";

  ASSERT_TRUE(pressKey(VK_SPACE)) << systemMessage(GetLastError());
  EXPECT_TRUE(endsCleanly()) << "after a key press";
  EXPECT_TRUE(noWindowLeft());
}

// ---------------------------------------------------------------------------
// The password dialog

TEST_F(SeveralMonitors, ThePasswordDialogComesUpAboveTheOtherMonitorsWindowAndTakesTheInput) {
  ASSERT_FALSE(passwordComponentPath.empty()) << "no --password-component=PATH given";
  SavedKey savedSettings(HKEY_CURRENT_USER, kSettingsKey);
  SavedValue savedOption(HKEY_CURRENT_USER, kDesktopKey, kUsePasswordValue);
  ASSERT_TRUE(deleteKey(HKEY_CURRENT_USER, kSettingsKey));
  ASSERT_TRUE(writeDword(HKEY_CURRENT_USER, kDesktopKey, kUsePasswordValue, 1));

  // The program finds the component next to itself, before any system copy.
  ScratchFolder folder;
  std::string error;
  ASSERT_TRUE(folder.copyIn(windowsPath(screenSaverPath), "glimmerweave.scr", error)) << error;
  ASSERT_TRUE(folder.copyIn(windowsPath(passwordComponentPath), "PASSWORD.CPL", error)) << error;
  HWND form = nullptr, cover = nullptr;
  ASSERT_NO_FATAL_FAILURE(
      startRun(form, cover, folder.path() + "\\glimmerweave.scr", folder.path()));
  ASSERT_TRUE(animates("before-asking", other_));

  // Asks for the password; the stand-in puts its dialog over the other monitor.
  const auto askedWith = [&](HWND& dialog) {
    dialog = nullptr;
    return waitUntil([&] {
      dialog = visibleWindowOf(process_->id(), kDialogClass);
      return dialog != nullptr;
    });
  };
  ASSERT_TRUE(inForeground(form));
  ASSERT_TRUE(pressKey(VK_SPACE));
  HWND dialog = nullptr;
  ASSERT_TRUE(askedWith(dialog)) << "no password dialog came up after a key press";
  RECT dialogPlace{};
  ASSERT_TRUE(GetWindowRect(dialog, &dialogPlace));
  ASSERT_TRUE(overlap(dialogPlace, other_))
      << "the dialog at " << describe(dialogPlace) << " is not over the other monitor";

  EXPECT_TRUE(waitUntil([&] { return GetForegroundWindow() == dialog; }))
      << "the dialog does not have the input (the foreground window is of class \""
      << windowClass(GetForegroundWindow()) << "\")";
  // Above them once it is up: it may be shown a moment before it is raised.
  const POINT middle = centreOf(dialogPlace);
  HWND top = nullptr;
  const bool above = waitUntil([&] {
    top = WindowFromPoint(middle);
    return top == dialog || IsChild(dialog, top);
  });
  EXPECT_TRUE(above) << "at " << describe(middle) << " a window of class \"" << windowClass(top)
                     << "\" lies above the dialog; the windows from the top: " << describeZOrder();
  Screenshot shot;
  const bool drawn = waitUntil([&] {
    shot = captureScreen(shrunk(dialogPlace, 8));
    return colourShare(shot, kPasswordDialogColour) > 0.95;
  });
  if (!drawn) saveBitmap(shot, "password-dialog.bmp");
  EXPECT_TRUE(drawn) << "the dialog is not seen over the other monitor (the screenshot is in "
                        "password-dialog.bmp)";
  EXPECT_TRUE(IsWindowVisible(cover)) << "the other monitor was uncovered while asking";

  // Escape goes to the dialog, which answers that the password was wrong.
  ASSERT_TRUE(pressKey(VK_ESCAPE));
  EXPECT_TRUE(waitUntil([&] { return !IsWindow(dialog); })) << "Escape did not reach the dialog";
  ASSERT_TRUE(stillRunning(form)) << "after the wrong password";
  ASSERT_TRUE(IsWindowVisible(cover));
  EXPECT_TRUE(animates("after-wrong-password", other_));

  // Asked again, Enter gives the right password and the run ends.
  ASSERT_TRUE(inForeground(form));
  ASSERT_TRUE(pressKey(VK_SPACE));
  ASSERT_TRUE(askedWith(dialog)) << "no password dialog came up after the second key press";
  ASSERT_TRUE(waitUntil([&] { return GetForegroundWindow() == dialog; }));
  ASSERT_TRUE(pressKey(VK_RETURN));
  EXPECT_TRUE(endsCleanly()) << "after the right password";
  EXPECT_TRUE(noWindowLeft());
}

// ---------------------------------------------------------------------------
// Display changes

TEST_F(SeveralMonitors, ADisplayChangePlacesTheWindowOverTheOtherMonitorAgain) {
  SavedKey savedSettings(HKEY_CURRENT_USER, kSettingsKey);
  ASSERT_TRUE(deleteKey(HKEY_CURRENT_USER, kSettingsKey));
  HWND form = nullptr, cover = nullptr;
  ASSERT_NO_FATAL_FAILURE(startRun(form, cover));
  ASSERT_TRUE(animates("before-the-change", other_));

  // As the system may move windows while a monitor comes and goes.
  const RECT moved{other_.left + 100, other_.top + 100, other_.left + 300, other_.top + 250};
  ASSERT_TRUE(SetWindowPos(cover, nullptr, moved.left, moved.top, moved.right - moved.left,
                           moved.bottom - moved.top, SWP_NOZORDER | SWP_NOACTIVATE))
      << systemMessage(GetLastError());
  RECT place{};
  ASSERT_TRUE(waitUntil([&] { return GetWindowRect(cover, &place) && sameRect(place, moved); }))
      << "the run's window could not be moved away; it is at " << describe(place);
  ASSERT_TRUE(stillRunning(form));
  ASSERT_TRUE(GetWindowRect(cover, &place));
  ASSERT_TRUE(sameRect(place, moved)) << "the run placed its window again without a display change";

  HDC screen = GetDC(nullptr);
  const int bitCount = GetDeviceCaps(screen, BITSPIXEL);
  ReleaseDC(nullptr, screen);
  ASSERT_TRUE(sendMessage(form, WM_DISPLAYCHANGE, static_cast<WPARAM>(bitCount),
                          MAKELPARAM(screenWidth_, screenHeight_)));
  EXPECT_TRUE(waitUntil([&] {
    for (HWND window : coveringWindows())
      if (GetWindowRect(window, &place) && sameRect(place, other_)) return true;
    return false;
  })) << "after the display change the run's windows are at "
      << describeCoveringWindows();
  EXPECT_EQ(coveringWindows().size(), 1u);
  EXPECT_TRUE(animates("after-the-change", other_));

  ASSERT_TRUE(stillRunning(form)) << "a display change is no input";
  ASSERT_TRUE(inForeground(form));
  ASSERT_TRUE(pressKey(VK_SPACE));
  EXPECT_TRUE(endsCleanly());
  EXPECT_TRUE(noWindowLeft());
}

}  // namespace
}  // namespace glimmerweave::integration

int main(int argc, char** argv) {
  using namespace glimmerweave::integration;
  // The cases measure windows and monitors in the screen's real pixels, as the
  // program does.
  beAwareOfEveryMonitorsDpi();
  return runTestCases(
      argc, argv,
      {{"--screen-saver=", &screenSaverPath}, {"--password-component=", &passwordComponentPath}});
}
