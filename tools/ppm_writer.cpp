#include "ppm_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace glimmerweave {

bool writePpm(const std::string& path, const RgbImage& image, std::string& error) {
  if (image.width <= 0 || image.height <= 0) {
    error = "a PPM image needs at least one pixel, not " + std::to_string(image.width) + " x " +
            std::to_string(image.height);
    return false;
  }
  if (image.pixels.size() != std::size_t(image.width) * std::size_t(image.height) * 3) {
    error = "the image's pixels do not fill its " + std::to_string(image.width) + " x " +
            std::to_string(image.height) + " frame";
    return false;
  }

  // Binary mode: on Windows a text-mode file would turn every byte 10 into 13 10.
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    error = std::string("creating the file failed: ") + std::strerror(errno);
    return false;
  }
  const std::string header =
      "P6\n" + std::to_string(image.width) + ' ' + std::to_string(image.height) + "\n255\n";
  errno = 0;
  const bool written =
      std::fwrite(header.data(), 1, header.size(), file) == header.size() &&
      std::fwrite(image.pixels.data(), 1, image.pixels.size(), file) == image.pixels.size();
  int failure = written ? 0 : errno;
  // A full disk may show only when the buffered bytes go out at the close.
  const bool closed = std::fclose(file) == 0;
  if (written && !closed) failure = errno;
  if (!written || !closed) {
    error = "writing the file failed";
    if (failure != 0) error += std::string(": ") + std::strerror(failure);
    std::remove(path.c_str());
    return false;
  }
  return true;
}

}  // namespace glimmerweave
