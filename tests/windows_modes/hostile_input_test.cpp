// Hostile input that the screen saver takes calmly, one table per kind: every
// hand-edited form of a settings value (other types, other sizes, extreme and
// out-of-range numbers) gives its message, or a mode that computes a frame within the
// planes; the settings dialog's sliders hold every stored value to their ranges; and
// command lines of every shape, 2,000-character parameters and 400 parameters among
// them, choose their mode and preview handle. Inputs that the fuzz targets (tests/fuzz)
// find go into these tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "engine/engine.h"
#include "engine/frame_pool.h"
#include "settings/settings_dialog.h"
#include "settings/settings_store.h"
#include "support/fake_drawing_area.h"
#include "support/registry_test_support.h"
#include "support/silent_dialog_host.h"
#include "windows_modes/command_line.h"
#include "windows_modes/preview.h"

namespace glimmerweave {
namespace {

// ---------------------------------------------------------------------------
// A hand-edited settings key

constexpr std::uint32_t kRegExpandSz = 2;
constexpr std::uint32_t kRegDwordBigEndian = 5;
constexpr std::uint32_t kRegMultiSz = 7;
constexpr std::uint32_t kRegQword = 11;

using Bytes = std::vector<std::uint8_t>;

MemoryRegistry::Value dword(std::uint32_t value) {
  return {kRegDword,
          {std::uint8_t(value), std::uint8_t(value >> 8), std::uint8_t(value >> 16),
           std::uint8_t(value >> 24)}};
}

// A string value as the registry editor stores it, with its terminating NUL.
MemoryRegistry::Value text(std::uint32_t type, const std::string& value) {
  Bytes bytes(value.begin(), value.end());
  bytes.push_back(0);
  return {type, bytes};
}

MemoryRegistry::Value qword(std::uint64_t value) {
  Bytes bytes;
  for (int i = 0; i < 8; ++i) bytes.push_back(std::uint8_t(value >> (8 * i)));
  return {kRegQword, bytes};
}

struct HandEdit {
  const char* name;  // the value edited in a key that holds 3, 100, 15, 5, 0
  std::optional<MemoryRegistry::Value> value;  // none: deleted
  const char* message;                         // what loading reports, "" when it loads
};

// Adds a row for each of the five values set to `value`, with what loading reports.
void forEachValue(std::vector<HandEdit>& table, const MemoryRegistry::Value& value,
                  const char* message) {
  for (const char* name : {"Speed", "Brightness", "Algoritm", "Detail", "Rands"})
    table.push_back({name, value, message});
}

std::vector<HandEdit> handEdits() {
  std::vector<HandEdit> table;
  const auto wrongType = "Invalid data type for '%'";
  const auto unreadable = "Failed to get data for '%'";
  // Other types of at most four bytes are read, and refused for their type.
  forEachValue(table, text(kRegSz, "5"), wrongType);
  forEachValue(table, text(kRegSz, "100"), wrongType);
  forEachValue(table, text(kRegExpandSz, "7"), wrongType);
  forEachValue(table, text(kRegMultiSz, ""), wrongType);
  forEachValue(table, {kRegBinary, {5, 0}}, wrongType);
  forEachValue(table, {kRegBinary, {}}, wrongType);
  forEachValue(table, {kRegNone, {5, 0, 0, 0}}, wrongType);
  forEachValue(table, {kRegDwordBigEndian, {0, 0, 0, 5}}, wrongType);
  // Longer ones do not fit the four bytes read, whatever their type.
  forEachValue(table, text(kRegSz, "12345"), unreadable);
  forEachValue(table, {kRegBinary, {5, 0, 0, 0, 0, 0, 0, 0}}, unreadable);
  forEachValue(table, qword(5), unreadable);
  forEachValue(table, {kRegDword, {5, 0, 0, 0, 0, 0, 0, 0}}, unreadable);
  table.push_back({"Brightness", std::nullopt, unreadable});
  table.push_back({"Detail", std::nullopt, unreadable});
  // A DWORD shorter than four bytes is read as its low bytes.
  forEachValue(table, {kRegDword, {7, 0}}, "");
  forEachValue(table, {kRegDword, {}}, "");
  // Every 32-bit extreme loads as it is: the mode bounds what it must.
  forEachValue(table, dword(0x7FFFFFFFu), "");
  forEachValue(table, dword(0x80000000u), "");
  forEachValue(table, dword(0xFFFFFFFFu), "");
  for (const std::uint32_t detail : {11u, 15u, 100u, 0xFFFFFFFBu, 0xFFFFFFFAu})
    table.push_back({"Detail", dword(detail), ""});
  for (const std::uint32_t brightness : {0u, 101u, 255u, 0xFFFFFFCEu})
    table.push_back({"Brightness", dword(brightness), ""});
  for (const std::uint32_t algorithm : {32u, 34u, 35u, 36u})
    table.push_back({"Algoritm", dword(algorithm), ""});
  for (const std::uint32_t speed : {0u, 11u, 1000u}) table.push_back({"Speed", dword(speed), ""});
  return table;
}

// The message with the value's name in place of %.
std::string messageFor(const HandEdit& edit) {
  std::string message = edit.message;
  if (const auto at = message.find('%'); at != std::string::npos) message.replace(at, 1, edit.name);
  return message;
}

MemoryRegistry editedKey(const HandEdit& edit) {
  MemoryRegistry registry;
  testing::storeSettings(registry, 3, 100, 15, 5, 0);
  if (edit.value)
    registry.values[edit.name] = *edit.value;
  else
    registry.values.erase(edit.name);
  return registry;
}

std::string describe(const HandEdit& edit) {
  if (!edit.value) return std::string(edit.name) + " deleted";
  std::string bytes;
  for (const std::uint8_t b : edit.value->bytes) bytes += " " + std::to_string(b);
  return std::string(edit.name) + " of type " + std::to_string(edit.value->type) + " with bytes [" +
         bytes + " ]";
}

// How many cells of the frame hold something other than an intensity 0..255.
int cellsOutside0To255(const Fractals& fractals) {
  int count = 0;
  for (int r = 0; r < fractals.FrameHeight; ++r)
    for (int c = 0; c < fractals.FrameWidth; ++c) {
      const auto cell = ColorPlanes::index(r, c);
      for (const std::int32_t* plane :
           {fractals.planes.red, fractals.planes.green, fractals.planes.blue})
        count += plane[cell] < 0 || plane[cell] > 255;
    }
  return count;
}

TEST(HostileInput, EveryHandEditedValueGivesItsMessageOrABoundedFrame) {
  FramePool pool;
  auto fractals = std::make_unique<Fractals>();
  fractals->pool = &pool;
  std::set<std::tuple<int, int, int, int, bool>> computed;
  for (const HandEdit& edit : handEdits()) {
    SCOPED_TRACE(describe(edit));
    const std::string message = messageFor(edit);

    MemoryRegistry registry = editedKey(edit);
    FractalSettings settings;
    std::string reported;
    try {
      LoadSettings(settings, registry);
    } catch (const RegistryError& error) {
      reported = error.what();
    }
    EXPECT_EQ(reported, message);
    if (message.empty()) {
      // The number as stored, unchecked.
      const std::int32_t stored = static_cast<std::int32_t>(registry.dword(edit.name));
      const std::map<std::string, std::int32_t> loaded = {
          {"Speed", settings.Speed},
          {"Brightness", settings.Brightness},
          {"Algoritm", settings.Algorithm},
          {"Detail", settings.Detail},
          {"Rands", settings.RandomAlgorithm ? 1 : 0}};
      EXPECT_EQ(loaded.at(edit.name), std::string(edit.name) == "Rands" ? stored != 0 : stored);
      EXPECT_TRUE(registry.writeLog.empty()) << "no first run: nothing is written";
    }

    // A mode's start: the error is shown, and the mode goes on with a frame within the
    // planes and never empty.
    registry = editedKey(edit);
    fractals->settings = FractalSettings{};
    EXPECT_EQ(loadSettingsForStartUp(fractals->settings, registry), message);
    fractals->random.seed(2024);
    ApplyRandomAlgorithm(fractals->settings, fractals->random);
    fractals->EngineBrightness = fractals->settings.Brightness;
    StartAnimation(*fractals);
    frameSizeForDetail(fractals->settings.Detail, 800, 600, fractals->FrameWidth,
                       fractals->FrameHeight);
    EXPECT_GE(fractals->FrameWidth, 267);
    EXPECT_LE(fractals->FrameWidth, 800);
    EXPECT_GE(fractals->FrameHeight, 200);
    EXPECT_LE(fractals->FrameHeight, 600);

    const FractalSettings& s = fractals->settings;
    if (!computed.insert({s.Speed, s.Brightness, s.Algorithm, s.Detail, s.RandomAlgorithm}).second)
      continue;  // the same frame as an earlier row's
    const FrameOutcome outcome = ComputeFrame(*fractals);
    EXPECT_TRUE(outcome.ok()) << outcome.message() << " at " << outcome.row << ", "
                              << outcome.column;
    EXPECT_EQ(cellsOutside0To255(*fractals), 0);
  }
}

// ---------------------------------------------------------------------------
// The settings dialog's sliders

using testing::SilentDialogHost;

struct StoredSlider {
  const char* name;  // the value stored in a key that otherwise holds 3, 100, 15, 5, 0
  std::uint32_t stored;
  SliderIndex slider;
  int position;          // where the slider stands after the dialog's start
  std::int32_t setting;  // and the setting: the clamped value, unless the slider
                         // stayed at its start position (1, 1, 5, 1) and so did not move
};

TEST(HostileInput, TheDialogHoldsEveryStoredValueToItsSlider) {
  const StoredSlider table[] = {
      {"Speed", 0xFFFFFFFFu, kSpeedSlider, 0, 0},
      {"Speed", 0x80000000u, kSpeedSlider, 0, 0},
      {"Speed", 0, kSpeedSlider, 0, 0},
      {"Speed", 1, kSpeedSlider, 1, 1},
      {"Speed", 10, kSpeedSlider, 10, 10},
      {"Speed", 11, kSpeedSlider, 10, 10},
      {"Speed", 0x7FFFFFFFu, kSpeedSlider, 10, 10},
      {"Brightness", 0xFFFFFFCEu, kBrightnessSlider, 1, -50},
      {"Brightness", 0x80000000u, kBrightnessSlider, 1, INT32_MIN},
      {"Brightness", 2, kBrightnessSlider, 2, 2},
      {"Brightness", 101, kBrightnessSlider, 100, 100},
      {"Brightness", 0x7FFFFFFFu, kBrightnessSlider, 100, 100},
      {"Algoritm", 0xFFFFFFFFu, kAlgorithmSlider, 0, 0},
      {"Algoritm", 0x80000000u, kAlgorithmSlider, 0, 0},
      {"Algoritm", 5, kAlgorithmSlider, 5, 5},
      {"Algoritm", 31, kAlgorithmSlider, 31, 31},
      {"Algoritm", 32, kAlgorithmSlider, 31, 31},
      {"Algoritm", 35, kAlgorithmSlider, 31, 31},
      {"Algoritm", 0x7FFFFFFFu, kAlgorithmSlider, 31, 31},
      {"Detail", 0xFFFFFFFFu, kDetailSlider, 0, 0},
      {"Detail", 0xFFFFFFFAu, kDetailSlider, 0, 0},
      {"Detail", 0x80000000u, kDetailSlider, 0, 0},
      {"Detail", 1, kDetailSlider, 1, 1},
      {"Detail", 11, kDetailSlider, 10, 10},
      {"Detail", 0x7FFFFFFFu, kDetailSlider, 10, 10},
  };
  for (const StoredSlider& row : table) {
    SCOPED_TRACE(std::string(row.name) + " stored as " + std::to_string(row.stored));
    MemoryRegistry registry;
    testing::storeSettings(registry, 3, 100, 15, 5, 0);
    registry.setDword(row.name, row.stored);
    auto fractals = std::make_unique<Fractals>();
    testing::FakeDrawingArea area;
    SilentDialogHost host;
    SettingsDialog dialog(*fractals, registry, area, host);
    dialog.FormCreate();
    EXPECT_TRUE(host.errors.empty());

    EXPECT_EQ(dialog.slider(row.slider).position, row.position);
    const FractalSettings& s = fractals->settings;
    const std::int32_t settings[] = {s.Speed, s.Brightness, s.Algorithm, s.Detail};
    EXPECT_EQ(settings[row.slider], row.setting);
    EXPECT_EQ(fractals->EngineBrightness, s.Brightness);
    for (const SliderIndex other :
         {kSpeedSlider, kBrightnessSlider, kAlgorithmSlider, kDetailSlider}) {
      const Slider& slider = dialog.slider(other);
      EXPECT_GE(slider.position, slider.minimum);
      EXPECT_LE(slider.position, slider.maximum);
    }

    // A tick: the frame follows Detail within the dialog's 400 x 300, and completes.
    dialog.DXTimerTimer();
    static constexpr std::array<std::int32_t, 11> kWidth = {133, 160, 187, 213, 240, 267,
                                                            293, 320, 347, 373, 400};
    ASSERT_GE(s.Detail, 0);
    ASSERT_LE(s.Detail, 10);
    EXPECT_EQ(fractals->FrameWidth, kWidth[s.Detail]);
    EXPECT_EQ(fractals->FrameHeight, 100 + 20 * s.Detail);
    EXPECT_EQ(dialog.image().width(), fractals->FrameWidth);
    EXPECT_EQ(dialog.image().height(), fractals->FrameHeight);
  }
}

// ---------------------------------------------------------------------------
// Command lines

struct CommandLine {
  std::string description;
  std::string line;
  Mode mode;
  std::string handleParameter;
  std::int32_t handle;  // ParamToHandle(handleParameter)
};

std::string repeated(const std::string& piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

std::vector<CommandLine> commandLines() {
  const std::string nines(2000, '9');
  const std::string blanks(1995, ' ');
  return {
      {"2,000-character switch", "g.scr /" + std::string(2000, 'c'), Mode::SettingsDialog, "", 0},
      {"2,000-character full-screen switch", "g.scr /s" + std::string(1998, 'x'), Mode::FullScreen,
       "", 0},
      {"2,000 decimal digits", "g.scr /p " + nines, Mode::Preview, nines, 0},
      {"2,000 hexadecimal digits", "g.scr /p $" + std::string(2000, 'F'), Mode::Preview,
       "$" + std::string(2000, 'F'), 0},
      {"2,000 leading zeros", "g.scr /p 0x" + std::string(1996, '0') + "2A", Mode::Preview,
       "0x" + std::string(1996, '0') + "2A", 42},
      {"2,000 quoted blanks before the number", "g.scr /p \"" + blanks + "77\"", Mode::Preview,
       blanks + "77", 77},
      {"2,000 tabs before the switch", "g.scr" + std::string(2000, '\t') + "/s", Mode::FullScreen,
       "", 0},
      {"2,000-character quoted program name", "\"C:\\" + std::string(2000, 'a') + " b.scr\" /a 9",
       Mode::PasswordChange, "9", 9},
      {"unterminated quote over 2,000 characters", "g.scr \"/p " + nines, Mode::Preview, "", 0},
      {"400 parameters", "g.scr /p 1234" + repeated(" x", 397), Mode::Preview, "1234", 1234},
      {"400 switches", "g.scr" + repeated(" /c", 399), Mode::SettingsDialog, "/c", 0},
      {"400 pairs of quotes before the switch", "g.scr " + repeated("\"\"", 400) + "/p 5",
       Mode::Preview, "5", 5},
      {"400 blank quoted parameters", "g.scr /p" + repeated(" \" \"", 398), Mode::Preview, " ", 0},
      {"nothing at all", "", Mode::FullScreen, "", 0},
      {"a NUL ends the line", std::string("g.scr /p\0 1234", 14), Mode::Preview, "", 0},
      {"bytes above 127", "g.scr /\xff\xfe 12", Mode::FullScreen, "12", 12},
      {"a control character splits the handle",
       "g.scr /p 12\x01"
       "34",
       Mode::Preview, "12", 12},
      {"the lowest handle", "g.scr /P -2147483648", Mode::Preview, "-2147483648", INT32_MIN},
      {"below the lowest handle", "g.scr /p -2147483649", Mode::Preview, "-2147483649", 0},
      {"all 32 bits in hexadecimal", "g.scr /p $FFFFFFFF", Mode::Preview, "$FFFFFFFF", -1},
      {"33 bits in hexadecimal", "g.scr /p 0x100000000", Mode::Preview, "0x100000000", 0},
      {"two signs", "g.scr /p +-5", Mode::Preview, "+-5", 0},
      {"a sign alone", "g.scr /p - 5", Mode::Preview, "-", 0},
      {"a prefix and a sign swapped", "g.scr /p $-5", Mode::Preview, "$-5", 0},
  };
}

TEST(HostileInput, EveryCommandLineChoosesItsModeAndHandle) {
  for (const CommandLine& c : commandLines()) {
    SCOPED_TRACE(c.description);
    const Invocation invocation = parseInvocation(c.line);
    EXPECT_EQ(invocation.mode, c.mode);
    EXPECT_EQ(invocation.handleParameter, c.handleParameter);
    EXPECT_EQ(ParamToHandle(invocation.handleParameter), c.handle);
  }
}

}  // namespace
}  // namespace glimmerweave
