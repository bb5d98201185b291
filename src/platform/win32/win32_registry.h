// The settings key in the current user's registry, through advapi32.
#pragma once

#include "settings/registry.h"

namespace glimmerweave::win32 {

class Win32SettingsRegistry : public SettingsRegistry {
 public:
  ~Win32SettingsRegistry() override;
  bool openKey(bool create) override;
  bool readValue(const std::string& name, std::uint32_t& data, std::uint32_t& type) override;
  bool writeDword(const std::string& name, std::uint32_t data) override;
  void closeKey() override;

 private:
  void* key_ = nullptr;  // HKEY
};

}  // namespace glimmerweave::win32
