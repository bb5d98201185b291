// Pixel values through a visual's masks at depths 16, 24 and 32 (and 15 and 30),
// in either colour order, and pixels' bytes in either byte order.
#include "presentation/pixel_format.h"

#include <gtest/gtest.h>

namespace glimmerweave {
namespace {

PixelFormat formatOf(std::uint32_t red, std::uint32_t green, std::uint32_t blue, int depth) {
  const auto format = PixelFormat::fromMasks(red, green, blue, depth);
  EXPECT_TRUE(format.has_value());
  return format.value_or(PixelFormat{});
}

TEST(PixelFormat, Depth24PutsEachColourUnderItsMask) {
  const PixelFormat format = formatOf(0xFF0000, 0x00FF00, 0x0000FF, 24);
  EXPECT_EQ(format.pack(0x12, 0x34, 0x56), 0x123456u);
  EXPECT_EQ(format.pack(255, 255, 255), 0xFFFFFFu);
  EXPECT_EQ(format.pack(0, 0, 0), 0u);
  // The default format is this one.
  EXPECT_EQ(PixelFormat{}.pack(0x12, 0x34, 0x56), 0x123456u);
}

TEST(PixelFormat, Depth24WithBlueOnTopIsNotConfusedWithRedOnTop) {
  const PixelFormat format = formatOf(0x0000FF, 0x00FF00, 0xFF0000, 24);
  EXPECT_EQ(format.pack(0x12, 0x34, 0x56), 0x563412u);
}

TEST(PixelFormat, Depth32SetsTheBitsNoColourUsesSoThePixelIsOpaque) {
  const PixelFormat format = formatOf(0xFF0000, 0x00FF00, 0x0000FF, 32);
  EXPECT_EQ(format.pack(0x12, 0x34, 0x56), 0xFF123456u);
  EXPECT_EQ(format.pack(0, 0, 0), 0xFF000000u);
  const PixelFormat high = formatOf(0xFF000000, 0x00FF0000, 0x0000FF00, 32);
  EXPECT_EQ(high.pack(0x12, 0x34, 0x56), 0x123456FFu);
}

TEST(PixelFormat, Depth16KeepsTheHighBitsOfEachColour) {
  const PixelFormat format = formatOf(0xF800, 0x07E0, 0x001F, 16);
  EXPECT_EQ(format.pack(255, 255, 255), 0xFFFFu);
  EXPECT_EQ(format.pack(0x80, 0x40, 0x20), (0x10u << 11) | (0x10u << 5) | 0x04u);
  EXPECT_EQ(format.pack(0x07, 0x03, 0x07), 0u);
  EXPECT_EQ(format.pack(0x08, 0x04, 0x08), (1u << 11) | (1u << 5) | 1u);
  const PixelFormat bgr = formatOf(0x001F, 0x07E0, 0xF800, 16);
  EXPECT_EQ(bgr.pack(0xFF, 0, 0), 0x001Fu);
  EXPECT_EQ(bgr.pack(0, 0, 0xFF), 0xF800u);
}

TEST(PixelFormat, Depth15AndDepth30) {
  const PixelFormat fifteen = formatOf(0x7C00, 0x03E0, 0x001F, 15);
  EXPECT_EQ(fifteen.pack(255, 0, 255), 0x7C1Fu);
  const PixelFormat thirty = formatOf(0x3FF00000, 0x000FFC00, 0x000003FF, 30);
  // Ten bits: the eight repeated downwards, so white stays white.
  EXPECT_EQ(thirty.pack(255, 0, 0x80), 0x3FF00000u | 0x202u);
}

TEST(PixelFormat, UnpackGivesBackEightBitColours) {
  const PixelFormat deep = formatOf(0xFF0000, 0x00FF00, 0x0000FF, 32);
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;
  deep.unpack(0xFF123456u, r, g, b);
  EXPECT_EQ(r, 0x12);
  EXPECT_EQ(g, 0x34);
  EXPECT_EQ(b, 0x56);
  const PixelFormat sixteen = formatOf(0xF800, 0x07E0, 0x001F, 16);
  sixteen.unpack(0xFFFF, r, g, b);
  EXPECT_EQ(r, 255);
  EXPECT_EQ(g, 255);
  EXPECT_EQ(b, 255);
  sixteen.unpack((0x10u << 11) | (0x20u << 5) | 0x01u, r, g, b);
  EXPECT_EQ(r, 0x84);  // 10000 repeated: 10000100
  EXPECT_EQ(g, 0x82);  // 100000 repeated: 10000010
  EXPECT_EQ(b, 0x08);  // 00001 repeated: 00001000
  // Packing what unpack gives returns the same pixel.
  for (std::uint32_t pixel = 0; pixel <= 0xFFFF; pixel += 97) {
    sixteen.unpack(pixel, r, g, b);
    EXPECT_EQ(sixteen.pack(r, g, b), pixel);
  }
}

TEST(PixelFormat, MasksThatDescribeNoTrueColourPixelAreRefused) {
  EXPECT_FALSE(PixelFormat::fromMasks(0, 0x00FF00, 0x0000FF, 24));         // empty
  EXPECT_FALSE(PixelFormat::fromMasks(0xF0F000, 0x000F00, 0x0000FF, 24));  // two runs
  EXPECT_FALSE(PixelFormat::fromMasks(0xFF0000, 0xFFFF00, 0x0000FF, 24));  // overlap
  EXPECT_FALSE(PixelFormat::fromMasks(0xFF0000, 0x00FF00, 0x0000FF, 16));  // beyond depth
  EXPECT_FALSE(PixelFormat::fromMasks(0xFFFFF000, 0x00000F00, 0xFF, 32));  // 20 bits
  EXPECT_FALSE(PixelFormat::fromMasks(0xFF0000, 0x00FF00, 0x0000FF, 0));   // no depth
  EXPECT_FALSE(PixelFormat::fromMasks(0xFF0000, 0x00FF00, 0x0000FF, 33));  // too deep
  EXPECT_TRUE(PixelFormat::fromMasks(0xE0, 0x1C, 0x03, 8));                // 3-3-2
}

TEST(PixelLayout, PixelsAreStoredAndLoadedInTheLayoutsByteOrder) {
  std::uint8_t bytes[4] = {};
  storePixel(bytes, 0x11223344u, PixelLayout{4, false});
  EXPECT_EQ(bytes[0], 0x44);
  EXPECT_EQ(bytes[3], 0x11);
  EXPECT_EQ(loadPixel(bytes, PixelLayout{4, false}), 0x11223344u);
  storePixel(bytes, 0x11223344u, PixelLayout{4, true});
  EXPECT_EQ(bytes[0], 0x11);
  EXPECT_EQ(bytes[3], 0x44);
  EXPECT_EQ(loadPixel(bytes, PixelLayout{4, true}), 0x11223344u);

  std::uint8_t three[4] = {0, 0, 0, 0xAA};
  storePixel(three, 0x223344u, PixelLayout{3, false});
  EXPECT_EQ(three[0], 0x44);
  EXPECT_EQ(three[2], 0x22);
  EXPECT_EQ(three[3], 0xAA) << "a 3-byte pixel writes 3 bytes";
  storePixel(three, 0x223344u, PixelLayout{3, true});
  EXPECT_EQ(three[0], 0x22);
  EXPECT_EQ(loadPixel(three, PixelLayout{3, true}), 0x223344u);

  std::uint8_t two[2] = {};
  storePixel(two, 0xF81Fu, PixelLayout{2, false});
  EXPECT_EQ(two[0], 0x1F);
  EXPECT_EQ(two[1], 0xF8);
  storePixel(two, 0xF81Fu, PixelLayout{2, true});
  EXPECT_EQ(two[0], 0xF8);
  EXPECT_EQ(loadPixel(two, PixelLayout{2, true}), 0xF81Fu);
}

}  // namespace
}  // namespace glimmerweave
