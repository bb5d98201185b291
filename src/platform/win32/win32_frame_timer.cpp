#include "platform/win32/win32_frame_timer.h"

#include <windows.h>
// mmsystem.h needs windows.h first.
#include <mmsystem.h>

#include <chrono>
#include <optional>

namespace glimmerweave::win32 {

namespace {

constexpr UINT kFineTimingMs = 1;

}  // namespace

SystemTiming::Clock::time_point SystemTiming::now() {
  return Clock::now();
}

void SystemTiming::sleepFor(Clock::duration duration) {
  // Rounded up, so that the wait does not end before it is due.
  Sleep(static_cast<DWORD>(std::chrono::ceil<std::chrono::milliseconds>(duration).count()));
}

bool SystemTiming::beginFineTiming() {
  return timeBeginPeriod(kFineTimingMs) == TIMERR_NOERROR;
}

void SystemTiming::endFineTiming() {
  timeEndPeriod(kFineTimingMs);
}

int runMessageLoop(FrameTimer* timer, const PreDispatchHook& preDispatch,
                   TimingService* fineTimingWhileTicking) {
  std::optional<FineTimingHold> fineTiming;
  if (fineTimingWhileTicking) fineTiming.emplace(*fineTimingWhileTicking);
  MSG message;
  for (;;) {
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) return static_cast<int>(message.wParam);
      if (preDispatch && preDispatch(&message)) continue;
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    const bool ticking = timer && timer->running();
    if (fineTiming) fineTiming->hold(ticking);
    // Between ticks the loop sleeps until the next tick is due or a message
    // comes, instead of spinning; with the timer stopped, until a message
    // comes. A sent message (the system sends the display's power) wakes the
    // wait as a posted one does, since QS_ALLINPUT includes QS_SENDMESSAGE,
    // and the next PeekMessage delivers it: WaitMessage is documented to
    // return only for a message placed in the queue. MWMO_INPUTAVAILABLE also
    // wakes for input that an earlier look at the queue left in it.
    const DWORD wait = ticking ? timer->idle(FrameTimer::Clock::now()) : INFINITE;
    if (wait > 0) MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

}  // namespace glimmerweave::win32
