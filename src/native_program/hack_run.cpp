#include "native_program/hack_run.h"

#include <cstdio>
#include <ctime>

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

void FrameRateMeter::frameShown(Clock::time_point due, Clock::duration took,
                                Clock::duration processorTime) {
  took_ = took;
  if (!started_) {
    // The first frame opens the first second; it is not counted in it.
    started_ = true;
    since_ = firstDue_ = due;
    processorSince_ = processorFirst_ = processorTime;
    frames_ = 0;
    return;
  }
  ++frames_;
  ++totalFrames_;
  lastDue_ = due;
  processorLast_ = processorTime;
  const auto elapsed = due - since_;
  if (elapsed >= std::chrono::seconds(1)) {
    rate_ = frames_ / std::chrono::duration<double>(elapsed).count();
    processorPerFrame_ =
        std::chrono::duration<double, std::milli>(processorTime - processorSince_).count() /
        frames_;
    measured_ = true;
    since_ = due;
    processorSince_ = processorTime;
    frames_ = 0;
  }
}

std::string FrameRateMeter::text() const {
  char rate[32] = "--";
  char processor[32] = "--";
  if (measured_) {
    std::snprintf(rate, sizeof rate, "%.1f", rate_);
    std::snprintf(processor, sizeof processor, "%.1f", processorPerFrame_);
  }
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(took_).count();
  char text[128];
  std::snprintf(text, sizeof text, "%s fps\n%lld ms per frame\n%s ms CPU per frame", rate,
                static_cast<long long>(ms), processor);
  return text;
}

FrameRateMeter::Clock::duration FrameRateMeter::processorTime() {
  return std::chrono::duration_cast<Clock::duration>(
      std::chrono::duration<double>(double(std::clock()) / CLOCKS_PER_SEC));
}

std::string FrameRateMeter::summary() const {
  const double seconds = std::chrono::duration<double>(lastDue_ - firstDue_).count();
  if (totalFrames_ == 0 || seconds <= 0) return "no frame shown";
  const double processor =
      std::chrono::duration<double, std::milli>(processorLast_ - processorFirst_).count();
  char text[128];
  std::snprintf(text, sizeof text, "%lld frames shown in %.1f s: %.1f fps, %.1f ms CPU per frame",
                totalFrames_, seconds, static_cast<double>(totalFrames_) / seconds,
                processor / static_cast<double>(totalFrames_));
  return text;
}

}  // namespace glimmerweave
