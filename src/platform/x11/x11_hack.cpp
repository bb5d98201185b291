#include "platform/x11/x11_hack.h"

#include <chrono>
#include <memory>

#include "engine/engine.h"
#include "engine/frame_pool.h"
#include "native_program/hack_run.h"
#include "platform/x11/x11_frame_thread.h"
#include "platform/x11/x11_image_area.h"
#include "presentation/drawing_area.h"
#include "presentation/frame_image.h"
#include "presentation/frame_text.h"

namespace glimmerweave::x11 {

using Clock = std::chrono::steady_clock;

// Everything the run holds, made by hackInit and released by hackFree.
struct HackState {
  ::Display* display = nullptr;
  Window window = 0;
  int width = 0;
  int height = 0;

  // The engine holds three 801 x 601 planes: too large for the stack.
  std::unique_ptr<Fractals> fractals;
  std::unique_ptr<FramePool> pool;
  FrameImage image;
  std::unique_ptr<ImageArea> area;
  // Last, so that it ends (waiting for its frame) before the engine goes.
  std::unique_ptr<FrameThread> frames;
  Clock::time_point frameBegun{};
  Clock::time_point frameDue{};  // when the tick of the frame being computed was due

  // -fps: the figures, drawn into each frame before it is shown.
  bool fps = false;
  FrameRateMeter meter;
};

namespace {

// ---------------------------------------------------------------------------
// Set-up

// The pixel format of a TrueColor visual, through its masks.
bool pixelFormatOf(const XWindowAttributes& attributes, PixelFormat& format) {
  const Visual* visual = attributes.visual;
  if (!visual || visual->c_class != TrueColor) return false;
  const auto made = PixelFormat::fromMasks(
      static_cast<std::uint32_t>(visual->red_mask), static_cast<std::uint32_t>(visual->green_mask),
      static_cast<std::uint32_t>(visual->blue_mask), attributes.depth);
  if (!made) return false;
  format = *made;
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// The hack's callbacks

HackState* hackInit(::Display* display, Window window, const HackOptions& options, ErrorTrap& trap,
                    std::string& error) {
  XWindowAttributes attributes{};
  if (XGetWindowAttributes(display, window, &attributes) == 0) {
    error = "there is no such window";
    return nullptr;
  }
  PixelFormat format;
  if (!pixelFormatOf(attributes, format)) {
    error = "the window's visual is not TrueColor with usable colour masks (depth " +
            std::to_string(attributes.depth) + ")";
    return nullptr;
  }

  auto state = std::make_unique<HackState>();
  state->display = display;
  state->window = window;
  state->width = attributes.width;
  state->height = attributes.height;

  state->fractals = std::make_unique<Fractals>();
  state->pool = std::make_unique<FramePool>();
  state->fractals->pool = state->pool.get();
  startHackAnimation(*state->fractals, options);
  state->image.setSize(state->fractals->FrameWidth, state->fractals->FrameHeight);

  AreaWindow area;
  area.display = display;
  area.window = window;
  area.visual = attributes.visual;
  area.depth = attributes.depth;
  area.format = format;
  AreaChoices choices;
  choices.sharedMemory = options.sharedMemory;
  choices.filter = options.smooth ? StretchFilter::Smooth : StretchFilter::Nearest;
  choices.frameWidth = state->image.width();
  choices.frameHeight = state->image.height();
  choices.pool = state->pool.get();
  state->area = std::make_unique<ImageArea>(area, trap, choices);
  state->area->resize(state->width, state->height);

  state->fps = options.fps;

  // An arithmetic error ends the frame at the failing pixel; the partial frame
  // is shown like any other and the next tick goes on.
  Fractals* fractals = state->fractals.get();
  state->frames = std::make_unique<FrameThread>([fractals] { ComputeFrame(*fractals); });
  return state.release();
}

void hackDraw(HackState& state, Clock::time_point due) {
  state.frameBegun = Clock::now();
  state.frameDue = due;
  state.frames->begin();
}

int hackFrameFd(const HackState& state) {
  return state.frames->doneFd();
}

bool hackFrameBusy(const HackState& state) {
  return state.frames->busy();
}

void hackFrameDone(HackState& state) {
  state.frames->collect();
  if (state.frames->busy()) return;
  // PresentFrame's steps, with the -fps figures drawn into the frame between
  // the copy and the load.
  CopyPlanesToImage(state.fractals->planes, state.image, 0);
  if (state.fps) drawFrameText(state.image, state.meter.text());
  ImageArea& area = *state.area;
  if (!area.IsReady()) return;
  area.ClearSurface(0);
  area.LoadImage(state.image);
  const unsigned long shownBefore = area.shows();
  area.ShowSurface();
  if (state.fps && area.shows() != shownBefore)
    state.meter.frameShown(state.frameDue, Clock::now() - state.frameBegun,
                           FrameRateMeter::processorTime());
}

void hackReshape(HackState& state, int width, int height) {
  state.width = width;
  state.height = height;
  state.area->resize(width, height);
}

bool hackEvent(HackState& state, const XEvent& event) {
  if (state.area->takeEvent(event)) return true;
  if (event.type == Expose && event.xexpose.window == state.window) {
    // The last frame fills the exposed window again until the next one is ready.
    if (event.xexpose.count == 0) state.area->showAgain();
    return true;
  }
  return false;
}

std::string hackFigures(const HackState& state) {
  return state.fps ? state.meter.summary() : std::string();
}

bool hackFree(HackState* state) {
  if (!state) return true;
  state->area.reset();
  if (state->frames->busy()) return false;
  delete state;
  return true;
}

}  // namespace glimmerweave::x11
