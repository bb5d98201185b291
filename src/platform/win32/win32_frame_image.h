// Drawing a frame image through GDI.
#pragma once

#include <cstdint>

#include "presentation/frame_image.h"

namespace glimmerweave::win32 {

// Copies the image unscaled to (0, 0) of the device context `dc` (an HDC).
void drawFrameImage(std::uintptr_t dc, const FrameImage& image);

}  // namespace glimmerweave::win32
