#include "presentation/frame_image.h"

#include <algorithm>

namespace glimmerweave {

void FrameImage::setSize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == width_ && height == height_ && !bytes_.empty()) return;
  width_ = width;
  height_ = height;
  stride_ = (std::size_t(width_) * 3 + 3) / 4 * 4;
  bytes_.assign(stride_ * std::size_t(height_), 0xFF);
}

void CopyPlanesToImage(const ColorPlanes& planes, FrameImage& image, int inset) {
  const int lastRow = std::min(image.height(), ColorPlanes::kRows) - 1 - inset;
  const int lastColumn = std::min(image.width(), ColorPlanes::kColumns) - 1 - inset;
  for (int r = inset; r <= lastRow; ++r) {
    std::uint8_t* pixel = image.row(r) + std::size_t(inset) * 3;
    for (int c = inset; c <= lastColumn; ++c) {
      const std::size_t cell = ColorPlanes::index(r, c);
      *pixel++ = static_cast<std::uint8_t>(planes.blue[cell] & 0xFF);
      *pixel++ = static_cast<std::uint8_t>(planes.green[cell] & 0xFF);
      *pixel++ = static_cast<std::uint8_t>(planes.red[cell] & 0xFF);
    }
  }
}

}  // namespace glimmerweave
