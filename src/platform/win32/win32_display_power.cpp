#include "platform/win32/win32_display_power.h"

#include <windows.h>

#include <cstring>
#include <initializer_list>

namespace glimmerweave::win32 {

DisplayPower displayPowerFrom(const void* setting) {
  if (!setting) return DisplayPower::kNotOurs;
  const auto& report = *static_cast<const POWERBROADCAST_SETTING*>(setting);
  if (!IsEqualGUID(report.PowerSetting, GUID_SESSION_DISPLAY_STATUS) &&
      !IsEqualGUID(report.PowerSetting, GUID_CONSOLE_DISPLAY_STATE) &&
      !IsEqualGUID(report.PowerSetting, GUID_MONITOR_POWER_ON))
    return DisplayPower::kNotOurs;
  if (report.DataLength != sizeof(DWORD)) return DisplayPower::kNotOurs;
  DWORD state = 0;
  std::memcpy(&state, report.Data, sizeof state);
  switch (state) {
    case 0:
      return DisplayPower::kOff;
    case 1:
      return DisplayPower::kOn;
    case 2:
      return DisplayPower::kDimmed;
    default:
      return DisplayPower::kNotOurs;
  }
}

std::uintptr_t registerForDisplayPower(std::uintptr_t window) {
  for (const GUID* setting :
       {&GUID_SESSION_DISPLAY_STATUS, &GUID_CONSOLE_DISPLAY_STATE, &GUID_MONITOR_POWER_ON}) {
    if (HPOWERNOTIFY registration = RegisterPowerSettingNotification(
            reinterpret_cast<HWND>(window), setting, DEVICE_NOTIFY_WINDOW_HANDLE))
      return reinterpret_cast<std::uintptr_t>(registration);
  }
  return 0;
}

void unregisterDisplayPower(std::uintptr_t registration) {
  if (registration)
    UnregisterPowerSettingNotification(reinterpret_cast<HPOWERNOTIFY>(registration));
}

}  // namespace glimmerweave::win32
