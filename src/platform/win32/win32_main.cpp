// The program's entry: reads the command line the system starts a screen saver
// with and runs one mode until it ends. /s (or anything unknown) runs the
// screen saver full-screen; /c the settings dialog; /p the control-panel
// preview; /a (password change) does nothing.
#include <windows.h>

#include <memory>

#include "engine/engine.h"
#include "platform/win32/win32_full_screen.h"
#include "platform/win32/win32_preview_window.h"
#include "shell/command_line.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  using namespace glimmerweave;
  const Invocation invocation = parseInvocation(GetCommandLineA());
  // The process's one engine: settings, animation state and planes.
  auto fractals = std::make_unique<Fractals>();
  switch (invocation.mode) {
    case Mode::FullScreen:
      return win32::runFullScreen(*fractals);
    case Mode::Preview:
      return win32::RunPreview(*fractals, invocation.handleParameter);
    case Mode::SettingsDialog:
    case Mode::PasswordChange:
      return 0;
  }
  return 0;
}
