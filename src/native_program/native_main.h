// The native program's start, apart from any display system: it reads the
// options, answers -help and -version, chooses the display systems to try
// (chooseDisplaySystems) and runs the animation through the first front-end
// that reaches its display. The front-ends for X and Wayland live in the
// platform rooms; the program's entry hands them in, and tests hand in fakes.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "native_program/hack_options.h"

namespace glimmerweave {

inline constexpr int kExitOk = 0;
inline constexpr int kExitCannotDraw = 1;
inline constexpr int kExitBadOption = 2;

// What a front-end made of a run.
struct FrontEndOutcome {
  bool reached = true;  // false: its display could not be reached, and nothing was drawn
  int status = kExitOk;
  std::string error;  // what went wrong, when anything did
  // With -fps: the whole run's figures (FrameRateMeter::summary), printed when
  // it ends.
  std::string figures{};
};

using FrontEnd = std::function<FrontEndOutcome(const HackOptions&)>;

struct FrontEnds {
  FrontEnd x11;
  FrontEnd wayland;
};

// Runs the program with `arguments` (after its name); messages go to `err` as
// "glimmerweave: ..." lines, -help and -version to `out`. Returns the exit status.
int nativeProgramMain(const std::vector<std::string>& arguments,
                      const DisplayEnvironment& environment, const FrontEnds& frontEnds,
                      std::ostream& out, std::ostream& err);

}  // namespace glimmerweave
