// What the cases with several monitors know of their stand-in for the system's
// password component that shows a dialog (test_password_dialog.cpp).
#pragma once

#include <cstdint>

namespace glimmerweave::integration {

// The dialog's size in pixels and its colour (0x00RRGGBB), all over it.
inline constexpr int kPasswordDialogWidth = 240;
inline constexpr int kPasswordDialogHeight = 120;
inline constexpr std::uint32_t kPasswordDialogColour = 0x0000C0C0;

}  // namespace glimmerweave::integration
