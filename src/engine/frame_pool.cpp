#include "engine/frame_pool.h"

#include <algorithm>

#include "engine/color_planes.h"

namespace glimmerweave {

unsigned FramePool::defaultThreadCount() {
  return std::max(1u, std::thread::hardware_concurrency());
}

FramePool::FramePool(unsigned threads)
    : threads_(std::max(1u, threads)), staging_(std::make_unique<ColorPlanes>()) {
  workers_.reserve(threads_ - 1);
  for (unsigned participant = 1; participant < threads_; ++participant)
    workers_.emplace_back([this, participant] { workerLoop(participant); });
}

FramePool::~FramePool() {
  const std::lock_guard<std::mutex> job(runMutex_);
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

void FramePool::run(JobFunction function, void* context) {
  const std::lock_guard<std::mutex> job(runMutex_);
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    function_ = function;
    context_ = context;
    running_ = threads_ - 1;
    ++generation_;
  }
  wake_.notify_all();
  function(context, 0);
  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait(lock, [this] { return running_ == 0; });
}

void FramePool::workerLoop(unsigned participant) {
  std::uint64_t seen = 0;
  for (;;) {
    JobFunction function;
    void* context;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
      if (stopping_) return;
      seen = generation_;
      function = function_;
      context = context_;
    }
    function(context, participant);
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      if (--running_ == 0) done_.notify_one();
    }
  }
}

}  // namespace glimmerweave
