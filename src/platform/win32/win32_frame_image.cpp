#include "platform/win32/win32_frame_image.h"

#include <windows.h>

namespace glimmerweave::win32 {

void drawFrameImage(std::uintptr_t dc, const FrameImage& image) {
  stretchFrameImage(dc, image, 0, 0, image.width(), image.height());
}

bool stretchFrameImage(std::uintptr_t dc, const FrameImage& image, int left, int top, int width,
                       int height) {
  if (image.width() <= 0 || image.height() <= 0 || width <= 0 || height <= 0) return false;
  BITMAPINFO format{};
  format.bmiHeader.biSize = sizeof format.bmiHeader;
  format.bmiHeader.biWidth = image.width();
  format.bmiHeader.biHeight = -image.height();  // rows from the top
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = FrameImage::kBitsPerPixel;
  format.bmiHeader.biCompression = BI_RGB;
  const int lines =
      StretchDIBits(reinterpret_cast<HDC>(dc), left, top, width, height, 0, 0, image.width(),
                    image.height(), image.data(), &format, DIB_RGB_COLORS, SRCCOPY);
  return lines != 0 && lines != static_cast<int>(GDI_ERROR);
}

}  // namespace glimmerweave::win32
