// The frame image: a 24-bit device-independent bitmap of the frame, rows from
// the top, three bytes per pixel in the order blue, green, red, each row padded
// to a multiple of four bytes. The Win32 layer hands its bytes to GDI as is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/color_planes.h"

namespace glimmerweave {

class FrameImage {
 public:
  static constexpr int kBitsPerPixel = 24;

  // Gives the image a new size, white in every pixel; the same size again keeps
  // the pixels. Negative sizes count as 0.
  void setSize(int width, int height);

  int width() const { return width_; }
  int height() const { return height_; }
  // Bytes per row, padding included.
  std::size_t stride() const { return stride_; }

  std::uint8_t* row(int r) { return bytes_.data() + std::size_t(r) * stride_; }
  const std::uint8_t* row(int r) const { return bytes_.data() + std::size_t(r) * stride_; }
  const std::uint8_t* data() const { return bytes_.data(); }
  std::size_t sizeInBytes() const { return bytes_.size(); }

 private:
  int width_ = 0;
  int height_ = 0;
  std::size_t stride_ = 0;
  std::vector<std::uint8_t> bytes_;
};

// Copies the planes into the image for rows inset..height-1-inset and columns
// inset..width-1-inset (the image's own size, bounded to the planes): the low
// 8 bits of the blue, green and red cells as bytes 0, 1 and 2 of each pixel.
// Nothing else is written.
void CopyPlanesToImage(const ColorPlanes& planes, FrameImage& image, int inset);

}  // namespace glimmerweave
