// Whether a window can be seen, as far as X tells it. The server reports a
// viewable window's visibility as it changes (VisibilityNotify), but not the
// state it is in when a client starts watching, not an ancestor's unmapping,
// and never that the root window is hidden under the windows it holds; these
// answer those questions by asking the server.
#pragma once

#include <vector>

#include "platform/x11/x11_xlib.h"

namespace glimmerweave::x11 {

// The windows between `window` and the root, nearest first (neither included).
std::vector<Window> ancestorsOf(::Display* display, Window window);

// Whether `window` and all its ancestors are mapped.
bool isViewable(::Display* display, Window window);

// Whether the mapped windows stacked above `window` (above it or above one of
// its ancestors) cover it whole; for the root window, whether the windows it
// holds cover the screen.
bool isCoveredWhole(::Display* display, Window window);

}  // namespace glimmerweave::x11
