// The control-panel preview (glimmerweave.scr /p HANDLE) as the system runs it:
// inside a window the test makes and passes by its handle, and without a usable
// handle in a top-most window of its own. Either way the picture has a white
// border one pixel wide around an animation. A system that does not show what
// one process draws into a child of another's window (Wine does not) cannot show
// the picture in the test's window: the case that looks at it is skipped there,
// after the test's own painter has shown that nothing of the kind shows.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "screen_saver_harness.h"
#include "screen_saver_run.h"

namespace glimmerweave::integration {
namespace {

constexpr const char* kPreviewClass = "PointsClass";
constexpr const char* kPreviewName = "Stillmoss";
constexpr std::uint32_t kWhite = 0x00FFFFFF;

// The window the preview goes into, on the screen, as the display settings would
// hand it over: well away from the cursor, which the tests leave at the centre.
constexpr RECT kHostArea{100, 100, 100 + 152, 100 + 112};
// How long the test's painter is given to show its colour: what a process draws
// into its window shows at once on a system that shows it at all.
constexpr DWORD kPainterPatience = 10'000;
// The window the preview makes for itself without a usable handle.
constexpr RECT kOwnerlessArea{0, 0, 320, 240};

std::string handleInDecimal(HWND window) {
  return std::to_string(reinterpret_cast<std::uintptr_t>(window));
}

std::string handleInHexadecimal(HWND window, const char* prefix) {
  char digits[32] = {};
  std::snprintf(digits, sizeof digits, "%llX",
                static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(window)));
  return prefix + std::string(digits);
}

class PreviewWindow : public ScreenSaverRun {
 protected:
  // Waits for the preview's child window in `host`; fails the case when it does not come.
  void waitForChildOf(HWND host, HWND& child) {
    child = nullptr;
    const bool shown = waitUntil(
        [&] {
          child = FindWindowExA(host, nullptr, kPreviewClass, nullptr);
          return (child && IsWindowVisible(child)) || !process_->running();
        },
        kStartPatience);
    ASSERT_TRUE(shown && child && IsWindowVisible(child))
        << (process_->running()
                ? "no visible \"" + std::string(kPreviewClass) +
                      "\" window appeared in the test's window"
                : "the program ended (exit code " + std::to_string(process_->exitCode()) +
                      ") without showing its window in the test's window");
  }

  // Checks that `area` of the screen shows a white border one pixel wide around a
  // picture that changes. `label` names the .bmp files saved on failure.
  ::testing::AssertionResult framedAnimation(const RECT& area, const std::string& label) {
    Screenshot shot;
    if (!waitUntil([&] {
          shot = captureScreen(area);
          return borderIs(shot, kWhite);
        })) {
      saveBitmap(shot, label + "-border.bmp");
      return ::testing::AssertionFailure()
             << "the border of " << describe(area) << " is not all white (the screenshot is in "
             << label << "-border.bmp)";
    }
    const auto inside = [](const Screenshot& whole) {
      return cropped(whole, 1, 1, whole.width - 2, whole.height - 2);
    };
    const Screenshot first = inside(shot);
    Screenshot later;
    double changed = 0;
    bool framed = true;
    if (!waitUntil([&] {
          later = captureScreen(area);
          framed = borderIs(later, kWhite);
          changed = differingShare(first, inside(later));
          return framed && changed >= kChangedShare;
        })) {
      saveBitmap(shot, label + "-first.bmp");
      saveBitmap(later, label + "-later.bmp");
      return ::testing::AssertionFailure()
             << "the picture inside the border of " << describe(area) << " did not change ("
             << changed * 100 << "% of its pixels differ"
             << (framed ? "" : "; the border is no longer all white") << "; screenshots in "
             << label << "-first.bmp and " << label << "-later.bmp)";
    }
    return ::testing::AssertionSuccess();
  }

  // Checks the preview's window inside `host` and that destroying the host ends
  // the program.
  void checkChildAndEndWithHost(HostWindow& host) {
    HWND child = nullptr;
    ASSERT_NO_FATAL_FAILURE(waitForChildOf(host.handle(), child));
    DWORD owner = 0;
    GetWindowThreadProcessId(child, &owner);
    EXPECT_EQ(owner, process_->id()) << "the window in the test's window is not the program's";
    EXPECT_EQ(windowText(child), kPreviewName);
    EXPECT_EQ(GetParent(child), host.handle());
    const LONG_PTR style = GetWindowLongPtrA(child, GWL_STYLE);
    constexpr LONG_PTR kChildStyle = WS_CHILD | WS_VISIBLE | WS_DISABLED;
    EXPECT_EQ(style & kChildStyle, kChildStyle) << "style " << std::hex << style;
    EXPECT_EQ(
        describe(placeIn(child, host.handle())),
        describe(RECT{0, 0, kHostArea.right - kHostArea.left, kHostArea.bottom - kHostArea.top}));
    EXPECT_EQ(visibleWindowOf(process_->id(), ""), nullptr)
        << "the program shows a top-level window of its own";
    ASSERT_TRUE(stillRunning(child));

    ASSERT_TRUE(host.destroy()) << systemMessage(GetLastError());
    EXPECT_TRUE(endsCleanly()) << "after its window was destroyed";
  }

  // Whether this system shows on the screen what another process draws into a
  // child of the test's window: the test program's own painter, started as a
  // process of its own, puts such a window into a HostWindow.
  void checkChildrenOfOtherProcessesShow(bool& shown) {
    shown = false;
    HostWindow host(kHostArea);
    ASSERT_NE(host.handle(), nullptr) << systemMessage(GetLastError());
    char self[MAX_PATH + 1] = {};
    ASSERT_NE(GetModuleFileNameA(nullptr, self, MAX_PATH), 0u) << systemMessage(GetLastError());
    ChildProcess painter;
    std::string error;
    ASSERT_TRUE(painter.startSuspended(self, "--paint-child=" + handleInDecimal(host.handle()),
                                       folderOf(self), error))
        << error;
    painter.resume();
    ASSERT_TRUE(waitUntil(
                    [&] {
                      const HWND window =
                          FindWindowExA(host.handle(), nullptr, kPainterClass, nullptr);
                      return (window && IsWindowVisible(window)) || !painter.running();
                    },
                    kStartPatience) &&
                painter.running())
        << "the test's painter did not put its window into the test's window";
    Screenshot shot;
    shown = waitUntil(
        [&] {
          shot = captureScreen(kHostArea);
          return !shot.pixels.empty() && shot.pixels[shot.pixels.size() / 2] == kPainterColour;
        },
        kPainterPatience);
    ASSERT_TRUE(host.destroy());
    EXPECT_TRUE(painter.waitForExit(kPatience)) << "the test's painter did not end";
  }
};

// ---------------------------------------------------------------------------
// In the window the system hands over

TEST_F(PreviewWindow, ChildFillsTheGivenWindowAndEndsWhenItIsDestroyed) {
  HostWindow host(kHostArea);
  ASSERT_NE(host.handle(), nullptr) << systemMessage(GetLastError());
  ASSERT_NO_FATAL_FAILURE(startScreenSaver("/p " + handleInDecimal(host.handle())));
  ASSERT_NO_FATAL_FAILURE(checkChildAndEndWithHost(host));
}

TEST_F(PreviewWindow, HandleInHexadecimalWithADollarSignIsTakenAsWell) {
  HostWindow host(kHostArea);
  ASSERT_NE(host.handle(), nullptr) << systemMessage(GetLastError());
  ASSERT_NO_FATAL_FAILURE(startScreenSaver("/p " + handleInHexadecimal(host.handle(), "$")));
  ASSERT_NO_FATAL_FAILURE(checkChildAndEndWithHost(host));
}

TEST_F(PreviewWindow, ChildShowsAWhiteBorderAroundAChangingPicture) {
  bool shown = false;
  ASSERT_NO_FATAL_FAILURE(checkChildrenOfOtherProcessesShow(shown));
  if (!shown)
    GTEST_SKIP() << "this system does not show on the screen what one process draws into a "
                    "child of another process's window (the test's own painter did not show "
                    "either), so the preview's picture cannot be seen there";

  HostWindow host(kHostArea);
  ASSERT_NE(host.handle(), nullptr) << systemMessage(GetLastError());
  ASSERT_NO_FATAL_FAILURE(startScreenSaver("/p " + handleInDecimal(host.handle())));
  HWND child = nullptr;
  ASSERT_NO_FATAL_FAILURE(waitForChildOf(host.handle(), child));
  EXPECT_TRUE(framedAnimation(kHostArea, "child"));
  ASSERT_TRUE(host.destroy()) << systemMessage(GetLastError());
  EXPECT_TRUE(endsCleanly()) << "after its window was destroyed";
}

// ---------------------------------------------------------------------------
// A handle that names no window any more (the control panel's page closed while
// the preview started): the mode ends at once and leaves no window behind.
TEST_F(PreviewWindow, AHandleThatNamesNoWindowEndsAtOnceWithoutAWindow) {
  HWND stale = nullptr;
  {
    HostWindow host(kHostArea);
    ASSERT_NE(host.handle(), nullptr) << systemMessage(GetLastError());
    stale = host.handle();
    ASSERT_TRUE(host.destroy()) << systemMessage(GetLastError());
  }
  ASSERT_FALSE(IsWindow(stale));
  ASSERT_NO_FATAL_FAILURE(startScreenSaver("/p " + handleInDecimal(stale)));
  const bool ended = waitUntil([&] { return !process_->running(); }, kPatience);
  pumpMessages();  // window events the program raised before it ended
  EXPECT_TRUE(ended) << "the program is still running";
  if (ended) {
    EXPECT_EQ(process_->exitCode(), 1u);
  }
  EXPECT_TRUE(watcher_->created().empty())
      << "the program created top-level windows: " << describe(watcher_->created());
}

// Without a handle: no parameter, 0, or one that is not a number

TEST_F(PreviewWindow, AZeroHandleOrOneThatIsNotANumberGetsAWindowOfItsOwn) {
  for (const char* parameter : {"0", "preview"}) {
    SCOPED_TRACE(std::string("/p ") + parameter);
    ASSERT_NO_FATAL_FAILURE(startScreenSaver(std::string("/p ") + parameter));
    HWND window = nullptr;
    ASSERT_NO_FATAL_FAILURE(waitForWindow(kPreviewClass, window));
    EXPECT_EQ(GetParent(window), nullptr);
    EXPECT_TRUE(GetWindowLongPtrA(window, GWL_STYLE) & WS_POPUP);
    RECT frame{};
    ASSERT_TRUE(GetWindowRect(window, &frame));
    EXPECT_EQ(describe(frame), describe(kOwnerlessArea));
    // The second start's watcher sees the window as well as the first's did.
    EXPECT_TRUE(waitUntil([&] { return watcher_->sawClass(kPreviewClass); }))
        << "windows the program created: " << describe(watcher_->created());
    process_.reset();  // ends it
  }
}

TEST_F(PreviewWindow, WithoutAHandleItsOwnTopMostWindowIgnoresTheMouseAndEndsOnAKeyPress) {
  SavedValue savedOption(HKEY_CURRENT_USER, kDesktopKey, kUsePasswordValue);
  ASSERT_TRUE(writeDword(HKEY_CURRENT_USER, kDesktopKey, kUsePasswordValue, 0));

  ASSERT_NO_FATAL_FAILURE(startScreenSaver("/p"));
  HWND window = nullptr;
  ASSERT_NO_FATAL_FAILURE(waitForWindow(kPreviewClass, window));
  EXPECT_EQ(windowText(window), kPreviewName);
  EXPECT_EQ(GetParent(window), nullptr);
  EXPECT_EQ(GetWindow(window, GW_OWNER), nullptr);
  const LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
  EXPECT_TRUE(style & WS_POPUP) << "style " << std::hex << style;
  EXPECT_FALSE(style & WS_CHILD) << "style " << std::hex << style;
  EXPECT_TRUE(GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
  RECT frame{};
  ASSERT_TRUE(GetWindowRect(window, &frame));
  EXPECT_EQ(describe(frame), describe(kOwnerlessArea));
  EXPECT_TRUE(framedAnimation(kOwnerlessArea, "ownerless"));

  // Movements over the window and away from it, and every button on it.
  const POINT inside = centreOf(kOwnerlessArea);
  const POINT path[] = {
      {inside.x, inside.y}, {10, 10}, {300, 220}, {600, 500}, {inside.x, inside.y}};
  for (const POINT point : path) {
    SCOPED_TRACE("cursor moved to " + describe(point));
    ASSERT_TRUE(moveCursorTo(point.x, point.y));
    ASSERT_TRUE(stillRunning(window));
  }
  for (const MouseButton button : {MouseButton::kLeft, MouseButton::kRight, MouseButton::kMiddle}) {
    SCOPED_TRACE("mouse button " + std::to_string(static_cast<int>(button)) + " clicked at " +
                 describe(inside));
    ASSERT_TRUE(clickAt(inside.x, inside.y, button));
    ASSERT_TRUE(stillRunning(window));
  }

  ASSERT_TRUE(inForeground(window));
  ASSERT_TRUE(pressKey(VK_SPACE));
  EXPECT_TRUE(endsCleanly()) << "after a key press";
}

}  // namespace
}  // namespace glimmerweave::integration
