// The ways out of a full-screen run that keys and mouse alone could not end,
// with the real glimmerweave.scr: a drawing area that can never be set up (a
// DirectDraw stand-in beside the program that refuses), the error box that
// such a failure brings up above the run, and the password component that
// never returns (a stand-in that hangs) next to one whose dialog the user
// merely keeps open for long.
//
//   way_out_integration_test --screen-saver=PATH --password-component=PATH
//       --hanging-password-component=PATH --dialog-password-component=PATH
//       --refusing-direct-draw=PATH [--gtest_filter=...]
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "password_component_protocol.h"
#include "screen_saver_harness.h"
#include "screen_saver_run.h"

namespace glimmerweave::integration {

std::string hangingComponentPath;
std::string dialogComponentPath;
std::string refusingDirectDrawPath;

namespace {

constexpr const char* kRunWindowClass = "TForm1";
constexpr const char* kDialogClass = "#32770";
constexpr const char* kNoticeClass = "GlimmerweaveWayOut";
constexpr const char* kRefusedText = "DirectDraw cannot be initialized.";
// How long the program watches a password component before it counts as hung.
constexpr DWORD kHangBound = 15'000;

// The text of a message box's text control.
std::string messageBoxText(HWND box) {
  std::string text;
  for (HWND child : childWindowsOf(box)) {
    if (_stricmp(windowClass(child).c_str(), "Static") == 0 &&
        (GetWindowLongPtrA(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON && text.empty())
      text = windowText(child);
  }
  return text;
}

// True when `upper` lies above `lower` among the process's top-level windows.
bool above(DWORD processId, HWND upper, HWND lower) {
  const std::vector<HWND> order = windowsOf(processId, "");
  const auto upperAt = std::find(order.begin(), order.end(), upper);
  const auto lowerAt = std::find(order.begin(), order.end(), lower);
  return upperAt != order.end() && lowerAt != order.end() && upperAt < lowerAt;
}

RECT rectOf(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return rect;
}

// Wine's DLL settings for the program, under the current user.
constexpr const char* kWineOverridesKey =
    "Software\\Wine\\AppDefaults\\glimmerweave.scr\\DllOverrides";

// Creates the key when needed and sets a REG_SZ value; false on failure.
bool writeString(HKEY root, const std::string& path, const std::string& name,
                 const std::string& value) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                      &key, nullptr) != ERROR_SUCCESS)
    return false;
  const LONG result =
      RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>(value.size() + 1));
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

// The share of a shot's pixels (0..1) that are white.
double whiteShare(const Screenshot& shot) {
  if (shot.pixels.empty()) return 0;
  const auto white = std::count(shot.pixels.begin(), shot.pixels.end(), 0x00FFFFFFu);
  return static_cast<double>(white) / static_cast<double>(shot.pixels.size());
}

// True when this program runs under Wine.
bool underWine() {
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

class WayOut : public ScreenSaverRun {
 protected:
  void SetUp() override {
    ScreenSaverRun::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(deleteKey(HKEY_CURRENT_USER, kSettingsKey));  // the defaults, which animate
    ASSERT_TRUE(deleteKey(HKEY_CURRENT_USER, kPasswordComponentKey));
  }

  // Starts /s from a folder of its own holding the program and, under their
  // system names, the stand-ins given (empty: none).
  void startFrom(const std::string& passwordComponent, const std::string& directDraw) {
    std::string error;
    ASSERT_TRUE(folder_.copyIn(windowsPath(screenSaverPath), "glimmerweave.scr", error)) << error;
    if (!passwordComponent.empty()) {
      ASSERT_TRUE(folder_.copyIn(windowsPath(passwordComponent), "PASSWORD.CPL", error)) << error;
    }
    if (!directDraw.empty()) {
      ASSERT_TRUE(folder_.copyIn(windowsPath(directDraw), "DDraw.dll", error)) << error;
    }
    // Wine takes its own DirectDraw before one beside the program unless its
    // settings for the program say otherwise (Windows ignores the key).
    if (!directDraw.empty()) {
      ASSERT_TRUE(writeString(HKEY_CURRENT_USER, kWineOverridesKey, "ddraw", "native,builtin"));
    }
    ASSERT_NO_FATAL_FAILURE(
        startScreenSaver("/s", folder_.path() + "\\glimmerweave.scr", folder_.path()));
  }

  // The program first (a hung one too), then the folder it ran from.
  void TearDown() override { process_.reset(); }

  void usePassword(bool on) {
    ASSERT_TRUE(writeDword(HKEY_CURRENT_USER, kDesktopKey, kUsePasswordValue, on ? 1 : 0));
  }

  // Waits for the program's message box; fails the case when none comes.
  void waitForBox(HWND& box) {
    box = nullptr;
    ASSERT_TRUE(waitUntil(
                    [&] {
                      box = visibleWindowOf(process_->id(), kDialogClass);
                      return box != nullptr || !process_->running();
                    },
                    kStartPatience) &&
                box)
        << (process_->running() ? "no message box appeared" : "the program ended");
  }

  static DWORD calls() {
    return readDword(HKEY_CURRENT_USER, kPasswordComponentKey, kCallsValue).value_or(0);
  }

  SavedKey savedSettings_{HKEY_CURRENT_USER, kSettingsKey};
  SavedValue savedOption_{HKEY_CURRENT_USER, kDesktopKey, kUsePasswordValue};
  SavedKey savedComponent_{HKEY_CURRENT_USER, kPasswordComponentKey};
  SavedKey savedOverrides_{HKEY_CURRENT_USER, kWineOverridesKey};
  ScratchFolder folder_;
};

// ---------------------------------------------------------------------------
// A drawing area that can never be set up

// The run that comes up after the box: the form over the screen, black, since no
// frame can be shown; its screenshot is saved as `label`.bmp to look at.
void checkBlackRun(HWND window, int width, int height, const std::string& label) {
  const RECT frame = rectOf(window);
  EXPECT_EQ(frame.right - frame.left, width);
  EXPECT_EQ(frame.bottom - frame.top, height);
  const Screenshot shot = captureScreen();
  saveBitmap(shot, label + ".bmp");
  EXPECT_LT(litShare(shot), kLitShare) << "a picture is shown (" << label << ".bmp)";
}

TEST_F(WayOut, ADrawingAreaThatCannotBeSetUpEndsOnTheFirstKeyPress) {
  ASSERT_FALSE(refusingDirectDrawPath.empty()) << "no --refusing-direct-draw=PATH given";
  ASSERT_NO_FATAL_FAILURE(usePassword(false));
  ASSERT_NO_FATAL_FAILURE(startFrom("", refusingDirectDrawPath));

  // The stand-in is what the program loaded: the system's DirectDraw sets up.
  HWND box = nullptr;
  ASSERT_NO_FATAL_FAILURE(waitForBox(box));
  EXPECT_EQ(messageBoxText(box), kRefusedText);
  saveBitmap(captureScreen(), "box-at-creation.bmp");
  ASSERT_TRUE(inForeground(box));
  ASSERT_TRUE(pressKey(VK_RETURN)) << "the box's OK, from the keyboard";
  ASSERT_TRUE(waitUntil([&] { return !IsWindow(box); })) << "the box stayed open";

  HWND window = nullptr;
  ASSERT_NO_FATAL_FAILURE(waitForWindow(kRunWindowClass, window));
  checkBlackRun(window, screenWidth_, screenHeight_, "run-without-drawing-area");
  ASSERT_TRUE(inForeground(window));
  ASSERT_TRUE(pressKey(VK_SPACE));
  EXPECT_TRUE(endsCleanly()) << "a key press only set the area up again";
  EXPECT_EQ(visibleWindowOf(process_->id(), kDialogClass), nullptr);
}

TEST_F(WayOut, ADrawingAreaThatCannotBeSetUpEndsOnAMovementOfOnePixel) {
  ASSERT_FALSE(refusingDirectDrawPath.empty()) << "no --refusing-direct-draw=PATH given";
  ASSERT_NO_FATAL_FAILURE(usePassword(false));
  ASSERT_NO_FATAL_FAILURE(startFrom("", refusingDirectDrawPath));
  HWND box = nullptr;
  ASSERT_NO_FATAL_FAILURE(waitForBox(box));
  ASSERT_TRUE(PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0));
  HWND window = nullptr;
  ASSERT_NO_FATAL_FAILURE(waitForWindow(kRunWindowClass, window));
  ASSERT_TRUE(settle(window));
  ASSERT_TRUE(moveCursorTo(start_.x + 1, start_.y));
  EXPECT_TRUE(endsCleanly()) << "a movement only set the area up again";
}

TEST_F(WayOut, AWrongPasswordShowsTheFailureAboveTheRunAndTheRightOneEndsIt) {
  ASSERT_FALSE(refusingDirectDrawPath.empty()) << "no --refusing-direct-draw=PATH given";
  ASSERT_FALSE(passwordComponentPath.empty()) << "no --password-component=PATH given";
  ASSERT_NO_FATAL_FAILURE(usePassword(true));
  ASSERT_TRUE(writeDword(HKEY_CURRENT_USER, kPasswordComponentKey, kAnswerValue, 0));
  ASSERT_NO_FATAL_FAILURE(startFrom(passwordComponentPath, refusingDirectDrawPath));
  HWND box = nullptr;
  ASSERT_NO_FATAL_FAILURE(waitForBox(box));
  ASSERT_TRUE(PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0));
  HWND window = nullptr;
  ASSERT_NO_FATAL_FAILURE(waitForWindow(kRunWindowClass, window));
  EXPECT_EQ(calls(), 0u) << "the password was asked before any input";

  // The key asks; the wrong answer brings the failure up again, above the
  // top-most run, in the foreground, where the keyboard reaches it.
  ASSERT_TRUE(inForeground(window));
  ASSERT_TRUE(pressKey(VK_SPACE));
  ASSERT_TRUE(waitUntil([] { return calls() >= 1; })) << "the password was not asked";
  ASSERT_NO_FATAL_FAILURE(waitForBox(box));
  EXPECT_EQ(messageBoxText(box), kRefusedText);
  EXPECT_TRUE(above(process_->id(), box, window)) << "the box is behind the run";
  EXPECT_TRUE(GetWindowLongPtrA(box, GWL_EXSTYLE) & WS_EX_TOPMOST);
  const Screenshot boxShot = captureScreen(rectOf(box));
  saveBitmap(captureScreen(), "box-after-wrong-password.bmp");
  EXPECT_GE(litShare(boxShot), 0.5) << "the box is not drawn on the screen";
  ASSERT_TRUE(inForeground(box));
  ASSERT_TRUE(pressKey(VK_RETURN));
  ASSERT_TRUE(waitUntil([&] { return !IsWindow(box); })) << "Enter did not close the box";
  ASSERT_TRUE(stillRunning(window)) << "after the wrong password";
  EXPECT_EQ(calls(), 1u);

  ASSERT_TRUE(writeDword(HKEY_CURRENT_USER, kPasswordComponentKey, kAnswerValue, 1));
  ASSERT_TRUE(inForeground(window));
  ASSERT_TRUE(pressKey(VK_SPACE));
  EXPECT_TRUE(endsCleanly()) << "after the right password";
  EXPECT_EQ(calls(), 2u);
}

// ---------------------------------------------------------------------------
// A password component that never returns

TEST_F(WayOut, APasswordComponentThatHangsLeavesTheRunUpWithTheWayOutAboveIt) {
  ASSERT_FALSE(hangingComponentPath.empty()) << "no --hanging-password-component=PATH given";
  // The program's answer to a hang is the system's lock; on a real desktop this
  // case would lock it.
  if (!underWine()) GTEST_SKIP() << "this case would lock the workstation";
  // Control: Wine cannot lock, so the program's other answer is the one to see.
  const bool locks = LockWorkStation() != FALSE;
  if (!locks)
    std::printf("LockWorkStation answers FALSE here: the lock cannot be shown, the notice can\n");

  ASSERT_NO_FATAL_FAILURE(usePassword(true));
  ASSERT_NO_FATAL_FAILURE(startFrom(hangingComponentPath, ""));
  HWND window = nullptr;
  ASSERT_NO_FATAL_FAILURE(waitForWindow(kRunWindowClass, window));
  ASSERT_TRUE(animates("before-asking"));
  ASSERT_TRUE(inForeground(window));
  ASSERT_TRUE(pressKey(VK_SPACE));
  ASSERT_TRUE(waitUntil([] { return calls() >= 1; })) << "the password was not asked";
  const ULONGLONG asked = GetTickCount64();

  if (locks) {
    EXPECT_TRUE(process_->waitForExit(kHangBound + kPatience))
        << "the system locked, yet the program did not end";
    return;
  }
  HWND notice = nullptr;
  ASSERT_TRUE(waitUntil(
      [&] {
        notice = visibleWindowOf(process_->id(), kNoticeClass);
        return notice != nullptr || !process_->running();
      },
      kHangBound + kPatience))
      << "no notice of the way out came up";
  ASSERT_NE(notice, nullptr) << "the program ended: the hang let it past the password";
  EXPECT_GE(GetTickCount64() - asked, kHangBound - 1'000) << "the notice came before the bound";
  EXPECT_TRUE(above(process_->id(), notice, window)) << "the notice is behind the run";
  // White with black text, over a picture that is hardly ever white.
  double white = 0;
  EXPECT_TRUE(waitUntil([&] {
    white = whiteShare(captureScreen(rectOf(notice)));
    return white >= 0.8;
  })) << "the notice is not drawn on the screen: "
      << white * 100 << "% of its pixels are white";
  saveBitmap(captureScreen(), "way-out-notice.bmp");
  EXPECT_NE(windowText(notice).find("Glimmerweave"), std::string::npos);
  // Never ended unverified: the run stays, covering the screen.
  EXPECT_FALSE(process_->waitForExit(3'000)) << "the hang ended the run without the password";
  EXPECT_TRUE(IsWindowVisible(window));
}

TEST_F(WayOut, APasswordDialogOpenLongerThanTheBoundIsNoHang) {
  ASSERT_FALSE(dialogComponentPath.empty()) << "no --dialog-password-component=PATH given";
  ASSERT_NO_FATAL_FAILURE(usePassword(true));
  ASSERT_NO_FATAL_FAILURE(startFrom(dialogComponentPath, ""));
  HWND window = nullptr;
  ASSERT_NO_FATAL_FAILURE(waitForWindow(kRunWindowClass, window));
  ASSERT_TRUE(animates("before-asking"));
  ASSERT_TRUE(inForeground(window));
  ASSERT_TRUE(pressKey(VK_SPACE));
  HWND dialog = nullptr;
  ASSERT_TRUE(waitUntil([&] {
    dialog = visibleWindowOf(process_->id(), kDialogClass);
    return dialog != nullptr;
  })) << "the password dialog did not come up";

  // The user takes longer than the bound over the password.
  Sleep(kHangBound + 3'000);
  EXPECT_EQ(visibleWindowOf(process_->id(), kNoticeClass), nullptr)
      << "a dialog that answers was taken for a hang";
  ASSERT_TRUE(IsWindowVisible(dialog));
  EXPECT_TRUE(above(process_->id(), dialog, window)) << "the dialog is behind the run";
  saveBitmap(captureScreen(), "dialog-after-the-bound.bmp");
  ASSERT_TRUE(inForeground(dialog));
  ASSERT_TRUE(pressKey(VK_RETURN)) << "the right password";
  EXPECT_TRUE(endsCleanly());
}

}  // namespace
}  // namespace glimmerweave::integration

int main(int argc, char** argv) {
  SetProcessDPIAware();
  using namespace glimmerweave::integration;
  return runTestCases(argc, argv,
                      {{"--screen-saver=", &screenSaverPath},
                       {"--password-component=", &passwordComponentPath},
                       {"--hanging-password-component=", &hangingComponentPath},
                       {"--dialog-password-component=", &dialogComponentPath},
                       {"--refusing-direct-draw=", &refusingDirectDrawPath}});
}
