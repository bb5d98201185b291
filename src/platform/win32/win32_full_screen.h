// The full-screen form: a borderless, top-most window captioned "Glimmerweave"
// covering the screen, whose events drive the full-screen run.
#pragma once

#include <cstdint>

#include "engine/engine.h"

namespace glimmerweave::win32 {

inline constexpr const char* kFullScreenClass = "TForm1";

// The display's power state that a WM_POWERBROADCAST message (its wParam and
// lParam) carries: 0 off, 1 on, 2 dimmed; -1 when it is about something else.
int displayPowerState(std::uintptr_t event, std::intptr_t data);

// Creates the form, runs the message loop until the run ends, and returns the
// program's exit status.
int runFullScreen(Fractals& fractals);

}  // namespace glimmerweave::win32
