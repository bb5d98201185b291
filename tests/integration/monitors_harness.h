// What the cases with several monitors need besides the screen saver harness:
// the monitors as the system lists them, a window of the test's own painted in
// one colour, and a comparison of two pictures of the same frame stretched to
// different sizes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "screen_saver_harness.h"

namespace glimmerweave::integration {

// ---------------------------------------------------------------------------
// Monitors

struct Monitor {
  RECT area{};
  bool primary = false;
};

// The monitors as EnumDisplayMonitors lists them, in its order.
std::vector<Monitor> displayMonitors();
std::string describe(const std::vector<Monitor>& monitors);

bool overlap(const RECT& a, const RECT& b);
bool sameRect(const RECT& a, const RECT& b);
bool contains(const RECT& area, POINT point);

// The first monitor that is not the primary and does not overlap it, or nothing.
std::optional<RECT> monitorBesideThePrimary(const std::vector<Monitor>& monitors);

// Whether the cursor shows now, as the window that has the input sets it.
bool cursorShowing();

// ---------------------------------------------------------------------------
// A window of the test's own

// A visible top-level window of this test program over `area`, painted all in
// `colour` (0x00RRGGBB), above all others. Destroyed on destruction.
class ColourWindow {
 public:
  ColourWindow(const RECT& area, std::uint32_t colour);
  ColourWindow(const ColourWindow&) = delete;
  ColourWindow& operator=(const ColourWindow&) = delete;
  ~ColourWindow();

  HWND handle() const { return window_; }

 private:
  HWND window_ = nullptr;
  HBRUSH brush_ = nullptr;
};

// The share of pixels (0..1) of exactly `colour` (0x00RRGGBB).
double colourShare(const Screenshot& shot, std::uint32_t colour);

// ---------------------------------------------------------------------------
// Pictures of one frame

// Compares two pictures of one frame of `frameWidth` x `frameHeight` pixels,
// each stretched over a whole shot: for every frame pixel of a sparse grid,
// the colour where its centre lands in `a` is looked for where it or a frame
// pixel beside it lands in `b`. Returns the share (0..1) of those pixels whose
// colour was found there, within `tolerance` in every channel.
double sameFrameShare(const Screenshot& a, const Screenshot& b, int frameWidth, int frameHeight,
                      int tolerance);

}  // namespace glimmerweave::integration
