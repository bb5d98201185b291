// The small registry interface the settings store works on: one key, opened
// with full access, holding 32-bit values. The Win32 layer implements it on
// advapi32; tests use MemoryRegistry.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace glimmerweave {

inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;

class SettingsRegistry {
 public:
  virtual ~SettingsRegistry() = default;

  // Opens the settings key, or with `create` opens or creates it; false when
  // that fails for any reason.
  virtual bool openKey(bool create) = 0;

  // Reads a value of at most four bytes into the low bytes of `data` (the rest
  // zero) and its registry type into `type`; false when the value is missing
  // or longer than four bytes.
  virtual bool readValue(const std::string& name, std::uint32_t& data, std::uint32_t& type) = 0;

  // Writes a REG_DWORD value; false on failure.
  virtual bool writeDword(const std::string& name, std::uint32_t data) = 0;

  virtual void closeKey() = 0;
};

// A registry key in memory, with switches for the failures a real one can have.
class MemoryRegistry : public SettingsRegistry {
 public:
  struct Value {
    std::uint32_t type = kRegDword;
    std::vector<std::uint8_t> bytes;
  };

  bool keyExists = false;
  bool openFails = false;        // the key exists but cannot be opened with full access
  int writesBeforeFailure = -1;  // -1: writes never fail
  std::map<std::string, Value> values;
  std::vector<std::string> writeLog;  // names in the order they were written
  bool open = false;

  void setDword(const std::string& name, std::uint32_t data);
  // The stored DWORD (0 when absent).
  std::uint32_t dword(const std::string& name) const;

  bool openKey(bool create) override;
  bool readValue(const std::string& name, std::uint32_t& data, std::uint32_t& type) override;
  bool writeDword(const std::string& name, std::uint32_t data) override;
  void closeKey() override { open = false; }
};

}  // namespace glimmerweave
