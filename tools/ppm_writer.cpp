#include "ppm_writer.h"

#include "safe_file.h"

namespace glimmerweave {

bool writePpm(const std::string& path, const RgbImage& image, std::string& error) {
  if (const std::string fault = imageShapeFault(image, "PPM"); !fault.empty()) {
    error = cannotWrite(path, fault);
    return false;
  }
  std::string bytes =
      "P6\n" + std::to_string(image.width) + ' ' + std::to_string(image.height) + "\n255\n";
  bytes.append(image.pixels.begin(), image.pixels.end());
  return writeFileSafely(path, bytes, error);
}

}  // namespace glimmerweave
