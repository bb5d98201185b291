// The frame's PNG files in the native build, through libpng's simplified interface,
// encoded in memory and written with writeFileSafely. The Windows build has its own
// writer (wic_png_writer.cpp).
#include "png_writer.h"

#include <png.h>

#include <cstring>

#include "safe_file.h"

namespace glimmerweave {

bool writePng(const std::string& path, const RgbImage& image, std::string& error) {
  if (const std::string fault = imageShapeFault(image, "PNG"); !fault.empty()) {
    error = cannotWrite(path, fault);
    return false;
  }
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(image.width);
  png.height = static_cast<png_uint_32>(image.height);
  png.format = PNG_FORMAT_RGB;
  // Encoded in memory and written by writeFileSafely: libpng's own file writer removes
  // the file it failed to write, whatever that was, and reports a full disk as
  // "Write Error" without the system's reason.
  std::string bytes(PNG_IMAGE_PNG_SIZE_MAX(png), '\0');
  png_alloc_size_t size = bytes.size();
  if (!png_image_write_to_memory(&png, bytes.data(), &size, 0, image.pixels.data(), 0, nullptr)) {
    error = cannotWrite(path, png.message);
    return false;
  }
  bytes.resize(size);
  return writeFileSafely(path, bytes, error);
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
