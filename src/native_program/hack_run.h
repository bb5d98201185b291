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

// Frames per second over the last whole second and the time the last frame
// took, as -fps shows them.
class FrameRateMeter {
 public:
  using Clock = std::chrono::steady_clock;

  // A frame was shown at `now`; computing and drawing it took `took`.
  void frameShown(Clock::time_point now, Clock::duration took);

  // "25.0 fps, 38 ms per frame"; before the first second has passed the rate
  // reads "--".
  std::string text() const;

  // The last rate measured (0 before the first second has passed).
  double framesPerSecond() const { return rate_; }

 private:
  bool started_ = false;
  Clock::time_point since_{};
  int frames_ = 0;
  double rate_ = 0;
  bool measured_ = false;
  Clock::duration took_{};
};

}  // namespace glimmerweave
