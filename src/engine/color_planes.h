// The engine's output: red, green and blue intensity per pixel, in three fixed
// planes of 601 rows by 801 columns. A frame uses the top-left FrameWidth x
// FrameHeight cells; cells outside keep what an earlier, larger frame left.
#pragma once

#include <cstddef>
#include <cstdint>

namespace glimmerweave {

struct ColorPlanes {
  static constexpr int kColumns = 801;
  static constexpr int kRows = 601;
  static constexpr std::size_t kCells = std::size_t{kRows} * kColumns;

  // Index of cell (row, column) in each plane.
  static constexpr std::size_t index(int row, int column) {
    return std::size_t(row) * kColumns + std::size_t(column);
  }

  std::int32_t red[kCells] = {};
  std::int32_t green[kCells] = {};
  std::int32_t blue[kCells] = {};
};

}  // namespace glimmerweave
