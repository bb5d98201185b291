// How a display stores a pixel: where each colour's bits lie in the pixel value
// (the red, green and blue masks of an X visual), and how the value's bytes lie
// in memory. Colours are converted through the masks alone, so no byte order
// and no bit depth is assumed: 8 bits a colour at depth 24 or 32, 5-6-5 at
// depth 16, 5-5-5 at depth 15, either colour order.
#pragma once

#include <cstdint>
#include <optional>

namespace glimmerweave {

// The bytes of one pixel in memory: 2, 3 or 4 of them, least or most
// significant byte first.
struct PixelLayout {
  int bytesPerPixel = 4;
  bool mostSignificantFirst = false;
};

class PixelFormat {
 public:
  // Red in bits 16..23, green 8..15, blue 0..7, depth 24: the usual TrueColor visual.
  PixelFormat();

  // The format of these masks at this depth; none when a mask is empty, not one
  // run of bits or wider than 16 bits, when two masks overlap, or when a mask
  // reaches beyond the depth (1..32).
  static std::optional<PixelFormat> fromMasks(std::uint32_t red, std::uint32_t green,
                                              std::uint32_t blue, int depth);

  // The pixel value of an 8-bit colour. Narrower colours keep the high bits;
  // wider ones repeat the 8 bits downwards. Bits of the depth that no mask
  // covers (the alpha of a depth-32 visual) are set, so the pixel is opaque.
  std::uint32_t pack(std::uint8_t red, std::uint8_t green, std::uint8_t blue) const {
    return red_.place(red) | green_.place(green) | blue_.place(blue) | fill_;
  }

  // The 8-bit colours of a pixel value: narrower colours have their bits
  // repeated downwards (31 of 5 bits gives 255).
  void unpack(std::uint32_t pixel, std::uint8_t& red, std::uint8_t& green,
              std::uint8_t& blue) const;

  int depth() const { return depth_; }

 private:
  struct Channel {
    int shift = 0;
    int bits = 8;

    std::uint32_t place(std::uint8_t value) const {
      const std::uint32_t v = value;
      const std::uint32_t scaled =
          bits <= 8 ? v >> (8 - bits) : (v << (bits - 8)) | (v >> (16 - bits));
      return scaled << shift;
    }
    std::uint8_t take(std::uint32_t pixel) const;
  };

  static std::optional<Channel> channelOf(std::uint32_t mask);

  Channel red_{16, 8};
  Channel green_{8, 8};
  Channel blue_{0, 8};
  std::uint32_t fill_ = 0;
  int depth_ = 24;
};

// Writes a pixel value in the layout's byte order.
inline void storePixel(std::uint8_t* at, std::uint32_t pixel, const PixelLayout& layout) {
  const int n = layout.bytesPerPixel;
  for (int i = 0; i < n; ++i) {
    const int shift = 8 * (layout.mostSignificantFirst ? n - 1 - i : i);
    at[i] = static_cast<std::uint8_t>(pixel >> shift);
  }
}

// Reads a pixel value written in the layout's byte order.
inline std::uint32_t loadPixel(const std::uint8_t* at, const PixelLayout& layout) {
  const int n = layout.bytesPerPixel;
  std::uint32_t pixel = 0;
  for (int i = 0; i < n; ++i) {
    const int shift = 8 * (layout.mostSignificantFirst ? n - 1 - i : i);
    pixel |= std::uint32_t{at[i]} << shift;
  }
  return pixel;
}

}  // namespace glimmerweave
