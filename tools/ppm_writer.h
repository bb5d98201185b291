// Binary PPM files of frames (netpbm's P6 with a maxval of 255): the header
// "P6\n<width> <height>\n255\n", then red, green and blue bytes, row by row from the
// top. Unlike PNG the bytes depend on the pixels alone, so the files of two builds can
// be compared byte for byte.
#pragma once

#include <string>

#include "rgb_image.h"

namespace glimmerweave {

// Writes the image through writeFileSafely (safe_file.h); on failure returns false with
// `error` saying "cannot write 'PATH': REASON", and whatever `path` named before is as it
// was. An image without pixels is refused: netpbm's readers take no zero width or height.
bool writePpm(const std::string& path, const RgbImage& image, std::string& error);

}  // namespace glimmerweave
