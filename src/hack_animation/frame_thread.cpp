#include "hack_animation/frame_thread.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

namespace glimmerweave {

FrameThread::FrameThread(std::function<void()> job) : job_(std::move(job)) {
  doneFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (doneFd_ < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
  thread_ = std::thread([this] { loop(); });
}

FrameThread::~FrameThread() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  thread_.join();
  close(doneFd_);
}

void FrameThread::begin() {
  busy_ = true;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    requested_ = true;
  }
  wake_.notify_one();
}

void FrameThread::collect() {
  std::uint64_t count = 0;
  // Non-blocking: a spurious wake-up finds nothing and leaves the frame busy.
  if (read(doneFd_, &count, sizeof count) == static_cast<ssize_t>(sizeof count) && count > 0)
    busy_ = false;
}

void FrameThread::loop() {
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return requested_ || stopping_; });
      // A frame begun before the end was asked for is finished first.
      if (!requested_) return;
      requested_ = false;
    }
    job_();
    const std::uint64_t one = 1;
    // An eventfd write of 8 bytes cannot fall short; it fails only on overflow.
    [[maybe_unused]] const ssize_t written = write(doneFd_, &one, sizeof one);
  }
}

}  // namespace glimmerweave
