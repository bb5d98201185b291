// The program on a scaled desktop (HKEY_CURRENT_USER\Control Panel\Desktop
// LogPixels, which Wine reads when a program starts): the settings dialog lays
// itself out at dpi / 96 of its designed size, fonts and preview included, and
// the full-screen run still covers the screen's real pixels without changing the
// display mode. Each case saves a screenshot of what it looked at.
#include <windows.h>

#include <memory>
#include <string>

#include "screen_saver_harness.h"
#include "screen_saver_run.h"

namespace glimmerweave::integration {
namespace {

constexpr const char* kDialogCaption = "Glimmerweave Settings";
constexpr const char* kRunWindowClass = "TForm1";
constexpr const char* kLogPixelsValue = "LogPixels";

// A place in the dialog's client area as designed (at 96 DPI), scaled to `dpi`
// with the system's own rounding.
RECT scaledPlace(int left, int top, int width, int height, int dpi) {
  const int x = MulDiv(left, dpi, 96), y = MulDiv(top, dpi, 96);
  return RECT{x, y, x + MulDiv(width, dpi, 96), y + MulDiv(height, dpi, 96)};
}

// The display's mode as the system reports it.
std::string currentMode() {
  DEVMODEA mode{};
  mode.dmSize = sizeof mode;
  if (!EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode)) return "unknown";
  return std::to_string(mode.dmPelsWidth) + "x" + std::to_string(mode.dmPelsHeight) + " " +
         std::to_string(mode.dmBitsPerPel) + "bit";
}

class HighDpi : public ScreenSaverRun {
 protected:
  void SetUp() override {
    ScreenSaverRun::SetUp();
    savedDpi_ = std::make_unique<SavedValue>(HKEY_CURRENT_USER, kDesktopKey, kLogPixelsValue);
    savedSettings_ = std::make_unique<SavedKey>(HKEY_CURRENT_USER, kSettingsKey);
    ASSERT_TRUE(deleteKey(HKEY_CURRENT_USER, kSettingsKey));  // the defaults, which animate
  }
  void TearDown() override {
    savedSettings_.reset();
    savedDpi_.reset();
  }

  // The desktop's scale for the programs started from now on.
  void setDpi(int dpi) {
    ASSERT_TRUE(
        writeDword(HKEY_CURRENT_USER, kDesktopKey, kLogPixelsValue, static_cast<DWORD>(dpi)));
  }

  // The dialog's visible child of `className` whose place in the dialog is `place`.
  HWND childAt(HWND dialog, const char* className, const RECT& place) {
    for (HWND child : childWindowsOf(dialog)) {
      const RECT at = placeIn(child, dialog);
      if (IsWindowVisible(child) && _stricmp(windowClass(child).c_str(), className) == 0 &&
          at.left == place.left && at.top == place.top && at.right == place.right &&
          at.bottom == place.bottom)
        return child;
    }
    return nullptr;
  }

  // How many rows of a label's text on the screen have ink in them: white text on
  // black, from the top of its tallest letter to the bottom of its lowest. (The
  // font itself cannot be asked for: its handle belongs to the program's process.)
  static int inkedRowsOf(HWND label) {
    RECT area{};
    GetWindowRect(label, &area);
    const Screenshot shot = captureScreen(area);
    int first = -1, last = -1;
    for (int row = 0; row < shot.height; ++row)
      for (int column = 0; column < shot.width; ++column)
        if ((shot.pixels[static_cast<std::size_t>(row * shot.width + column)] & 0x808080) != 0) {
          if (first < 0) first = row;
          last = row;
          break;
        }
    return first < 0 ? 0 : last - first + 1;
  }

  // Starts the settings dialog on a desktop of `dpi` and waits for it.
  void openDialogAt(int dpi, HWND& dialog) {
    ASSERT_NO_FATAL_FAILURE(setDpi(dpi));
    ASSERT_NO_FATAL_FAILURE(startScreenSaver("/c"));
    dialog = nullptr;
    ASSERT_TRUE(waitUntil(
                    [&] {
                      for (HWND window : windowsOf(process_->id(), ""))
                        if (IsWindowVisible(window) && windowText(window) == kDialogCaption)
                          dialog = window;
                      return dialog != nullptr || !process_->running();
                    },
                    kStartPatience) &&
                dialog)
        << "no settings dialog came up";
  }

  // Checks the dialog laid out for `dpi`: its size, a sample of its controls, the
  // height of its text and its preview, which must animate. `label` names the
  // screenshots.
  void checkLayout(HWND dialog, int dpi, const std::string& label) {
    RECT client{};
    ASSERT_TRUE(GetClientRect(dialog, &client));
    EXPECT_EQ(client.right, MulDiv(400, dpi, 96)) << "client width at " << dpi << " DPI";
    EXPECT_EQ(client.bottom, MulDiv(420, dpi, 96)) << "client height at " << dpi << " DPI";
    struct Sample {
      const char* className;
      const char* caption;  // null: a slider or the preview, which have none
      RECT place;
    };
    const Sample samples[] = {
        {"TDXDraw", nullptr, scaledPlace(0, 0, 400, 300, dpi)},
        {"Button", "Casual Algorithm", scaledPlace(10, 304, 263, 17, dpi)},
        {"Static", "Brightness", scaledPlace(10, 358, 70, 20, dpi)},
        {"msctls_trackbar32", nullptr, scaledPlace(200, 375, 170, 10, dpi)},
        {"Button", "Close", scaledPlace(318, 395, 74, 17, dpi)},
    };
    for (const Sample& sample : samples) {
      SCOPED_TRACE(std::string(sample.className) + " at " + describe(sample.place));
      const HWND control = childAt(dialog, sample.className, sample.place);
      ASSERT_NE(control, nullptr) << "not there at " << dpi << " DPI";
      if (sample.caption != nullptr) {
        EXPECT_EQ(windowText(control), sample.caption);
      }
    }

    // "Brightness" reaches from the top of its capital to the bottom of its "g":
    // most of the font's character height, and never more.
    const HWND brightness = childAt(dialog, "Static", scaledPlace(10, 358, 70, 20, dpi));
    ASSERT_NE(brightness, nullptr);
    const int characterHeight = MulDiv(13, dpi, 96);
    int inked = 0;
    EXPECT_TRUE(waitUntil([&] {
      inked = inkedRowsOf(brightness);
      return inked >= characterHeight * 6 / 10 && inked <= characterHeight;
    })) << "the label's text is "
        << inked << " pixels high, for a font of " << characterHeight;

    RECT preview = scaledPlace(0, 0, 400, 300, dpi);
    MapWindowPoints(dialog, nullptr, reinterpret_cast<POINT*>(&preview), 2);
    EXPECT_TRUE(animates(label + "-preview", preview));
    RECT frame{};
    GetWindowRect(dialog, &frame);
    saveBitmap(captureScreen(frame), label + ".bmp");
  }

  // Opens the dialog at `dpi`, checks its layout and closes it.
  void checkDialogAt(int dpi) {
    HWND dialog = nullptr;
    ASSERT_NO_FATAL_FAILURE(openDialogAt(dpi, dialog));
    ASSERT_NO_FATAL_FAILURE(checkLayout(dialog, dpi, "dialog-" + std::to_string(dpi) + "dpi"));
    ASSERT_TRUE(PostMessageA(dialog, WM_CLOSE, 0, 0));
    EXPECT_TRUE(endsCleanly());
  }

  std::unique_ptr<SavedValue> savedDpi_;
  std::unique_ptr<SavedKey> savedSettings_;
};

TEST_F(HighDpi, SettingsDialogAt96DpiKeepsItsDesignedLayout) {
  checkDialogAt(96);
}

TEST_F(HighDpi, SettingsDialogAt144DpiIsLaidOutHalfAgainAsLarge) {
  checkDialogAt(144);
}

TEST_F(HighDpi, SettingsDialogAt192DpiIsLaidOutTwiceAsLarge) {
  checkDialogAt(192);
}

// The dialog dragged to a monitor of another scale gets WM_DPICHANGED with the
// DPI and the rectangle the system suggests; the test sends it as the system
// would, with the rectangle in the program's own memory.
TEST_F(HighDpi, SettingsDialogMovedToAMonitorOf144DpiIsLaidOutAgain) {
  HWND dialog = nullptr;
  ASSERT_NO_FATAL_FAILURE(openDialogAt(96, dialog));
  ASSERT_TRUE(inForeground(dialog));
  const RECT suggested{40, 30, 40 + 640, 30 + 700};
  const HANDLE program =
      OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, process_->id());
  ASSERT_NE(program, nullptr) << systemMessage(GetLastError());
  void* remote =
      VirtualAllocEx(program, nullptr, sizeof suggested, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  ASSERT_NE(remote, nullptr) << systemMessage(GetLastError());
  ASSERT_TRUE(WriteProcessMemory(program, remote, &suggested, sizeof suggested, nullptr));
  DWORD_PTR result = 0;
  EXPECT_TRUE(SendMessageTimeoutA(dialog, WM_DPICHANGED, MAKEWPARAM(144, 144),
                                  reinterpret_cast<LPARAM>(remote), SMTO_NORMAL, kPatience,
                                  &result));
  VirtualFreeEx(program, remote, 0, MEM_RELEASE);
  CloseHandle(program);

  RECT frame{};
  ASSERT_TRUE(GetWindowRect(dialog, &frame));
  EXPECT_EQ(frame.left, suggested.left) << "the dialog is not where the system suggested";
  EXPECT_EQ(frame.top, suggested.top);
  ASSERT_NO_FATAL_FAILURE(checkLayout(dialog, 144, "dialog-moved-to-144dpi"));
  ASSERT_TRUE(PostMessageA(dialog, WM_CLOSE, 0, 0));
  EXPECT_TRUE(endsCleanly());
}

TEST_F(HighDpi, FullScreenRunAt192DpiCoversTheScreenWithoutChangingTheMode) {
  ASSERT_NO_FATAL_FAILURE(setDpi(192));
  const std::string modeBefore = currentMode();
  ASSERT_NO_FATAL_FAILURE(startScreenSaver("/s"));
  HWND window = nullptr;
  ASSERT_NO_FATAL_FAILURE(waitForWindow(kRunWindowClass, window));
  RECT frame{};
  ASSERT_TRUE(GetWindowRect(window, &frame));
  EXPECT_EQ(describe(frame), describe(RECT{0, 0, screenWidth_, screenHeight_}));
  EXPECT_TRUE(animates("full-screen-192dpi"));
  EXPECT_EQ(currentMode(), modeBefore) << "the run changed the display mode";
  saveBitmap(captureScreen(), "full-screen-192dpi.bmp");
  ASSERT_TRUE(inForeground(window));
  ASSERT_TRUE(pressKey(VK_SPACE));
  EXPECT_TRUE(endsCleanly());
  EXPECT_EQ(currentMode(), modeBefore);
}

}  // namespace
}  // namespace glimmerweave::integration
