#include "platform/win32/win32_frame_timer.h"

#include <windows.h>
// mmsystem.h needs windows.h first.
#include <mmsystem.h>

namespace glimmerweave::win32 {

namespace {

constexpr UINT kFineTimingMs = 1;

}  // namespace

FineTiming::~FineTiming() {
  hold(false);
}

void FineTiming::hold(bool wanted) {
  if (wanted == held_) return;
  if (wanted) {
    held_ = timeBeginPeriod(kFineTimingMs) == TIMERR_NOERROR;
  } else {
    timeEndPeriod(kFineTimingMs);
    held_ = false;
  }
}

int runMessageLoop(FrameTimer* timer, const PreDispatchHook& preDispatch) {
  FineTiming fineTiming;
  MSG message;
  for (;;) {
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) return static_cast<int>(message.wParam);
      if (preDispatch && preDispatch(&message)) continue;
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    if (timer && timer->running()) {
      fineTiming.hold(true);
      // Between ticks the loop sleeps until the next tick is due or a message
      // arrives, instead of spinning.
      const std::uint32_t wait = timer->idle(FrameTimer::Clock::now());
      if (wait > 0) MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_ALLINPUT);
    } else {
      fineTiming.hold(false);
      WaitMessage();
    }
  }
}

}  // namespace glimmerweave::win32
