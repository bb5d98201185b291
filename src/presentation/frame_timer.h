// The frame timer `DXTimer`: ticks every Interval ms from the idle time of the
// user-interface thread's message loop, only while the application is active.
// The ticks keep to a fixed grid (TickSchedule), so that waits that end late
// (Windows rounds a wait up to its timer's beat, 15.625 ms unless asked for
// finer) make single ticks late but never the whole run slow: Interval ms
// apart on average, not Interval plus the rounding. Ticks never overlap and are
// never queued up. The timer decides only when to tick and how long to wait;
// the platform's message loop reads the clock, waits and asks again
// (win32_frame_timer.h).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "presentation/tick_schedule.h"

namespace glimmerweave {

class FrameTimer {
 public:
  using Clock = TickSchedule::Clock;

  std::uint32_t Interval = 40;
  bool Enabled = true;
  std::function<void()> OnTimer;

  // The application was activated or deactivated.
  void setActive(bool active) { active_ = active; }
  bool running() const { return Enabled && active_ && OnTimer != nullptr; }

  // Called at `now` when the message queue is empty and the timer runs: ticks
  // and returns 0 when a tick is due; otherwise returns how many ms to wait
  // for the next, rounded up, so that the wait does not end before it is due.
  std::uint32_t idle(Clock::time_point now);

 private:
  bool active_ = false;
  std::optional<TickSchedule> schedule_;
};

}  // namespace glimmerweave
