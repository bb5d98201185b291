// Text drawn into the frame image: each character of the -fps figures a shape
// of its own, white on a black box in the lower left corner, nothing else
// touched.
#include "presentation/frame_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

namespace glimmerweave {
namespace {

constexpr std::uint8_t kGrey = 0x80;

FrameImage grey(int width, int height) {
  FrameImage image;
  image.setSize(width, height);
  for (int r = 0; r < height; ++r)
    std::fill(image.row(r), image.row(r) + std::size_t(width) * 3, kGrey);
  return image;
}

TEST(FrameText, EachCharacterOfTheFiguresHasAShapeOfItsOwnAndOthersAreBlank) {
  std::set<std::string> shapes;
  for (const char character : std::string("0123456789.-fpsmCUPera#")) {
    const std::string text(1, character);
    FrameImage image = grey(60, 40);
    drawFrameText(image, text);
    const TextBox box = frameTextBox(text, 40);
    // In the lower left quarter, and nothing drawn outside the box.
    EXPECT_LE(box.left + box.width, 30);
    EXPECT_GE(box.top, 20);
    EXPECT_EQ(std::count_if(image.data(), image.data() + image.sizeInBytes(),
                            [](std::uint8_t byte) { return byte != kGrey; }),
              std::ptrdiff_t{box.width} * box.height * 3);
    std::string shape;  // the bytes of the box's pixels
    for (int r = box.top; r < box.top + box.height; ++r)
      shape.append(reinterpret_cast<const char*>(image.row(r)) + box.left * 3,
                   std::size_t(box.width) * 3);
    const auto white = std::count(shape.begin(), shape.end(), '\xff');
    EXPECT_EQ(white + std::count(shape.begin(), shape.end(), '\0'), std::ssize(shape));
    EXPECT_EQ(white == 0, character == '#') << character;
    EXPECT_TRUE(shapes.insert(shape).second) << character << " looks like another character";
  }
}

}  // namespace
}  // namespace glimmerweave
