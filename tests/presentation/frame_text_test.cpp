// Text drawn into the frame image: the -fps figures' characters, each its own
// shape, white on a black box in the lower left corner, nothing else touched.
#include "presentation/frame_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

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

// The grey levels of the box's pixels (each pixel's blue, green and red are equal).
std::string boxPixels(const FrameImage& image, const TextBox& box) {
  std::string levels;
  for (int r = box.top; r < box.top + box.height; ++r)
    for (int c = box.left; c < box.left + box.width; ++c) {
      const std::uint8_t* pixel = image.row(r) + std::size_t(c) * 3;
      EXPECT_TRUE(pixel[0] == pixel[1] && pixel[1] == pixel[2]);
      levels.push_back(static_cast<char>(pixel[0]));
    }
  return levels;
}

TEST(FrameText, EachCharacterOfTheFiguresHasAShapeOfItsOwn) {
  std::set<std::string> shapes;
  for (const char character : std::string("0123456789.-fpsmCUPera")) {
    FrameImage image = grey(40, 30);
    const std::string text(1, character);
    drawFrameText(image, text);
    const std::string shape = boxPixels(image, frameTextBox(text, 30));
    const auto white = std::count(shape.begin(), shape.end(), '\xff');
    EXPECT_NE(white, 0) << character;
    EXPECT_EQ(white + std::count(shape.begin(), shape.end(), '\0'), static_cast<long>(shape.size()))
        << character;
    EXPECT_TRUE(shapes.insert(shape).second) << character << " looks like another character";
  }
  // A character the font lacks stays blank.
  FrameImage image = grey(40, 30);
  drawFrameText(image, "#");
  const std::string blank = boxPixels(image, frameTextBox("#", 30));
  EXPECT_EQ(std::count(blank.begin(), blank.end(), '\0'), static_cast<long>(blank.size()));
}

TEST(FrameText, LinesGoInABoxInTheLowerLeftCornerAndNothingElseChanges) {
  const std::string text = "25.0 fps\n38 ms per frame\n12.5 ms CPU per frame";
  for (const auto& [width, height] : std::vector<std::pair<int, int>>{{800, 600}, {60, 20}}) {
    FrameImage image = grey(width, height);
    drawFrameText(image, text);
    const TextBox box = frameTextBox(text, height);
    EXPECT_EQ(box.top + box.height,
              frameTextBox("x", height).top + frameTextBox("x", height).height);
    EXPECT_GT(box.height, 2 * frameTextBox("x", height).height);
    int changed = 0;
    for (int r = 0; r < height; ++r)
      for (int c = 0; c < width; ++c) {
        const bool inside =
            r >= box.top && r < box.top + box.height && c >= box.left && c < box.left + box.width;
        const bool grey = image.row(r)[std::size_t(c) * 3] == kGrey;
        EXPECT_EQ(grey, !inside) << width << "x" << height << " at " << r << "," << c;
        changed += grey ? 0 : 1;
      }
    EXPECT_GT(changed, 0);
  }
}

}  // namespace
}  // namespace glimmerweave
