// The control-panel preview: a window of class "PointsClass" named "Stillmoss"
// inside the window whose handle the system passes, animated by a second
// thread that asks for a repaint every 40 ms.
#pragma once

#include <string>

#include "engine/engine.h"

namespace glimmerweave::win32 {

inline constexpr const char* kPreviewClass = "PointsClass";
inline constexpr const char* kPreviewWindowName = "Stillmoss";

// Runs the preview in the window `handleParameter` names until that window is
// destroyed, or (in the ownerless window used without a parent) until a key
// press that the exit check allows. Returns the program's exit status.
int RunPreview(Fractals& fractals, const std::string& handleParameter);

}  // namespace glimmerweave::win32
