// The preview's flow: RunPreview reads the parent's handle and size, creates
// the preview window (a disabled child filling the parent, or without a handle
// an ownerless top-most window; a handle that names no window ends the mode at
// once), sets the engine up and starts the repaint thread. That thread fixes
// the frame size once, shows the window and then invalidates it every 40 ms (on
// a fixed grid, which keeps that average without fine timing:
// runPreviewRepaints) until the quit flag is set; every WM_PAINT on the
// user-interface thread computes one frame and draws it unscaled with a white
// one-pixel border. The mode ends when the window is destroyed, or when the
// thread, told to quit by a key press the exit check allowed, posts WM_DESTROY.
#include "platform/win32/win32_preview_window.h"

#include <windows.h>

#include <algorithm>
#include <atomic>

#include "platform/win32/win32_diagnostics.h"
#include "platform/win32/win32_frame_image.h"
#include "platform/win32/win32_frame_timer.h"
#include "platform/win32/win32_password.h"
#include "presentation/frame_image.h"
#include "windows_modes/preview.h"

namespace glimmerweave::win32 {

namespace {

// The size the ownerless window gets when there is no parent to fill.
constexpr int kOwnerlessWidth = 320;
constexpr int kOwnerlessHeight = 240;

struct PreviewState {
  Fractals* fractals = nullptr;
  HWND PreviewWindow = nullptr;
  std::atomic<bool> PreviewQuit{false};
  // The frame size, handed from the repaint thread to the paints.
  std::atomic<std::int32_t> frameWidth{0};
  std::atomic<std::int32_t> frameHeight{0};
};

PreviewState* previewState = nullptr;

// The window and the quit flag, as the repaint thread sees them.
class PreviewRepaints : public PreviewRepaintTarget {
 public:
  explicit PreviewRepaints(PreviewState& state) : state_(state) {}
  void invalidate() override { InvalidateRect(state_.PreviewWindow, nullptr, FALSE); }
  bool quitRequested() override { return state_.PreviewQuit.load(); }

 private:
  PreviewState& state_;
};

void PaintPreview(HWND window) {
  PreviewState& state = *previewState;
  Fractals& fractals = *state.fractals;
  fractals.FrameWidth = state.frameWidth.load(std::memory_order_acquire);
  fractals.FrameHeight = state.frameHeight.load(std::memory_order_acquire);
  // A new image for every paint, white until the frame is copied into it.
  FrameImage image;
  paintPreviewFrame(fractals, image);

  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  drawFrameImage(reinterpret_cast<std::uintptr_t>(dc), image);
  // A window larger than the planes shows black beyond the frame.
  RECT client{};
  GetClientRect(window, &client);
  const auto black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  const RECT right{image.width(), 0, client.right, client.bottom};
  const RECT below{0, image.height(), std::min<LONG>(image.width(), client.right), client.bottom};
  if (right.left < right.right) FillRect(dc, &right, black);
  if (below.top < below.bottom) FillRect(dc, &below, black);
  EndPaint(window, &paint);
}

LRESULT CALLBACK PreviewWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE:
      // The default handling gives the window its name; creation goes on.
      DefWindowProcA(window, message, wParam, lParam);
      return 1;
    case WM_PAINT:
      PaintPreview(window);
      countFrame();
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_KEYDOWN:
      previewState->PreviewQuit.store(
          verifyExitPasswordWithSystem(reinterpret_cast<std::uintptr_t>(window)));
      return 0;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

DWORD WINAPI RepaintThread(void*) {
  PreviewState& state = *previewState;
  RECT rect{};
  GetWindowRect(state.PreviewWindow, &rect);
  std::int32_t width = 0, height = 0;
  previewFrameSize(rect.right - rect.left, rect.bottom - rect.top, width, height);
  state.frameWidth.store(width, std::memory_order_release);
  state.frameHeight.store(height, std::memory_order_release);
  ShowWindow(state.PreviewWindow, SW_SHOW);
  UpdateWindow(state.PreviewWindow);
  SystemTiming timing;
  PreviewRepaints repaints(state);
  runPreviewRepaints(timing, repaints);
  PostMessageA(state.PreviewWindow, WM_DESTROY, 0, 0);
  return 0;
}

// Registers the class, creates the window and sets the engine up; null when
// the window could not be made.
HWND CreatePreviewWindow(int width, int height, HWND parent) {
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA windowClass{};
  windowClass.style = CS_PARENTDC;
  windowClass.lpfnWndProc = PreviewWndProc;
  windowClass.hInstance = instance;
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(1));
  windowClass.lpszClassName = kPreviewClass;
  if (!RegisterClassA(&windowClass)) return nullptr;

  const DWORD style = parent ? WS_CHILD | WS_VISIBLE | WS_DISABLED : WS_POPUP | WS_VISIBLE;
  HWND window = CreateWindowExA(0, kPreviewClass, kPreviewWindowName, style, 0, 0, width, height,
                                parent, nullptr, instance, nullptr);
  if (!window) return nullptr;
  if (!parent)
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOREDRAW);
  previewState->PreviewWindow = window;
  setUpPreviewEngine(*previewState->fractals);
  return window;
}

}  // namespace

int RunPreview(Fractals& fractals, const std::string& handleParameter) {
  static PreviewState state;
  state.fractals = &fractals;
  previewState = &state;

  HWND parent = reinterpret_cast<HWND>(static_cast<INT_PTR>(ParamToHandle(handleParameter)));
  RECT rect{0, 0, kOwnerlessWidth, kOwnerlessHeight};
  // A handle that names no window (any more) ends the mode at once: the control
  // panel passes a stale one when its page closes while the preview starts, and an
  // ownerless window would be left animating on the desktop.
  if (parent && (!IsWindow(parent) || !GetWindowRect(parent, &rect))) return 1;
  if (!CreatePreviewWindow(rect.right - rect.left, rect.bottom - rect.top, parent)) return 1;

  HANDLE thread = CreateThread(nullptr, 0, RepaintThread, nullptr, 0, nullptr);
  if (!thread) return 1;
  CloseHandle(thread);

  MSG message;
  BOOL result;
  while ((result = GetMessageA(&message, nullptr, 0, 0)) != 0) {
    if (result == -1) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}

}  // namespace glimmerweave::win32
