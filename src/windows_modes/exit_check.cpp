#include "windows_modes/exit_check.h"

namespace glimmerweave {

bool VerifyExitPassword(PasswordSystem& system, std::uintptr_t owner) {
  bool answer = true;
  if (!system.openDesktopKey()) return true;
  std::uint32_t usePassword = 0;
  if (system.readUsePassword(usePassword) && usePassword != 0 && system.loadPasswordComponent()) {
    const bool found = system.findVerifyFunction();
    // The dialog needs the cursor; the pair leaves its display counter as it was.
    system.showCursor(true);
    if (found) answer = system.verify(owner);
    system.showCursor(false);
    system.unloadPasswordComponent();
  }
  system.closeDesktopKey();
  return answer;
}

bool PasswordCheckWatch::look(std::uint64_t elapsed, bool answeringWindow) {
  if (hung_) return false;
  if (answeringWindow) {
    silent_ = false;
    return false;
  }
  if (!silent_) {
    silent_ = true;
    silentSince_ = elapsed;
  }
  hung_ = elapsed - silentSince_ >= kHangMilliseconds;
  return hung_;
}

void answerHungCheck(HungCheckSystem& system) {
  if (system.lockWorkstation()) {
    system.setScreenSaverRunning(false);
    system.endProgram();
    return;
  }
  system.showWayOutNotice();
}

}  // namespace glimmerweave
