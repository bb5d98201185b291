// The application: its title, and the one place where an error that ended an
// event handler reaches the user, in the error message box.
#pragma once

#include <cstdint>
#include <string>

namespace glimmerweave::win32 {

inline constexpr const char* kApplicationTitle = "Glimmerweave";

// The text the error box shows for a message: a full stop is added when the
// last character sorts after '.'.
std::string errorBoxText(const std::string& message);

// Shows the error box (error icon, OK, the application's title as caption),
// owned by `owner`, top-most, in the foreground and with the cursor shown while
// it is open. While one is open, further errors are dropped rather than
// stacked: events keep arriving while the box waits for the user.
void showErrorBox(std::uintptr_t owner, const std::string& message);

// The bits per pixel of the screen's device context.
int desktopBitCount();

// Places the window `window` (an HWND) at the centre of the screen.
void centreOnScreen(std::uintptr_t window);

// The dots per inch of the monitor `window` (an HWND) is on: GetDpiForWindow where
// the system has it (looked up at run time, so that older systems still start the
// program), else the desktop's LOGPIXELSX, else 96.
int windowDpi(std::uintptr_t window);

// The outer size of `window` (an HWND) whose client area is `width` x `height`:
// its frame and caption as they are now, measured rather than computed, so that
// they are right at whatever DPI the system draws them.
void outerSizeForClient(std::uintptr_t window, int& width, int& height);

// Runs an event handler; an error it throws ends the handler and is shown.
template <class Handler>
void runHandler(std::uintptr_t owner, Handler handler) {
  try {
    handler();
  } catch (const std::exception& error) {
    showErrorBox(owner, error.what());
  }
}

// Runs a form's event handlers one at a time. The password dialog and the error
// box run message loops of their own, which still deliver the form's input:
// a handler is never entered while another one of the form runs.
class FormHandlers {
 public:
  template <class Handler>
  void run(std::uintptr_t owner, Handler handler) {
    if (busy_) return;
    busy_ = true;
    runHandler(owner, handler);
    busy_ = false;
  }

 private:
  bool busy_ = false;
};

}  // namespace glimmerweave::win32
