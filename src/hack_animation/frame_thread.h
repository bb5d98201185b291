// The thread that computes the frames. A frame takes from a few to a few hundred
// milliseconds; computing it here keeps the program's loop free to answer the
// display, its input and the signals meanwhile. The loop starts a frame with
// begin() and learns that it is done when doneFd() becomes readable; the thread
// never touches the display. Whoever ends it early makes the job return first
// (the animation abandons the engine's frame), since the end waits for the job.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace glimmerweave {

class FrameThread {
 public:
  // Starts the thread; `job` computes one frame.
  explicit FrameThread(std::function<void()> job);
  // Waits for the job in progress, then ends the thread.
  ~FrameThread();
  FrameThread(const FrameThread&) = delete;
  FrameThread& operator=(const FrameThread&) = delete;

  // Readable (poll) when a frame has been computed and not yet collected.
  int doneFd() const { return doneFd_; }

  // Starts computing a frame; only when not busy.
  void begin();
  // Takes the news that the frame is done; after doneFd() became readable.
  void collect();
  // A frame has begun and is not collected yet.
  bool busy() const { return busy_; }

 private:
  void loop();

  std::function<void()> job_;
  int doneFd_ = -1;
  bool busy_ = false;  // the loop's own view: begun and not collected

  std::mutex mutex_;
  std::condition_variable wake_;
  bool requested_ = false;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace glimmerweave
