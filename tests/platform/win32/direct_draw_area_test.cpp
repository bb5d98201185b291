// The DirectDraw drawing area on a real display (under Wine in the Windows
// build): the area is set up on a window of the test's own, shows frames, and
// the pixels that reach the screen are read back with GDI.
//
// Under Wine this needs Direct3D's GDI renderer (WINE_D3D_CONFIG=renderer=gdi
// in the environment): with the OpenGL renderer a frame reaches the screen some
// time after the copy returns, and a windowed area's copy repaints the whole
// window, not only the area.
#include <windows.h>
// ddraw.h needs windows.h first.
#include <ddraw.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <numeric>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32/win32_direct_draw.h"
#include "presentation/drawing_area.h"
#include "presentation/frame_image.h"

namespace glimmerweave::win32 {
namespace {

// The window's own background, which the area must leave alone.
constexpr COLORREF kBackground = RGB(0, 128, 128);
constexpr int kClientWidth = 480;
constexpr int kClientHeight = 360;
// The dialog's placement of its area: 400 x 300, here a little off the corner
// so that the destination's offset is checked too.
constexpr AreaPlacement kPlacement{20, 30, 400, 300, false};

constexpr std::uint32_t kWindowedOptions =
    doAllowReboot | doStretch | doDirectX7Mode | doHardware | doSelectDriver;

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

// Handles the window messages waiting for this thread.
void pumpMessages() {
  MSG message;
  for (int round = 0; round < 20; ++round) {
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
}

// A 2 x 2 image: red, green in the top row, blue, white in the bottom row.
FrameImage quadrantImage() {
  FrameImage image;
  image.setSize(2, 2);
  const auto put = [&](int r, int c, std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    std::uint8_t* pixel = image.row(r) + c * 3;
    pixel[0] = blue;
    pixel[1] = green;
    pixel[2] = red;
  };
  put(0, 0, 255, 0, 0);
  put(0, 1, 0, 255, 0);
  put(1, 0, 0, 0, 255);
  put(1, 1, 255, 255, 255);
  return image;
}

FrameImage solidImage(int width, int height, std::uint8_t red, std::uint8_t green,
                      std::uint8_t blue) {
  FrameImage image;
  image.setSize(width, height);
  for (int r = 0; r < height; ++r)
    for (int c = 0; c < width; ++c) {
      std::uint8_t* pixel = image.row(r) + c * 3;
      pixel[0] = blue;
      pixel[1] = green;
      pixel[2] = red;
    }
  return image;
}

std::string hex(COLORREF colour) {
  char text[16];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", GetRValue(colour), GetGValue(colour),
                GetBValue(colour));
  return text;
}

// The window the areas are placed on. One serves the whole program: without a
// window manager Wine takes seconds to destroy a window, so it is never
// destroyed before the program ends.
HWND testWindow() {
  static HWND window = [] {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"DirectDrawAreaTest";
    windowClass.hbrBackground = CreateSolidBrush(kBackground);
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    RegisterClassW(&windowClass);
    // Frameless, so that its client area is the whole window.
    return CreateWindowExW(WS_EX_TOPMOST, L"DirectDrawAreaTest", L"DirectDrawAreaTest",
                           WS_POPUP | WS_VISIBLE, 0, 0, kClientWidth, kClientHeight, nullptr,
                           nullptr, GetModuleHandleW(nullptr), nullptr);
  }();
  return window;
}

class DirectDrawAreaTest : public ::testing::Test {
 protected:
  void SetUp() override { placeWindow(40, 50, kClientWidth, kClientHeight); }

  // Moves the window and paints it afresh with its background.
  void placeWindow(int left, int top, int width, int height) {
    window_ = testWindow();
    ASSERT_NE(window_, nullptr);
    SetWindowPos(window_, HWND_TOPMOST, left, top, width, height, SWP_SHOWWINDOW);
    SetForegroundWindow(window_);
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    pumpMessages();
    ASSERT_EQ(hex(kBackground), hex(screenPixel(kClientWidth / 2, kClientHeight / 2)));
  }

  std::uintptr_t form() const { return reinterpret_cast<std::uintptr_t>(window_); }

  // The settings dialog's configuration.
  static void configureWindowed(DirectDrawArea& area) {
    area.Options = kWindowedOptions;
    area.Display.width = 400;
    area.Display.height = 300;
    area.Display.bitCount = 32;
    area.Display.fixedRatio = true;
    area.SurfaceWidth = 400;
    area.SurfaceHeight = 300;
  }

  // The colour on the screen at a point of the window's client area.
  COLORREF screenPixel(int x, int y) {
    pumpMessages();
    POINT point{x, y};
    ClientToScreen(window_, &point);
    HDC screen = GetDC(nullptr);
    const COLORREF colour = GetPixel(screen, point.x, point.y);
    ReleaseDC(nullptr, screen);
    return colour;
  }

  // The colour at a point of the area, in area coordinates.
  COLORREF areaPixel(int x, int y) { return screenPixel(kPlacement.left + x, kPlacement.top + y); }

  HWND window_ = nullptr;
};

#define EXPECT_COLOUR(expected, actual) EXPECT_EQ(hex(expected), hex(actual))

// ---------------------------------------------------------------------------
// Set-up and shut-down

TEST_F(DirectDrawAreaTest, SetUpWithoutAFormFailsWithFormNotFound) {
  DirectDrawArea area(0, kPlacement);
  area.Options = kWindowedOptions;
  area.SurfaceWidth = 400;
  area.SurfaceHeight = 300;
  try {
    area.SetUp();
    FAIL() << "SetUp without a form succeeded";
  } catch (const DrawingAreaError& error) {
    EXPECT_STREQ(error.what(), kFormNotFoundMessage);
  }
  EXPECT_FALSE(area.IsReady());
}

TEST_F(DirectDrawAreaTest, BitCountOtherThan8_16_24_32IsRefused) {
  DirectDrawArea area(form(), kPlacement);
  configureWindowed(area);
  try {
    area.setBitCount(4);
    FAIL() << "a bit count of 4 was accepted";
  } catch (const DrawingAreaError& error) {
    EXPECT_STREQ(error.what(), kBitCountMessage);
  }
  EXPECT_EQ(area.Display.bitCount, 32);
}

TEST_F(DirectDrawAreaTest, WindowedSetUpIsReadyUntilShutDown) {
  DirectDrawArea area(form(), kPlacement);
  configureWindowed(area);
  EXPECT_FALSE(area.IsReady());
  area.SetUp();
  EXPECT_TRUE(area.IsReady());
  area.SetUp();  // a second set-up replaces the first
  EXPECT_TRUE(area.IsReady());
  area.ShutDown();
  EXPECT_FALSE(area.IsReady());
  area.ShutDown();  // nothing to end
  EXPECT_FALSE(area.IsReady());
  EXPECT_EQ(area.SurfaceWidth, 400) << "shutting down keeps the surface size";
  EXPECT_EQ(area.SurfaceHeight, 300);
}

TEST_F(DirectDrawAreaTest, FormDestroyedShutsDown) {
  DirectDrawArea area(form(), kPlacement);
  configureWindowed(area);
  area.SetUp();
  ASSERT_TRUE(area.IsReady());
  area.FormDestroyed();
  EXPECT_FALSE(area.IsReady());
}

TEST_F(DirectDrawAreaTest, SetUpFailsForAnEmptySurfaceAndStaysShutDown) {
  DirectDrawArea area(form(), kPlacement);
  configureWindowed(area);
  area.SurfaceWidth = 0;
  try {
    area.SetUp();
    FAIL() << "SetUp made a surface 0 pixels wide";
  } catch (const DrawingAreaError& error) {
    EXPECT_EQ(std::string(error.what()), cannotBeMadeMessage("Surface"));
  }
  EXPECT_FALSE(area.IsReady());
}

// ---------------------------------------------------------------------------
// Showing frames in a window

TEST_F(DirectDrawAreaTest, ShowSurfaceStretchesTheImageOverTheArea) {
  DirectDrawArea area(form(), kPlacement);
  configureWindowed(area);
  area.SetUp();
  ASSERT_TRUE(area.IsReady());
  area.ClearSurface(0);
  area.LoadImage(quadrantImage());
  area.ShowSurface();
  // Each image pixel covers a 200 x 150 quarter of the area; the centres of the
  // quarters are far from where a smoothing stretch could blend them.
  EXPECT_COLOUR(RGB(255, 0, 0), areaPixel(100, 75)) << "row 0 is the top line";
  EXPECT_COLOUR(RGB(0, 255, 0), areaPixel(300, 75));
  EXPECT_COLOUR(RGB(0, 0, 255), areaPixel(100, 225));
  EXPECT_COLOUR(RGB(255, 255, 255), areaPixel(300, 225));
  EXPECT_COLOUR(RGB(255, 0, 0), areaPixel(3, 3)) << "the area starts at its placement";
  EXPECT_COLOUR(RGB(255, 255, 255), areaPixel(396, 296)) << "and covers its full size";
  // Outside the area the window keeps its own background.
  EXPECT_COLOUR(kBackground, screenPixel(kPlacement.left - 5, kPlacement.top + 10));
  EXPECT_COLOUR(kBackground, screenPixel(kPlacement.left + 10, kPlacement.top - 5));
  EXPECT_COLOUR(kBackground, screenPixel(kPlacement.left + 404, kPlacement.top + 100));
  EXPECT_COLOUR(kBackground, screenPixel(kPlacement.left + 100, kPlacement.top + 304));
}

TEST_F(DirectDrawAreaTest, AChildAreaSetsTheLevelOnItsTopLevelWindowAndDrawsInTheChild) {
  // The settings dialog's preview is a child window of its own. DirectDraw wants the
  // application's top-level window for the cooperative level; the child still
  // clips the drawing and places it.
  HWND child = CreateWindowExW(0, L"DirectDrawAreaTest", L"", WS_CHILD | WS_VISIBLE,
                               kPlacement.left, kPlacement.top, 400, 300, window_, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(child, nullptr);
  std::vector<std::pair<HWND, DWORD>> levels;
  {
    DirectDrawArea area(reinterpret_cast<std::uintptr_t>(child), AreaPlacement{0, 0, 400, 300});
    area.setCooperativeLevelCall([&](void* directDraw, std::uintptr_t window, std::uint32_t flags) {
      levels.emplace_back(reinterpret_cast<HWND>(window), flags);
      return static_cast<long>(static_cast<IDirectDraw7*>(directDraw)
                                   ->SetCooperativeLevel(reinterpret_cast<HWND>(window), flags));
    });
    configureWindowed(area);
    area.SetUp();
    ASSERT_TRUE(area.IsReady());
    ASSERT_EQ(levels.size(), 1u);
    EXPECT_EQ(levels[0].first, window_) << "the level is set on the child window";
    EXPECT_EQ(levels[0].second, static_cast<DWORD>(DDSCL_NORMAL));

    area.ClearSurface(0);
    area.LoadImage(quadrantImage());
    area.ShowSurface();
    EXPECT_COLOUR(RGB(255, 0, 0), areaPixel(100, 75)) << "the frame is placed in the child";
    EXPECT_COLOUR(RGB(255, 255, 255), areaPixel(300, 225));
    EXPECT_COLOUR(kBackground, screenPixel(kPlacement.left - 5, kPlacement.top + 10));
  }
  DestroyWindow(child);
}

TEST_F(DirectDrawAreaTest, ImageIsCopiedUnscaledAtItsOwnSize) {
  // An image of the surface's own size, with one odd pixel: it must land on
  // exactly one screen pixel.
  DirectDrawArea area(form(), kPlacement);
  configureWindowed(area);
  area.SetUp();
  FrameImage image = solidImage(400, 300, 0, 0, 0);
  std::uint8_t* pixel = image.row(100) + 250 * 3;
  pixel[0] = 0x40;  // blue
  pixel[1] = 0x80;  // green
  pixel[2] = 0xC0;  // red
  area.LoadImage(image);
  area.ShowSurface();
  EXPECT_COLOUR(RGB(0xC0, 0x80, 0x40), areaPixel(250, 100));
  EXPECT_COLOUR(RGB(0, 0, 0), areaPixel(249, 100));
  EXPECT_COLOUR(RGB(0, 0, 0), areaPixel(251, 100));
  EXPECT_COLOUR(RGB(0, 0, 0), areaPixel(250, 99));
  EXPECT_COLOUR(RGB(0, 0, 0), areaPixel(250, 101));
}

TEST_F(DirectDrawAreaTest, ClearSurfaceBlanksTheLoadedImage) {
  DirectDrawArea area(form(), kPlacement);
  configureWindowed(area);
  area.SetUp();
  area.LoadImage(solidImage(3, 3, 255, 255, 255));
  area.ShowSurface();
  ASSERT_EQ(hex(RGB(255, 255, 255)), hex(areaPixel(200, 150)));
  area.ClearSurface(0);
  area.ShowSurface();
  EXPECT_COLOUR(RGB(0, 0, 0), areaPixel(200, 150));
  EXPECT_COLOUR(RGB(0, 0, 0), areaPixel(10, 10));
}

TEST_F(DirectDrawAreaTest, SetUpShowsABlackSurface) {
  DirectDrawArea area(form(), kPlacement);
  configureWindowed(area);
  area.SetUp();
  area.ShowSurface();
  EXPECT_COLOUR(RGB(0, 0, 0), areaPixel(200, 150));
  EXPECT_COLOUR(kBackground, screenPixel(kPlacement.left - 5, kPlacement.top + 10));
}

TEST_F(DirectDrawAreaTest, AnEmptyImageLeavesTheLastFrame) {
  DirectDrawArea area(form(), kPlacement);
  configureWindowed(area);
  area.SetUp();
  area.LoadImage(quadrantImage());
  FrameImage empty;
  empty.setSize(0, 5);
  area.LoadImage(empty);
  EXPECT_TRUE(area.IsReady());
  area.ShowSurface();
  EXPECT_COLOUR(RGB(255, 0, 0), areaPixel(100, 75));
  EXPECT_COLOUR(RGB(255, 255, 255), areaPixel(300, 225));
}

TEST_F(DirectDrawAreaTest, RepaintShowsTheLastFrameAgain) {
  DirectDrawArea area(form(), kPlacement);
  configureWindowed(area);
  area.SetUp();
  area.LoadImage(quadrantImage());
  area.ShowSurface();
  ASSERT_EQ(hex(RGB(0, 255, 0)), hex(areaPixel(300, 75)));
  // Something else paints over the area.
  HDC context = GetDC(window_);
  HBRUSH yellow = CreateSolidBrush(RGB(255, 255, 0));
  RECT whole{0, 0, kClientWidth, kClientHeight};
  FillRect(context, &whole, yellow);
  DeleteObject(yellow);
  ReleaseDC(window_, context);
  ASSERT_EQ(hex(RGB(255, 255, 0)), hex(areaPixel(300, 75)));
  area.Repaint();
  EXPECT_COLOUR(RGB(0, 255, 0), areaPixel(300, 75));
  EXPECT_COLOUR(RGB(0, 0, 255), areaPixel(100, 225));
}

TEST_F(DirectDrawAreaTest, NothingIsShownWhenNotSetUp) {
  DirectDrawArea area(form(), kPlacement);
  configureWindowed(area);
  area.SetUp();
  area.LoadImage(quadrantImage());
  area.ShutDown();
  area.LoadImage(quadrantImage());
  area.ShowSurface();
  area.Repaint();
  EXPECT_COLOUR(kBackground, areaPixel(100, 75));
}

// ---------------------------------------------------------------------------
// Full screen

constexpr AreaPlacement kFullScreenPlacement{0, 0, 0, 0, true};

class FullScreenTest : public DirectDrawAreaTest {
 protected:
  void SetUp() override {
    screenWidth_ = GetSystemMetrics(SM_CXSCREEN);
    screenHeight_ = GetSystemMetrics(SM_CYSCREEN);
    HDC screen = GetDC(nullptr);
    bitCount_ = GetDeviceCaps(screen, BITSPIXEL);
    ReleaseDC(nullptr, screen);
    // The full-screen form: the whole screen is its client area.
    placeWindow(0, 0, screenWidth_, screenHeight_);
  }

  // The full-screen form's configuration after its set-up sequence.
  void configureFullScreen(DirectDrawArea& area) {
    area.Options = doAllowReboot | doWaitVBlank | doStretch | doCenter | doDirectX7Mode |
                   doHardware | doSelectDriver | doFullScreen;
    area.Display.fixedBitCount = true;
    area.Display.fixedRatio = true;
    area.Display.width = screenWidth_;
    area.Display.height = screenHeight_;
    area.setBitCount(bitCount_);
    area.SurfaceWidth = screenWidth_;
    area.SurfaceHeight = screenHeight_;
  }

  std::string setUpFailure(DirectDrawArea& area) {
    try {
      area.SetUp();
    } catch (const DrawingAreaError& error) {
      return error.what();
    }
    return "(no failure)";
  }

  int screenWidth_ = 0;
  int screenHeight_ = 0;
  int bitCount_ = 0;
};

TEST_F(FullScreenTest, ShowsTheFrameOverTheWholeScreenAtTheDesktopMode) {
  DirectDrawArea area(form(), kFullScreenPlacement);
  configureFullScreen(area);
  area.SurfaceWidth = 1;  // with autoSize the surface follows the area
  area.SetUp();
  ASSERT_TRUE(area.IsReady());
  EXPECT_EQ(area.SurfaceWidth, screenWidth_);
  EXPECT_EQ(area.SurfaceHeight, screenHeight_);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), screenWidth_) << "the desktop's mode is kept";
  area.ClearSurface(0);
  area.LoadImage(quadrantImage());
  area.ShowSurface();
  const int quarterX = screenWidth_ / 4;
  const int quarterY = screenHeight_ / 4;
  EXPECT_COLOUR(RGB(255, 0, 0), screenPixel(quarterX, quarterY));
  EXPECT_COLOUR(RGB(0, 255, 0), screenPixel(3 * quarterX, quarterY));
  EXPECT_COLOUR(RGB(0, 0, 255), screenPixel(quarterX, 3 * quarterY));
  EXPECT_COLOUR(RGB(255, 255, 255), screenPixel(3 * quarterX, 3 * quarterY));
  EXPECT_COLOUR(RGB(255, 0, 0), screenPixel(1, 1));
  EXPECT_COLOUR(RGB(255, 255, 255), screenPixel(screenWidth_ - 2, screenHeight_ - 2));
  area.ShutDown();
  EXPECT_FALSE(area.IsReady());
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), screenWidth_);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), screenHeight_);
}

TEST_F(FullScreenTest, AModeWithoutSizeCannotBeSet) {
  DirectDrawArea area(form(), kFullScreenPlacement);
  configureFullScreen(area);
  area.Display.width = 0;
  EXPECT_EQ(setUpFailure(area), displayModeMessage(0, screenHeight_, bitCount_));
  EXPECT_FALSE(area.IsReady());
  area.Display.width = screenWidth_;
  area.Display.height = -1;
  EXPECT_EQ(setUpFailure(area), displayModeMessage(screenWidth_, -1, bitCount_));
}

TEST_F(FullScreenTest, AnUnusableBitCountCannotBeSet) {
  DirectDrawArea area(form(), kFullScreenPlacement);
  configureFullScreen(area);
  area.Display.bitCount = 4;  // past the setter, as a stored value could be
  EXPECT_EQ(setUpFailure(area), displayModeMessage(screenWidth_, screenHeight_, 4));
  EXPECT_FALSE(area.IsReady());
}

TEST_F(FullScreenTest, AModeLargerThanAnyOfferedCannotBeSet) {
  DirectDrawArea area(form(), kFullScreenPlacement);
  configureFullScreen(area);
  area.Display.width = 20000;
  area.Display.height = 15000;
  EXPECT_EQ(setUpFailure(area), displayModeMessage(20000, 15000, bitCount_));
  EXPECT_FALSE(area.IsReady());
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), screenWidth_) << "the failure gives the display back";
  // The display can be taken again afterwards.
  area.Display.width = screenWidth_;
  area.Display.height = screenHeight_;
  area.SetUp();
  EXPECT_TRUE(area.IsReady());
}

// The smallest mode with the screen's own ratio (4 x 3 for 1024 x 768, 5 x 4 for
// 1280 x 1024): no display offers it, and the screen's own mode is larger with the
// same ratio.
SIZE smallestModeOfTheScreensRatio(int width, int height) {
  const int divisor = std::gcd(width, height);
  return SIZE{width / divisor, height / divisor};
}

TEST_F(FullScreenTest, ARefusedModeFallsBackToALargerOneOfTheSameRatio) {
  // The choice falls back to an offered mode at least that large with the ratio.
  DirectDrawArea area(form(), kFullScreenPlacement);
  configureFullScreen(area);
  const SIZE tiny = smallestModeOfTheScreensRatio(screenWidth_, screenHeight_);
  area.Display.width = tiny.cx;
  area.Display.height = tiny.cy;
  area.SetUp();
  EXPECT_TRUE(area.IsReady());
  area.ShutDown();
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), screenWidth_);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), screenHeight_);
}

TEST_F(FullScreenTest, ARefusedModeOfAnotherRatioFallsBackToALargerOneOfTheSameDepth) {
  // No display offers 500 x 300 x 32, nor a larger mode with the ratio 5:3
  // here; any mode at least that large with 32 bits per pixel will do.
  DirectDrawArea area(form(), kFullScreenPlacement);
  configureFullScreen(area);
  if (screenWidth_ * 3 == screenHeight_ * 5) GTEST_SKIP() << "the screen's ratio is 5:3";
  area.Display.width = 500;
  area.Display.height = 300;
  area.SetUp();
  EXPECT_TRUE(area.IsReady());
  area.ShutDown();
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), screenWidth_);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), screenHeight_);
}

// True when the display offers a mode of the given depth.
bool displayOffersBitCount(int bitCount) {
  DEVMODEW mode{};
  mode.dmSize = sizeof mode;
  for (DWORD i = 0; EnumDisplaySettingsW(nullptr, i, &mode); ++i)
    if (static_cast<int>(mode.dmBitsPerPel) == bitCount) return true;
  return false;
}

TEST_F(FullScreenTest, TheRatioFallBackKeepsTheDepthOnlyWithFixedBitCount) {
  if (displayOffersBitCount(24)) GTEST_SKIP() << "the display offers 24 bits per pixel";
  DirectDrawArea area(form(), kFullScreenPlacement);
  configureFullScreen(area);
  const SIZE tiny = smallestModeOfTheScreensRatio(screenWidth_, screenHeight_);
  area.Display.width = tiny.cx;
  area.Display.height = tiny.cy;
  area.Display.bitCount = 24;
  // With a fixed bit count no mode fits: none has 24 bits per pixel.
  EXPECT_EQ(setUpFailure(area), displayModeMessage(tiny.cx, tiny.cy, 24));
  EXPECT_FALSE(area.IsReady());
  // Without, a mode of the same ratio and another depth does.
  area.Display.fixedBitCount = false;
  area.SetUp();
  EXPECT_TRUE(area.IsReady());
}

}  // namespace
}  // namespace glimmerweave::win32
