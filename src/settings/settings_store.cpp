#include "settings/settings_store.h"

#include <cstdint>

namespace glimmerweave {

namespace {

// Closes the key however the operation that opened it ends.
class OpenKey {
 public:
  explicit OpenKey(SettingsRegistry& registry) : registry_(registry) {}
  ~OpenKey() { registry_.closeKey(); }
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;

 private:
  SettingsRegistry& registry_;
};

std::uint32_t readDword(SettingsRegistry& registry, const char* name) {
  std::uint32_t data = 0, type = kRegNone;
  if (!registry.readValue(name, data, type))
    throw RegistryError(std::string("Failed to get data for '") + name + "'");
  if (type != kRegDword) throw RegistryError(std::string("Invalid data type for '") + name + "'");
  return data;
}

void writeDword(SettingsRegistry& registry, const char* name, std::uint32_t data) {
  if (!registry.writeDword(name, data))
    throw RegistryError(std::string("Failed to set data for '") + name + "'");
}

}  // namespace

void applyFirstRunDefaults(FractalSettings& settings) {
  settings.Speed = 3;
  settings.Brightness = 100;
  settings.Algorithm = 15;
  settings.Detail = 5;
  settings.RandomAlgorithm = false;
}

namespace {

// LoadSettings, counting in `valuesRead` the values stored into the record.
void loadSettings(FractalSettings& settings, SettingsRegistry& registry, int& valuesRead) {
  valuesRead = 0;
  if (registry.openKey(false)) {
    const OpenKey key(registry);
    settings.Speed = static_cast<std::int32_t>(readDword(registry, "Speed"));
    ++valuesRead;
    settings.Brightness = static_cast<std::int32_t>(readDword(registry, "Brightness"));
    ++valuesRead;
    settings.Algorithm = static_cast<std::int32_t>(readDword(registry, "Algoritm"));
    ++valuesRead;
    settings.Detail = static_cast<std::int32_t>(readDword(registry, "Detail"));
    ++valuesRead;
    settings.RandomAlgorithm = readDword(registry, "Rands") != 0;
    ++valuesRead;
  }
  if (settings.Speed == 0 && settings.Brightness == 0 && settings.Algorithm == 0 &&
      settings.Detail == 0) {
    applyFirstRunDefaults(settings);
    WriteSettings(settings, registry);
  }
}

}  // namespace

void LoadSettings(FractalSettings& settings, SettingsRegistry& registry) {
  int valuesRead = 0;
  loadSettings(settings, registry, valuesRead);
}

std::string loadSettingsForStartUp(FractalSettings& settings, SettingsRegistry& registry) {
  int valuesRead = 0;
  try {
    loadSettings(settings, registry, valuesRead);
  } catch (const RegistryError& error) {
    FractalSettings defaults;
    applyFirstRunDefaults(defaults);
    if (valuesRead < 1) settings.Speed = defaults.Speed;
    if (valuesRead < 2) settings.Brightness = defaults.Brightness;
    if (valuesRead < 3) settings.Algorithm = defaults.Algorithm;
    if (valuesRead < 4) settings.Detail = defaults.Detail;
    if (valuesRead < 5) settings.RandomAlgorithm = defaults.RandomAlgorithm;
    return error.what();
  }
  return "";
}

void WriteSettings(const FractalSettings& settings, SettingsRegistry& registry) {
  if (!registry.openKey(true)) return;
  const OpenKey key(registry);
  writeDword(registry, "Speed", static_cast<std::uint32_t>(settings.Speed));
  writeDword(registry, "Brightness", static_cast<std::uint32_t>(settings.Brightness));
  writeDword(registry, "Algoritm", static_cast<std::uint32_t>(settings.Algorithm));
  writeDword(registry, "Detail", static_cast<std::uint32_t>(settings.Detail));
  writeDword(registry, "Rands", settings.RandomAlgorithm ? 1u : 0u);
}

void ApplyRandomAlgorithm(FractalSettings& settings, RandomGenerator& random) {
  if (settings.RandomAlgorithm) settings.Algorithm = static_cast<std::int32_t>(random.Random(15));
}

}  // namespace glimmerweave
