#include "platform/win32/win32_app.h"

#include <windows.h>

namespace glimmerweave::win32 {

std::string errorBoxText(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
  return message;
}

int desktopBitCount() {
  HDC screen = GetDC(nullptr);
  const int bits = GetDeviceCaps(screen, BITSPIXEL);
  ReleaseDC(nullptr, screen);
  return bits;
}

void centreOnScreen(std::uintptr_t handle) {
  const auto window = reinterpret_cast<HWND>(handle);
  RECT frame{};
  GetWindowRect(window, &frame);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  SetWindowPos(window, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
               (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

namespace {

// An export of user32 that older systems lack, as a function of the given type.
template <class Function>
Function user32Function(const char* name) {
  const HMODULE user32 = GetModuleHandleA("user32.dll");
  if (user32 == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name)));
}

}  // namespace

int windowDpi(std::uintptr_t handle) {
  using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
  if (const auto getDpiForWindow = user32Function<GetDpiForWindowFunction>("GetDpiForWindow")) {
    const UINT dpi = getDpiForWindow(reinterpret_cast<HWND>(handle));
    if (dpi > 0) return static_cast<int>(dpi);
  }
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

void outerSizeForClient(std::uintptr_t handle, int& width, int& height) {
  const auto window = reinterpret_cast<HWND>(handle);
  RECT frame{}, client{};
  GetWindowRect(window, &frame);
  GetClientRect(window, &client);
  width += (frame.right - frame.left) - client.right;
  height += (frame.bottom - frame.top) - client.bottom;
}

void showErrorBox(std::uintptr_t owner, const std::string& message) {
  static bool showing = false;
  if (showing) return;
  showing = true;
  // The full-screen run hides the cursor and stays on top of everything: the
  // box takes the foreground, so that Enter and Escape reach it, comes up on
  // top, and shows the cursor while it is open (the pair leaves the display
  // counter as it was).
  ShowCursor(TRUE);
  MessageBoxA(reinterpret_cast<HWND>(owner), errorBoxText(message).c_str(), kApplicationTitle,
              MB_OK | MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST);
  ShowCursor(FALSE);
  showing = false;
}

}  // namespace glimmerweave::win32
