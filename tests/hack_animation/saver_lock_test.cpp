// The saver's locks: one holder at a time, none once its process is killed, no file left
// behind, and an error, not a crash, where no lock can be kept.
#include "hack_animation/saver_lock.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace glimmerweave {
namespace {

namespace fs = std::filesystem;

struct SaverLockTest : testing::Test {
  std::string folder = fs::temp_directory_path() / "saver_lock_test.XXXXXX";
  std::string error;
  SaverLockTest() { EXPECT_NE(mkdtemp(folder.data()), nullptr); }
  ~SaverLockTest() override { fs::remove_all(folder); }
  std::optional<SaverLock> take() { return SaverLock::take(folder, kShowingLock, error); }
  bool held() const { return SaverLock::heldElsewhere(folder, kShowingLock); }
};

TEST_F(SaverLockTest, OneHolderAtATimeUntilItsProcessEnds) {
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const auto lock = take();  // held until the kill, unlike a temporary of the condition
    if (lock && write(ready[1], "x", 1) == 1) pause();
    _exit(1);
  }
  close(ready[1]);
  char byte = 0;
  EXPECT_TRUE(read(ready[0], &byte, 1) == 1 && held() && !take());
  kill(child, SIGKILL);
  ASSERT_EQ(waitpid(child, nullptr, 0), child);
  EXPECT_FALSE(fs::is_empty(folder) || held());  // its file is left, locked by no one
  {
    const auto lock = take();
    EXPECT_TRUE(lock && held() && !take());  // this process's own lock counts too
    EXPECT_EQ(fs::status(folder + "/" + std::string(kShowingLock)).permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
  }
  EXPECT_TRUE(error.empty() && fs::is_empty(folder));
}

TEST_F(SaverLockTest, AFolderThatCannotHoldLocksIsAnError) {
  const std::string rows[] = {folder, "", "run/user", folder + "/missing", "/dev/null"};
  for (const std::string& xdg : rows) {
    SCOPED_TRACE(xdg);
    setenv("XDG_RUNTIME_DIR", xdg.c_str(), 1);
    std::string folderError, takeError;
    const bool usable = xdg == folder;  // the control
    EXPECT_EQ(saverLockFolder(folderError), usable ? xdg : "");
    EXPECT_EQ(folderError.empty(), usable);
    EXPECT_EQ(SaverLock::take(xdg, kHostLock, takeError).has_value(), usable);
    EXPECT_EQ(takeError.empty(), usable);
  }
  unsetenv("XDG_RUNTIME_DIR");
}

}  // namespace
}  // namespace glimmerweave
