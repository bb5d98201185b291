// A drawing area that records the operations made on it and can be told to
// lose its surfaces or to fail its set-up.
#pragma once

#include <string>
#include <vector>

#include "presentation/drawing_area.h"

namespace glimmerweave::testing {

class FakeDrawingArea : public DrawingArea {
 public:
  std::vector<std::string> calls;
  bool setUp = false;
  bool lost = false;         // a surface is lost
  bool restorable = true;    // IsReady can restore a lost surface
  std::string setUpFailure;  // non-empty: SetUp throws this message
  int loadedWidth = -1, loadedHeight = -1;
  std::vector<std::uint8_t> loadedBytes;

  void ShutDown() override {
    calls.push_back("ShutDown");
    setUp = false;
  }
  void SetUp() override {
    calls.push_back("SetUp");
    ShutDown();
    if (!setUpFailure.empty()) throw DrawingAreaError(setUpFailure);
    setUp = true;
    lost = false;
  }
  bool IsReady() override {
    calls.push_back("IsReady");
    if (setUp && lost && restorable) lost = false;
    return setUp && !lost;
  }
  void ClearSurface(std::uint32_t colour) override {
    calls.push_back("ClearSurface " + std::to_string(colour));
  }
  void LoadImage(const FrameImage& image) override {
    calls.push_back("LoadImage");
    loadedWidth = image.width();
    loadedHeight = image.height();
    loadedBytes.assign(image.data(), image.data() + image.sizeInBytes());
  }
  void ShowSurface() override { calls.push_back("ShowSurface"); }
};

}  // namespace glimmerweave::testing
