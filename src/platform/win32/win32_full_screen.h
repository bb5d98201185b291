// The full-screen form: a borderless, top-most window captioned "Glimmerweave"
// covering the screen, whose events drive the full-screen run.
#pragma once

#include "engine/engine.h"

namespace glimmerweave::win32 {

inline constexpr const char* kFullScreenClass = "TForm1";

// Creates the form, runs the message loop until the run ends, and returns the
// program's exit status.
int runFullScreen(Fractals& fractals);

}  // namespace glimmerweave::win32
