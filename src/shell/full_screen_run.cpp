#include "shell/full_screen_run.h"

#include "settings/settings_store.h"

namespace glimmerweave {

void FullScreenRun::FormCreate() {
  FractalSettings& settings = fractals_.settings;
  const std::string loadError = loadSettingsForStartUp(settings, registry_);
  if (!loadError.empty()) host_.reportError(loadError);
  fractals_.random.seedFromClock();
  ApplyRandomAlgorithm(settings, fractals_.random);
  DesktopBitCount = host_.desktopBitCount();
  host_.sizeFormToScreen(ScreenWidth, ScreenHeight);
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
  PresentFrame(area_, image_, fractals_.planes);
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
  if (!setUpAgain()) return;
  if (!showing_) {
    startShowing();
  } else {
    StartCursorPos = host_.cursorPosition();
  }
  host_.showDrawingArea();
}

bool FullScreenRun::setUpAgain() {
  try {
    setUpSurface();
  } catch (const DrawingAreaError&) {
    // A display that can never be set up must not hold the user: the input
    // asks to leave instead, and the failure is shown only if the run goes on.
    exitSequence();
    if (!ended_) throw;
    return false;
  }
  return true;
}

void FullScreenRun::setUpSurface() {
  SetUpFullScreenSurface(area_, ScreenGeometry{ScreenWidth, ScreenHeight, DesktopBitCount},
                         [this] { host_.centreForm(); });
}

void FullScreenRun::startShowing() {
  StartCursorPos = host_.cursorPosition();
  host_.setScreenSaverRunning(true);
  host_.showCursor(false);
  showing_ = true;
}

void FullScreenRun::exitSequence() {
  if (!host_.verifyExitPassword()) return;
  ended_ = true;
  if (showing_) host_.showCursor(true);
  host_.hideForm();
  if (showing_) host_.setScreenSaverRunning(false);
  host_.terminate();
}

}  // namespace glimmerweave
