// The settings dialog's window, the form TForm2 captioned "Glimmerweave
// Settings": the live preview at the top, four sliders, a check box and two
// buttons below it on black. Its events drive SettingsDialog, which holds all of
// the dialog's logic.
#pragma once

#include "engine/engine.h"

namespace glimmerweave::win32 {

inline constexpr const char* kSettingsDialogClass = "TForm2";
inline constexpr const char* kSettingsDialogCaption = "Glimmerweave Settings";

// Creates the dialog, runs the message loop until it closes, and returns the
// program's exit status.
int runSettingsDialog(Fractals& fractals);

}  // namespace glimmerweave::win32
