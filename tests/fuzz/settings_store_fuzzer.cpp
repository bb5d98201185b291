// The settings store from a hand-edited key: each of the five values missing, or of
// any type (REG_DWORD, REG_SZ, REG_BINARY, REG_QWORD or another) with 0 to 16 bytes of
// any content, in a key that may be missing, unopenable or refuse writes part-way. Then
// what a mode does with what it loaded: LoadSettings (and the start-up form of it that
// the modes use), ApplyRandomAlgorithm, the frame size from Detail, the settings
// dialog's start with its slider clamping, and one small frame with the loaded Speed,
// Algorithm and Brightness.
//
// Input: one byte for the key (bit 0 missing, bit 1 cannot be opened, bits 2..4 the
// number of writes that succeed, 7 for all), then per value, in the store's order, a
// kind byte and its data (see readValue), then the random seed (4 bytes).
#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "fuzz_support.h"
#include "settings/settings_dialog.h"
#include "settings/settings_store.h"
#include "support/fake_drawing_area.h"
#include "support/silent_dialog_host.h"

namespace glimmerweave::fuzz {
namespace {

constexpr std::array<const char*, 5> kNames = {"Speed", "Brightness", "Algoritm", "Detail",
                                               "Rands"};
constexpr std::uint32_t kRegQword = 11;

// Values a hand-edited DWORD is likely to hold: the ranges' bounds and just beyond, and
// the 32-bit extremes.
constexpr std::array<std::uint32_t, 20> kEdgeValues = {
    0,  1,  2,   5,   10,          11,          14,          15,          31,          32,
    34, 35, 100, 101, 0xFFFFFFFFu, 0xFFFFFFFBu, 0xFFFFFFFAu, 0x7FFFFFFFu, 0x80000000u, 0x80000001u};

// One value of the key, as its kind byte says: 0 missing; 1 REG_DWORD; 2 REG_SZ and 3
// REG_BINARY of 0..16 bytes; 4 REG_QWORD; 5 REG_DWORD of 0..16 bytes; 6 any type of
// 0..16 bytes; 7 a REG_DWORD from kEdgeValues.
void readValue(FuzzInput& in, MemoryRegistry& registry, const std::string& name) {
  const std::uint8_t kind = in.byte();
  switch (kind % 8) {
    case 0:
      return;
    case 1:
      registry.values[name] = {kRegDword, in.bytes(4)};
      return;
    case 2:
      registry.values[name] = {kRegSz, in.bytes(in.byte() % 17)};
      return;
    case 3:
      registry.values[name] = {kRegBinary, in.bytes(in.byte() % 17)};
      return;
    case 4:
      registry.values[name] = {kRegQword, in.bytes(8)};
      return;
    case 5:
      registry.values[name] = {kRegDword, in.bytes(in.byte() % 17)};
      return;
    case 6: {
      const std::uint32_t type = in.u32();
      registry.values[name] = {type, in.bytes(in.byte() % 17)};
      return;
    }
    default: {
      const std::uint32_t value = kEdgeValues[in.byte() % kEdgeValues.size()];
      registry.values[name] = {kRegDword,
                               {std::uint8_t(value), std::uint8_t(value >> 8),
                                std::uint8_t(value >> 16), std::uint8_t(value >> 24)}};
      return;
    }
  }
}

// Speed, Brightness, Algorithm or Detail, by its place in the store.
template <class Settings>
auto& field(Settings& settings, std::size_t index) {
  switch (index) {
    case 0:
      return settings.Speed;
    case 1:
      return settings.Brightness;
    case 2:
      return settings.Algorithm;
    default:
      return settings.Detail;
  }
}

bool sameSettings(const FractalSettings& a, const FractalSettings& b) {
  return a.Speed == b.Speed && a.Brightness == b.Brightness && a.Algorithm == b.Algorithm &&
         a.Detail == b.Detail && a.RandomAlgorithm == b.RandomAlgorithm;
}

FractalSettings defaults() {
  FractalSettings settings;
  applyFirstRunDefaults(settings);
  return settings;
}

// What loading the key must give, worked out from the store's rules on their own.
struct ExpectedLoad {
  FractalSettings settings;
  std::string error;
  std::size_t valuesRead = 0;  // before the error, if reading failed
  bool readFailed = false;
  std::size_t valuesWritten = 0;  // by the first-run rule
};

ExpectedLoad expectedLoad(const MemoryRegistry& registry) {
  ExpectedLoad expected;
  if (registry.keyExists && !registry.openFails) {
    for (const char* name : kNames) {
      const auto found = registry.values.find(name);
      if (found == registry.values.end() || found->second.bytes.size() > 4) {
        expected.error = std::string("Failed to get data for '") + name + "'";
      } else if (found->second.type != kRegDword) {
        expected.error = std::string("Invalid data type for '") + name + "'";
      }
      if (!expected.error.empty()) {
        expected.readFailed = true;
        return expected;
      }
      std::uint32_t data = 0;
      for (std::size_t i = 0; i < found->second.bytes.size(); ++i)
        data |= std::uint32_t{found->second.bytes[i]} << (8 * i);
      if (expected.valuesRead < 4)
        field(expected.settings, expected.valuesRead) = static_cast<std::int32_t>(data);
      else
        expected.settings.RandomAlgorithm = data != 0;
      ++expected.valuesRead;
    }
  }
  const FractalSettings& s = expected.settings;
  if (s.Speed == 0 && s.Brightness == 0 && s.Algorithm == 0 && s.Detail == 0) {
    expected.settings = defaults();
    if (!registry.openFails) {
      const int allowed = registry.writesBeforeFailure;
      expected.valuesWritten = allowed < 0 ? 5 : std::min<std::size_t>(allowed, 5);
      if (expected.valuesWritten < 5)
        expected.error =
            std::string("Failed to set data for '") + kNames[expected.valuesWritten] + "'";
    }
  }
  return expected;
}

void checkLoadSettings(const MemoryRegistry& hostile, const ExpectedLoad& expected) {
  MemoryRegistry registry = hostile;
  FractalSettings settings;
  std::string error;
  try {
    LoadSettings(settings, registry);
  } catch (const RegistryError& e) {
    error = e.what();
  }
  FUZZ_CHECK(error == expected.error, error + " instead of " + expected.error);
  FUZZ_CHECK(sameSettings(settings, expected.settings));
  FUZZ_CHECK(!registry.open, "the key is closed however loading ends");
  FUZZ_CHECK(registry.writeLog.size() == expected.valuesWritten);
  for (std::size_t i = 0; i < registry.writeLog.size(); ++i) {
    FUZZ_CHECK(registry.writeLog[i] == kNames[i]);
    const MemoryRegistry::Value& written = registry.values.at(kNames[i]);
    FUZZ_CHECK(written.type == kRegDword && written.bytes.size() == 4);
  }
  if (expected.valuesWritten == 5) {
    FUZZ_CHECK(registry.dword("Speed") == 3 && registry.dword("Brightness") == 100 &&
               registry.dword("Algoritm") == 15 && registry.dword("Detail") == 5 &&
               registry.dword("Rands") == 0);
  }
  if (expected.valuesWritten == 0) {
    FUZZ_CHECK(registry.values.size() == hostile.values.size(), "nothing is written");
  }
}

// The start-up form: the fields that could not be read take the first-run defaults.
FractalSettings checkStartUpLoad(const MemoryRegistry& hostile, const ExpectedLoad& expected) {
  MemoryRegistry registry = hostile;
  FractalSettings settings;
  const std::string error = loadSettingsForStartUp(settings, registry);
  FUZZ_CHECK(error == expected.error);
  FractalSettings wanted = expected.settings;
  if (expected.readFailed) {
    const FractalSettings fallback = defaults();
    for (std::size_t i = expected.valuesRead; i < 4; ++i) field(wanted, i) = field(fallback, i);
    wanted.RandomAlgorithm = false;
  }
  FUZZ_CHECK(sameSettings(settings, wanted));
  FUZZ_CHECK(!registry.open);
  return settings;
}

void checkRandomAlgorithm(FractalSettings& settings, std::uint32_t seed) {
  RandomGenerator random;
  random.seed(seed);
  RandomGenerator expected = random;
  const std::int32_t before = settings.Algorithm;
  ApplyRandomAlgorithm(settings, random);
  if (settings.RandomAlgorithm) {
    FUZZ_CHECK(settings.Algorithm == static_cast<std::int32_t>(expected.Random(15)));
    FUZZ_CHECK(settings.Algorithm >= 0 && settings.Algorithm <= 14);
  } else {
    FUZZ_CHECK(settings.Algorithm == before);
  }
  FUZZ_CHECK(random.state() == expected.state(), "one draw when asked, none otherwise");
}

// The frame of a Detail setting in the full-screen run (800 x 600 at Detail 10) and in
// the settings dialog (400 x 300): Detail is held to 0..10, so the frame fits the planes
// and is never empty.
void checkFrameSizes(std::int32_t detail) {
  static constexpr std::array<std::int32_t, 11> kFullWidth = {267, 320, 373, 427, 480, 533,
                                                              587, 640, 693, 747, 800};
  static constexpr std::array<std::int32_t, 11> kDialogWidth = {133, 160, 187, 213, 240, 267,
                                                                293, 320, 347, 373, 400};
  const std::size_t step = static_cast<std::size_t>(std::clamp(detail, 0, 10));
  std::int32_t width = -1, height = -1;
  frameSizeForDetail(detail, 800, 600, width, height);
  FUZZ_CHECK(width == kFullWidth[step] && height == 200 + 40 * std::int32_t(step));
  FUZZ_CHECK(width <= ColorPlanes::kColumns && height <= ColorPlanes::kRows);
  frameSizeForDetail(detail, 400, 300, width, height);
  FUZZ_CHECK(width == kDialogWidth[step] && height == 100 + 20 * std::int32_t(step));
}

// The dialog's start: every slider shows its value clamped into its range, and where
// that moved the slider from its start position, the setting takes the clamped value.
void checkDialog(const MemoryRegistry& hostile, const FractalSettings& loaded,
                 const std::string& loadError, Fractals& fractals) {
  MemoryRegistry registry = hostile;
  testing::FakeDrawingArea area;
  testing::SilentDialogHost host;
  SettingsDialog dialog(fractals, registry, area, host);
  dialog.FormCreate();

  const FractalSettings& settings = fractals.settings;
  FUZZ_CHECK(host.errors == (loadError.empty() ? std::vector<std::string>{}
                                               : std::vector<std::string>{loadError}));
  FUZZ_CHECK(dialog.checkBox() == loaded.RandomAlgorithm);
  FUZZ_CHECK(settings.RandomAlgorithm == loaded.RandomAlgorithm);

  FractalSettings stored = loaded;
  if (loaded.RandomAlgorithm) {
    // Picked from the clock's seed: any of 0..14.
    FUZZ_CHECK(settings.Algorithm >= 0 && settings.Algorithm <= 14);
    stored.Algorithm = settings.Algorithm;
  }
  static constexpr std::array<int, 4> kMinimum = {0, 1, 0, 0};
  static constexpr std::array<int, 4> kMaximum = {10, 100, 31, 10};
  static constexpr std::array<int, 4> kStart = {1, 1, 5, 1};
  for (std::size_t i = 0; i < 4; ++i) {
    const std::int32_t value = field(stored, i);
    const int clamped = std::clamp<int>(value, kMinimum[i], kMaximum[i]);
    FUZZ_CHECK(dialog.slider(static_cast<SliderIndex>(i)).position == clamped);
    FUZZ_CHECK(field(fractals.settings, i) == (clamped != kStart[i] ? clamped : value));
  }
  FUZZ_CHECK(fractals.EngineBrightness == settings.Brightness);
  std::int32_t width = 0, height = 0;
  frameSizeForDetail(settings.Detail, 400, 300, width, height);
  FUZZ_CHECK(fractals.FrameWidth == width && fractals.FrameHeight == height);
  FUZZ_CHECK(dialog.image().width() == width && dialog.image().height() == height);
}

// One frame with the loaded Speed, Algorithm and Brightness, at a twentieth of the
// full-screen run's frame size for the loaded Detail: it ends with a whole frame of
// intensities 0..255, or with an arithmetic error at a pixel of the frame.
void checkFrame(const FractalSettings& loaded, std::uint32_t seed, Fractals& fractals) {
  fractals.settings = loaded;
  fractals.EngineBrightness = loaded.Brightness;
  std::int32_t width = 0, height = 0;
  frameSizeForDetail(loaded.Detail, 800, 600, width, height);
  fractals.FrameWidth = width / 20;
  fractals.FrameHeight = height / 20;
  fractals.random.seed(seed);
  StartAnimation(fractals);
  const FrameOutcome outcome = ComputeFrame(fractals);
  const std::int64_t failedAt =
      std::int64_t{outcome.ok() ? fractals.FrameHeight : outcome.row} * fractals.FrameWidth +
      (outcome.ok() ? 0 : outcome.column);
  if (!outcome.ok()) {
    FUZZ_CHECK(outcome.row >= 0 && outcome.row < fractals.FrameHeight);
    FUZZ_CHECK(outcome.column >= 0 && outcome.column < fractals.FrameWidth);
  }
  for (std::int32_t r = 0; r < fractals.FrameHeight; ++r)
    for (std::int32_t c = 0; c < fractals.FrameWidth; ++c) {
      if (std::int64_t{r} * fractals.FrameWidth + c >= failedAt) return;
      const std::size_t cell = ColorPlanes::index(r, c);
      for (const std::int32_t* plane :
           {fractals.planes.red, fractals.planes.green, fractals.planes.blue})
        FUZZ_CHECK(plane[cell] >= 0 && plane[cell] <= 255);
    }
}

// One engine for every input (its planes are large), put back to a fresh engine's state
// but for the planes, which no check here reads before a frame has written them.
Fractals& freshFractals() {
  static const std::unique_ptr<Fractals> fractals = std::make_unique<Fractals>();
  fractals->settings = FractalSettings{};
  fractals->EngineBrightness = 0;
  fractals->FrameWidth = 0;
  fractals->FrameHeight = 0;
  fractals->random = RandomGenerator{};
  fractals->state = EngineState{};
  return *fractals;
}

}  // namespace
}  // namespace glimmerweave::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace glimmerweave;
  using namespace glimmerweave::fuzz;
  FuzzInput in(data, size);
  MemoryRegistry hostile;
  const std::uint8_t key = in.byte();
  hostile.keyExists = (key & 1) == 0;
  hostile.openFails = (key & 2) != 0;
  hostile.writesBeforeFailure = ((key >> 2) & 7) == 7 ? -1 : (key >> 2) & 7;
  for (const char* name : kNames) readValue(in, hostile, name);
  if (!hostile.keyExists) hostile.values.clear();
  const std::uint32_t seed = in.u32();

  const ExpectedLoad expected = expectedLoad(hostile);
  checkLoadSettings(hostile, expected);
  FractalSettings settings = checkStartUpLoad(hostile, expected);
  const FractalSettings loaded = settings;
  checkRandomAlgorithm(settings, seed);
  checkFrameSizes(settings.Detail);
  checkDialog(hostile, loaded, expected.error, freshFractals());
  checkFrame(settings, seed, freshFractals());
  return 0;
}
