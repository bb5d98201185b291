#include "presentation/stretch.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/frame_pool.h"

namespace glimmerweave {

namespace {

// ---------------------------------------------------------------------------
// Shared pieces

std::uint8_t* targetRow(const PixelTarget& target, int row) {
  return target.data + std::size_t(row) * target.stride;
}

// Copies a finished target row into the next one that shows the same source row.
void repeatRow(const PixelTarget& target, int from, int to) {
  std::memcpy(targetRow(target, to), targetRow(target, from),
              std::size_t(target.width) * std::size_t(target.layout.bytesPerPixel));
}

void fillBlack(const PixelTarget& target, int begin, int end) {
  const std::uint32_t black = target.format.pack(0, 0, 0);
  for (int r = begin; r < end; ++r) {
    std::uint8_t* out = targetRow(target, r);
    for (int c = 0; c < target.width; ++c, out += target.layout.bytesPerPixel)
      storePixel(out, black, target.layout);
  }
}

// ---------------------------------------------------------------------------
// Nearest pixel

// Rows begin..end-1 of the target; each band starts afresh, so that bands can
// be filled side by side.
void stretchNearest(const FrameImage& image, const PixelTarget& target, int begin, int end) {
  std::vector<int> columns(std::size_t(target.width));
  for (int c = 0; c < target.width; ++c)
    columns[std::size_t(c)] = nearestSourceIndex(c, image.width(), target.width);
  // One source row at a time, converted to pixel values once.
  std::vector<std::uint32_t> packed(std::size_t(image.width()));
  int previousSource = -1;
  for (int r = begin; r < end; ++r) {
    const int source = nearestSourceIndex(r, image.height(), target.height);
    if (source == previousSource) {
      repeatRow(target, r - 1, r);
      continue;
    }
    previousSource = source;
    const std::uint8_t* bgr = image.row(source);
    for (std::size_t c = 0; c < packed.size(); ++c, bgr += 3)
      packed[c] = target.format.pack(bgr[2], bgr[1], bgr[0]);
    std::uint8_t* out = targetRow(target, r);
    for (const int column : columns) {
      storePixel(out, packed[std::size_t(column)], target.layout);
      out += target.layout.bytesPerPixel;
    }
  }
}

// ---------------------------------------------------------------------------
// Smooth

// Where a target pixel's centre falls between two source pixels: the first of
// them, the second, and the weight of the second in 256ths.
struct Tap {
  int first = 0;
  int second = 0;
  std::uint32_t weight = 0;
};

Tap tapFor(int index, int sourceSize, int targetSize) {
  // The centre in 256ths of a source pixel, measured from the first pixel's centre.
  const std::int64_t centre = (std::int64_t{2} * index + 1) * sourceSize * 128 / targetSize - 128;
  const std::int64_t last = std::int64_t{sourceSize - 1} * 256;
  const std::int64_t at = std::clamp<std::int64_t>(centre, 0, last);
  Tap tap;
  tap.first = static_cast<int>(at / 256);
  tap.second = std::min(tap.first + 1, sourceSize - 1);
  tap.weight = static_cast<std::uint32_t>(at % 256);
  return tap;
}

// A source row blended across: red, green and blue per target column, in
// 256ths of the 8-bit values.
void blendAcross(const FrameImage& image, int row, const std::vector<Tap>& columns,
                 std::vector<std::uint32_t>& out) {
  const std::uint8_t* bgr = image.row(row);
  std::uint32_t* value = out.data();
  for (const Tap& tap : columns) {
    const std::uint8_t* a = bgr + std::size_t(tap.first) * 3;
    const std::uint8_t* b = bgr + std::size_t(tap.second) * 3;
    for (int channel = 2; channel >= 0; --channel)
      *value++ = a[channel] * (256 - tap.weight) + b[channel] * tap.weight;
  }
}

void stretchSmooth(const FrameImage& image, const PixelTarget& target, int begin, int end) {
  std::vector<Tap> columns(std::size_t(target.width));
  for (int c = 0; c < target.width; ++c)
    columns[std::size_t(c)] = tapFor(c, image.width(), target.width);
  const std::size_t rowValues = std::size_t(target.width) * 3;
  // The two source rows the current target row lies between, blended across.
  std::vector<std::uint32_t> upper(rowValues);
  std::vector<std::uint32_t> lower(rowValues);
  int upperRow = -1;
  int lowerRow = -1;
  Tap previous{-1, -1, 0};
  for (int r = begin; r < end; ++r) {
    const Tap tap = tapFor(r, image.height(), target.height);
    if (tap.first == previous.first && tap.second == previous.second &&
        tap.weight == previous.weight) {
      repeatRow(target, r - 1, r);
      continue;
    }
    previous = tap;
    if (upperRow != tap.first) {
      if (lowerRow == tap.first) {
        std::swap(upper, lower);
        std::swap(upperRow, lowerRow);
      } else {
        blendAcross(image, tap.first, columns, upper);
        upperRow = tap.first;
      }
    }
    if (lowerRow != tap.second) {
      blendAcross(image, tap.second, columns, lower);
      lowerRow = tap.second;
    }
    std::uint8_t* out = targetRow(target, r);
    const std::uint32_t* a = upper.data();
    const std::uint32_t* b = lower.data();
    for (int c = 0; c < target.width; ++c) {
      std::uint8_t rgb[3];
      for (std::uint8_t& channel : rgb) {
        // 256ths of 256ths, rounded to the nearest 8-bit value.
        const std::uint32_t blended = *a++ * (256 - tap.weight) + *b++ * tap.weight;
        channel = static_cast<std::uint8_t>((blended + 32768) >> 16);
      }
      storePixel(out, target.format.pack(rgb[0], rgb[1], rgb[2]), target.layout);
      out += target.layout.bytesPerPixel;
    }
  }
}

}  // namespace

int nearestSourceIndex(int index, int sourceSize, int targetSize) {
  return static_cast<int>((std::int64_t{2} * index + 1) * sourceSize /
                          (std::int64_t{2} * targetSize));
}

void stretchImageRows(const FrameImage& image, const PixelTarget& target, StretchFilter filter,
                      int begin, int end) {
  begin = std::max(begin, 0);
  end = std::min(end, target.height);
  if (target.width <= 0 || begin >= end) return;
  if (image.width() <= 0 || image.height() <= 0) {
    fillBlack(target, begin, end);
    return;
  }
  switch (filter) {
    case StretchFilter::Nearest:
      stretchNearest(image, target, begin, end);
      return;
    case StretchFilter::Smooth:
      stretchSmooth(image, target, begin, end);
      return;
  }
}

void stretchImage(const FrameImage& image, const PixelTarget& target, StretchFilter filter) {
  stretchImageRows(image, target, filter, 0, target.height);
}

void stretchImage(const FrameImage& image, const PixelTarget& target, StretchFilter filter,
                  FramePool& pool) {
  struct Job {
    const FrameImage* image;
    const PixelTarget* target;
    StretchFilter filter;
    unsigned bands;
  } job{&image, &target, filter, pool.threads()};
  pool.run(
      [](void* context, unsigned participant) {
        const auto& j = *static_cast<const Job*>(context);
        const auto rows = static_cast<long long>(j.target->height);
        stretchImageRows(*j.image, *j.target, j.filter,
                         static_cast<int>(rows * participant / j.bands),
                         static_cast<int>(rows * (participant + 1) / j.bands));
      },
      &job);
}

}  // namespace glimmerweave
