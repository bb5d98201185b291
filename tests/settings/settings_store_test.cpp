// The settings store over an in-memory registry.
#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include "support/registry_test_support.h"

namespace glimmerweave {
namespace {

const std::vector<std::string> kStoreOrder = {"Speed", "Brightness", "Algoritm", "Detail", "Rands"};

using testing::storeSettings;

void expectSettings(const FractalSettings& s, int speed, int brightness, int algorithm, int detail,
                    bool random) {
  EXPECT_EQ(s.Speed, speed);
  EXPECT_EQ(s.Brightness, brightness);
  EXPECT_EQ(s.Algorithm, algorithm);
  EXPECT_EQ(s.Detail, detail);
  EXPECT_EQ(s.RandomAlgorithm, random);
}

TEST(LoadSettings, FirstRunWritesTheDefaults) {
  MemoryRegistry registry;
  FractalSettings settings;
  LoadSettings(settings, registry);
  expectSettings(settings, 3, 100, 15, 5, false);
  EXPECT_EQ(registry.writeLog, kStoreOrder);
  EXPECT_EQ(registry.dword("Speed"), 3u);
  EXPECT_EQ(registry.dword("Brightness"), 100u);
  EXPECT_EQ(registry.dword("Algoritm"), 15u);
  EXPECT_EQ(registry.dword("Detail"), 5u);
  EXPECT_EQ(registry.dword("Rands"), 0u);
  for (const auto& [name, value] : registry.values) {
    EXPECT_EQ(value.type, kRegDword) << name;
    EXPECT_EQ(value.bytes.size(), 4u) << name;
  }
  EXPECT_FALSE(registry.open) << "the key is closed";
}

TEST(LoadSettings, AllZeroKeyIsAFirstRunAndOverwritten) {
  MemoryRegistry registry;
  storeSettings(registry, 0, 0, 0, 0, 1);
  FractalSettings settings;
  LoadSettings(settings, registry);
  expectSettings(settings, 3, 100, 15, 5, false);
  EXPECT_EQ(registry.dword("Rands"), 0u);
}

TEST(LoadSettings, StoredValuesAreUsedAsTheyAre) {
  MemoryRegistry registry;
  storeSettings(registry, 0, 0, 0, 1, 0);
  FractalSettings settings;
  LoadSettings(settings, registry);
  expectSettings(settings, 0, 0, 0, 1, false);
  EXPECT_TRUE(registry.writeLog.empty());

  storeSettings(registry, 11, 250, 34, 0xFFFFFFFFu, 7);
  LoadSettings(settings, registry);
  expectSettings(settings, 11, 250, 34, -1, true);
  WriteSettings(settings, registry);
  EXPECT_EQ(registry.dword("Rands"), 1u) << "true is written as 1";
  EXPECT_EQ(registry.dword("Detail"), 0xFFFFFFFFu);
}

TEST(LoadSettings, MissingValueNamesItAndKeepsWhatWasRead) {
  MemoryRegistry registry;
  storeSettings(registry, 4, 50, 9, 2, 0);
  registry.values.erase("Speed");
  FractalSettings settings;
  EXPECT_THROW(
      {
        try {
          LoadSettings(settings, registry);
        } catch (const RegistryError& e) {
          EXPECT_STREQ(e.what(), "Failed to get data for 'Speed'");
          throw;
        }
      },
      RegistryError);
  expectSettings(settings, 0, 0, 0, 0, false);
  EXPECT_TRUE(registry.writeLog.empty()) << "no first-run write after an error";
  EXPECT_FALSE(registry.open);

  storeSettings(registry, 4, 50, 9, 2, 0);
  registry.values.erase("Rands");
  settings = FractalSettings{};
  EXPECT_THROW(LoadSettings(settings, registry), RegistryError);
  expectSettings(settings, 4, 50, 9, 2, false);
}

TEST(LoadSettings, WrongTypeOrSizeIsAnError) {
  MemoryRegistry registry;
  storeSettings(registry, 4, 50, 9, 2, 0);
  registry.values["Algoritm"].type = kRegBinary;
  FractalSettings settings;
  try {
    LoadSettings(settings, registry);
    FAIL() << "no error";
  } catch (const RegistryError& e) {
    EXPECT_STREQ(e.what(), "Invalid data type for 'Algoritm'");
  }
  expectSettings(settings, 4, 50, 0, 0, false);

  registry.values["Algoritm"] = MemoryRegistry::Value{kRegDword, {1, 2, 3, 4, 5}};
  try {
    LoadSettings(settings, registry);
    FAIL() << "no error";
  } catch (const RegistryError& e) {
    EXPECT_STREQ(e.what(), "Failed to get data for 'Algoritm'");
  }
}

TEST(LoadSettings, KeyThatCannotBeOpenedGetsDefaultsInMemoryOnly) {
  MemoryRegistry registry;
  storeSettings(registry, 4, 50, 9, 2, 0);
  registry.openFails = true;
  FractalSettings settings;
  LoadSettings(settings, registry);
  expectSettings(settings, 3, 100, 15, 5, false);
  EXPECT_EQ(registry.dword("Speed"), 4u) << "the stored values stay untouched";
}

TEST(WriteSettings, FailureStopsPartWayAndNamesTheValue) {
  MemoryRegistry registry;
  registry.writesBeforeFailure = 2;
  FractalSettings settings{7, 80, 20, 9, true};
  try {
    WriteSettings(settings, registry);
    FAIL() << "no error";
  } catch (const RegistryError& e) {
    EXPECT_STREQ(e.what(), "Failed to set data for 'Algoritm'");
  }
  EXPECT_EQ(registry.writeLog, (std::vector<std::string>{"Speed", "Brightness"}));
  EXPECT_FALSE(registry.open);
}

TEST(LoadSettingsForStartUp, UnreadFieldsTakeTheDefaults) {
  MemoryRegistry registry;
  storeSettings(registry, 8, 40, 0, 0, 0);
  registry.values.erase("Algoritm");
  FractalSettings settings;
  EXPECT_EQ(loadSettingsForStartUp(settings, registry), "Failed to get data for 'Algoritm'");
  expectSettings(settings, 8, 40, 15, 5, false);
  EXPECT_TRUE(registry.writeLog.empty()) << "nothing is written";

  MemoryRegistry fresh;
  FractalSettings first;
  EXPECT_EQ(loadSettingsForStartUp(first, fresh), "");
  expectSettings(first, 3, 100, 15, 5, false);

  MemoryRegistry readOnly;
  readOnly.writesBeforeFailure = 0;
  FractalSettings defaults;
  EXPECT_EQ(loadSettingsForStartUp(defaults, readOnly), "Failed to set data for 'Speed'");
  expectSettings(defaults, 3, 100, 15, 5, false);
}

TEST(ApplyRandomAlgorithm, PicksFrom0To14OnlyWhenAsked) {
  RandomGenerator random;
  random.seed(1);
  FractalSettings settings{3, 100, 31, 5, false};
  ApplyRandomAlgorithm(settings, random);
  EXPECT_EQ(settings.Algorithm, 31);
  EXPECT_EQ(random.state(), 1u) << "no draw";

  settings.RandomAlgorithm = true;
  bool seen[15] = {};
  for (int i = 0; i < 500; ++i) {
    settings.Algorithm = 31;
    ApplyRandomAlgorithm(settings, random);
    ASSERT_GE(settings.Algorithm, 0);
    ASSERT_LE(settings.Algorithm, 14);
    seen[settings.Algorithm] = true;
  }
  for (bool s : seen) EXPECT_TRUE(s);
}

}  // namespace
}  // namespace glimmerweave
