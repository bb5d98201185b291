// PNG files of frames: 8-bit RGB, rows from the top. The native build writes and reads
// them with libpng (libpng_png_writer.cpp), the Windows build with the Windows Imaging
// Component (wic_png_writer.cpp); the two compress differently, so their files hold the
// same pixels but not the same bytes.
#pragma once

#include <string>

#include "rgb_image.h"

namespace glimmerweave {

// Writes the image through writeFileSafely (safe_file.h); on failure returns false with
// `error` saying "cannot write 'PATH': REASON", and whatever `path` named before is as it
// was.
bool writePng(const std::string& path, const RgbImage& image, std::string& error);

// Reads an image back as 8-bit RGB; on failure returns false and says why.
bool readPng(const std::string& path, RgbImage& image, std::string& error);

}  // namespace glimmerweave
