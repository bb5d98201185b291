// compare_png_pixels: decodes two PNG files with libpng and compares their pixels, for
// the Windows build's renderers_agree test (WIC and libpng compress differently, so
// the two renderers' PNG files cannot be compared byte for byte). Built natively only.
//
//   compare_png_pixels FIRST.png SECOND.png
//
// Exit status: 0 the same size and pixels; 1 they differ (the first differing pixel,
// in reading order, and the number of differing pixels are printed); 2 a file could
// not be read, or a bad command line.
#include <cstdio>
#include <string>

#include "png_writer.h"

namespace {

// "(red, green, blue)" of a pixel.
std::string rgb(const glimmerweave::RgbImage& image, std::size_t pixel) {
  const auto* p = &image.pixels[pixel * 3];
  char text[32];
  std::snprintf(text, sizeof text, "(%d, %d, %d)", p[0], p[1], p[2]);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: compare_png_pixels FIRST.png SECOND.png\n");
    return 2;
  }
  glimmerweave::RgbImage images[2];
  for (int i = 0; i < 2; ++i) {
    std::string error;
    if (!glimmerweave::readPng(argv[i + 1], images[i], error)) {
      std::fprintf(stderr, "compare_png_pixels: cannot read '%s': %s\n", argv[i + 1],
                   error.c_str());
      return 2;
    }
  }
  const auto& [first, second] = images;
  if (first.width != second.width || first.height != second.height) {
    std::printf("%s is %d x %d pixels, %s is %d x %d\n", argv[1], first.width, first.height,
                argv[2], second.width, second.height);
    return 1;
  }

  std::size_t differing = 0, firstDifference = 0;
  const std::size_t count = first.pixels.size() / 3;
  for (std::size_t pixel = 0; pixel < count; ++pixel) {
    const std::size_t i = pixel * 3;
    if (first.pixels[i] == second.pixels[i] && first.pixels[i + 1] == second.pixels[i + 1] &&
        first.pixels[i + 2] == second.pixels[i + 2])
      continue;
    if (differing++ == 0) firstDifference = pixel;
  }
  if (differing == 0) return 0;
  const std::size_t width = static_cast<std::size_t>(first.width);
  std::printf("%zu of %zu pixels differ, the first at column %zu, row %zu: %s in %s, %s in %s\n",
              differing, count, firstDifference % width, firstDifference / width,
              rgb(first, firstDifference).c_str(), argv[1], rgb(second, firstDifference).c_str(),
              argv[2]);
  return 1;
}
