// The five settings' persistent store: LoadSettings with its first-run rule,
// WriteSettings and ApplyRandomAlgorithm.
//
// The key holds the REG_DWORD values "Speed", "Brightness", "Algoritm" (sic:
// the stored name of Algorithm), "Detail" and "Rands", written and read in that
// order. Errors are RegistryError exceptions carrying the message the user sees.
#pragma once

#include <stdexcept>
#include <string>

#include "engine/fractal_settings.h"
#include "engine/random.h"
#include "settings/registry.h"

namespace glimmerweave {

class RegistryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The key path as the program names it; the leading backslash marks a path
// from the root key and is removed before the system sees it.
inline constexpr const char* kSettingsKeyPath = "\\Software\\Glimmerweave\\";

// Fills `settings` from the store; with Speed, Brightness, Algorithm and Detail
// all 0 afterwards (first run) puts the defaults in place and writes them.
// Throws RegistryError when a value cannot be read; the values read before it
// are kept and the first-run rule is skipped.
void LoadSettings(FractalSettings& settings, SettingsRegistry& registry);

// Writes the five values, creating the key when absent; does nothing when the
// key cannot be opened or created. Throws RegistryError when a write fails.
void WriteSettings(const FractalSettings& settings, SettingsRegistry& registry);

// When RandomAlgorithm is set, picks Algorithm uniformly from 0..14.
void ApplyRandomAlgorithm(FractalSettings& settings, RandomGenerator& random);

// The first-run defaults: Speed 3, Brightness 100, Algorithm 15, Detail 5.
void applyFirstRunDefaults(FractalSettings& settings);

// LoadSettings for a mode's start-up, which must go on after an error: the
// fields that could not be read take their first-run defaults in memory
// (nothing more is written). Returns the error's message, or "" when none.
std::string loadSettingsForStartUp(FractalSettings& settings, SettingsRegistry& registry);

}  // namespace glimmerweave
