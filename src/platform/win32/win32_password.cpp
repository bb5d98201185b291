#include "platform/win32/win32_password.h"

#include <windows.h>

namespace glimmerweave::win32 {

namespace {
using VerifyScreenSavePwd = BOOL(WINAPI*)(HWND);
}

Win32PasswordSystem::~Win32PasswordSystem() {
  unloadPasswordComponent();
  closeDesktopKey();
}

bool Win32PasswordSystem::openDesktopKey() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_READ, &key) !=
      ERROR_SUCCESS)
    return false;
  key_ = key;
  return true;
}

bool Win32PasswordSystem::readUsePassword(std::uint32_t& value) {
  // Raw bytes into a four-byte number, whatever the value's type.
  DWORD number = 0, size = sizeof number;
  if (RegQueryValueExA(static_cast<HKEY>(key_), "ScreenSaveUsePassword", nullptr, nullptr,
                       reinterpret_cast<BYTE*>(&number), &size) != ERROR_SUCCESS)
    return false;
  value = number;
  return true;
}

void Win32PasswordSystem::closeDesktopKey() {
  if (key_) RegCloseKey(static_cast<HKEY>(key_));
  key_ = nullptr;
}

bool Win32PasswordSystem::loadPasswordComponent() {
  HMODULE library = LoadLibraryA("PASSWORD.CPL");
  // Handles of 32 or less are failures, as with the system's older loaders.
  if (reinterpret_cast<std::uintptr_t>(library) <= 32) return false;
  library_ = library;
  return true;
}

bool Win32PasswordSystem::findVerifyFunction() {
  verifyFunction_ = reinterpret_cast<void*>(
      GetProcAddress(static_cast<HMODULE>(library_), "VerifyScreenSavePwd"));
  return verifyFunction_ != nullptr;
}

bool Win32PasswordSystem::verify(std::uintptr_t owner) {
  const auto function = reinterpret_cast<VerifyScreenSavePwd>(verifyFunction_);
  return function(reinterpret_cast<HWND>(owner)) != FALSE;
}

void Win32PasswordSystem::unloadPasswordComponent() {
  if (library_) FreeLibrary(static_cast<HMODULE>(library_));
  library_ = nullptr;
  verifyFunction_ = nullptr;
}

void Win32PasswordSystem::showCursor(bool show) {
  ShowCursor(show ? TRUE : FALSE);
}

bool verifyExitPasswordWithSystem(std::uintptr_t owner) {
  Win32PasswordSystem system;
  return VerifyExitPassword(system, owner);
}

}  // namespace glimmerweave::win32
