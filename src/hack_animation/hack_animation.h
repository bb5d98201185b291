// The native program's one animation, for every Linux front-end. The front-end
// translates its display system into a HackScreen (its connection, its events,
// whether anyone waits for a frame, and how a frame is shown); the animation
// owns the rest: the engine and its pool, the 40 ms tick schedule, the frame
// computed on a thread of its own, the copy into the frame image, the -fps
// figures and the meter, and the loop that sleeps on the display's connection,
// the signals and the frame thread at once.
//
// How a run goes: the front-end connects and makes its window or surfaces,
// makes a HackAnimation from the options (its image gives the frame's size,
// its pool the threads a stretch may use) and calls run(). Each pass of the
// loop hands the screen the events that arrived; when the screen wants a frame
// and a tick is due, the frame is begun on the frame thread and the loop goes
// back to sleep, so input and the display are answered while it is computed;
// when it is done, it is copied into the image (the -fps figures drawn over it)
// and shown. A screen that wants no frame (hidden, asleep, no surface waiting)
// gets none, and nothing is computed: the animation stands still until it is
// wanted again, when the next tick is due at once; a frame being computed when
// it stops being wanted is abandoned (its tick undone). When the screen stops
// running or a signal comes, run() returns at once; the frame then in
// progress is abandoned, never awaited, when the animation goes.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "native_program/hack_options.h"
#include "native_program/hack_run.h"
#include "presentation/frame_image.h"
#include "presentation/tick_schedule.h"

namespace glimmerweave {

struct Fractals;
class FramePool;
class FrameThread;

// A display system's side of the loop, as a front-end translates it.
class HackScreen {
 public:
  using Clock = TickSchedule::Clock;

  virtual ~HackScreen() = default;

  // The connection to the display, watched while the loop sleeps.
  virtual int connection() const = 0;
  // Another connection the screen reads (a message bus), or -1; handleEvents
  // handles what it brings.
  virtual int otherConnection() const { return -1; }
  // Handles everything the display has sent so far, also what the display
  // library read into its queue during a reply (which never wakes the poll).
  virtual void handleEvents() = 0;
  // False once the run is over (input that ends it, a closed window, the
  // display gone).
  virtual bool running() const = 0;
  // Whether a frame would be seen now: the one question that lets frames be
  // computed.
  virtual bool wantsFrame() = 0;
  // While no frame is wanted: how long the loop may sleep before it looks
  // again (for something the display does not announce); none: until the
  // display or a signal speaks.
  virtual std::optional<Clock::duration> lookAgainWithin(Clock::time_point /*now*/) {
    return std::nullopt;
  }
  // Just before the loop sleeps: sends what is queued for the display and
  // returns the poll events to wait for on the connection.
  virtual short beforeSleep() = 0;
  // Just after it woke, with the poll events the connection showed (0 when
  // the sleep was interrupted).
  virtual void afterSleep(short /*revents*/) {}
  // Shows the frame image; true when it reached the screen.
  virtual bool show(const FrameImage& image) = 0;
};

class HackAnimation {
 public:
  using Clock = TickSchedule::Clock;

  // Starts the animation from the options (startHackAnimation) on a pool of
  // threads, and the frame thread; the image has the frame's size.
  explicit HackAnimation(const HackOptions& options);
  // Abandons a frame in progress, then ends the threads.
  ~HackAnimation();
  HackAnimation(const HackAnimation&) = delete;
  HackAnimation& operator=(const HackAnimation&) = delete;

  // The frame image, of the frame's size, holding the last frame shown.
  const FrameImage& image() const { return image_; }
  // The frame's threads, free between frames (a stretch may use them).
  FramePool& pool() { return *pool_; }

  // Runs until the screen stops running (false) or an ending signal is
  // readable on `signals` (true; it is left there to be read).
  bool run(HackScreen& screen, int signals);

  // Whether a frame is being computed.
  bool frameBusy() const;

  // With -fps, the whole run's figures (FrameRateMeter::summary); else empty.
  std::string figures() const;

 private:
  void beginFrame(Clock::time_point due);
  void frameDone(HackScreen& screen);

  bool fps_ = false;
  std::atomic<bool> abandon_{false};
  std::atomic<bool> frameAbandoned_{false};  // the last frame was given up
  // The engine holds three 801 x 601 planes: too large for the stack.
  std::unique_ptr<Fractals> fractals_;
  std::unique_ptr<FramePool> pool_;
  FrameImage image_;
  TickSchedule schedule_;
  FrameRateMeter meter_;
  Clock::time_point frameDue_{};  // when the tick of the frame being computed was due
  Clock::time_point frameBegun_{};
  // Last, so that it ends (after its job was abandoned) before the engine goes.
  std::unique_ptr<FrameThread> frames_;
};

}  // namespace glimmerweave
