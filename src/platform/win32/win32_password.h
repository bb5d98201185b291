// The system's screen-saver password: the "ScreenSaveUsePassword" option under
// "Control Panel\Desktop" and the "VerifyScreenSavePwd" export of
// "PASSWORD.CPL", loaded by name for each check; and, for the full-screen run,
// the watch over a component that does not return (see exit_check.h).
#pragma once

#include "windows_modes/exit_check.h"

namespace glimmerweave::win32 {

class Win32PasswordSystem : public PasswordSystem {
 public:
  // `watched`: the component's call is watched from a thread of its own, and
  // a call that hangs is answered as answerHungCheck says (the full-screen run).
  explicit Win32PasswordSystem(bool watched = false) : watched_(watched) {}
  ~Win32PasswordSystem() override;
  bool openDesktopKey() override;
  bool readUsePassword(std::uint32_t& value) override;
  void closeDesktopKey() override;
  bool loadPasswordComponent() override;
  bool findVerifyFunction() override;
  bool verify(std::uintptr_t owner) override;
  void unloadPasswordComponent() override;
  void showCursor(bool show) override;

 private:
  void* key_ = nullptr;      // HKEY
  void* library_ = nullptr;  // HMODULE
  void* verifyFunction_ = nullptr;
  bool watched_ = false;
};

// The exit check against the system, with `owner` owning the password dialog.
bool verifyExitPasswordWithSystem(std::uintptr_t owner);

// The full-screen run's exit check: the same, with the component's call
// watched. While it runs, the windows the component shows are kept above the
// run's top-most windows; when for PasswordCheckWatch::kHangMilliseconds none
// of them answers, the workstation is locked and the program ends, or, where
// the system cannot lock, a notice (class kWayOutNoticeClass) says how to get out.
bool verifyExitPasswordWatched(std::uintptr_t owner);

inline constexpr const char* kWayOutNoticeClass = "GlimmerweaveWayOut";

}  // namespace glimmerweave::win32
