// The control-panel preview's logic: the parent handle from the command line,
// the engine set-up (a random algorithm 0..14 at speed 5 and full brightness,
// no settings read), one paint's frame with its white one-pixel border, and the
// repaint thread's pace.
#pragma once

#include <chrono>
#include <cstdint>
#include <string_view>

#include "engine/engine.h"
#include "presentation/frame_image.h"
#include "windows_modes/timing_service.h"

namespace glimmerweave {

// Converts the handle parameter like the runtime's integer conversion: leading
// blanks, an optional sign, then decimal digits, or hexadecimal ones after "$",
// "0x" or "x". Anything else, an empty text or an overflow gives 0.
std::int32_t ParamToHandle(std::string_view text);

// Seeds the generator from the clock, picks Algorithm = Random(15), sets Speed 5
// and EngineBrightness 100, and starts the animation.
void setUpPreviewEngine(Fractals& fractals);

// The frame size for a preview window: the window's size, bounded to the planes.
void previewFrameSize(int windowWidth, int windowHeight, std::int32_t& width, std::int32_t& height);

// One paint: computes the next frame and makes `image` a new white image of the
// frame's size with the frame copied inside a one-pixel white border.
void paintPreviewFrame(Fractals& fractals, FrameImage& image);

inline constexpr std::chrono::milliseconds kPreviewRepaintInterval{40};

// What the repaint thread drives: the preview window, and the quit flag that a
// key press the exit check allowed sets.
class PreviewRepaintTarget {
 public:
  virtual ~PreviewRepaintTarget() = default;
  // Asks for a repaint of the whole window.
  virtual void invalidate() = 0;
  virtual bool quitRequested() = 0;
};

// The repaint thread's loop: a repaint at once, then one every
// kPreviewRepaintInterval on a fixed grid, until the quit flag is set. The
// waits end on the system timer's beat, so single gaps vary (31.25 or
// 46.875 ms at the default 15.625 ms), but the grid keeps them 40 ms apart on
// average. Fine timing, which would only even out the gaps of a thumbnail, is
// never asked for: the control panel keeps the preview for as long as its page
// is open, in the background too, and ends it by destroying the window, which
// leaves the thread no moment to give fine timing back.
void runPreviewRepaints(TimingService& timing, PreviewRepaintTarget& target);

}  // namespace glimmerweave
