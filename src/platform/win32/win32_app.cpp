#include "platform/win32/win32_app.h"

#include <windows.h>

namespace glimmerweave::win32 {

std::string errorBoxText(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
  return message;
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
