// The program's entry: reads the command line the system starts a screen saver
// with and runs one mode until it ends. /s (or anything unknown) runs the
// screen saver full-screen; /c the settings dialog; /p the control-panel
// preview; /a (password change) does nothing. A diagnostics word behind the
// switch (win32_diagnostics.h) adds a thread that reports the process's
// resources once a second.
#include <windows.h>

#include <memory>

#include "engine/engine.h"
#include "engine/frame_pool.h"
#include "platform/win32/win32_diagnostics.h"
#include "platform/win32/win32_full_screen.h"
#include "platform/win32/win32_preview_window.h"
#include "platform/win32/win32_settings_dialog.h"
#include "windows_modes/command_line.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  using namespace glimmerweave;
  const Invocation invocation = parseInvocation(GetCommandLineA());
  // A password change request is accepted and changes nothing.
  if (invocation.mode == Mode::PasswordChange) return 0;
  win32::startDiagnostics(win32::diagnosticsFile(splitCommandLine(GetCommandLineA())));
  // The process's one engine: settings, animation state and planes.
  auto fractals = std::make_unique<Fractals>();
  // The threads that share each frame; they end with the program.
  FramePool pool;
  fractals->pool = &pool;
  switch (invocation.mode) {
    case Mode::FullScreen:
      return win32::runFullScreen(*fractals);
    case Mode::Preview:
      return win32::RunPreview(*fractals, invocation.handleParameter);
    case Mode::SettingsDialog:
      return win32::runSettingsDialog(*fractals);
    case Mode::PasswordChange:
      return 0;
  }
  return 0;
}
