// PNG files of frames through libpng: 8-bit RGB, rows from the top.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace glimmerweave {

struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;  // red, green, blue per pixel, row by row
};

// Writes the image; on failure returns false and says why in `error`.
bool writePng(const std::string& path, const RgbImage& image, std::string& error);

// Reads an image back as 8-bit RGB; on failure returns false and says why.
bool readPng(const std::string& path, RgbImage& image, std::string& error);

}  // namespace glimmerweave
