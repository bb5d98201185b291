// The native program's front-end for X: the animation in a window of its own,
// in xscreensaver's window or on the root window, until a key, its window's
// closing, a signal on `signals` (a signalfd) or the server's end.
#pragma once

#include "native_program/hack_options.h"
#include "native_program/native_main.h"

namespace glimmerweave::x11 {

// Runs on the display of -display or $DISPLAY, in the window that the options or
// `xscreensaverWindow` ($XSCREENSAVER_WINDOW, null when unset) name. Not reached
// when no display can be opened.
FrontEndOutcome runOnX11(const HackOptions& options, const char* xscreensaverWindow, int signals);

}  // namespace glimmerweave::x11
