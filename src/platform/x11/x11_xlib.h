// Xlib, its atoms, resource and utility parts, MIT-SHM, RENDER and DPMS, as the X layer includes
// them. Xlib's headers define a macro None, which would rewrite names of our own
// (ArithmeticError::None in the engine) in whatever is included after them; here it becomes the
// constant kNone instead, so the X layer may include headers in any order.
#pragma once

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xresource.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xrender.h>
#include <X11/extensions/dpms.h>

namespace glimmerweave::x11 {

// X's "no resource" (no window, no pixmap, no atom).
inline constexpr unsigned long kNone = None;

}  // namespace glimmerweave::x11

#undef None
