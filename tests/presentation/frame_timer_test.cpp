// The frame timer in the message loop's idle time, on a simulated clock whose
// waits end late, as Windows ends them on its timer's beat.
#include "presentation/frame_timer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace glimmerweave {
namespace {

using Clock = FrameTimer::Clock;
using std::chrono::microseconds;
using std::chrono::milliseconds;
using FractionalMs = std::chrono::duration<double, std::milli>;

struct Waits {
  const char* system;
  Clock::duration beat;   // every wait lasts a whole number of these
  Clock::duration frame;  // what a tick takes
};

class FrameTimerOnTime : public ::testing::TestWithParam<Waits> {};

// A minute of the loop without messages: ask the timer, wait, ask again.
TEST_P(FrameTimerOnTime, TicksEveryIntervalOnAverageOverAMinute) {
  const Waits& waits = GetParam();
  FrameTimer timer;
  const Clock::time_point start = Clock::time_point{} + std::chrono::hours(1);
  const Clock::time_point end = start + std::chrono::minutes(1);
  Clock::time_point now = start;
  std::vector<Clock::time_point> ticks;
  timer.OnTimer = [&] {
    ticks.push_back(now);
    now += waits.frame;
  };
  timer.setActive(true);
  for (int rounds = 0; now < end && rounds < 1000000; ++rounds) {
    const Clock::duration wait = milliseconds(timer.idle(now));
    now += (wait + waits.beat - Clock::duration(1)) / waits.beat * waits.beat;
  }
  const Clock::duration interval = milliseconds(timer.Interval);
  ASSERT_GE(ticks.size(), 2u);
  EXPECT_NEAR(double(ticks.size()), double((end - start) / interval), 1.0);
  const FractionalMs mean = (ticks.back() - ticks.front()) / double(ticks.size() - 1);
  EXPECT_NEAR(mean.count(), FractionalMs(interval).count(), 1.0);
}

INSTANTIATE_TEST_SUITE_P(
    Waits, FrameTimerOnTime,
    ::testing::Values(Waits{"DefaultTimer", microseconds(15625), milliseconds(5)},
                      Waits{"DefaultTimerSlowFrames", microseconds(15625), milliseconds(33)},
                      Waits{"FineTimer", microseconds(1000), milliseconds(5)}),
    [](const ::testing::TestParamInfo<Waits>& row) { return std::string(row.param.system); });

}  // namespace
}  // namespace glimmerweave
