// The full-screen run: the screen saver proper.
//
// FormCreate loads the settings, starts the animation and takes the display;
// then every 40 ms tick (DXTimerTimer) computes a frame and shows it stretched
// over the screen. A key press, or a mouse movement of more than 5 pixels from
// where the cursor stood at the start, asks the exit check; when it allows,
// the cursor comes back, the system learns that the screen saver stopped and
// the application terminates. The Win32 layer owns the window and forwards its
// events here; errors thrown from a handler are shown by that layer.
//
// The form covers the primary monitor. Every other monitor gets a window of its
// own for the whole run, which shows each tick's frame stretched to it; key
// presses and mouse movements over those windows reach FormKeyDown and
// DXDrawMouseMove as the form's do, so the cursor is kept free to reach them
// (the exclusive display would hold it on the primary monitor). The monitors
// are read once at creation and again when the system reports a display change.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "presentation/drawing_area.h"
#include "presentation/frame_image.h"
#include "settings/registry.h"

namespace glimmerweave {

struct CursorPoint {
  std::int32_t x = 0;
  std::int32_t y = 0;
};

// A rectangle in screen pixels; right and bottom lie just outside it.
struct ScreenRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;

  bool empty() const { return right <= left || bottom <= top; }
  bool within(const ScreenRect& other) const {
    return left >= other.left && top >= other.top && right <= other.right && bottom <= other.bottom;
  }
  friend bool operator==(const ScreenRect&, const ScreenRect&) = default;
};

// One monitor as the system lists it.
struct DisplayMonitor {
  ScreenRect area;
  bool primary = false;
};

// The areas that need a window of their own besides the form, which covers
// `formArea`: every monitor but the primary one, without those that lie within
// the primary monitor or the form (a mirror of it is covered already), without
// empty ones, and each area once, in the system's order.
std::vector<ScreenRect> otherMonitorAreas(const std::vector<DisplayMonitor>& monitors,
                                          const ScreenRect& formArea);

// What the run asks of the form, the cursor and the system.
class FullScreenHost {
 public:
  virtual ~FullScreenHost() = default;
  virtual int desktopBitCount() = 0;
  // Gives the form's client area the screen's size and reads it back.
  virtual void sizeFormToScreen(int& width, int& height) = 0;
  virtual void centreForm() = 0;
  virtual void showDrawingArea() = 0;
  virtual void hideForm() = 0;
  virtual void terminate() = 0;
  virtual CursorPoint cursorPosition() = 0;
  virtual void showCursor(bool show) = 0;
  virtual void setScreenSaverRunning(bool running) = 0;
  // The exit check, with the form's window as the password dialog's owner.
  virtual bool verifyExitPassword() = 0;
  // Shows an error that the run reports and survives.
  virtual void reportError(const std::string& message) = 0;
  // The monitors as the system lists them now.
  virtual std::vector<DisplayMonitor> monitors() = 0;
  // Gives each of `areas` a borderless top-most window of its own covering it,
  // black until a frame is shown, and keeps no other: windows are made, placed
  // again or closed as needed.
  virtual void coverOtherMonitors(const std::vector<ScreenRect>& areas) = 0;
  // Shows the image stretched over each of those windows.
  virtual void showOnOtherMonitors(const FrameImage& image) = 0;
  // Lets the cursor move over every monitor and puts it at `position`: taking
  // the display exclusively confines it to the primary monitor.
  virtual void releaseCursor(CursorPoint position) = 0;
};

class FullScreenRun {
 public:
  FullScreenRun(Fractals& fractals, SettingsRegistry& registry, DrawingArea& area,
                FullScreenHost& host)
      : fractals_(fractals), registry_(registry), area_(area), host_(host) {}

  void FormCreate();
  void DXTimerTimer();
  void FormKeyDown();
  void DXDrawMouseMove();
  // The system reported a display change: the monitors are read again and
  // their windows placed again.
  void displayChanged();

  bool ended() const { return ended_; }
  CursorPoint StartCursorPos{};
  int ScreenWidth = 0;
  int ScreenHeight = 0;
  int DesktopBitCount = 0;
  const FrameImage& image() const { return image_; }
  // The areas the windows on the other monitors cover now.
  const std::vector<ScreenRect>& otherMonitors() const { return otherMonitors_; }

 private:
  void setUpSurface();
  // After an input found the area not ready: sets it up again, or, when that
  // fails, runs the exit sequence. False when the set-up failed.
  bool setUpAgain();
  // Cursor position, running flag and hidden cursor: the steps that follow a
  // successful set-up at creation, and that a later successful set-up
  // completes when creation could not.
  void startShowing();
  // Reads the monitors and covers those the form does not.
  void coverOtherMonitors();
  // With other monitors covered: lets the cursor reach them, at `position`.
  void releaseCursor(CursorPoint position);
  // Returns after a false answer; otherwise ends the run.
  void exitSequence();

  Fractals& fractals_;
  SettingsRegistry& registry_;
  DrawingArea& area_;
  FullScreenHost& host_;
  FrameImage image_;
  std::vector<ScreenRect> otherMonitors_;
  bool showing_ = false;
  bool ended_ = false;
};

}  // namespace glimmerweave
