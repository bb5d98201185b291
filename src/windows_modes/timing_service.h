// The system's clock, waits and fine timing, as the Windows modes use them:
// the full-screen run holds fine timing while its frames tick, and the
// control panel's preview paces its repaints with the clock and the waits
// alone. src/platform/win32 implements the service; the tests count on a fake.
#pragma once

#include "presentation/tick_schedule.h"

namespace glimmerweave {

class TimingService {
 public:
  using Clock = TickSchedule::Clock;

  virtual ~TimingService() = default;
  virtual Clock::time_point now() = 0;
  // Waits at least `duration`. Without fine timing Windows ends a wait on its
  // timer's next beat (every 15.625 ms by default), up to a beat late.
  virtual void sleepFor(Clock::duration duration) = 0;
  // Asks for waits that end within about 1 ms of when they are due; false
  // when the system refused, and then there is nothing to give back. Before
  // Windows 10 2004 it holds for the whole system and keeps the processor out
  // of its power-saving states, so it is held only where it is worth that.
  virtual bool beginFineTiming() = 0;
  virtual void endFineTiming() = 0;
};

// Holds fine timing while it is wanted and gives it back at the latest when it
// goes, so that every begin the system granted is ended once.
class FineTimingHold {
 public:
  explicit FineTimingHold(TimingService& timing) : timing_(timing) {}
  ~FineTimingHold() { hold(false); }
  FineTimingHold(const FineTimingHold&) = delete;
  FineTimingHold& operator=(const FineTimingHold&) = delete;

  void hold(bool wanted);
  bool held() const { return held_; }

 private:
  TimingService& timing_;
  bool held_ = false;
};

}  // namespace glimmerweave
