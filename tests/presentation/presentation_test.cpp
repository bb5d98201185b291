// The frame image, the copy of the planes into it and the per-tick presentation.
#include <gtest/gtest.h>

#include <memory>

#include "presentation/drawing_area.h"
#include "presentation/frame_image.h"
#include "support/fake_drawing_area.h"

namespace glimmerweave {
namespace {

using testing::FakeDrawingArea;

std::unique_ptr<ColorPlanes> planesWith(int red, int green, int blue) {
  auto planes = std::make_unique<ColorPlanes>();
  std::fill(std::begin(planes->red), std::end(planes->red), red);
  std::fill(std::begin(planes->green), std::end(planes->green), green);
  std::fill(std::begin(planes->blue), std::end(planes->blue), blue);
  return planes;
}

TEST(FrameImage, RowsArePaddedToFourBytesAndStartWhite) {
  FrameImage image;
  image.setSize(5, 3);
  EXPECT_EQ(image.stride(), 16u);  // 15 bytes of pixels, padded
  EXPECT_EQ(image.sizeInBytes(), 48u);
  for (std::size_t i = 0; i < image.sizeInBytes(); ++i) ASSERT_EQ(image.data()[i], 0xFF);
  image.setSize(4, 2);
  EXPECT_EQ(image.stride(), 12u);
  image.setSize(-3, 7);
  EXPECT_EQ(image.width(), 0);
  EXPECT_EQ(image.sizeInBytes(), 0u);
}

TEST(CopyPlanesToImage, BlueGreenRedLowBytesRowsFromTheTop) {
  auto planes = planesWith(0, 0, 0);
  planes->red[ColorPlanes::index(0, 1)] = 255;
  planes->green[ColorPlanes::index(0, 1)] = 256;
  planes->blue[ColorPlanes::index(0, 1)] = -1;
  planes->red[ColorPlanes::index(2, 0)] = 7;
  planes->blue[ColorPlanes::index(2, 0)] = 9;
  FrameImage image;
  image.setSize(2, 3);
  CopyPlanesToImage(*planes, image, 0);
  const std::uint8_t* top = image.row(0);
  EXPECT_EQ(top[3], 255) << "blue -1 keeps its low 8 bits";
  EXPECT_EQ(top[4], 0) << "green 256 keeps its low 8 bits";
  EXPECT_EQ(top[5], 255) << "red is the third byte";
  EXPECT_EQ(image.row(2)[0], 9);
  EXPECT_EQ(image.row(2)[2], 7);
  EXPECT_EQ(image.row(0)[6], 0xFF) << "padding is not written";
}

TEST(CopyPlanesToImage, InsetLeavesTheBorderWhite) {
  auto planes = planesWith(1, 2, 3);
  FrameImage image;
  image.setSize(3, 3);
  CopyPlanesToImage(*planes, image, 1);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) {
      const std::uint8_t* pixel = image.row(r) + c * 3;
      const bool centre = r == 1 && c == 1;
      EXPECT_EQ(pixel[0], centre ? 3 : 0xFF) << r << "," << c;
      EXPECT_EQ(pixel[2], centre ? 1 : 0xFF) << r << "," << c;
    }
  for (auto [width, height] : {std::pair{2, 5}, std::pair{5, 2}, std::pair{1, 1}}) {
    image.setSize(width, height);
    CopyPlanesToImage(*planes, image, 1);
    for (std::size_t i = 0; i < image.sizeInBytes(); ++i) ASSERT_EQ(image.data()[i], 0xFF);
  }
}

TEST(CopyPlanesToImage, AnImageLargerThanThePlanesIsCopiedOnlyWithinThem) {
  auto planes = planesWith(4, 5, 6);
  FrameImage image;
  image.setSize(900, 610);
  CopyPlanesToImage(*planes, image, 0);
  EXPECT_EQ(image.row(600)[800 * 3], 6);
  EXPECT_EQ(image.row(600)[801 * 3], 0xFF);
  EXPECT_EQ(image.row(601)[0], 0xFF);
}

TEST(PresentFrame, ClearsLoadsAndShowsOnlyWhenReady) {
  auto planes = planesWith(10, 20, 30);
  FakeDrawingArea area;
  FrameImage image;
  image.setSize(4, 2);

  PresentFrame(area, image, *planes);
  EXPECT_EQ(area.calls, (std::vector<std::string>{"IsReady"}));
  EXPECT_EQ(image.row(1)[0], 30) << "the copy happens even when nothing is shown";

  area.SetUp();
  area.calls.clear();
  PresentFrame(area, image, *planes);
  EXPECT_EQ(area.calls,
            (std::vector<std::string>{"IsReady", "ClearSurface 0", "LoadImage", "ShowSurface"}));
  EXPECT_EQ(area.loadedWidth, 4);
  EXPECT_EQ(area.loadedBytes[2], 10);

  area.lost = true;
  area.restorable = false;
  area.calls.clear();
  PresentFrame(area, image, *planes);
  EXPECT_EQ(area.calls, (std::vector<std::string>{"IsReady"}));
}

TEST(SetUpFullScreenSurface, ConfiguresThenSetsUp) {
  FakeDrawingArea area;
  area.Options = doWaitVBlank;
  bool centred = false;
  SetUpFullScreenSurface(area, ScreenGeometry{1024, 768, 32}, [&] {
    EXPECT_FALSE(area.setUp);
    centred = true;
  });
  EXPECT_TRUE(centred);
  EXPECT_EQ(area.Options, doWaitVBlank | doFullScreen | doStretch);
  EXPECT_EQ(area.Display.width, 1024);
  EXPECT_EQ(area.Display.height, 768);
  EXPECT_EQ(area.Display.bitCount, 32);
  EXPECT_EQ(area.SurfaceWidth, 1024);
  EXPECT_EQ(area.SurfaceHeight, 768);
  EXPECT_TRUE(area.setUp);
}

TEST(SetUpFullScreenSurface, RefusesADesktopOf4Bits) {
  FakeDrawingArea area;
  try {
    SetUpFullScreenSurface(area, ScreenGeometry{800, 600, 4}, [] {});
    FAIL() << "no error";
  } catch (const DrawingAreaError& e) {
    EXPECT_STREQ(e.what(), "It should be either of 8 or 16 or 24 or 32");
  }
  EXPECT_FALSE(area.setUp);
  EXPECT_EQ(area.calls, (std::vector<std::string>{"ShutDown"}));
}

TEST(DrawingAreaMessages, NameWhatFailed) {
  EXPECT_EQ(cannotBeInitializedMessage("DirectDraw"), "DirectDraw cannot be initialized");
  EXPECT_EQ(cannotBeMadeMessage("Primary Surface"), "Primary Surface cannot be made");
  EXPECT_EQ(displayModeMessage(1024, 768, 16), "Display mode cannot be changed (1024x768 16bit)");
}

}  // namespace
}  // namespace glimmerweave
