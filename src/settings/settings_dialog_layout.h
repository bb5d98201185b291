// Where the settings dialog's controls go: the layout at 96 dots per inch, and
// the same layout at any other DPI, every position, size and font height scaled
// by dpi / 96 and rounded as the system's MulDiv rounds (to nearest, halves away
// from zero). The Win32 layer places its windows from this; nothing here knows
// of windows.
#pragma once

#include <array>

namespace glimmerweave {

// The DPI at which the layout is given, and which a DPI that cannot be read
// (0 or less) falls back to.
inline constexpr int kLayoutDpi = 96;

// The dialog's client area at 96 DPI: the 400 x 300 preview above the controls.
inline constexpr int kSettingsDialogClientWidth = 400;
inline constexpr int kSettingsDialogClientHeight = 420;

// A control's place in the dialog's client area, in pixels.
struct ControlPlace {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;

  friend bool operator==(const ControlPlace&, const ControlPlace&) = default;
};

struct SettingsDialogLayout {
  int clientWidth = 0;
  int clientHeight = 0;
  ControlPlace DXDraw;
  ControlPlace CheckBox1;
  std::array<ControlPlace, 4> StaticTexts;  // StaticText1..4: Speed, Brightness, Algorithm, Detail
  std::array<ControlPlace, 4> TrackBars;    // TrackBar1..4, in the same order
  ControlPlace Button1;
  ControlPlace Button4;
  int fontHeight = 0;  // the character height of every text control
};

// value x dpi / 96, rounded to nearest with halves away from zero and kept in the
// range of int; a dpi of 0 or less counts as 96.
int scaleForDpi(int value, int dpi);

// The dialog's layout at `dpi`; at 96 exactly the designed one.
SettingsDialogLayout settingsDialogLayout(int dpi);

}  // namespace glimmerweave
