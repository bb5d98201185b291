// Stretching the frame image over a display's pixels: the whole image over the
// whole target, whatever the two sizes, converted through the target's pixel
// format. Nearest-pixel stretching shows every frame pixel as a block; smooth
// stretching blends the four nearest frame pixels. Both sample at pixel
// centres, so a target of the image's own size receives the image unchanged.
#pragma once

#include <cstddef>
#include <cstdint>

#include "presentation/frame_image.h"
#include "presentation/pixel_format.h"

namespace glimmerweave {

class FramePool;

// Pixels in memory to stretch into, such as an X image's buffer.
struct PixelTarget {
  std::uint8_t* data = nullptr;
  int width = 0;
  int height = 0;
  std::size_t stride = 0;  // bytes per row
  PixelLayout layout;
  PixelFormat format;
};

enum class StretchFilter : std::uint8_t { Nearest, Smooth };

// Fills every pixel of the target with the image stretched over it; an empty
// image gives black.
void stretchImage(const FrameImage& image, const PixelTarget& target, StretchFilter filter);

// The same pixels, the target's rows shared among the pool's threads (the
// frame's own pool, between frames).
void stretchImage(const FrameImage& image, const PixelTarget& target, StretchFilter filter,
                  FramePool& pool);

// Fills only the target's rows begin..end-1, as stretchImage fills them.
void stretchImageRows(const FrameImage& image, const PixelTarget& target, StretchFilter filter,
                      int begin, int end);

// The source pixel that nearest-pixel stretching shows at target pixel `index`:
// the one under that pixel's centre.
int nearestSourceIndex(int index, int sourceSize, int targetSize);

}  // namespace glimmerweave
