#include "windows_modes/full_screen_run.h"

#include <algorithm>
#include <utility>

#include "settings/settings_store.h"

namespace glimmerweave {

std::vector<ScreenRect> otherMonitorAreas(const std::vector<DisplayMonitor>& monitors,
                                          const ScreenRect& formArea) {
  ScreenRect primary = formArea;
  const auto flagged = std::find_if(monitors.begin(), monitors.end(),
                                    [](const DisplayMonitor& monitor) { return monitor.primary; });
  if (flagged != monitors.end()) primary = flagged->area;
  std::vector<ScreenRect> areas;
  for (const DisplayMonitor& monitor : monitors) {
    const ScreenRect& area = monitor.area;
    if (monitor.primary || area.empty() || area.within(primary) || area.within(formArea)) continue;
    if (std::find(areas.begin(), areas.end(), area) == areas.end()) areas.push_back(area);
  }
  return areas;
}

void FullScreenRun::holdFineTiming() {
  fineTiming_.hold(timer_.running() && !ended_ && modalLoops_ == 0);
}

template <class Loop>
auto FullScreenRun::inModalLoop(Loop loop) {
  // Its own loop runs meanwhile, not the form's: no tick comes, and a thread
  // held to fine timing there would only cost the system power.
  struct Open {
    explicit Open(FullScreenRun& owner) : run(owner) {
      ++run.modalLoops_;
      run.holdFineTiming();
    }
    ~Open() {
      --run.modalLoops_;
      run.holdFineTiming();
    }
    Open(const Open&) = delete;
    Open& operator=(const Open&) = delete;
    FullScreenRun& run;
  } open(*this);
  return loop();
}

void FullScreenRun::FormCreate() {
  FractalSettings& settings = fractals_.settings;
  const std::string loadError = loadSettingsForStartUp(settings, registry_);
  if (!loadError.empty()) reportError(loadError);
  fractals_.random.seedFromClock();
  ApplyRandomAlgorithm(settings, fractals_.random);
  DesktopBitCount = host_.desktopBitCount();
  host_.sizeFormToScreen(ScreenWidth, ScreenHeight);
  // Before the display is taken: a set-up that fails must not leave the other
  // monitors showing the desktop.
  coverOtherMonitors();
  fractals_.EngineBrightness = settings.Brightness;
  StartAnimation(fractals_);
  frameSizeForDetail(settings.Detail, 800, 600, fractals_.FrameWidth, fractals_.FrameHeight);
  image_.setSize(fractals_.FrameWidth, fractals_.FrameHeight);
  setUpSurface();
  startShowing();
}

void FullScreenRun::DXTimerTimer() {
  if (ended_) return;
  // An arithmetic error leaves a partial frame, which is shown as it is.
  ComputeFrame(fractals_);
  try {
    PresentFrame(area_, image_, fractals_.planes);
  } catch (const DrawingAreaError&) {
    frameFailed_ = true;
    throw;
  }
  if (!otherMonitors_.empty()) host_.showOnOtherMonitors(image_);
}

void FullScreenRun::FormKeyDown() {
  if (ended_) return;
  if (area_.IsReady()) {
    exitSequence();
    return;
  }
  if (!setUpAgain()) return;
  if (!showing_) startShowing();
}

void FullScreenRun::DXDrawMouseMove() {
  if (ended_) return;
  if (area_.IsReady()) {
    const CursorPoint p = host_.cursorPosition();
    if (p.x - StartCursorPos.x > 5 || StartCursorPos.x - p.x > 5 || StartCursorPos.y - p.y > 5 ||
        p.y - StartCursorPos.y > 5)
      exitSequence();
    return;
  }
  // The system also reports a movement when a window comes up under a cursor
  // that stands still (the form after an error box): only a real one sets up
  // again, since a set-up that fails now asks to leave.
  const CursorPoint p = host_.cursorPosition();
  if (p.x == lastCursor_.x && p.y == lastCursor_.y) return;
  lastCursor_ = p;
  if (!setUpAgain()) return;
  if (!showing_) {
    startShowing();
  } else {
    StartCursorPos = host_.cursorPosition();
  }
  host_.showDrawingArea();
}

void FullScreenRun::displayChanged() {
  if (ended_) return;
  // Placed again even where the areas stayed the same: the system may have
  // moved the windows while a monitor was away.
  coverOtherMonitors();
  releaseCursor(host_.cursorPosition());
}

void FullScreenRun::displayPowerChanged(bool on) {
  // A dimmed display is still seen. While it is off the timer stops, so that
  // the form's loop sleeps until a message comes instead of waking every tick.
  timer_.Enabled = on && !ended_;
  holdFineTiming();
}

void FullScreenRun::activeChanged(bool active) {
  timer_.setActive(active);
  holdFineTiming();
}

void FullScreenRun::reportError(const std::string& message) {
  inModalLoop([&] { host_.reportError(message); });
}

bool FullScreenRun::setUpAgain() {
  // A set-up whose frames then failed would only fail the same way: the input
  // asks to leave first, and a wrong password sets up again as usual.
  const bool asked = frameFailed_;
  if (asked) {
    exitSequence();
    if (ended_) return false;
  }
  try {
    setUpSurface();
  } catch (const DrawingAreaError&) {
    // A display that can never be set up must not hold the user: the input
    // asks to leave instead, and the failure is shown only if the run goes on.
    if (!asked) exitSequence();
    if (!ended_) throw;
    return false;
  }
  return true;
}

void FullScreenRun::setUpSurface() {
  // The set-up confines the cursor to the primary monitor, moving it there if
  // need be; the cursor goes back to where it stood, on whichever monitor.
  const CursorPoint before = host_.cursorPosition();
  lastCursor_ = before;
  try {
    SetUpFullScreenSurface(area_, ScreenGeometry{ScreenWidth, ScreenHeight, DesktopBitCount},
                           [this] { host_.centreForm(); });
  } catch (...) {
    releaseCursor(before);
    throw;
  }
  frameFailed_ = false;
  releaseCursor(before);
}

void FullScreenRun::releaseCursor(CursorPoint position) {
  // A single monitor keeps the display's own hold on the cursor.
  if (!otherMonitors_.empty()) host_.releaseCursor(position);
}

void FullScreenRun::startShowing() {
  StartCursorPos = host_.cursorPosition();
  host_.setScreenSaverRunning(true);
  host_.showCursor(false);
  showing_ = true;
}

void FullScreenRun::coverOtherMonitors() {
  std::vector<ScreenRect> areas =
      otherMonitorAreas(host_.monitors(), ScreenRect{0, 0, ScreenWidth, ScreenHeight});
  // A single monitor has nothing to cover and nothing to place again.
  if (areas.empty() && otherMonitors_.empty()) return;
  otherMonitors_ = std::move(areas);
  host_.coverOtherMonitors(otherMonitors_);
}

void FullScreenRun::exitSequence() {
  // Ended before the dialog's loop is over, so that a true answer does not
  // take fine timing again on the way out.
  inModalLoop([this] { ended_ = host_.verifyExitPassword(); });
  if (!ended_) return;
  timer_.Enabled = false;
  if (showing_) host_.showCursor(true);
  host_.hideForm();
  if (!otherMonitors_.empty()) {
    otherMonitors_.clear();
    host_.coverOtherMonitors(otherMonitors_);
  }
  if (showing_) host_.setScreenSaverRunning(false);
  host_.terminate();
}

}  // namespace glimmerweave
