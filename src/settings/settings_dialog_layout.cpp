#include "settings/settings_dialog_layout.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>

namespace glimmerweave {

namespace {

constexpr SettingsDialogLayout kLayoutAt96{
    kSettingsDialogClientWidth,
    kSettingsDialogClientHeight,
    {0, 0, 400, 300},    // DXDraw
    {10, 304, 263, 17},  // CheckBox1
    {{
        {10, 323, 45, 20},   // StaticText1: "Speed"
        {10, 358, 70, 20},   // StaticText2: "Brightness"
        {207, 323, 66, 20},  // StaticText3: "Algorithm"
        {207, 358, 57, 20},  // StaticText4: "Detailed"
    }},
    {{
        {3, 340, 170, 10},    // TrackBar1: Speed
        {3, 375, 170, 10},    // TrackBar2: Brightness
        {200, 340, 170, 10},  // TrackBar3: Algorithm
        {200, 375, 170, 10},  // TrackBar4: Detail
    }},
    {11, 395, 94, 17},   // Button1: "Save settings"
    {318, 395, 74, 17},  // Button4: "Close"
    13,
};

ControlPlace scaled(const ControlPlace& place, int dpi) {
  return ControlPlace{scaleForDpi(place.left, dpi), scaleForDpi(place.top, dpi),
                      scaleForDpi(place.width, dpi), scaleForDpi(place.height, dpi)};
}

}  // namespace

int scaleForDpi(int value, int dpi) {
  if (dpi <= 0) dpi = kLayoutDpi;
  const std::int64_t product = static_cast<std::int64_t>(value) * dpi;
  const std::int64_t magnitude = product < 0 ? -product : product;
  const std::int64_t divisor = std::int64_t{2} * kLayoutDpi;
  const std::int64_t rounded = (2 * magnitude + kLayoutDpi) / divisor;
  const std::int64_t result = product < 0 ? -rounded : rounded;
  return static_cast<int>(std::clamp<std::int64_t>(result, std::numeric_limits<int>::min(),
                                                   std::numeric_limits<int>::max()));
}

SettingsDialogLayout settingsDialogLayout(int dpi) {
  const SettingsDialogLayout& base = kLayoutAt96;
  SettingsDialogLayout layout;
  layout.clientWidth = scaleForDpi(base.clientWidth, dpi);
  layout.clientHeight = scaleForDpi(base.clientHeight, dpi);
  layout.DXDraw = scaled(base.DXDraw, dpi);
  layout.CheckBox1 = scaled(base.CheckBox1, dpi);
  for (std::size_t i = 0; i < base.StaticTexts.size(); ++i) {
    layout.StaticTexts[i] = scaled(base.StaticTexts[i], dpi);
    layout.TrackBars[i] = scaled(base.TrackBars[i], dpi);
  }
  layout.Button1 = scaled(base.Button1, dpi);
  layout.Button4 = scaled(base.Button4, dpi);
  layout.fontHeight = scaleForDpi(base.fontHeight, dpi);
  return layout;
}

}  // namespace glimmerweave
