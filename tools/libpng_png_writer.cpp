// The frame's PNG files in the native build, through libpng's simplified interface.
// The Windows build has its own writer (wic_png_writer.cpp).
#include "png_writer.h"

#include <png.h>

#include <cstring>

namespace glimmerweave {

bool writePng(const std::string& path, const RgbImage& image, std::string& error) {
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(image.width);
  png.height = static_cast<png_uint_32>(image.height);
  png.format = PNG_FORMAT_RGB;
  if (image.pixels.size() != PNG_IMAGE_SIZE(png)) {
    error = "the image's pixels do not fill its " + std::to_string(image.width) + " x " +
            std::to_string(image.height) + " frame";
    return false;
  }
  if (!png_image_write_to_file(&png, path.c_str(), 0, image.pixels.data(), 0, nullptr)) {
    error = png.message;
    return false;
  }
  return true;
}

bool readPng(const std::string& path, RgbImage& image, std::string& error) {
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path.c_str())) {
    error = png.message;
    return false;
  }
  png.format = PNG_FORMAT_RGB;
  image.width = static_cast<int>(png.width);
  image.height = static_cast<int>(png.height);
  image.pixels.assign(PNG_IMAGE_SIZE(png), 0);
  if (!png_image_finish_read(&png, nullptr, image.pixels.data(), 0, nullptr)) {
    error = png.message;
    png_image_free(&png);
    return false;
  }
  return true;
}

}  // namespace glimmerweave
