#include "hack_animation/hack_animation.h"

#include <poll.h>

#include <algorithm>

#include "engine/engine.h"
#include "engine/frame_pool.h"
#include "hack_animation/frame_thread.h"
#include "presentation/frame_text.h"

namespace glimmerweave {

namespace {

timespec toTimespec(HackScreen::Clock::duration wait) {
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
  timespec ts{};
  ts.tv_sec = static_cast<time_t>(ns / 1000000000);
  ts.tv_nsec = static_cast<long>(ns % 1000000000);
  return ts;
}

}  // namespace

HackAnimation::HackAnimation(const HackOptions& options)
    : fps_(options.fps),
      fractals_(std::make_unique<Fractals>()),
      pool_(std::make_unique<FramePool>()) {
  fractals_->pool = pool_.get();
  fractals_->abandon = &abandon_;
  startHackAnimation(*fractals_, options);
  image_.setSize(fractals_->FrameWidth, fractals_->FrameHeight);
  // An arithmetic error ends the frame at the failing pixel; the partial frame
  // is shown like any other and the next tick goes on.
  frames_ = std::make_unique<FrameThread>([this] {
    frameAbandoned_.store(ComputeFrame(*fractals_).abandoned, std::memory_order_relaxed);
  });
}

HackAnimation::~HackAnimation() {
  abandon_.store(true, std::memory_order_relaxed);
  frames_.reset();
}

bool HackAnimation::frameBusy() const {
  return frames_->busy();
}

std::string HackAnimation::figures() const {
  return fps_ ? meter_.summary() : std::string();
}

void HackAnimation::beginFrame(Clock::time_point due) {
  frameBegun_ = Clock::now();
  frameDue_ = due;
  frames_->begin();
}

void HackAnimation::frameDone(HackScreen& screen) {
  frames_->collect();
  if (frames_->busy()) return;
  abandon_.store(false, std::memory_order_relaxed);
  // Given up part-way: its tick was undone, and there is nothing to show.
  if (frameAbandoned_.load(std::memory_order_relaxed)) return;
  CopyPlanesToImage(fractals_->planes, image_, 0);
  if (fps_) drawFrameText(image_, meter_.text());
  if (screen.show(image_) && fps_)
    meter_.frameShown(frameDue_, Clock::now() - frameBegun_, FrameRateMeter::processorTime());
}

bool HackAnimation::run(HackScreen& screen, int signals) {
  pollfd fds[4] = {};
  fds[0].fd = screen.connection();
  fds[1].fd = signals;
  fds[1].events = POLLIN;
  fds[2].fd = frames_->doneFd();
  fds[2].events = POLLIN;
  fds[3].fd = screen.otherConnection();  // poll passes over -1
  fds[3].events = POLLIN;
  bool animating = false;  // the tick schedule runs

  for (;;) {
    screen.handleEvents();
    if (!screen.running()) return false;

    const Clock::time_point now = Clock::now();
    const bool wanted = screen.wantsFrame();
    // Wanted again: the animation goes on from where it stood, at once.
    if (wanted && !animating) schedule_.start(now);
    animating = wanted;
    const bool busy = frames_->busy();
    // No one waits for the frame being computed any more: it is given up.
    if (busy && !wanted) abandon_.store(true, std::memory_order_relaxed);
    if (wanted && !busy && schedule_.isDue(now)) {
      const Clock::time_point due = schedule_.nextDue();
      schedule_.tickStarted(now);
      beginFrame(due);
      continue;
    }

    // Sleeps until the display, a signal or the frame speaks; besides, while
    // no frame is being computed, until the next tick when frames are wanted,
    // or as long as the screen allows when they are not.
    std::optional<Clock::duration> sleep;
    if (!busy) sleep = wanted ? schedule_.untilDue(now) : screen.lookAgainWithin(now);
    timespec wait{};
    if (sleep) wait = toTimespec(std::max(*sleep, Clock::duration::zero()));
    fds[0].events = screen.beforeSleep();
    // What the screen handled on the way may have ended the run.
    if (!screen.running()) return false;
    for (auto& fd : fds) fd.revents = 0;
    if (ppoll(fds, 4, sleep ? &wait : nullptr, nullptr) < 0) {
      screen.afterSleep(0);
      continue;  // EINTR: look again
    }
    screen.afterSleep(fds[0].revents);
    if (fds[1].revents != 0) return true;
    if (fds[2].revents != 0) frameDone(screen);
  }
}

}  // namespace glimmerweave
