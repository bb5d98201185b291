// The X protocol errors of one display connection, collected instead of ending
// the program: the program reads them where a failure is expected (a shared
// memory segment the server cannot attach, a window that is gone) and decides.
#pragma once

#include <string>

#include "platform/x11/x11_xlib.h"

namespace glimmerweave::x11 {

class ErrorTrap {
 public:
  // Collects the display's errors from now on, until the trap is destroyed.
  explicit ErrorTrap(Display* display);
  ~ErrorTrap();
  ErrorTrap(const ErrorTrap&) = delete;
  ErrorTrap& operator=(const ErrorTrap&) = delete;

  // Errors received since the trap was made or last cleared.
  int count() const { return count_; }
  void clear() { count_ = 0; }
  // The last error received: its code, and the serial of the request that failed.
  unsigned char lastCode() const { return lastCode_; }
  unsigned long lastSerial() const { return lastSerial_; }
  // The last error as the server's error database words it.
  std::string describeLast() const;

 private:
  static int handle(Display* display, XErrorEvent* error);

  Display* display_;
  XErrorHandler previous_;
  int count_ = 0;
  unsigned char lastCode_ = 0;
  unsigned char lastRequest_ = 0;
  unsigned long lastSerial_ = 0;
};

}  // namespace glimmerweave::x11
