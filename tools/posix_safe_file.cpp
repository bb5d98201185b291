// Writing the tools' files natively (POSIX): a temporary file beside the target, written,
// fsync'd and closed, then renamed over it; a target that is not a regular file is
// written in place. See safe_file.h for the rules; the Windows build has its own
// backend (win32_safe_file.cpp).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

#include "safe_file.h"

namespace glimmerweave {

namespace {

// How many names a temporary file tries before giving up: another one of ours is in the
// way only when a process of the same number left one behind.
constexpr unsigned kTemporaryNameAttempts = 100;

// Reports the failure `code` (an errno value) of writing `path`.
bool fail(const std::string& path, int code, std::string& error) {
  error = cannotWrite(path, std::strerror(code));
  return false;
}

// Writes all of `bytes` to `fd`; on failure returns false with errno saying why.
bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// Writes into what `path` names as it is (a device, a FIFO): nothing is created,
// truncated, renamed or removed.
bool writeInPlace(const std::string& path, std::string_view bytes, std::string& error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return fail(path, errno, error);
  const bool written = writeAll(fd, bytes);
  const int code = errno;
  const bool closed = ::close(fd) == 0;
  if (!written) return fail(path, code, error);
  if (!closed) return fail(path, errno, error);
  return true;
}

// The file a link names, so that the file is replaced rather than the link; `path` itself
// when it is no link or cannot be resolved.
std::string linkTarget(const std::string& path) {
  struct stat link {};
  if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return path;
  const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr),
                                                             &std::free);
  return resolved ? std::string(resolved.get()) : path;
}

// Makes the new content of the regular file `target` (named `path` on the command line)
// through a temporary file beside it. `mode`: the permissions of the file it replaces.
bool replaceRegularFile(const std::string& path, const std::string& target,
                        std::optional<mode_t> mode, std::string_view bytes, std::string& error) {
  std::string temporary;
  int fd = -1;
  for (unsigned attempt = 0; fd < 0 && attempt < kTemporaryNameAttempts; ++attempt) {
    temporary = temporaryFileName(target, static_cast<unsigned long>(::getpid()), attempt);
    // 0666 and the umask, as for any new file, unless it replaces one.
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return fail(path, errno, error);
  }
  if (fd < 0) return fail(path, EEXIST, error);

  // A failed fchmod leaves the new file with the default permissions: no reason to fail.
  if (mode) (void)::fchmod(fd, *mode);
  bool done = writeAll(fd, bytes) && ::fsync(fd) == 0;
  int code = errno;
  // The close can be the first to report a full disk or a lost network file system.
  if (::close(fd) != 0 && done) {
    done = false;
    code = errno;
  }
  if (done && ::rename(temporary.c_str(), target.c_str()) != 0) {
    done = false;
    code = errno;
  }
  if (!done) {
    ::unlink(temporary.c_str());
    return fail(path, code, error);
  }
  return true;
}

}  // namespace

bool writeFileSafely(const std::string& path, std::string_view bytes, std::string& error) {
  if (path.empty()) return fail(path, ENOENT, error);
  struct stat existing {};
  std::optional<mode_t> mode;
  if (::stat(path.c_str(), &existing) == 0) {
    // A device or a FIFO is written as it is; a folder refuses the write (EISDIR).
    if (!S_ISREG(existing.st_mode)) return writeInPlace(path, bytes, error);
    mode = existing.st_mode & (S_IRWXU | S_IRWXG | S_IRWXO);
  }
  return replaceRegularFile(path, linkTarget(path), mode, bytes, error);
}

}  // namespace glimmerweave
