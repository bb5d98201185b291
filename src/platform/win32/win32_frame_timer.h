// The user-interface thread's message loop, which ticks a form's frame timer
// (presentation/frame_timer.h) from its idle time, and the system's clock,
// waits and fine timing (windows_modes/timing_service.h) through winmm.
#pragma once

#include <cstdint>
#include <functional>

#include "presentation/frame_timer.h"
#include "windows_modes/timing_service.h"

namespace glimmerweave::win32 {

// Fine timing is timeBeginPeriod(1): without it a wait ends only on the system
// timer's next beat, so a 40 ms wait lasts 46.875 ms at the default 15.625 ms
// beat (the frame timer's grid still keeps the ticks 40 ms apart on average;
// fine timing makes each gap 40 ms). Since Windows 10 2004 the request holds
// for this process alone, before that for the whole system.
class SystemTiming : public TimingService {
 public:
  Clock::time_point now() override;
  void sleepFor(Clock::duration duration) override;
  bool beginFineTiming() override;
  void endFineTiming() override;
};

// Sees each message the loop takes from the queue before it is dispatched;
// `message` points to the MSG. Returns true when it has dealt with the message,
// which then is not dispatched.
using PreDispatchHook = std::function<bool(void* message)>;

// Runs the thread's message loop until WM_QUIT, ticking `timer` when idle and
// offering each message to `preDispatch` first, if given. With
// `fineTimingWhileTicking` the loop holds fine timing while the timer runs.
// Returns the quit message's exit code.
int runMessageLoop(FrameTimer* timer, const PreDispatchHook& preDispatch = {},
                   TimingService* fineTimingWhileTicking = nullptr);

}  // namespace glimmerweave::win32
