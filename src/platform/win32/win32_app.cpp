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

void showErrorBox(std::uintptr_t owner, const std::string& message) {
  static bool showing = false;
  if (showing) return;
  showing = true;
  MessageBoxA(reinterpret_cast<HWND>(owner), errorBoxText(message).c_str(), kApplicationTitle,
              MB_OK | MB_ICONERROR);
  showing = false;
}

}  // namespace glimmerweave::win32
