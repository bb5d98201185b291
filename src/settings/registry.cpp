#include "settings/registry.h"

namespace glimmerweave {

void MemoryRegistry::setDword(const std::string& name, std::uint32_t data) {
  keyExists = true;
  values[name] = Value{kRegDword,
                       {std::uint8_t(data), std::uint8_t(data >> 8), std::uint8_t(data >> 16),
                        std::uint8_t(data >> 24)}};
}

std::uint32_t MemoryRegistry::dword(const std::string& name) const {
  const auto found = values.find(name);
  if (found == values.end()) return 0;
  std::uint32_t data = 0;
  for (std::size_t i = 0; i < found->second.bytes.size() && i < 4; ++i)
    data |= std::uint32_t{found->second.bytes[i]} << (8 * i);
  return data;
}

bool MemoryRegistry::openKey(bool create) {
  if (openFails) return false;
  if (!keyExists && !create) return false;
  keyExists = true;
  open = true;
  return true;
}

bool MemoryRegistry::readValue(const std::string& name, std::uint32_t& data, std::uint32_t& type) {
  const auto found = values.find(name);
  if (!open || found == values.end() || found->second.bytes.size() > 4) return false;
  data = dword(name);
  type = found->second.type;
  return true;
}

bool MemoryRegistry::writeDword(const std::string& name, std::uint32_t data) {
  if (!open || writesBeforeFailure == 0) return false;
  if (writesBeforeFailure > 0) --writesBeforeFailure;
  setDword(name, data);
  writeLog.push_back(name);
  return true;
}

}  // namespace glimmerweave
