#include "win32_system_text.h"

#include <windows.h>

#include <cstdio>
#include <limits>

namespace glimmerweave {

bool widenFileName(const std::string& path, std::wstring& wide, std::string& reason) {
  if (path.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    reason = "the file name is too long";
    return false;
  }
  const int size = static_cast<int>(path.size());
  const int length =
      MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path.data(), size, nullptr, 0);
  if (length <= 0) {
    reason = "the file name is not valid in the ANSI code page";
    return false;
  }
  wide.assign(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path.data(), size, wide.data(), length);
  return true;
}

std::string systemMessage(unsigned long code) {
  std::string text;
  char* message = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<char*>(&message), 0, nullptr);
  if (length > 0 && message != nullptr) text.assign(message, length);
  if (message != nullptr) LocalFree(message);
  while (!text.empty() &&
         (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
    text.pop_back();
  if (text.empty()) {
    char number[32];
    std::snprintf(number, sizeof number, "error 0x%08lX", code);
    text = number;
  }
  return text;
}

}  // namespace glimmerweave
