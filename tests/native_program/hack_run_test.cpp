// The native program's start of the animation (the draws in the order of the
// full-screen run, the options in place of the stored settings) and the -fps
// figures.
#include "native_program/hack_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>

#include "presentation/tick_schedule.h"
#include "settings/settings_store.h"

namespace glimmerweave {
namespace {

using std::chrono::milliseconds;

HackOptions optionsOf(const std::vector<std::string>& arguments) {
  const HackCommand command = parseHackCommand(arguments);
  EXPECT_EQ(command.kind, HackCommand::Kind::Run) << command.error;
  return command.options;
}

TEST(HackStart, SettingsBrightnessAndFrameSizeComeFromTheOptions) {
  auto fractals = std::make_unique<Fractals>();
  startHackAnimation(*fractals, optionsOf({"-speed", "7", "-brightness", "40", "-algorithm", "22",
                                           "-detail", "3", "-seed", "1"}));
  EXPECT_EQ(fractals->settings.Speed, 7);
  EXPECT_EQ(fractals->settings.Brightness, 40);
  EXPECT_EQ(fractals->settings.Algorithm, 22);
  EXPECT_EQ(fractals->settings.Detail, 3);
  EXPECT_EQ(fractals->EngineBrightness, 40);
  EXPECT_EQ(fractals->FrameWidth, 427);
  EXPECT_EQ(fractals->FrameHeight, 320);
}

TEST(HackStart, TheFrameIsThatOfTheFullScreenRunForEachDetail) {
  const int widths[] = {267, 320, 373, 427, 480, 533, 587, 640, 693, 747, 800};
  const int heights[] = {200, 240, 280, 320, 360, 400, 440, 480, 520, 560, 600};
  for (int detail = 0; detail <= 10; ++detail) {
    auto fractals = std::make_unique<Fractals>();
    startHackAnimation(*fractals, optionsOf({"-detail", std::to_string(detail), "-seed", "1"}));
    EXPECT_EQ(fractals->FrameWidth, widths[detail]) << detail;
    EXPECT_EQ(fractals->FrameHeight, heights[detail]) << detail;
  }
}

TEST(HackStart, ASeedStartsThePhasesAsTheRendererDoes) {
  // The renderer seeds, then calls StartAnimation and nothing else draws.
  auto expected = std::make_unique<Fractals>();
  expected->random.seed(42);
  StartAnimation(*expected);

  auto fractals = std::make_unique<Fractals>();
  startHackAnimation(*fractals, optionsOf({"-seed", "42"}));
  EXPECT_EQ(fractals->state.PhaseA, expected->state.PhaseA);
  EXPECT_EQ(fractals->state.PhaseB, expected->state.PhaseB);
  EXPECT_EQ(fractals->state.StepA, expected->state.StepA);
  EXPECT_EQ(fractals->state.StepB, expected->state.StepB);
  EXPECT_EQ(fractals->random.state(), expected->random.state());
}

TEST(HackStart, RandomPicksZeroToFourteenFirstAsTheFullScreenRunDoes) {
  for (const std::uint32_t seed : {1u, 42u, 77777u, 4294967295u}) {
    auto expected = std::make_unique<Fractals>();
    expected->random.seed(seed);
    expected->settings.RandomAlgorithm = true;
    expected->settings.Algorithm = 30;
    ApplyRandomAlgorithm(expected->settings, expected->random);
    StartAnimation(*expected);

    auto fractals = std::make_unique<Fractals>();
    startHackAnimation(*fractals,
                       optionsOf({"-random", "-algorithm", "30", "-seed", std::to_string(seed)}));
    EXPECT_EQ(fractals->settings.Algorithm, expected->settings.Algorithm) << seed;
    EXPECT_LE(fractals->settings.Algorithm, 14);
    EXPECT_EQ(fractals->state.PhaseA, expected->state.PhaseA) << seed;
    EXPECT_EQ(fractals->state.StepB, expected->state.StepB) << seed;
  }
}

TEST(HackStart, GivenPhasesAndStepsReplaceTheDrawnOnes) {
  auto fractals = std::make_unique<Fractals>();
  startHackAnimation(*fractals, optionsOf({"-seed", "42", "-phase-a", "1", "-phase-b", "2",
                                           "-step-a", "0.0501", "-step-b", "-0.05"}));
  EXPECT_EQ(fractals->state.PhaseA, 1.0L);
  EXPECT_EQ(fractals->state.PhaseB, 2.0L);
  EXPECT_EQ(fractals->state.StepA, std::strtold("0.0501", nullptr));
  EXPECT_EQ(fractals->state.StepB, std::strtold("-0.05", nullptr));
}

TEST(HackStart, AtSpeedZeroTheGivenPhasesStandStill) {
  auto fractals = std::make_unique<Fractals>();
  startHackAnimation(*fractals, optionsOf({"-seed", "42", "-speed", "0", "-detail", "0", "-phase-a",
                                           "1", "-phase-b", "2"}));
  for (int tick = 0; tick < 3; ++tick) ComputeFrame(*fractals);
  EXPECT_EQ(fractals->state.PhaseA, 1.0L);
  EXPECT_EQ(fractals->state.PhaseB, 2.0L);
}

// ---------------------------------------------------------------------------
// Frame rate

TEST(FrameRateMeter, ShowsNoRateBeforeAWholeSecondHasPassed) {
  FrameRateMeter meter;
  const FrameRateMeter::Clock::time_point start{};
  EXPECT_EQ(meter.text(), "-- fps\n0 ms per frame\n-- ms CPU per frame");
  meter.frameShown(start, milliseconds(38), milliseconds(0));
  EXPECT_EQ(meter.summary(), "no frame shown");
  meter.frameShown(start + milliseconds(500), milliseconds(41), milliseconds(30));
  EXPECT_EQ(meter.text(), "-- fps\n41 ms per frame\n-- ms CPU per frame");
  EXPECT_EQ(meter.framesPerSecond(), 0);
}

TEST(FrameRateMeter, CountsTheFramesOfEachSecondAfterTheFirstFrame) {
  FrameRateMeter meter;
  const FrameRateMeter::Clock::time_point start{};
  meter.frameShown(start, milliseconds(30), milliseconds(100));
  for (int frame = 1; frame <= 25; ++frame)
    meter.frameShown(start + milliseconds(40 * frame), milliseconds(30),
                     milliseconds(100 + 12 * frame));
  EXPECT_DOUBLE_EQ(meter.framesPerSecond(), 25.0);
  EXPECT_EQ(meter.text(), "25.0 fps\n30 ms per frame\n12.0 ms CPU per frame");
  // Slow frames: 4 in the next 1.2 s.
  for (int frame = 1; frame <= 4; ++frame)
    meter.frameShown(start + milliseconds(1000 + 300 * frame), milliseconds(300),
                     milliseconds(400 + 250 * frame));
  EXPECT_NEAR(meter.framesPerSecond(), 4 / 1.2, 1e-9);
  EXPECT_EQ(meter.text(), "3.3 fps\n300 ms per frame\n250.0 ms CPU per frame");
  // The whole run: 29 frames in 2.2 s, 1300 ms of CPU.
  EXPECT_EQ(meter.summary(), "29 frames shown in 2.2 s: 13.2 fps, 44.8 ms CPU per frame");
}

TEST(FrameRateMeter, NeverShowsMoreFramesThanTicks) {
  // A loop on the tick schedule whose wake-ups and frames take uneven times,
  // some longer than a tick; frames are counted at their ticks' due times.
  const double mostPerSecond =
      1.0 / std::chrono::duration<double>(TickSchedule::kFramePeriod).count();
  TickSchedule schedule;
  FrameRateMeter meter;
  FrameRateMeter::Clock::time_point now{};
  schedule.start(now);
  double highest = 0;
  for (int tick = 0; tick < 2000; ++tick) {
    now = std::max(now, schedule.nextDue()) + milliseconds((tick * 7) % 5);  // waking up
    const auto due = schedule.nextDue();
    schedule.tickStarted(now);
    const auto took = milliseconds(tick % 50 == 0 ? 70 : (tick * 13) % 39);
    now += took;
    meter.frameShown(due, took, milliseconds(tick));
    highest = std::max(highest, meter.framesPerSecond());
  }
  EXPECT_LE(highest, mostPerSecond);
  EXPECT_GT(highest, mostPerSecond * 0.9);
}

}  // namespace
}  // namespace glimmerweave
