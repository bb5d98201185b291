// The full-screen run: the screen saver proper.
//
// FormCreate loads the settings, starts the animation and takes the display;
// then every 40 ms tick (DXTimerTimer) computes a frame and shows it stretched
// over the screen. A key press, or a mouse movement of more than 5 pixels from
// where the cursor stood at the start, asks the exit check; when it allows,
// the cursor comes back, the system learns that the screen saver stopped and
// the application terminates. The Win32 layer owns the window and forwards its
// events here; errors thrown from a handler are shown by that layer.
#pragma once

#include <cstdint>
#include <string>

#include "engine/engine.h"
#include "presentation/drawing_area.h"
#include "presentation/frame_image.h"
#include "settings/registry.h"

namespace glimmerweave {

struct CursorPoint {
  std::int32_t x = 0;
  std::int32_t y = 0;
};

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

  bool ended() const { return ended_; }
  CursorPoint StartCursorPos{};
  int ScreenWidth = 0;
  int ScreenHeight = 0;
  int DesktopBitCount = 0;
  const FrameImage& image() const { return image_; }

 private:
  void setUpSurface();
  // After an input found the area not ready: sets it up again, or, when that
  // fails, runs the exit sequence. False when the set-up failed.
  bool setUpAgain();
  // Cursor position, running flag and hidden cursor: the steps that follow a
  // successful set-up at creation, and that a later successful set-up
  // completes when creation could not.
  void startShowing();
  // Returns after a false answer; otherwise ends the run.
  void exitSequence();

  Fractals& fractals_;
  SettingsRegistry& registry_;
  DrawingArea& area_;
  FullScreenHost& host_;
  FrameImage image_;
  bool showing_ = false;
  bool ended_ = false;
};

}  // namespace glimmerweave
