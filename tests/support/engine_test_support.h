// Shared set-up for the engine's tests: a fresh engine with chosen phases.
#pragma once

#include <memory>
#include <vector>

#include "engine/engine.h"

namespace glimmerweave::testing {

// A fresh engine (all state zero) that draws the given frame with the phases
// standing still at A and B.
inline std::unique_ptr<Fractals> stillEngine(int algorithm, int width, int height,
                                             long double phaseA = 1.0L, long double phaseB = 2.0L) {
  auto fractals = std::make_unique<Fractals>();
  fractals->settings.Algorithm = algorithm;
  fractals->settings.Speed = 0;
  fractals->EngineBrightness = 100;
  fractals->FrameWidth = width;
  fractals->FrameHeight = height;
  fractals->state.PhaseA = phaseA;
  fractals->state.PhaseB = phaseB;
  return fractals;
}

struct Cell {
  int red, green, blue;
  bool operator==(const Cell&) const = default;
};

inline Cell cellAt(const Fractals& fractals, int row, int column) {
  const auto i = ColorPlanes::index(row, column);
  return Cell{fractals.planes.red[i], fractals.planes.green[i], fractals.planes.blue[i]};
}

// The frame's cells, row by row, as one vector (red, green, blue per cell).
inline std::vector<int> frameCells(const Fractals& fractals) {
  std::vector<int> cells;
  const int width = boundedFrameWidth(fractals.FrameWidth);
  const int height = boundedFrameHeight(fractals.FrameHeight);
  for (int r = 0; r < height; ++r)
    for (int c = 0; c < width; ++c) {
      const Cell cell = cellAt(fractals, r, c);
      cells.insert(cells.end(), {cell.red, cell.green, cell.blue});
    }
  return cells;
}

}  // namespace glimmerweave::testing
