// The 40 ms frame clock: a fixed grid without drift, a late frame followed at
// once by the next, no queue of missed ticks, and a wait before every tick
// that is not due (no busy waiting).
#include "presentation/tick_schedule.h"

#include <gtest/gtest.h>

#include <vector>

namespace glimmerweave {
namespace {

using Clock = TickSchedule::Clock;
using std::chrono::milliseconds;

constexpr Clock::time_point kStart = Clock::time_point{} + std::chrono::hours(1);

// Runs the program's loop on a simulated clock: a tick starts when due, its
// frame takes the next duration, then the loop sleeps for untilDue (plus a
// late wake-up) and checks again. Returns when each tick started, from kStart.
std::vector<milliseconds> tickStarts(const std::vector<milliseconds>& frames,
                                     milliseconds lateWakeUp = milliseconds(0)) {
  TickSchedule schedule;
  Clock::time_point now = kStart;
  schedule.start(now);
  std::vector<milliseconds> starts;
  std::size_t next = 0;
  int sleeps = 0;
  while (next < frames.size()) {
    if (schedule.isDue(now)) {
      schedule.tickStarted(now);
      starts.push_back(std::chrono::duration_cast<milliseconds>(now - kStart));
      now += frames[next++];
      continue;
    }
    const Clock::duration wait = schedule.untilDue(now);
    // The loop only ever sleeps for a positive time.
    EXPECT_GT(wait, Clock::duration::zero());
    now += wait + lateWakeUp;
    if (++sleeps > 100000) break;
  }
  return starts;
}

TEST(TickSchedule, TheFirstTickIsDueAtOnce) {
  TickSchedule schedule;
  schedule.start(kStart);
  EXPECT_TRUE(schedule.isDue(kStart));
  EXPECT_EQ(schedule.untilDue(kStart), Clock::duration::zero());
  EXPECT_EQ(schedule.period(), milliseconds(40));
}

TEST(TickSchedule, FastFramesTickEvery40MsOnAGridThatDoesNotDrift) {
  const std::vector<milliseconds> frames(1000, milliseconds(13));
  const auto starts = tickStarts(frames);
  ASSERT_EQ(starts.size(), frames.size());
  for (std::size_t k = 0; k < starts.size(); ++k)
    ASSERT_EQ(starts[k], milliseconds(40) * k) << "tick " << k;
}

TEST(TickSchedule, LateWakeUpsDoNotAccumulate) {
  // Each wake-up comes 3 ms late: every tick is 3 ms late, never more.
  const std::vector<milliseconds> frames(500, milliseconds(20));
  const auto starts = tickStarts(frames, milliseconds(3));
  ASSERT_EQ(starts.size(), frames.size());
  for (std::size_t k = 1; k < starts.size(); ++k)
    ASSERT_EQ(starts[k], milliseconds(40) * k + milliseconds(3)) << "tick " << k;
}

TEST(TickSchedule, AFrameLongerThanATickIsFollowedAtOnceAndTheGridGoesOn) {
  // A 45 ms frame: the next tick (due at 40) starts at 45; the one after at 80.
  const auto starts = tickStarts({milliseconds(45), milliseconds(10), milliseconds(10)});
  EXPECT_EQ(starts,
            (std::vector<milliseconds>{milliseconds(0), milliseconds(45), milliseconds(80)}));
}

TEST(TickSchedule, MissedTicksAreDroppedNotQueued) {
  // A 200 ms frame misses four ticks: one tick follows at once, then the next a
  // whole period later, not four in a row.
  const auto starts =
      tickStarts({milliseconds(200), milliseconds(5), milliseconds(5), milliseconds(5)});
  EXPECT_EQ(starts, (std::vector<milliseconds>{milliseconds(0), milliseconds(200),
                                               milliseconds(240), milliseconds(280)}));
}

TEST(TickSchedule, SlowFramesFollowEachOtherWithoutPause) {
  const std::vector<milliseconds> frames(50, milliseconds(130));
  const auto starts = tickStarts(frames);
  ASSERT_EQ(starts.size(), frames.size());
  for (std::size_t k = 0; k < starts.size(); ++k)
    ASSERT_EQ(starts[k], milliseconds(130) * k) << "tick " << k;
}

TEST(TickSchedule, UntilDueCountsDownToTheTick) {
  TickSchedule schedule;
  schedule.start(kStart);
  schedule.tickStarted(kStart);
  EXPECT_EQ(schedule.untilDue(kStart), milliseconds(40));
  EXPECT_EQ(schedule.untilDue(kStart + milliseconds(25)), milliseconds(15));
  EXPECT_FALSE(schedule.isDue(kStart + milliseconds(39)));
  EXPECT_TRUE(schedule.isDue(kStart + milliseconds(40)));
  EXPECT_EQ(schedule.untilDue(kStart + milliseconds(90)), Clock::duration::zero());
  EXPECT_EQ(schedule.nextDue(), kStart + milliseconds(40));
}

}  // namespace
}  // namespace glimmerweave
