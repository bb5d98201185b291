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
//
// While the system reports the display off, nobody sees a frame: the frame
// timer stops, so the animation stands where it was and goes on from there at
// the first tick after the display comes back.
//
// Fine timing (timing_service.h) is held while the frame timer runs, so that
// the ticks come evenly 40 ms apart rather than on the system timer's coarse
// beat. It is given back whenever the timer stops (the application inactive,
// the display off, the run ended) and while the form's thread sits in a modal
// loop of its own (the password dialog, an error box), where no tick comes.
//
// The ways out. Keys and mouse movements end a run only once its drawing area
// is ready; until then they set the area up again. Every way a run could
// otherwise come up and stay with no way out, and what lets the user out:
//
// - A drawing area that can never be set up (a desktop of 4 bits per pixel,
//   DirectDraw missing or refusing, no display mode that fits): an input whose
//   set-up fails again runs the exit sequence. With the password option on the
//   password is asked first; a wrong one shows the failure and the run goes on,
//   and the next input asks again. The cursor stays visible, since the run
//   hides it only once a set-up succeeded. A mouse message without a movement
//   (the system sends one when the form comes up under the cursor) is no input.
// - A drawing area that sets up but fails again at every frame (the tick
//   cannot make the surface for the frame): after such a failure the next
//   input that finds the area not ready runs the exit sequence instead of
//   setting up an area that would only fail again; a wrong password sets it up
//   again as usual.
// - An error box (settings that cannot be read, a failed set-up or frame): at
//   creation the form is still hidden while the box is open; later the box is
//   owned by the form, so it comes up above it, takes the foreground for keys
//   and shows the cursor while it is open (win32_app.h). Its OK ends the
//   handler, and the cases above apply.
// - A password component that never returns: a watch outside the waiting
//   handler finds it hung when it has shown no window that answers for 15 s;
//   the system's lock then takes over and the program ends, or, where the
//   system cannot lock, a notice above the run says to press Ctrl+Alt+Delete,
//   which the display leaves working (doAllowReboot). The run is never ended
//   without the password (exit_check.h), and the system's stand-in for a hung
//   window, which could be closed without one, is switched off for the run.
// - The wrong password, again and again: the design's lock, not a trap;
//   Ctrl+Alt+Delete is the system's way out, as for any locked screen.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "presentation/drawing_area.h"
#include "presentation/frame_image.h"
#include "presentation/frame_timer.h"
#include "settings/registry.h"
#include "windows_modes/timing_service.h"

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
                TimingService& timing, FullScreenHost& host)
      : fractals_(fractals), registry_(registry), area_(area), host_(host), fineTiming_(timing) {}

  void FormCreate();
  void DXTimerTimer();
  void FormKeyDown();
  void DXDrawMouseMove();
  // The system reported a display change: the monitors are read again and
  // their windows placed again.
  void displayChanged();
  // The system reported the display's power: off (false), or on or dimmed.
  void displayPowerChanged(bool on);
  // The application was activated or deactivated.
  void activeChanged(bool active);
  // Shows an error that ended one of the run's handlers.
  void reportError(const std::string& message);

  bool ended() const { return ended_; }
  CursorPoint StartCursorPos{};
  int ScreenWidth = 0;
  int ScreenHeight = 0;
  int DesktopBitCount = 0;
  const FrameImage& image() const { return image_; }
  // The form's frame timer `DXTimer`: the form's loop ticks it, the run starts
  // and stops it. Its OnTimer is the form's to wire to DXTimerTimer.
  FrameTimer& timer() { return timer_; }
  // The areas the windows on the other monitors cover now.
  const std::vector<ScreenRect>& otherMonitors() const { return otherMonitors_; }

 private:
  void setUpSurface();
  // After an input found the area not ready: sets it up again, or, when that
  // fails or the last set-up's frames failed, runs the exit sequence. False
  // when the area was not set up.
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
  // Holds fine timing exactly while the timer runs outside a modal loop.
  void holdFineTiming();
  // Runs `loop`, which opens a modal loop (the password dialog, an error box),
  // with fine timing given back meanwhile.
  template <class Loop>
  auto inModalLoop(Loop loop);

  Fractals& fractals_;
  SettingsRegistry& registry_;
  DrawingArea& area_;
  FullScreenHost& host_;
  FrameTimer timer_;
  FineTimingHold fineTiming_;
  int modalLoops_ = 0;
  FrameImage image_;
  std::vector<ScreenRect> otherMonitors_;
  bool showing_ = false;
  bool ended_ = false;
  // A frame could not be shown since the last successful set-up.
  bool frameFailed_ = false;
  // Where the cursor stood at the last set-up, or at the last movement that
  // found the area not ready.
  CursorPoint lastCursor_{};
};

}  // namespace glimmerweave
