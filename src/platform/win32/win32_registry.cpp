#include "platform/win32/win32_registry.h"

#include <windows.h>

#include "settings/settings_store.h"

namespace glimmerweave::win32 {

namespace {
// The program names the path from the root key with a leading backslash; the
// system takes it relative to HKEY_CURRENT_USER, without it.
const char* systemKeyPath() {
  return kSettingsKeyPath + 1;
}
}  // namespace

Win32SettingsRegistry::~Win32SettingsRegistry() {
  closeKey();
}

bool Win32SettingsRegistry::openKey(bool create) {
  closeKey();
  HKEY key = nullptr;
  LSTATUS status;
  if (create) {
    status = RegCreateKeyExA(HKEY_CURRENT_USER, systemKeyPath(), 0, nullptr,
                             REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  } else {
    status = RegOpenKeyExA(HKEY_CURRENT_USER, systemKeyPath(), 0, KEY_ALL_ACCESS, &key);
  }
  if (status != ERROR_SUCCESS) return false;
  key_ = key;
  return true;
}

bool Win32SettingsRegistry::readValue(const std::string& name, std::uint32_t& data,
                                      std::uint32_t& type) {
  DWORD valueType = REG_NONE, size = sizeof(DWORD);
  DWORD value = 0;
  if (RegQueryValueExA(static_cast<HKEY>(key_), name.c_str(), nullptr, &valueType,
                       reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS)
    return false;
  data = value;
  type = valueType;
  return true;
}

bool Win32SettingsRegistry::writeDword(const std::string& name, std::uint32_t data) {
  const DWORD value = data;
  return RegSetValueExA(static_cast<HKEY>(key_), name.c_str(), 0, REG_DWORD,
                        reinterpret_cast<const BYTE*>(&value), sizeof value) == ERROR_SUCCESS;
}

void Win32SettingsRegistry::closeKey() {
  if (key_) RegCloseKey(static_cast<HKEY>(key_));
  key_ = nullptr;
}

}  // namespace glimmerweave::win32
