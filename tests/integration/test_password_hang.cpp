// A stand-in for the system's screen-saver password component that never
// returns, built as PASSWORD.CPL for the cases of the ways out of a run. Its
// VerifyScreenSavePwd counts the call in the registry key of
// password_component_protocol.h, then waits for ever without showing a window
// or handling a message, as a component stuck on a lock would.
#include <windows.h>

#include "password_component_protocol.h"

using namespace glimmerweave::integration;

extern "C" __declspec(dllexport) BOOL WINAPI VerifyScreenSavePwd(HWND) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kPasswordComponentKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_READ | KEY_WRITE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
    DWORD calls = 0, size = sizeof calls;
    if (RegQueryValueExA(key, kCallsValue, nullptr, nullptr, reinterpret_cast<BYTE*>(&calls),
                         &size) != ERROR_SUCCESS)
      calls = 0;
    ++calls;
    RegSetValueExA(key, kCallsValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&calls),
                   sizeof calls);
    RegCloseKey(key);
  }
  for (;;) Sleep(INFINITE);
}
