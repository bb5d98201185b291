// The native program's front-end for Wayland: a window (-window, an xdg-shell
// toplevel), a screen saver over every output (-saver) or a wallpaper
// (-background), both on wlroots' layer shell.
#pragma once

#include "native_program/hack_options.h"
#include "native_program/native_main.h"

namespace glimmerweave::wayland {

// Runs on the compositor of $WAYLAND_SOCKET or $WAYLAND_DISPLAY until a key (or,
// for -saver, a button or a pointer movement of more than 5 pixels), the window's
// closing, a signal on `signals` (a signalfd) or the compositor's end. Not reached
// when no compositor answers.
FrontEndOutcome runOnWayland(const HackOptions& options, int signals);

}  // namespace glimmerweave::wayland
