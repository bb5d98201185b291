#include "presentation/drawing_area.h"

namespace glimmerweave {

void DrawingArea::setBitCount(int bitCount) {
  if (bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
    throw DrawingAreaError(kBitCountMessage);
  Display.bitCount = bitCount;
}

std::string cannotBeInitializedMessage(const std::string& what) {
  return what + " cannot be initialized";
}

std::string cannotBeMadeMessage(const std::string& what) {
  return what + " cannot be made";
}

std::string displayModeMessage(int width, int height, int bitCount) {
  return "Display mode cannot be changed (" + std::to_string(width) + "x" + std::to_string(height) +
         " " + std::to_string(bitCount) + "bit)";
}

void PresentFrame(DrawingArea& area, FrameImage& image, const ColorPlanes& planes) {
  CopyPlanesToImage(planes, image, 0);
  if (!area.IsReady()) return;
  area.ClearSurface(0);
  area.LoadImage(image);
  area.ShowSurface();
}

}  // namespace glimmerweave
