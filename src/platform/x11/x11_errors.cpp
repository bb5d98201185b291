#include "platform/x11/x11_errors.h"

#include <cstdio>

namespace glimmerweave::x11 {

namespace {

// Xlib's error handler is one for the process and is given no user data, so the
// handler finds a display's trap through Xlib's context manager, filed under a
// quark of a fixed name: no global variable is involved.
XContext trapContext() {
  return static_cast<XContext>(XrmPermStringToQuark("glimmerweave-error-trap"));
}

}  // namespace

ErrorTrap::ErrorTrap(Display* display) : display_(display) {
  XSaveContext(display_, DefaultRootWindow(display_), trapContext(),
               reinterpret_cast<XPointer>(this));
  previous_ = XSetErrorHandler(&ErrorTrap::handle);
}

ErrorTrap::~ErrorTrap() {
  XSetErrorHandler(previous_);
  XDeleteContext(display_, DefaultRootWindow(display_), trapContext());
}

int ErrorTrap::handle(Display* display, XErrorEvent* error) {
  XPointer found = nullptr;
  if (XFindContext(display, DefaultRootWindow(display), trapContext(), &found) != 0 || !found) {
    // A display without a trap: report as Xlib would, but go on.
    char text[256] = "";
    XGetErrorText(display, error->error_code, text, sizeof text);
    std::fprintf(stderr, "glimmerweave: X error: %s (request %d)\n", text, error->request_code);
    return 0;
  }
  auto* trap = reinterpret_cast<ErrorTrap*>(found);
  ++trap->count_;
  trap->lastCode_ = error->error_code;
  trap->lastRequest_ = error->request_code;
  trap->lastSerial_ = error->serial;
  return 0;
}

std::string ErrorTrap::describeLast() const {
  char text[256] = "";
  XGetErrorText(display_, lastCode_, text, sizeof text);
  return std::string(text) + " (request " + std::to_string(lastRequest_) + ")";
}

}  // namespace glimmerweave::x11
