#include "platform/win32/win32_frame_timer.h"

#include <windows.h>
// mmsystem.h needs windows.h first.
#include <mmsystem.h>

namespace glimmerweave::win32 {

std::uint32_t FrameTimer::idle() {
  const DWORD now = timeGetTime();
  if (!started_) {
    started_ = true;
    last_ = now;
  }
  const DWORD elapsed = now - last_;
  if (elapsed >= Interval) {
    last_ = now;
    OnTimer();
    return 0;
  }
  return Interval - elapsed;
}

int runMessageLoop(FrameTimer* timer, const PreDispatchHook& preDispatch) {
  MSG message;
  for (;;) {
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) return static_cast<int>(message.wParam);
      if (preDispatch && preDispatch(&message)) continue;
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    if (timer && timer->running()) {
      // Between ticks the loop sleeps until the next tick is due or a message
      // arrives, instead of spinning.
      const std::uint32_t wait = timer->idle();
      if (wait > 0) MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_ALLINPUT);
    } else {
      WaitMessage();
    }
  }
}

}  // namespace glimmerweave::win32
