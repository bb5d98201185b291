#include "presentation/frame_text.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace glimmerweave {

namespace {

constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;
constexpr int kAdvance = kGlyphWidth + 1;
constexpr int kLineHeight = kGlyphHeight + 2;
constexpr int kPadding = 2;  // black around the text, inside the box
constexpr int kMargin = 4;   // between the box and the image's edges

// One character: seven rows of five pixels, the leftmost in bit 4.
struct Glyph {
  char character;
  std::array<std::uint8_t, kGlyphHeight> rows;
};

constexpr Glyph kFont[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}},
    {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}},
    {'a', {0x00, 0x00, 0x0E, 0x01, 0x0F, 0x11, 0x0F}},
    {'e', {0x00, 0x00, 0x0E, 0x11, 0x1F, 0x10, 0x0E}},
    {'f', {0x06, 0x09, 0x08, 0x1C, 0x08, 0x08, 0x08}},
    {'m', {0x00, 0x00, 0x1A, 0x15, 0x15, 0x11, 0x11}},
    {'p', {0x00, 0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10}},
    {'r', {0x00, 0x00, 0x16, 0x19, 0x10, 0x10, 0x10}},
    {'s', {0x00, 0x00, 0x0E, 0x10, 0x0E, 0x01, 0x1E}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}},
    {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
};

const Glyph* glyphOf(char character) {
  for (const Glyph& glyph : kFont)
    if (glyph.character == character) return &glyph;
  return nullptr;
}

// Sets a pixel inside the image to grey level `level`; nothing outside it.
void setPixel(FrameImage& image, int row, int column, std::uint8_t level) {
  if (row < 0 || row >= image.height() || column < 0 || column >= image.width()) return;
  std::uint8_t* pixel = image.row(row) + std::size_t(column) * 3;
  pixel[0] = pixel[1] = pixel[2] = level;
}

}  // namespace

TextBox frameTextBox(std::string_view text, int imageHeight) {
  int lines = 1;
  int longest = 0;
  int length = 0;
  for (const char character : text) {
    if (character == '\n') {
      ++lines;
      length = 0;
    } else {
      longest = std::max(longest, ++length);
    }
  }
  TextBox box;
  box.width = longest * kAdvance - 1 + 2 * kPadding;
  box.height = lines * kLineHeight - (kLineHeight - kGlyphHeight) + 2 * kPadding;
  box.left = kMargin;
  box.top = imageHeight - kMargin - box.height;
  return box;
}

void drawFrameText(FrameImage& image, std::string_view text) {
  const TextBox box = frameTextBox(text, image.height());
  for (int r = box.top; r < box.top + box.height; ++r)
    for (int c = box.left; c < box.left + box.width; ++c) setPixel(image, r, c, 0);
  int top = box.top + kPadding;
  int left = box.left + kPadding;
  for (const char character : text) {
    if (character == '\n') {
      top += kLineHeight;
      left = box.left + kPadding;
      continue;
    }
    if (const Glyph* glyph = glyphOf(character)) {
      for (int r = 0; r < kGlyphHeight; ++r)
        for (int c = 0; c < kGlyphWidth; ++c)
          if (glyph->rows[std::size_t(r)] & (0x10 >> c)) setPixel(image, top + r, left + c, 255);
    }
    left += kAdvance;
  }
}

}  // namespace glimmerweave
