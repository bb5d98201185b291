// The exit check: may the running screen saver stop? When the user's
// screen-saver password option is on, the system's password component asks for
// the password; every piece that is missing or fails answers yes, so the screen
// saver never stays up because the password machinery is absent.
#pragma once

#include <cstdint>

namespace glimmerweave {

// What the exit check needs of the system. The Win32 layer implements it with
// the "Control Panel\Desktop" key's "ScreenSaveUsePassword" value and
// "PASSWORD.CPL"'s "VerifyScreenSavePwd".
class PasswordSystem {
 public:
  virtual ~PasswordSystem() = default;
  virtual bool openDesktopKey() = 0;
  // Reads "ScreenSaveUsePassword" as raw bytes into a 4-byte number (the bytes
  // it does not fill are 0); false when missing or longer than four bytes.
  virtual bool readUsePassword(std::uint32_t& value) = 0;
  virtual void closeDesktopKey() = 0;
  virtual bool loadPasswordComponent() = 0;
  virtual bool findVerifyFunction() = 0;
  // Shows the system's password dialog owned by `owner`; true for the right password.
  virtual bool verify(std::uintptr_t owner) = 0;
  virtual void unloadPasswordComponent() = 0;
  virtual void showCursor(bool show) = 0;
};

// True when the screen saver may stop.
bool VerifyExitPassword(PasswordSystem& system, std::uintptr_t owner);

}  // namespace glimmerweave
