// The frame timer: ticks every Interval ms from the message loop's idle time,
// only while the application is active. Ticks never overlap or queue up.
#pragma once

#include <cstdint>
#include <functional>

namespace glimmerweave::win32 {

class FrameTimer {
 public:
  std::uint32_t Interval = 40;
  bool Enabled = true;
  std::function<void()> OnTimer;

  // The application was activated or deactivated.
  void setActive(bool active) { active_ = active; }
  bool running() const { return Enabled && active_ && OnTimer != nullptr; }

  // Called when the message queue is empty: ticks when an interval has passed
  // and returns how many ms remain until the next tick is due.
  std::uint32_t idle();

 private:
  bool active_ = false;
  bool started_ = false;
  std::uint32_t last_ = 0;
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
