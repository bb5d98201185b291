#include "windows_modes/timing_service.h"

namespace glimmerweave {

void FineTimingHold::hold(bool wanted) {
  if (wanted == held_) return;
  if (wanted) {
    held_ = timing_.beginFineTiming();
  } else {
    timing_.endFineTiming();
    held_ = false;
  }
}

}  // namespace glimmerweave
