// A frame as the renderer writes it to files: 8-bit red, green and blue, rows from the top.
#pragma once

#include <cstdint>
#include <vector>

namespace glimmerweave {

struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;  // red, green, blue per pixel, row by row
};

}  // namespace glimmerweave
