// The display's power as the system reports it to a window that registers for
// it: the current state at once, then every change, each in a WM_POWERBROADCAST
// with PBT_POWERSETTINGCHANGE whose lParam points to a POWERBROADCAST_SETTING.
#pragma once

#include <cstdint>

namespace glimmerweave::win32 {

enum class DisplayPower { kOff, kOn, kDimmed, kNotOurs };

// What one report (`setting` points to its POWERBROADCAST_SETTING) says of the
// display: for the session's display (GUID_SESSION_DISPLAY_STATUS), the
// console's (GUID_CONSOLE_DISPLAY_STATE) or the monitor's
// (GUID_MONITOR_POWER_ON), a DWORD 0 off, 1 on or 2 dimmed. Any other setting,
// data of another size or another value is kNotOurs.
DisplayPower displayPowerFrom(const void* setting);

// Registers `window` (an HWND) for reports of the display that its session
// shows: in a Remote Desktop session that is the session's own, not the
// console's monitor. Where the system does not know the session's display
// (before Windows 8) the console's is asked for, then the monitor's (Windows 7
// and Vista). Returns the registration (an HPOWERNOTIFY), 0 when none took:
// then nothing is reported and the run goes on as if the display were on.
std::uintptr_t registerForDisplayPower(std::uintptr_t window);
void unregisterDisplayPower(std::uintptr_t registration);

}  // namespace glimmerweave::win32
