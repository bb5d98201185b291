#include "presentation/pixel_format.h"

namespace glimmerweave {

PixelFormat::PixelFormat() = default;

std::optional<PixelFormat::Channel> PixelFormat::channelOf(std::uint32_t mask) {
  if (mask == 0) return std::nullopt;
  int shift = 0;
  while (((mask >> shift) & 1u) == 0) ++shift;
  const std::uint32_t run = mask >> shift;
  // One run of bits: run + 1 is a power of two (or wraps to 0 for 32 bits).
  if ((run & (run + 1)) != 0) return std::nullopt;
  int bits = 0;
  while (bits < 32 && ((run >> bits) & 1u) != 0) ++bits;
  if (bits > 16) return std::nullopt;
  return Channel{shift, bits};
}

std::optional<PixelFormat> PixelFormat::fromMasks(std::uint32_t red, std::uint32_t green,
                                                  std::uint32_t blue, int depth) {
  if (depth < 1 || depth > 32) return std::nullopt;
  if ((red & green) != 0 || (red & blue) != 0 || (green & blue) != 0) return std::nullopt;
  const std::uint32_t depthMask = depth == 32 ? 0xFFFFFFFFu : (1u << depth) - 1u;
  if (((red | green | blue) & ~depthMask) != 0) return std::nullopt;
  const auto r = channelOf(red);
  const auto g = channelOf(green);
  const auto b = channelOf(blue);
  if (!r || !g || !b) return std::nullopt;
  PixelFormat format;
  format.red_ = *r;
  format.green_ = *g;
  format.blue_ = *b;
  format.fill_ = depthMask & ~(red | green | blue);
  format.depth_ = depth;
  return format;
}

std::uint8_t PixelFormat::Channel::take(std::uint32_t pixel) const {
  const std::uint32_t field = (pixel >> shift) & ((1u << bits) - 1u);
  if (bits >= 8) return static_cast<std::uint8_t>(field >> (bits - 8));
  // Repeat the field's bits downwards until all eight are filled.
  std::uint32_t value = 0;
  for (int filled = 0; filled < 8; filled += bits) value |= (field << (8 - bits)) >> filled;
  return static_cast<std::uint8_t>(value);
}

void PixelFormat::unpack(std::uint32_t pixel, std::uint8_t& red, std::uint8_t& green,
                         std::uint8_t& blue) const {
  red = red_.take(pixel);
  green = green_.take(pixel);
  blue = blue_.take(pixel);
}

}  // namespace glimmerweave
