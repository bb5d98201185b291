// The control-panel preview's logic: the parent handle from the command line,
// the engine set-up (a random algorithm 0..14 at speed 5 and full brightness,
// no settings read) and one paint's frame with its white one-pixel border.
#pragma once

#include <cstdint>
#include <string_view>

#include "engine/engine.h"
#include "presentation/frame_image.h"

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

}  // namespace glimmerweave
