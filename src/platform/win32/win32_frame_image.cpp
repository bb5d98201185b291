#include "platform/win32/win32_frame_image.h"

#include <windows.h>

namespace glimmerweave::win32 {

void drawFrameImage(std::uintptr_t dc, const FrameImage& image) {
  if (image.width() <= 0 || image.height() <= 0) return;
  BITMAPINFO format{};
  format.bmiHeader.biSize = sizeof format.bmiHeader;
  format.bmiHeader.biWidth = image.width();
  format.bmiHeader.biHeight = -image.height();  // rows from the top
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = FrameImage::kBitsPerPixel;
  format.bmiHeader.biCompression = BI_RGB;
  StretchDIBits(reinterpret_cast<HDC>(dc), 0, 0, image.width(), image.height(), 0, 0, image.width(),
                image.height(), image.data(), &format, DIB_RGB_COLORS, SRCCOPY);
}

}  // namespace glimmerweave::win32
