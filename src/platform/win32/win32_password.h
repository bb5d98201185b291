// The system's screen-saver password: the "ScreenSaveUsePassword" option under
// "Control Panel\Desktop" and the "VerifyScreenSavePwd" export of
// "PASSWORD.CPL", loaded by name for each check.
#pragma once

#include "shell/exit_check.h"

namespace glimmerweave::win32 {

class Win32PasswordSystem : public PasswordSystem {
 public:
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
};

// The exit check against the system, with `owner` owning the password dialog.
bool verifyExitPasswordWithSystem(std::uintptr_t owner);

}  // namespace glimmerweave::win32
