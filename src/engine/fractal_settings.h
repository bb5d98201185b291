// The five user settings that drive the animation. One record per process; the
// settings store fills it, the engine reads Speed and Algorithm at every tick.
#pragma once

#include <cstdint>

namespace glimmerweave {

struct FractalSettings {
  std::int32_t Speed = 0;
  std::int32_t Brightness = 0;
  std::int32_t Algorithm = 0;
  std::int32_t Detail = 0;
  bool RandomAlgorithm = false;
};

}  // namespace glimmerweave
