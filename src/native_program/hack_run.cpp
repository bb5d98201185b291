#include "native_program/hack_run.h"

#include <cstdio>

#include "settings/settings_store.h"

namespace glimmerweave {

void startHackAnimation(Fractals& fractals, const HackOptions& options) {
  FractalSettings& settings = fractals.settings;
  settings.Speed = options.speed;
  settings.Brightness = options.brightness;
  settings.Algorithm = options.algorithm;
  settings.Detail = options.detail;
  settings.RandomAlgorithm = options.randomAlgorithm;

  // The generator is seeded here and nowhere else in the program; the draws
  // that follow (the random pick, then StartAnimation's four) are those of the
  // full-screen run, so -seed N starts as glimmerweave-render --seed N does.
  if (options.seed)
    fractals.random.seed(*options.seed);
  else
    fractals.random.seedFromClock();
  ApplyRandomAlgorithm(settings, fractals.random);
  fractals.EngineBrightness = settings.Brightness;
  StartAnimation(fractals);

  EngineState& state = fractals.state;
  if (options.phaseA) state.PhaseA = *options.phaseA;
  if (options.phaseB) state.PhaseB = *options.phaseB;
  if (options.stepA) state.StepA = *options.stepA;
  if (options.stepB) state.StepB = *options.stepB;

  frameSizeForDetail(settings.Detail, 800, 600, fractals.FrameWidth, fractals.FrameHeight);
}

void FrameRateMeter::frameShown(Clock::time_point now, Clock::duration took) {
  took_ = took;
  if (!started_) {
    // The first frame opens the first second; it is not counted in it.
    started_ = true;
    since_ = now;
    frames_ = 0;
    return;
  }
  ++frames_;
  const auto elapsed = now - since_;
  if (elapsed >= std::chrono::seconds(1)) {
    rate_ = frames_ / std::chrono::duration<double>(elapsed).count();
    measured_ = true;
    since_ = now;
    frames_ = 0;
  }
}

std::string FrameRateMeter::text() const {
  char rate[32] = "--";
  if (measured_) std::snprintf(rate, sizeof rate, "%.1f", rate_);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(took_).count();
  char line[96];
  std::snprintf(line, sizeof line, "%s fps, %lld ms per frame", rate, static_cast<long long>(ms));
  return line;
}

}  // namespace glimmerweave
