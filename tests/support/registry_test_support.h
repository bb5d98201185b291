// Filling an in-memory settings key for the tests.
#pragma once

#include <cstdint>

#include "settings/registry.h"

namespace glimmerweave::testing {

// Stores the five settings values as REG_DWORD.
inline void storeSettings(MemoryRegistry& registry, std::uint32_t speed, std::uint32_t brightness,
                          std::uint32_t algorithm, std::uint32_t detail, std::uint32_t rands) {
  registry.setDword("Speed", speed);
  registry.setDword("Brightness", brightness);
  registry.setDword("Algoritm", algorithm);
  registry.setDword("Detail", detail);
  registry.setDword("Rands", rands);
}

}  // namespace glimmerweave::testing
