// One saver per session. The resident Wayland saver (`-saver -idle`) holds the host
// lock for its life, so that a second host can refuse to start; whoever shows a saver
// (a host while its cover is up, a plain `-saver` for its life) holds the showing lock,
// so that a plain `-saver` started meanwhile (swayidle without -w) ends at once instead
// of stacking a second cover.
//
// A lock is an open file description's lock (OFD, fcntl) on a file in
// $XDG_RUNTIME_DIR: the kernel drops it when its process ends, however it ends, so a
// killed holder's lock never counts; and unlike flock, an OFD lock can be asked about
// without being taken, so asking never makes a taker fail. The holder removes the file
// when it gives the lock back. A child forked while a lock is held shares it until both
// have closed it; exec closes it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace glimmerweave {

inline constexpr std::string_view kHostLock = "glimmerweave-saver.host";
inline constexpr std::string_view kShowingLock = "glimmerweave-saver.showing";

// The folder of the locks: $XDG_RUNTIME_DIR, or empty with `error` saying why it
// cannot be used (unset, not an absolute path, not a folder we may write in).
std::string saverLockFolder(std::string& error);

// One named lock file in a folder, held from take() to destruction.
class SaverLock {
 public:
  // Takes the lock if it is free. Empty when another open of the file holds it (another
  // process, or another SaverLock of this one), or with `error` set when the folder
  // cannot be used.
  static std::optional<SaverLock> take(const std::string& folder, std::string_view name,
                                       std::string& error);
  // Whether the lock is held now, as take() would find it (by another process, or by
  // another SaverLock of this one), without taking it; false when the folder cannot be
  // used.
  static bool heldElsewhere(const std::string& folder, std::string_view name);

  // Gives the lock back and removes the file.
  ~SaverLock();
  SaverLock(SaverLock&& other) noexcept;
  SaverLock& operator=(SaverLock&& other) noexcept;
  SaverLock(const SaverLock&) = delete;
  SaverLock& operator=(const SaverLock&) = delete;

 private:
  SaverLock(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  void giveBack();

  int fd_ = -1;
  std::string path_;
};

}  // namespace glimmerweave
