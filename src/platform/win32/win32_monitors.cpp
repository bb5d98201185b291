// The windows over the monitors besides the primary one. They are made on the
// form's thread, owned by the form, and drawn with GDI: each tick stretches the
// run's frame image into every window's device context, and a repaint does the
// same with the last image shown.
#include "platform/win32/win32_monitors.h"

#include <windows.h>

#include <utility>

#include "platform/win32/win32_app.h"
#include "platform/win32/win32_frame_image.h"

namespace glimmerweave::win32 {

// ---------------------------------------------------------------------------
// The monitors

namespace {

// Adds one monitor to the list that `parameter` points to.
BOOL CALLBACK collectMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM parameter) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (!GetMonitorInfoA(monitor, &info)) return TRUE;
  auto& monitors = *reinterpret_cast<std::vector<DisplayMonitor>*>(parameter);
  const RECT& area = info.rcMonitor;
  monitors.push_back(DisplayMonitor{ScreenRect{area.left, area.top, area.right, area.bottom},
                                    (info.dwFlags & MONITORINFOF_PRIMARY) != 0});
  return TRUE;
}

}  // namespace

std::vector<DisplayMonitor> listMonitors() {
  std::vector<DisplayMonitor> monitors;
  EnumDisplayMonitors(nullptr, nullptr, collectMonitor, reinterpret_cast<LPARAM>(&monitors));
  return monitors;
}

// ---------------------------------------------------------------------------
// The windows

struct MonitorWindows::State {
  HWND owner = nullptr;
  Input input;
  std::vector<HWND> windows;
  const FrameImage* image = nullptr;  // the last image shown, if any
};

namespace {

using State = MonitorWindows::State;

// Fills the window's client area with the image stretched over it, or with
// black when there is no image yet or GDI cannot draw it.
void paint(const State& state, HWND window, HDC context) {
  RECT client{};
  GetClientRect(window, &client);
  // The default mode darkens a frame shrunk to a smaller monitor: it ANDs the
  // rows and columns it drops into the ones it keeps.
  SetStretchBltMode(context, COLORONCOLOR);
  if (state.image != nullptr &&
      stretchFrameImage(reinterpret_cast<std::uintptr_t>(context), *state.image, 0, 0,
                        client.right - client.left, client.bottom - client.top))
    return;
  FillRect(context, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
}

// The windows' messages: input goes to the run, paint draws the last frame.
LRESULT CALLBACK monitorWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* creation = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
  }
  const auto* state = reinterpret_cast<const State*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (state == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (state->input.keyDown) state->input.keyDown();
      return 0;
    case WM_MOUSEMOVE:
      if (state->input.mouseMove) state->input.mouseMove();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paintInfo;
      HDC context = BeginPaint(window, &paintInfo);
      paint(*state, window, context);
      EndPaint(window, &paintInfo);
      return 0;
    }
    case WM_CLOSE:
      // Only the run takes its windows away.
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      return DefWindowProcA(window, message, wParam, lParam);
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

// Registers the windows' class: no cursor (the run hides it), no background
// (the paint covers every pixel).
void registerMonitorWindowClass() {
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = monitorWindowProcedure;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = kMonitorWindowClass;
  // A second registration in the same process fails harmlessly.
  RegisterClassExA(&windowClass);
}

// Makes and shows a window over `area`; null when the system refuses.
HWND makeWindow(State& state, const ScreenRect& area) {
  // A tool window: no button of its own on the taskbar.
  HWND window =
      CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kMonitorWindowClass, kApplicationTitle,
                      WS_POPUP, area.left, area.top, area.right - area.left, area.bottom - area.top,
                      state.owner, nullptr, GetModuleHandleA(nullptr), &state);
  // Shown without taking the input from the form, which has it at the start.
  if (window != nullptr) ShowWindow(window, SW_SHOWNOACTIVATE);
  return window;
}

// Puts a window over `area`, on top and shown, and has it repainted.
void place(HWND window, const ScreenRect& area) {
  SetWindowPos(window, HWND_TOPMOST, area.left, area.top, area.right - area.left,
               area.bottom - area.top, SWP_NOACTIVATE | SWP_SHOWWINDOW);
  InvalidateRect(window, nullptr, FALSE);
}

}  // namespace

MonitorWindows::MonitorWindows(std::uintptr_t owner, Input input)
    : state_(std::make_unique<State>()) {
  state_->owner = reinterpret_cast<HWND>(owner);
  state_->input = std::move(input);
  registerMonitorWindowClass();
}

MonitorWindows::~MonitorWindows() {
  cover({});
}

void MonitorWindows::cover(const std::vector<ScreenRect>& areas) {
  State& state = *state_;
  // The owner's destruction takes its windows with it.
  std::erase_if(state.windows, [](HWND window) { return !IsWindow(window); });
  while (state.windows.size() > areas.size()) {
    DestroyWindow(state.windows.back());
    state.windows.pop_back();
  }
  for (std::size_t index = 0; index < areas.size(); ++index) {
    if (index < state.windows.size()) {
      place(state.windows[index], areas[index]);
    } else if (HWND window = makeWindow(state, areas[index])) {
      state.windows.push_back(window);
    }
  }
}

void MonitorWindows::show(const FrameImage& image) {
  State& state = *state_;
  state.image = &image;
  for (HWND window : state.windows) {
    HDC context = GetDC(window);
    if (context == nullptr) continue;
    paint(state, window, context);
    ReleaseDC(window, context);
  }
}

}  // namespace glimmerweave::win32
