// Text drawn into the frame image itself: the -fps figures, so that they are
// part of the picture that is shown (nothing drawn over the window after it,
// which would flicker) and every front-end shows them the same way, without a
// font of the display system's. A built-in 5 x 7 pixel font holds what the
// figures need: the digits, '.', '-', ' ' and the letters of "fps", "ms",
// "CPU", "per" and "frame"; any other character is left blank.
#pragma once

#include <string_view>

#include "presentation/frame_image.h"

namespace glimmerweave {

// A rectangle of the image, in pixels.
struct TextBox {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

// The box that drawFrameText fills for `text` (lines separated by '\n') in an
// image `imageHeight` rows high: in the lower left corner.
TextBox frameTextBox(std::string_view text, int imageHeight);

// Draws `text` into the image's lower left corner, white on a black box; what
// does not fit in the image is cut off.
void drawFrameText(FrameImage& image, std::string_view text);

}  // namespace glimmerweave
