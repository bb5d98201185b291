// The frame clock of the native program and of the Windows frame timer: a tick
// every 40 ms on a fixed grid, so that the ticks do not drift with the time each
// frame takes or with waits that end late. A tick that comes due while a frame
// is still being made starts as soon as that frame is done; the ticks missed
// meanwhile are dropped rather than queued, so a slow frame only slows the
// animation down. The schedule only answers questions about time; the
// program's loop sleeps (on its file descriptors, or in the Windows message
// loop) until a tick is due.
#pragma once

#include <chrono>

namespace glimmerweave {

class TickSchedule {
 public:
  using Clock = std::chrono::steady_clock;

  static constexpr Clock::duration kFramePeriod = std::chrono::milliseconds(40);

  explicit TickSchedule(Clock::duration period = kFramePeriod) : period_(period) {}

  // Starts the grid: the first tick is due at `now`.
  void start(Clock::time_point now);

  // How long until the next tick is due: zero when it is due or overdue.
  Clock::duration untilDue(Clock::time_point now) const;
  bool isDue(Clock::time_point now) const { return now >= due_; }

  // A tick starts at `now`: the next is due one period after this one was due,
  // or, when that time has passed already (the tick started more than a period
  // late), one period after `now`.
  void tickStarted(Clock::time_point now);

  Clock::time_point nextDue() const { return due_; }
  Clock::duration period() const { return period_; }

 private:
  Clock::duration period_;
  Clock::time_point due_{};
};

}  // namespace glimmerweave
