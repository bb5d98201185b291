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

namespace glimmerweave::x11 {

using Clock = std::chrono::steady_clock;

// Everything the run holds, made by hackInit and released by hackFree.
struct HackState {
  ::Display* display = nullptr;
  Window window = 0;
  bool ownWindow = false;
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

  // -fps: the figures, and how they are drawn.
  bool fps = false;
  FrameRateMeter meter;
  GC textGc = nullptr;
  XFontStruct* font = nullptr;
  unsigned long textForeground = 0;
  unsigned long textBackground = 0;
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

void setUpFrameRateText(HackState& state, const PixelFormat& format) {
  state.textForeground = format.pack(255, 255, 255);
  state.textBackground = format.pack(0, 0, 0);
  XGCValues values{};
  values.foreground = state.textForeground;
  values.background = state.textBackground;
  values.graphics_exposures = False;
  state.textGc = XCreateGC(state.display, state.window,
                           GCForeground | GCBackground | GCGraphicsExposures, &values);
  // The server's "fixed" font is always there in practice; without it the
  // GC's default font serves.
  state.font = XLoadQueryFont(state.display, "fixed");
  if (state.font) XSetFont(state.display, state.textGc, state.font->fid);
}

// Draws the -fps figures over the frame, in the lower left corner.
void drawFrameRate(const HackState& state) {
  const std::string text = state.meter.text();
  const int ascent = state.font ? state.font->ascent : 11;
  const int descent = state.font ? state.font->descent : 2;
  const int baseline = state.height - 4 - descent;
  if (baseline - ascent < 0) return;
  XDrawImageString(state.display, state.window, state.textGc, 4, baseline, text.c_str(),
                   static_cast<int>(text.size()));
  XFlush(state.display);
}

}  // namespace

// ---------------------------------------------------------------------------
// The hack's callbacks

HackState* hackInit(::Display* display, Window window, bool ownWindow, const HackOptions& options,
                    ErrorTrap& trap, std::string& error) {
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
  state->ownWindow = ownWindow;
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
  state->area =
      std::make_unique<ImageArea>(area, trap, options.sharedMemory,
                                  options.smooth ? StretchFilter::Smooth : StretchFilter::Nearest);
  state->area->resize(state->width, state->height);

  state->fps = options.fps;
  if (state->fps) setUpFrameRateText(*state, format);

  // An arithmetic error ends the frame at the failing pixel; the partial frame
  // is shown like any other and the next tick goes on.
  Fractals* fractals = state->fractals.get();
  state->frames = std::make_unique<FrameThread>([fractals] { ComputeFrame(*fractals); });
  return state.release();
}

bool hackDraw(HackState& state) {
  if (!state.ownWindow) {
    // A window that is not ours tells us nothing of its changes unless we ask
    // for its events, which would be taking input from it: its size is read
    // at every tick instead.
    Window root = 0;
    int x = 0;
    int y = 0;
    unsigned width = 0;
    unsigned height = 0;
    unsigned border = 0;
    unsigned depth = 0;
    if (XGetGeometry(state.display, state.window, &root, &x, &y, &width, &height, &border,
                     &depth) == 0)
      return false;
    if (static_cast<int>(width) != state.width || static_cast<int>(height) != state.height)
      hackReshape(state, static_cast<int>(width), static_cast<int>(height));
  }
  state.frameBegun = Clock::now();
  state.frames->begin();
  return true;
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
  const unsigned long shownBefore = state.area->shows();
  PresentFrame(*state.area, state.image, state.fractals->planes);
  if (!state.fps || state.area->shows() == shownBefore) return;
  const Clock::time_point now = Clock::now();
  state.meter.frameShown(now, now - state.frameBegun);
  drawFrameRate(state);
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
    if (event.xexpose.count == 0) {
      state.area->showAgain();
      if (state.fps) drawFrameRate(state);
    }
    return true;
  }
  return false;
}

bool hackFree(HackState* state) {
  if (!state) return true;
  state->area.reset();
  if (state->textGc) XFreeGC(state->display, state->textGc);
  if (state->font) XFreeFont(state->display, state->font);
  state->textGc = nullptr;
  state->font = nullptr;
  if (state->frames->busy()) return false;
  delete state;
  return true;
}

}  // namespace glimmerweave::x11
