// The user-interface thread's message loop, which ticks a form's frame timer
// (presentation/frame_timer.h) from its idle time. While the timer runs the
// loop holds Windows to 1 ms timing, so that its waits end when a tick is due
// rather than on the system timer's next beat (every 15.625 ms by default).
#pragma once

#include <cstdint>
#include <functional>

#include "presentation/frame_timer.h"

namespace glimmerweave::win32 {

// Holds Windows to 1 ms timing while asked to, and gives it back at the latest
// when it goes. Without it a wait ends only on the system timer's next beat: a
// 40 ms wait lasts 46.9 ms at the default 15.625 ms. Since Windows 10 2004 the
// request holds for this process alone. Fine timing costs the system power, so
// it is held only while frames are ticking.
class FineTiming {
 public:
  FineTiming() = default;
  ~FineTiming();
  FineTiming(const FineTiming&) = delete;
  FineTiming& operator=(const FineTiming&) = delete;

  void hold(bool wanted);

 private:
  bool held_ = false;
};

// Sees each message the loop takes from the queue before it is dispatched;
// `message` points to the MSG. Returns true when it has dealt with the message,
// which then is not dispatched.
using PreDispatchHook = std::function<bool(void* message)>;

// Runs the thread's message loop until WM_QUIT, ticking `timer` when idle and
// offering each message to `preDispatch` first, if given. Returns the quit
// message's exit code.
int runMessageLoop(FrameTimer* timer, const PreDispatchHook& preDispatch = {});

}  // namespace glimmerweave::win32
