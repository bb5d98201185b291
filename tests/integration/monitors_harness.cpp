#include "monitors_harness.h"

#include <algorithm>
#include <cstdlib>

namespace glimmerweave::integration {

// ---------------------------------------------------------------------------
// Monitors

namespace {

BOOL CALLBACK collectMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM parameter) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (GetMonitorInfoA(monitor, &info))
    reinterpret_cast<std::vector<Monitor>*>(parameter)->push_back(
        Monitor{info.rcMonitor, (info.dwFlags & MONITORINFOF_PRIMARY) != 0});
  return TRUE;
}

}  // namespace

std::vector<Monitor> displayMonitors() {
  std::vector<Monitor> monitors;
  EnumDisplayMonitors(nullptr, nullptr, collectMonitor, reinterpret_cast<LPARAM>(&monitors));
  return monitors;
}

std::string describe(const std::vector<Monitor>& monitors) {
  std::string text;
  for (const Monitor& monitor : monitors) {
    if (!text.empty()) text += ", ";
    text += describe(monitor.area);
    if (monitor.primary) text += " (primary)";
  }
  return text.empty() ? "none" : text;
}

bool overlap(const RECT& a, const RECT& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool sameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

bool contains(const RECT& area, POINT point) {
  return point.x >= area.left && point.x < area.right && point.y >= area.top &&
         point.y < area.bottom;
}

std::optional<RECT> monitorBesideThePrimary(const std::vector<Monitor>& monitors) {
  const auto primary = std::find_if(monitors.begin(), monitors.end(),
                                    [](const Monitor& monitor) { return monitor.primary; });
  if (primary == monitors.end()) return std::nullopt;
  for (const Monitor& monitor : monitors)
    if (!monitor.primary && !overlap(monitor.area, primary->area)) return monitor.area;
  return std::nullopt;
}

bool cursorShowing() {
  CURSORINFO info{};
  info.cbSize = sizeof info;
  return GetCursorInfo(&info) && (info.flags & CURSOR_SHOWING) != 0;
}

// ---------------------------------------------------------------------------
// A window of the test's own

namespace {

constexpr const char* kColourWindowClass = "GlimmerweaveTestColour";

LRESULT CALLBACK colourProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ERASEBKGND) {
    RECT client{};
    GetClientRect(window, &client);
    const auto brush = reinterpret_cast<HBRUSH>(GetWindowLongPtrA(window, GWLP_USERDATA));
    FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
    return 1;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

ColourWindow::ColourWindow(const RECT& area, std::uint32_t colour) {
  if (!registerTestWindowClass(kColourWindowClass, colourProcedure)) return;
  brush_ = CreateSolidBrush(RGB((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF));
  window_ = CreateWindowExA(WS_EX_TOPMOST, kColourWindowClass, "Glimmerweave test colour", WS_POPUP,
                            area.left, area.top, area.right - area.left, area.bottom - area.top,
                            nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (!window_) return;
  // Set before the window is shown, so that its first paint has the brush.
  SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(brush_));
  ShowWindow(window_, SW_SHOW);
  UpdateWindow(window_);
  pumpMessages();
}

ColourWindow::~ColourWindow() {
  if (window_) DestroyWindow(window_);
  if (brush_) DeleteObject(brush_);
  pumpMessages();
}

double colourShare(const Screenshot& shot, std::uint32_t colour) {
  if (shot.pixels.empty()) return 0;
  const auto count = std::count(shot.pixels.begin(), shot.pixels.end(), colour);
  return static_cast<double>(count) / static_cast<double>(shot.pixels.size());
}

// ---------------------------------------------------------------------------
// Pictures of one frame

double sameFrameShare(const Screenshot& a, const Screenshot& b, int frameWidth, int frameHeight,
                      int tolerance) {
  if (a.pixels.empty() || b.pixels.empty() || frameWidth <= 0 || frameHeight <= 0) return 0;
  // The pixel of `shot` at which the centre of frame pixel (x, y) lands.
  const auto at = [&](const Screenshot& shot, int x, int y) {
    const auto land = [](int index, int frameSize, int shotSize) {
      return static_cast<int>((2LL * index + 1) * shotSize / (2LL * frameSize));
    };
    return shot.pixels[static_cast<std::size_t>(land(y, frameHeight, shot.height)) * shot.width +
                       land(x, frameWidth, shot.width)];
  };
  const auto alike = [&](std::uint32_t p, std::uint32_t q) {
    for (const int shift : {0, 8, 16})
      if (std::abs(static_cast<int>((p >> shift) & 0xFF) - static_cast<int>((q >> shift) & 0xFF)) >
          tolerance)
        return false;
    return true;
  };
  constexpr int kStep = 7;  // every 7th frame pixel in each direction
  std::size_t points = 0, matched = 0;
  for (int y = 0; y < frameHeight; y += kStep) {
    for (int x = 0; x < frameWidth; x += kStep) {
      const std::uint32_t colour = at(a, x, y);
      bool found = false;
      // Two stretches may round the place of a frame pixel differently by one.
      for (int dy = -1; dy <= 1 && !found; ++dy)
        for (int dx = -1; dx <= 1 && !found; ++dx)
          found = alike(colour, at(b, std::clamp(x + dx, 0, frameWidth - 1),
                                   std::clamp(y + dy, 0, frameHeight - 1)));
      ++points;
      if (found) ++matched;
    }
  }
  return static_cast<double>(matched) / static_cast<double>(points);
}

}  // namespace glimmerweave::integration
