// The display's power, which the full-screen run follows: what one of the
// system's reports says, read by the function the run's window reads it with,
// and the report the system sends when a window registers.
#include "platform/win32/win32_display_power.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

namespace glimmerweave::win32 {
namespace {

// A report as the system sends it: the setting's header, then its data, which
// may be longer than the one byte the structure declares.
class Report {
 public:
  Report(const GUID& setting, DWORD value, DWORD length = sizeof(DWORD)) {
    std::memcpy(bytes_ + offsetof(POWERBROADCAST_SETTING, PowerSetting), &setting, sizeof setting);
    std::memcpy(bytes_ + offsetof(POWERBROADCAST_SETTING, DataLength), &length, sizeof length);
    std::memcpy(bytes_ + offsetof(POWERBROADCAST_SETTING, Data), &value, sizeof value);
  }
  const void* get() const { return bytes_; }

 private:
  alignas(POWERBROADCAST_SETTING) unsigned char bytes_[sizeof(POWERBROADCAST_SETTING) +
                                                       sizeof(DWORD)]{};
};

TEST(DisplayPower, EachDisplaySettingReadsOffOnAndDimmed) {
  const struct {
    const GUID& setting;
    const char* name;
  } settings[] = {{GUID_SESSION_DISPLAY_STATUS, "session display status"},
                  {GUID_CONSOLE_DISPLAY_STATE, "console display state"},
                  {GUID_MONITOR_POWER_ON, "monitor power on"}};
  for (const auto& [setting, name] : settings) {
    EXPECT_EQ(displayPowerFrom(Report(setting, 0).get()), DisplayPower::kOff) << name;
    EXPECT_EQ(displayPowerFrom(Report(setting, 1).get()), DisplayPower::kOn) << name;
    EXPECT_EQ(displayPowerFrom(Report(setting, 2).get()), DisplayPower::kDimmed) << name;
    EXPECT_EQ(displayPowerFrom(Report(setting, 3).get()), DisplayPower::kNotOurs) << name;
    for (const DWORD length : {0ul, 1ul, 2ul, 8ul})
      EXPECT_EQ(displayPowerFrom(Report(setting, 1, length).get()), DisplayPower::kNotOurs)
          << name << ", DataLength " << length;
  }
  EXPECT_EQ(displayPowerFrom(Report(GUID_ACDC_POWER_SOURCE, 1).get()), DisplayPower::kNotOurs);
  EXPECT_EQ(displayPowerFrom(nullptr), DisplayPower::kNotOurs);
}

DisplayPower reportedPower = DisplayPower::kNotOurs;
bool settingReported = false;

LRESULT CALLBACK recordPower(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_POWERBROADCAST && wParam == PBT_POWERSETTINGCHANGE) {
    settingReported = true;
    reportedPower = displayPowerFrom(reinterpret_cast<const void*>(lParam));
    return TRUE;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

TEST(DisplayPower, TheCurrentStateIsReportedOnRegistrationAndReadAsOn) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = recordPower;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "DisplayPowerTest";
  ASSERT_NE(RegisterClassA(&windowClass), 0);
  HWND window = CreateWindowExA(0, windowClass.lpszClassName, "", WS_POPUP, 0, 0, 10, 10, nullptr,
                                nullptr, windowClass.hInstance, nullptr);
  ASSERT_NE(window, nullptr);
  const std::uintptr_t registration =
      registerForDisplayPower(reinterpret_cast<std::uintptr_t>(window));
  const DWORD until = GetTickCount() + 2000;
  MSG message;
  while (!settingReported && GetTickCount() < until) {
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    Sleep(10);
  }
  unregisterDisplayPower(registration);
  DestroyWindow(window);
  if (!settingReported)
    GTEST_SKIP() << "the system reported no display power state within 2 s of registering "
                    "(Wine's RegisterPowerSettingNotification is a stub that never reports), so "
                    "the run's pause while the display is off cannot be shown here";
  EXPECT_EQ(reportedPower, DisplayPower::kOn) << "the display is on while the tests run";
}

}  // namespace
}  // namespace glimmerweave::win32
