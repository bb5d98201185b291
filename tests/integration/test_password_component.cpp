// A stand-in for the system's screen-saver password component, built as
// PASSWORD.CPL for the integration tests. Its VerifyScreenSavePwd shows no
// dialog: it answers what the running test stored in the registry and records
// each call there, so the test can tell when the screen saver asked and with
// which owner window.
#include <windows.h>

#include <cstdint>

#include "password_component_protocol.h"

using namespace glimmerweave::integration;

// Answers the test's stored answer (wrong when none is stored) and counts the call.
extern "C" __declspec(dllexport) BOOL WINAPI VerifyScreenSavePwd(HWND owner) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kPasswordComponentKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_READ | KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return FALSE;
  DWORD answer = 0, calls = 0, size = sizeof answer;
  if (RegQueryValueExA(key, kAnswerValue, nullptr, nullptr, reinterpret_cast<BYTE*>(&answer),
                       &size) != ERROR_SUCCESS)
    answer = 0;
  size = sizeof calls;
  if (RegQueryValueExA(key, kCallsValue, nullptr, nullptr, reinterpret_cast<BYTE*>(&calls),
                       &size) != ERROR_SUCCESS)
    calls = 0;
  // The owner first: the test waits for the count and then reads the owner.
  const std::uint64_t ownerValue = reinterpret_cast<std::uintptr_t>(owner);
  RegSetValueExA(key, kOwnerValue, 0, REG_QWORD, reinterpret_cast<const BYTE*>(&ownerValue),
                 sizeof ownerValue);
  ++calls;
  RegSetValueExA(key, kCallsValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&calls),
                 sizeof calls);
  RegCloseKey(key);
  return answer != 0 ? TRUE : FALSE;
}
