// A frame as the renderer writes it to files: 8-bit red, green and blue, rows from the top.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace glimmerweave {

struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;  // red, green, blue per pixel, row by row
};

// What keeps `image` from being written as a `format` ("PNG", "PPM") file, or ""
// when nothing does: an empty frame, or pixels that do not fill it.
inline std::string imageShapeFault(const RgbImage& image, const char* format) {
  const std::string size = std::to_string(image.width) + " x " + std::to_string(image.height);
  if (image.width <= 0 || image.height <= 0)
    return std::string("a ") + format + " image needs at least one pixel, not " + size;
  if (image.pixels.size() != std::size_t(image.width) * std::size_t(image.height) * 3)
    return "the image's pixels do not fill its " + size + " frame";
  return {};
}

}  // namespace glimmerweave
