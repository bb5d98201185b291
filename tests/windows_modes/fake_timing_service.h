// A system clock whose waits end on a beat of the system timer, as Windows'
// do without fine timing, and which counts the fine timing asked for.
#pragma once

#include <chrono>

#include "windows_modes/timing_service.h"

namespace glimmerweave::testing {

class FakeTimingService : public TimingService {
 public:
  // Windows' default timer beat.
  static constexpr Clock::duration kBeat = std::chrono::microseconds(15625);

  Clock::time_point time{};
  int begins = 0;
  int ends = 0;

  bool held() const { return begins > ends; }

  Clock::time_point now() override { return time; }
  void sleepFor(Clock::duration duration) override {
    if (duration <= Clock::duration::zero()) return;
    // The first beat at or after the time the wait is due.
    const Clock::duration due = (time + duration).time_since_epoch();
    time = Clock::time_point((due + kBeat - Clock::duration(1)) / kBeat * kBeat);
  }
  bool beginFineTiming() override {
    ++begins;
    return true;
  }
  void endFineTiming() override { ++ends; }
};

}  // namespace glimmerweave::testing
