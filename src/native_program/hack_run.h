// The native program's run over the engine, apart from any window system: how
// the animation starts from the command line's options, and the frame-rate
// figures that -fps shows.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "engine/engine.h"
#include "native_program/hack_options.h"

namespace glimmerweave {

// Starts the animation as the full-screen run does, with the options in place
// of the stored settings: seeds the generator (from -seed, else the clock),
// picks a random algorithm 0..14 for -random, sets EngineBrightness, calls
// StartAnimation, replaces the phases and steps the options give, and sizes
// the frame from Detail (800 x 600 at Detail 10).
void startHackAnimation(Fractals& fractals, const HackOptions& options);

// What -fps shows: the frames shown per second, the time the last frame took
// from its tick to its showing, and the processor time the whole process
// spent per frame shown. Each frame counts at the time its tick was due, and
// ticks are due at least one TickSchedule period apart, so however late a
// frame is shown the rate never exceeds one frame per period.
class FrameRateMeter {
 public:
  using Clock = std::chrono::steady_clock;

  // The frame of the tick due at `due` was shown; computing and showing it
  // took `took`; the process has used `processorTime` so far (the front-end
  // measures it).
  void frameShown(Clock::time_point due, Clock::duration took, Clock::duration processorTime);

  // Three lines, "25.0 fps", "38 ms per frame" and "12.5 ms CPU per frame",
  // over the last whole second of ticks; before the first one has passed the
  // figures of the second read "--".
  std::string text() const;

  // The last rate measured (0 before the first second has passed).
  double framesPerSecond() const { return rate_; }

  // The whole run's figures, which the program prints when it ends: "250 frames
  // shown in 10.0 s: 25.0 fps, 12.5 ms CPU per frame", counted from the first
  // frame shown as the seconds are; "no frame shown" before the second frame.
  std::string summary() const;

  // The processor time the whole process has used so far, all its threads: what
  // the front-ends hand to frameShown.
  static Clock::duration processorTime();

 private:
  bool started_ = false;
  Clock::time_point since_{};
  Clock::duration processorSince_{};
  int frames_ = 0;
  double rate_ = 0;
  double processorPerFrame_ = 0;  // milliseconds
  bool measured_ = false;
  Clock::duration took_{};
  Clock::time_point firstDue_{};
  Clock::time_point lastDue_{};
  Clock::duration processorFirst_{};
  Clock::duration processorLast_{};
  long long totalFrames_ = 0;
};

}  // namespace glimmerweave
