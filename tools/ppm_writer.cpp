#include "ppm_writer.h"

#include "safe_file.h"

namespace glimmerweave {

bool writePpm(const std::string& path, const RgbImage& image, std::string& error) {
  if (image.width <= 0 || image.height <= 0) {
    error =
        cannotWrite(path, "a PPM image needs at least one pixel, not " +
                              std::to_string(image.width) + " x " + std::to_string(image.height));
    return false;
  }
  if (image.pixels.size() != std::size_t(image.width) * std::size_t(image.height) * 3) {
    error = cannotWrite(path, "the image's pixels do not fill its " + std::to_string(image.width) +
                                  " x " + std::to_string(image.height) + " frame");
    return false;
  }
  std::string bytes =
      "P6\n" + std::to_string(image.width) + ' ' + std::to_string(image.height) + "\n255\n";
  bytes.append(image.pixels.begin(), image.pixels.end());
  return writeFileSafely(path, bytes, error);
}

}  // namespace glimmerweave
