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

// ---------------------------------------------------------------------------
// A password component that hangs
//
// The full-screen run waits inside the component while it asks for the
// password, so a component that never returns would leave the screen covered
// with nothing that answers keys or mouse. Ending the run then would let
// anyone past the password; instead the system's own lock takes over, and
// where the system cannot lock, the user is told how the system lets them out.

// Decides, from looks taken while the component has not returned, whether the
// check hangs: it does once the component has shown no window that answers
// messages for kHangMilliseconds in a row (it shows none, or what it shows is
// stuck). A user who takes long over the dialog keeps it answering, however
// long that is.
class PasswordCheckWatch {
 public:
  static constexpr std::uint64_t kHangMilliseconds = 15'000;

  // One look, `elapsed` ms after the component was called: whether one of its
  // windows answered. True for the one look after which the check counts as hung.
  bool look(std::uint64_t elapsed, bool answeringWindow);
  bool hung() const { return hung_; }

 private:
  bool silent_ = false;
  std::uint64_t silentSince_ = 0;
  bool hung_ = false;
};

// What the program can do about a check that hangs; called from a thread other
// than the user-interface thread, which is the one stuck in the component.
class HungCheckSystem {
 public:
  virtual ~HungCheckSystem() = default;
  // Locks the workstation, which then asks for the user's own password; false
  // when the system refuses or cannot.
  virtual bool lockWorkstation() = 0;
  virtual void setScreenSaverRunning(bool running) = 0;
  // Ends the program at once: the system gives the display back.
  virtual void endProgram() = 0;
  // Shows, above the run, that the check does not answer and how the system
  // lets the user out (Ctrl+Alt+Delete).
  virtual void showWayOutNotice() = 0;
};

// A hung check never ends the run unverified: when the system locks the
// workstation, the lock guards the desktop and the program ends, telling the
// system that no screen saver runs any more; otherwise the run stays, with the
// notice above it.
void answerHungCheck(HungCheckSystem& system);

}  // namespace glimmerweave
