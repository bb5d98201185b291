#include "shell/exit_check.h"

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

}  // namespace glimmerweave
