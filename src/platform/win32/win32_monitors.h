// The monitors of the desktop, and the windows that cover those the full-screen
// form does not. Each window is borderless and top-most, shows no cursor of
// its own, paints the last frame it was given stretched to its size (black
// before the first frame, or when GDI cannot draw it), and passes key presses
// and mouse movements on to the full-screen run.
//
// Not here: which monitors get a window (the run decides), the primary
// monitor's drawing area, and the cursor's visibility (the run's ShowCursor
// calls count for every window of the thread).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "presentation/frame_image.h"
#include "windows_modes/full_screen_run.h"

namespace glimmerweave::win32 {

inline constexpr const char* kMonitorWindowClass = "GlimmerweaveMonitor";

// The monitors as EnumDisplayMonitors lists them, in its order.
std::vector<DisplayMonitor> listMonitors();

class MonitorWindows {
 public:
  // What the windows pass on; called on the user-interface thread.
  struct Input {
    std::function<void()> keyDown;
    std::function<void()> mouseMove;
  };

  // `owner`: the full-screen form's window (an HWND). It owns the windows, so
  // they stay above it and the windows it owns later, such as the password
  // dialog, come up above them.
  MonitorWindows(std::uintptr_t owner, Input input);
  MonitorWindows(const MonitorWindows&) = delete;
  MonitorWindows& operator=(const MonitorWindows&) = delete;
  ~MonitorWindows();

  // One window over each area and no other: windows are made, placed again or
  // destroyed as needed.
  void cover(const std::vector<ScreenRect>& areas);
  // Draws the image stretched over every window now, and again whenever a
  // window repaints; the image must live as long as the windows show it.
  void show(const FrameImage& image);

  struct State;

 private:
  std::unique_ptr<State> state_;
};

}  // namespace glimmerweave::win32
