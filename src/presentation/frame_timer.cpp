#include "presentation/frame_timer.h"

#include <chrono>

namespace glimmerweave {

std::uint32_t FrameTimer::idle(Clock::time_point now) {
  const Clock::duration interval = std::chrono::milliseconds(Interval);
  if (!schedule_ || schedule_->period() != interval) {
    // The first tick comes one interval after the timer starts to run.
    schedule_.emplace(interval);
    schedule_->start(now + interval);
  }
  if (schedule_->isDue(now)) {
    schedule_->tickStarted(now);
    OnTimer();
    return 0;
  }
  return static_cast<std::uint32_t>(
      std::chrono::ceil<std::chrono::milliseconds>(schedule_->untilDue(now)).count());
}

}  // namespace glimmerweave
