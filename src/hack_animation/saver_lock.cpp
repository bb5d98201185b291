// The locks are taken and given back without a race on the file's name: the holder
// removes the file while it still holds the lock, so whoever opened the file before that
// and locks it after finds that the name no longer leads to what it locked, and opens the
// name again (a new file, or one that a newer holder keeps).
#include "hack_animation/saver_lock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace glimmerweave {
namespace {

// A lock over the whole file. An OFD lock wants l_pid 0.
struct flock wholeFile(short type) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  return lock;
}

// Whether `path` still names the file open as `fd`.
bool stillNamed(int fd, const std::string& path) {
  struct stat opened {};
  struct stat named {};
  return fstat(fd, &opened) == 0 && stat(path.c_str(), &named) == 0 &&
         opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

std::string lockPath(const std::string& folder, std::string_view name) {
  return folder + "/" + std::string(name);
}

std::string systemError(const std::string& what, int code) {
  return what + ": " + std::strerror(code);
}

// Why the locks cannot be kept in `folder`, as an errno value; 0 when they can.
int whyUnusable(const char* folder) {
  struct stat status {};
  if (stat(folder, &status) != 0) return errno;
  if (!S_ISDIR(status.st_mode)) return ENOTDIR;
  return access(folder, W_OK | X_OK) == 0 ? 0 : errno;
}

}  // namespace

std::string saverLockFolder(std::string& error) {
  const char* folder = std::getenv("XDG_RUNTIME_DIR");
  if (folder == nullptr || *folder == '\0') {
    error = "XDG_RUNTIME_DIR is not set";
    return {};
  }
  if (*folder != '/') {
    error = std::string("XDG_RUNTIME_DIR is not an absolute path: '") + folder + "'";
    return {};
  }
  const int code = whyUnusable(folder);
  if (code == 0) return folder;
  error = systemError(std::string("XDG_RUNTIME_DIR '") + folder + "'", code);
  return {};
}

std::optional<SaverLock> SaverLock::take(const std::string& folder, std::string_view name,
                                         std::string& error) {
  // An empty folder would put the lock at the root, a relative one wherever we stand.
  if (!folder.starts_with('/')) {
    error = "the folder of the lock is not an absolute path: '" + folder + "'";
    return std::nullopt;
  }
  std::string path = lockPath(folder, name);
  for (;;) {
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
      error = systemError("cannot make the lock file '" + path + "'", errno);
      return std::nullopt;
    }
    struct flock lock = wholeFile(F_WRLCK);
    if (fcntl(fd, F_OFD_SETLK, &lock) != 0) {
      const int code = errno;
      close(fd);
      if (code != EAGAIN && code != EACCES) error = systemError("cannot lock '" + path + "'", code);
      return std::nullopt;
    }
    if (stillNamed(fd, path)) return SaverLock(fd, std::move(path));
    // The holder before us gave it back between our open and our lock.
    close(fd);
  }
}

bool SaverLock::heldElsewhere(const std::string& folder, std::string_view name) {
  if (!folder.starts_with('/')) return false;
  // Opened without O_CREAT: asking leaves no file behind. No file, no holder.
  const int fd = open(lockPath(folder, name).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return false;
  // Any holder's write lock conflicts with a read lock, which a read-only open may ask for.
  struct flock lock = wholeFile(F_RDLCK);
  const bool held = fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
  close(fd);
  return held;
}

SaverLock::~SaverLock() {
  giveBack();
}

SaverLock::SaverLock(SaverLock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

SaverLock& SaverLock::operator=(SaverLock&& other) noexcept {
  if (this != &other) {
    giveBack();
    fd_ = std::exchange(other.fd_, -1);
    path_ = std::move(other.path_);
  }
  return *this;
}

void SaverLock::giveBack() {
  if (fd_ < 0) return;
  // Removed while still held (see the top of the file), and only while the name is still
  // ours: a file that replaced it behind our back belongs to its own holder.
  if (stillNamed(fd_, path_)) unlink(path_.c_str());
  close(fd_);
  fd_ = -1;
}

}  // namespace glimmerweave
