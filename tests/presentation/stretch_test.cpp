// Stretching the frame image over a target: the whole target covered, the
// image itself at its own size, nearest-pixel blocks, smooth blends, any pixel
// format and no write outside the target's pixels.
#include "presentation/stretch.h"

#include <gtest/gtest.h>

#include "engine/frame_pool.h"

#include <cmath>
#include <vector>

namespace glimmerweave {
namespace {

struct Rgb {
  int r = 0;
  int g = 0;
  int b = 0;
  bool operator==(const Rgb&) const = default;
};

// An image whose every pixel differs from its neighbours: red follows the
// column, green the row, blue both.
FrameImage patterned(int width, int height) {
  FrameImage image;
  image.setSize(width, height);
  for (int r = 0; r < height; ++r)
    for (int c = 0; c < width; ++c) {
      std::uint8_t* pixel = image.row(r) + std::size_t(c) * 3;
      pixel[0] = static_cast<std::uint8_t>((c * 7 + r * 13) & 0xFF);  // blue
      pixel[1] = static_cast<std::uint8_t>(r & 0xFF);                 // green
      pixel[2] = static_cast<std::uint8_t>(c & 0xFF);                 // red
    }
  return image;
}

Rgb imagePixel(const FrameImage& image, int row, int column) {
  const std::uint8_t* pixel = image.row(row) + std::size_t(column) * 3;
  return Rgb{pixel[2], pixel[1], pixel[0]};
}

// A target in memory with a marker byte in the padding after each row.
struct Target {
  static constexpr std::uint8_t kMarker = 0xA5;
  std::vector<std::uint8_t> bytes;
  PixelTarget pixels;

  Target(int width, int height, PixelFormat format = PixelFormat{},
         PixelLayout layout = PixelLayout{}) {
    pixels.width = width;
    pixels.height = height;
    pixels.stride = std::size_t(width) * std::size_t(layout.bytesPerPixel) + 8;
    pixels.layout = layout;
    pixels.format = format;
    bytes.assign(pixels.stride * std::size_t(height) + 1, kMarker);
    pixels.data = bytes.data();
  }

  std::uint32_t value(int row, int column) const {
    return loadPixel(bytes.data() + std::size_t(row) * pixels.stride +
                         std::size_t(column) * std::size_t(pixels.layout.bytesPerPixel),
                     pixels.layout);
  }
  Rgb at(int row, int column) const {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    pixels.format.unpack(value(row, column), r, g, b);
    return Rgb{r, g, b};
  }
  bool paddingUntouched() const {
    for (int row = 0; row < pixels.height; ++row)
      for (std::size_t i = std::size_t(pixels.width) * std::size_t(pixels.layout.bytesPerPixel);
           i < pixels.stride; ++i)
        if (bytes[std::size_t(row) * pixels.stride + i] != kMarker) return false;
    return bytes.back() == kMarker;
  }
};

// The source pixel under a target pixel's centre, worked out in floating point.
int centreSource(int index, int sourceSize, int targetSize) {
  return static_cast<int>(std::floor((index + 0.5) * sourceSize / targetSize));
}

TEST(Stretch, AtTheImagesOwnSizeBothFiltersGiveTheImageUnchanged) {
  const FrameImage image = patterned(533, 400);
  for (const StretchFilter filter : {StretchFilter::Nearest, StretchFilter::Smooth}) {
    Target target(533, 400);
    stretchImage(image, target.pixels, filter);
    for (int r = 0; r < 400; ++r)
      for (int c = 0; c < 533; ++c)
        ASSERT_EQ(target.at(r, c), imagePixel(image, r, c)) << r << "," << c;
    EXPECT_TRUE(target.paddingUntouched());
  }
}

TEST(Stretch, NearestShowsThePixelUnderEachCentreOverTheWholeTarget) {
  const FrameImage image = patterned(800, 600);
  for (const auto& [width, height] : std::vector<std::pair<int, int>>{
           {1024, 768}, {1280, 1024}, {640, 480}, {333, 999}, {1, 1}}) {
    Target target(width, height);
    stretchImage(image, target.pixels, StretchFilter::Nearest);
    for (int r = 0; r < height; ++r)
      for (int c = 0; c < width; ++c)
        ASSERT_EQ(target.at(r, c),
                  imagePixel(image, centreSource(r, 600, height), centreSource(c, 800, width)))
            << width << "x" << height << " at " << r << "," << c;
    EXPECT_TRUE(target.paddingUntouched());
  }
}

TEST(Stretch, NearestDoublingMakesTwoByTwoBlocks) {
  const FrameImage image = patterned(3, 2);
  Target target(6, 4);
  stretchImage(image, target.pixels, StretchFilter::Nearest);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 6; ++c) EXPECT_EQ(target.at(r, c), imagePixel(image, r / 2, c / 2));
  EXPECT_EQ(nearestSourceIndex(0, 3, 6), 0);
  EXPECT_EQ(nearestSourceIndex(5, 3, 6), 2);
}

TEST(Stretch, SmoothBlendsNeighboursAndKeepsTheEdges) {
  // Black and white side by side, four times as wide: the centres fall at
  // -1/4, 1/4, 3/4 and 5/4 of the way, the outer ones clamped to the edge pixels.
  FrameImage image;
  image.setSize(2, 1);
  image.row(0)[0] = image.row(0)[1] = image.row(0)[2] = 0;
  image.row(0)[3] = image.row(0)[4] = image.row(0)[5] = 255;
  Target target(4, 3);
  stretchImage(image, target.pixels, StretchFilter::Smooth);
  const int expected[] = {0, 64, 191, 255};
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 4; ++c) {
      const int v = expected[c];
      EXPECT_EQ(target.at(r, c), (Rgb{v, v, v})) << r << "," << c;
    }
}

TEST(Stretch, SmoothKeepsAnEvenColourEvenAtAnySize) {
  FrameImage image;
  image.setSize(7, 5);
  for (int r = 0; r < 5; ++r)
    for (int c = 0; c < 7; ++c) {
      std::uint8_t* pixel = image.row(r) + std::size_t(c) * 3;
      pixel[0] = 10;
      pixel[1] = 200;
      pixel[2] = 77;
    }
  Target target(641, 479);
  stretchImage(image, target.pixels, StretchFilter::Smooth);
  for (int r = 0; r < 479; ++r)
    for (int c = 0; c < 641; ++c) ASSERT_EQ(target.at(r, c), (Rgb{77, 200, 10}));
  EXPECT_TRUE(target.paddingUntouched());
}

TEST(Stretch, SmoothStaysBetweenTheNeighboursItBlends) {
  const FrameImage image = patterned(80, 60);
  Target target(1024, 768);
  stretchImage(image, target.pixels, StretchFilter::Smooth);
  for (int r = 0; r < 768; r += 7)
    for (int c = 0; c < 1024; c += 5) {
      // The red of the pattern is the column: a smooth stretch lies between
      // the two columns around the centre.
      const double centre = std::clamp((c + 0.5) * 80 / 1024 - 0.5, 0.0, 79.0);
      const int red = target.at(r, c).r;
      EXPECT_GE(red, static_cast<int>(std::floor(centre))) << c;
      EXPECT_LE(red, static_cast<int>(std::ceil(centre))) << c;
    }
}

TEST(Stretch, TheTargetsFormatAndByteOrderAreHonoured) {
  const FrameImage image = patterned(40, 30);
  const PixelFormat sixteen = PixelFormat::fromMasks(0xF800, 0x07E0, 0x001F, 16).value();
  const PixelFormat bgr32 = PixelFormat::fromMasks(0x0000FF, 0x00FF00, 0xFF0000, 32).value();
  for (const auto& [format, layout] :
       std::vector<std::pair<PixelFormat, PixelLayout>>{{sixteen, {2, false}},
                                                        {sixteen, {2, true}},
                                                        {bgr32, {4, true}},
                                                        {PixelFormat{}, {3, false}}}) {
    for (const StretchFilter filter : {StretchFilter::Nearest, StretchFilter::Smooth}) {
      Target target(40, 30, format, layout);
      stretchImage(image, target.pixels, filter);
      for (int r = 0; r < 30; ++r)
        for (int c = 0; c < 40; ++c) {
          const Rgb source = imagePixel(image, r, c);
          ASSERT_EQ(target.value(r, c), format.pack(static_cast<std::uint8_t>(source.r),
                                                    static_cast<std::uint8_t>(source.g),
                                                    static_cast<std::uint8_t>(source.b)));
        }
      EXPECT_TRUE(target.paddingUntouched());
    }
  }
}

TEST(Stretch, AnEmptyImageGivesBlackAndAnEmptyTargetIsLeftAlone) {
  FrameImage empty;
  const PixelFormat deep = PixelFormat::fromMasks(0xFF0000, 0x00FF00, 0x0000FF, 32).value();
  Target target(5, 4, deep);
  stretchImage(empty, target.pixels, StretchFilter::Nearest);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 5; ++c) EXPECT_EQ(target.value(r, c), 0xFF000000u);
  Target none(0, 0);
  stretchImage(patterned(4, 4), none.pixels, StretchFilter::Smooth);
  EXPECT_EQ(none.bytes.back(), Target::kMarker);
}

TEST(Stretch, ThePoolsThreadsGiveTheSamePixelsAsOne) {
  const FrameImage image = patterned(267, 200);
  FramePool pool(3);
  for (const auto& [width, height] : std::vector<std::pair<int, int>>{{1000, 750}, {2, 1}}) {
    for (const StretchFilter filter : {StretchFilter::Nearest, StretchFilter::Smooth}) {
      Target one(width, height);
      Target shared(width, height);
      stretchImage(image, one.pixels, filter);
      stretchImage(image, shared.pixels, filter, pool);
      EXPECT_EQ(shared.bytes, one.bytes) << width << "x" << height;
    }
  }
}

}  // namespace
}  // namespace glimmerweave
