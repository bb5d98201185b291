// The full-screen run's window. Creation makes the window hidden, lets the run
// set itself up (which takes the display), then shows the window; from then on
// the message loop forwards key presses, mouse movements and repaint requests
// to the run, and the run's frame timer ticks it from the loop's idle time. The
// windows over the other monitors (win32_monitors) are made during creation,
// owned by the form, and pass their input to the run in the same way. Once the
// form is wired to its window, the system reports the display's power to it
// (at once, then at every change) until the window goes. The run is told when
// the application is activated or deactivated and whether anybody can see a
// frame, and starts and stops its timer, and fine timing with it, accordingly.
// The run's exit sequence closes the other windows and destroys the form's,
// which ends the loop.
#include "platform/win32/win32_full_screen.h"

#include <windows.h>

#include <exception>
#include <memory>

#include "platform/win32/win32_app.h"
#include "platform/win32/win32_diagnostics.h"
#include "platform/win32/win32_direct_draw.h"
#include "platform/win32/win32_display_power.h"
#include "platform/win32/win32_frame_timer.h"
#include "platform/win32/win32_monitors.h"
#include "platform/win32/win32_password.h"
#include "platform/win32/win32_registry.h"
#include "windows_modes/full_screen_run.h"

namespace glimmerweave::win32 {

namespace {

class FullScreenForm : public FullScreenHost {
 public:
  FullScreenForm(Fractals& fractals, HWND window)
      : window_(window),
        area_(reinterpret_cast<std::uintptr_t>(window), AreaPlacement{0, 0, 0, 0, true}),
        run_(fractals, registry_, area_, timing_, *this),
        monitors_(reinterpret_cast<std::uintptr_t>(window),
                  MonitorWindows::Input{[this] { handle([this] { run_.FormKeyDown(); }); },
                                        [this] { handle([this] { run_.DXDrawMouseMove(); }); }}) {
    area_.Options = doAllowReboot | doWaitVBlank | doStretch | doCenter | doDirectX7Mode |
                    doHardware | doSelectDriver;
    area_.Display.fixedBitCount = true;
    area_.Display.fixedRatio = true;
    area_.Display.fixedSize = false;
    run_.timer().OnTimer = [this] {
      handle([this] { run_.DXTimerTimer(); });
      countFrame();
    };
  }

  ~FullScreenForm() override { stopListeningToDisplayPower(); }
  FullScreenForm(const FullScreenForm&) = delete;
  FullScreenForm& operator=(const FullScreenForm&) = delete;

  FullScreenRun& run() { return run_; }
  FrameTimer& timer() { return run_.timer(); }
  DirectDrawArea& area() { return area_; }

  // Runs a handler, one at a time; its error is shown in the error box.
  template <class Handler>
  void handle(Handler handler) {
    handlers_.run(reinterpret_cast<std::uintptr_t>(window_),
                  [this, &handler] { reportingErrors(handler); });
    takeInDisplayChange();
  }

  // The system reported a display change. One that comes while another handler
  // runs (the password dialog waits inside one) is taken in when it is over.
  void displayChanged() {
    displayChangePending_ = true;
    takeInDisplayChange();
  }

  // From now until the window is destroyed the system reports the display's
  // power state to the window: the current one at once, then every change.
  void listenToDisplayPower() {
    displayPower_ = registerForDisplayPower(reinterpret_cast<std::uintptr_t>(window_));
  }

  // The window is being destroyed.
  void destroyed() {
    area_.FormDestroyed();
    stopListeningToDisplayPower();
  }

  // FullScreenHost
  int desktopBitCount() override { return win32::desktopBitCount(); }
  void sizeFormToScreen(int& width, int& height) override {
    SetWindowPos(window_, nullptr, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                 GetSystemMetrics(SM_CYSCREEN), SWP_NOZORDER | SWP_NOACTIVATE);
    RECT client{};
    GetClientRect(window_, &client);
    width = client.right - client.left;
    height = client.bottom - client.top;
  }
  void centreForm() override { centreOnScreen(reinterpret_cast<std::uintptr_t>(window_)); }
  void showDrawingArea() override { InvalidateRect(window_, nullptr, FALSE); }
  void hideForm() override { ShowWindow(window_, SW_HIDE); }
  void terminate() override { DestroyWindow(window_); }
  CursorPoint cursorPosition() override {
    POINT point{};
    GetCursorPos(&point);
    return CursorPoint{point.x, point.y};
  }
  void showCursor(bool show) override { ShowCursor(show ? TRUE : FALSE); }
  void setScreenSaverRunning(bool running) override {
    SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, running ? 1 : 0, nullptr, 0);
  }
  bool verifyExitPassword() override {
    return verifyExitPasswordWatched(reinterpret_cast<std::uintptr_t>(window_));
  }
  void reportError(const std::string& message) override {
    showErrorBox(reinterpret_cast<std::uintptr_t>(window_), message);
  }
  std::vector<DisplayMonitor> monitors() override { return listMonitors(); }
  void coverOtherMonitors(const std::vector<ScreenRect>& areas) override { monitors_.cover(areas); }
  void showOnOtherMonitors(const FrameImage& image) override { monitors_.show(image); }
  void releaseCursor(CursorPoint position) override {
    ClipCursor(nullptr);
    POINT now{};
    if (GetCursorPos(&now) && (now.x != position.x || now.y != position.y))
      SetCursorPos(position.x, position.y);
  }

 private:
  void stopListeningToDisplayPower() {
    unregisterDisplayPower(displayPower_);
    displayPower_ = 0;
  }

  // The run shows the error, so that it gives fine timing back while the error
  // box's own loop runs.
  template <class Handler>
  void reportingErrors(Handler& handler) {
    try {
      handler();
    } catch (const std::exception& error) {
      run_.reportError(error.what());
    }
  }

  void takeInDisplayChange() {
    if (!displayChangePending_) return;
    // Not run while another handler is busy: the flag then stays for later.
    handlers_.run(reinterpret_cast<std::uintptr_t>(window_), [this] {
      displayChangePending_ = false;
      auto handler = [this] { run_.displayChanged(); };
      reportingErrors(handler);
    });
  }

  HWND window_;
  Win32SettingsRegistry registry_;
  DirectDrawArea area_;
  // Before the run, which holds fine timing through it until it goes.
  SystemTiming timing_;
  FullScreenRun run_;
  MonitorWindows monitors_;
  FormHandlers handlers_;
  bool displayChangePending_ = false;
  std::uintptr_t displayPower_ = 0;  // HPOWERNOTIFY
};

LRESULT CALLBACK fullScreenProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* form = reinterpret_cast<FullScreenForm*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!form) return DefWindowProcA(window, message, wParam, lParam);
  switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      form->handle([form] { form->run().FormKeyDown(); });
      return 0;
    case WM_MOUSEMOVE:
      form->handle([form] { form->run().DXDrawMouseMove(); });
      return 0;
    case WM_ACTIVATEAPP:
      form->run().activeChanged(wParam != FALSE);
      return 0;
    case WM_DISPLAYCHANGE:
      form->displayChanged();
      return 0;
    case WM_POWERBROADCAST:
      // Taken in at once, even while another handler waits (the password
      // dialog): the run only starts or stops its timer. The message is sent,
      // not posted; the loop's wait wakes for it (runMessageLoop).
      if (wParam == PBT_POWERSETTINGCHANGE) {
        const DisplayPower power = displayPowerFrom(reinterpret_cast<const void*>(lParam));
        if (power != DisplayPower::kNotOurs)
          form->run().displayPowerChanged(power != DisplayPower::kOff);
      }
      return TRUE;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(window, &paint);
      EndPaint(window, &paint);
      form->handle([form] { form->area().Repaint(); });
      return 0;
    }
    case WM_CLOSE:
      // Only the exit sequence ends the run.
      return 0;
    case WM_DESTROY:
      form->destroyed();
      SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace

int runFullScreen(Fractals& fractals) {
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = fullScreenProcedure;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(100));
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = kFullScreenClass;
  if (!RegisterClassExA(&windowClass)) return 1;

  HWND window = CreateWindowExA(WS_EX_TOPMOST, kFullScreenClass, kApplicationTitle, WS_POPUP, 0, 0,
                                GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                                nullptr, nullptr, instance, nullptr);
  if (!window) return 1;

  // A window that stops answering (the password component hangs) must not be
  // replaced by the system's stand-in, which could be closed without the password.
  using DisableGhostingFunction = void(WINAPI*)();
  if (const HMODULE user32 = GetModuleHandleA("user32.dll")) {
    if (const auto disableGhosting = reinterpret_cast<DisableGhostingFunction>(
            reinterpret_cast<void*>(GetProcAddress(user32, "DisableProcessWindowsGhosting"))))
      disableGhosting();
  }

  auto form = std::make_unique<FullScreenForm>(fractals, window);
  form->handle([&] { form->run().FormCreate(); });
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form.get()));
  // After the wiring: the state reported at once must reach the run.
  form->listenToDisplayPower();
  ShowWindow(window, SW_SHOW);
  SetForegroundWindow(window);
  form->run().activeChanged(GetForegroundWindow() == window);
  return runMessageLoop(&form->timer());
}

}  // namespace glimmerweave::win32
