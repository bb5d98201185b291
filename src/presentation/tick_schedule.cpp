#include "presentation/tick_schedule.h"

namespace glimmerweave {

void TickSchedule::start(Clock::time_point now) {
  due_ = now;
}

TickSchedule::Clock::duration TickSchedule::untilDue(Clock::time_point now) const {
  return now >= due_ ? Clock::duration::zero() : due_ - now;
}

void TickSchedule::tickStarted(Clock::time_point now) {
  due_ += period_;
  if (due_ <= now) due_ = now + period_;
}

}  // namespace glimmerweave
