// The worker threads that share a frame's rows. A process makes one pool and
// hands it to its engine (Fractals::pool); ComputeFrame then runs on the
// calling thread as before but spreads the pixel rows over the pool's threads,
// giving exactly the frame a single thread computes in raster order.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace glimmerweave {

struct ColorPlanes;

class FramePool {
 public:
  // A job: `run(context, participant)` is called once on each participating
  // thread, participant 0 being the caller's own.
  using JobFunction = void (*)(void* context, unsigned participant);

  // `threads` computing threads in all, the caller's included (at least 1):
  // by default one per hardware thread. Workers sleep between frames.
  explicit FramePool(unsigned threads = defaultThreadCount());
  // Waits for a frame being computed on another thread, then ends the workers.
  ~FramePool();
  FramePool(const FramePool&) = delete;
  FramePool& operator=(const FramePool&) = delete;

  static unsigned defaultThreadCount();

  unsigned threads() const { return threads_; }

  // Runs a job on every thread of the pool and returns when all have finished.
  // One job at a time: a second caller waits for the first.
  void run(JobFunction function, void* context);

  // Planes the parallel frame is computed into before it is committed in
  // raster order: made with the pool, so that frames allocate nothing.
  ColorPlanes& staging() { return *staging_; }

 private:
  void workerLoop(unsigned participant);

  unsigned threads_;
  std::unique_ptr<ColorPlanes> staging_;
  std::vector<std::thread> workers_;

  std::mutex runMutex_;  // held by the job in progress
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  std::uint64_t generation_ = 0;
  unsigned running_ = 0;
  bool stopping_ = false;
  JobFunction function_ = nullptr;
  void* context_ = nullptr;
};

}  // namespace glimmerweave
