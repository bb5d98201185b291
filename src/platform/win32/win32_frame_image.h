// Drawing a frame image through GDI.
#pragma once

#include <cstdint>

#include "presentation/frame_image.h"

namespace glimmerweave::win32 {

// Copies the image unscaled to (0, 0) of the device context `dc` (an HDC).
void drawFrameImage(std::uintptr_t dc, const FrameImage& image);

// Copies the whole image into the rectangle at (left, top), `width` x `height`,
// of the device context `dc` (an HDC), stretched independently in x and y.
// False when there was nothing to copy or GDI refused.
bool stretchFrameImage(std::uintptr_t dc, const FrameImage& image, int left, int top, int width,
                       int height);

}  // namespace glimmerweave::win32
