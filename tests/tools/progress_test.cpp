// The report of a long run's progress (tools/progress.h), on a clock the test moves.
#include "progress.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <vector>

namespace glimmerweave {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

// A clock that stands still until the test moves it.
struct FakeClock {
  std::chrono::steady_clock::time_point now{};
  ProgressOptions options(bool terminal) {
    return {terminal, [this] { return now; }};
  }
};

// A run of `total` units, one every `pace`, on a report that records when it printed.
struct TimedRun {
  FakeClock clock;
  std::ostringstream out;
  // The times since the start at which the report printed something.
  std::vector<milliseconds> printedAt;

  void go(ProgressReport& report, long long total, milliseconds pace) {
    const auto start = clock.now;
    for (long long done = 1; done <= total; ++done) {
      clock.now += pace;
      const auto before = out.str().size();
      report.update(done);
      if (out.str().size() != before)
        printedAt.push_back(std::chrono::duration_cast<milliseconds>(clock.now - start));
    }
  }
};

std::size_t count(const std::string& text, char ch) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), ch));
}

TEST(ProgressReport, PrintsNothingForARunUnderTwoSeconds) {
  for (const bool terminal : {false, true}) {
    TimedRun run;
    ProgressReport report(run.out, "tool: ", "ticks", 199, run.clock.options(terminal));
    run.go(report, 199, milliseconds(10));  // 1.99 s
    report.finish();
    EXPECT_EQ(run.out.str(), "") << (terminal ? "on a terminal" : "in a log");
  }
}

TEST(ProgressReport, ARunOverTwoSecondsSaysSoEvenWithOneSlowUnit) {
  TimedRun run;
  ProgressReport report(run.out, "tool: ", "frames", 1, run.clock.options(false));
  run.go(report, 1, milliseconds(2500));
  report.finish();
  EXPECT_EQ(run.out.str(), "tool: 1 of 1 frames (100%), done in 3 s\n");
}

TEST(ProgressReport, OnATerminalUpdatesInPlaceAFewTimesASecondAndEndsTheLine) {
  TimedRun run;
  {
    ProgressReport report(run.out, "tool: ", "ticks", 1000, run.clock.options(true));
    run.go(report, 1000, milliseconds(10));  // 10 s
    report.finish();
  }
  const std::string text = run.out.str();
  ASSERT_FALSE(run.printedAt.empty());
  EXPECT_GE(run.printedAt.front(), ProgressReport::kQuietTime);
  for (std::size_t i = 1; i < run.printedAt.size(); ++i)
    EXPECT_GE(run.printedAt[i] - run.printedAt[i - 1], ProgressReport::kTerminalInterval)
        << "update " << i;
  // From 2 s to 10 s, four a second: 32 updates, and the last line at the end.
  EXPECT_GE(run.printedAt.size(), 30u);
  EXPECT_EQ(count(text, '\r'), run.printedAt.size() + 1);
  EXPECT_EQ(count(text, '\n'), 1u) << "only the final line break";
  EXPECT_EQ(text.front(), '\r');
  // The last line, covering the longer one before it if need be, then the line break.
  const std::string last = "\rtool: 1000 of 1000 ticks (100%), done in 10 s";
  const std::string tail = text.substr(text.rfind('\r'));
  EXPECT_EQ(tail.substr(0, last.size()), last);
  EXPECT_EQ(tail.find_first_not_of(' ', last.size()), tail.size() - 1) << tail;
  EXPECT_EQ(tail.back(), '\n');
}

TEST(ProgressReport, OnATerminalAShorterLineCoversTheLongerOneBefore) {
  FakeClock clock;
  std::ostringstream out;
  ProgressReport report(out, "tool: ", "ticks", 100000, clock.options(true));
  clock.now += seconds(3);
  report.update(1);  // about 83 h 20 min left
  clock.now += seconds(100000);
  report.update(99999);  // about 2 s left
  const std::string text = out.str();
  const auto second = text.rfind('\r');
  ASSERT_NE(second, std::string::npos);
  ASSERT_NE(second, 0u);
  const std::string first = text.substr(1, second - 1);
  const std::string then = text.substr(second + 1);
  EXPECT_EQ(first, "tool: 1 of 100000 ticks (0%), about 83 h 20 min left");
  EXPECT_EQ(then.size(), first.size());
  EXPECT_EQ(then.substr(0, then.find_last_not_of(' ') + 1),
            "tool: 99999 of 100000 ticks (99%), about 2 s left");
}

TEST(ProgressReport, InALogPrintsPlainLinesAtMostEveryFewSeconds) {
  TimedRun run;
  ProgressReport report(run.out, "tool: ", "frames", 600, run.clock.options(false));
  run.go(report, 600, milliseconds(100));  // 60 s
  report.finish();
  const std::string text = run.out.str();
  EXPECT_EQ(text.find('\r'), std::string::npos) << text;
  ASSERT_FALSE(run.printedAt.empty());
  EXPECT_GE(run.printedAt.front(), ProgressReport::kQuietTime);
  for (std::size_t i = 1; i < run.printedAt.size(); ++i)
    EXPECT_GE(run.printedAt[i] - run.printedAt[i - 1], ProgressReport::kLogInterval)
        << "line " << i;
  // At 2 s, then every 5 s up to 57 s: 12 lines, and the last one at the end.
  EXPECT_EQ(run.printedAt.size(), 12u);
  EXPECT_EQ(count(text, '\n'), run.printedAt.size() + 1);
  EXPECT_EQ(text.substr(0, text.find('\n') + 1), "tool: 20 of 600 frames (3%), about 58 s left\n");
  EXPECT_EQ(text.substr(text.rfind('\n', text.size() - 2) + 1),
            "tool: 600 of 600 frames (100%), done in 1 min 0 s\n");
}

TEST(ProgressReport, ALineBreakLetsAMessageStandOnItsOwnLine) {
  FakeClock clock;
  std::ostringstream out;
  {
    ProgressReport report(out, "tool: ", "ticks", 10, clock.options(true));
    report.breakLine();
    EXPECT_EQ(out.str(), "") << "nothing to break yet";
    clock.now += seconds(2);
    report.update(2);
    report.breakLine();
    out << "a message\n";
    report.breakLine();
    clock.now += seconds(1);
    report.update(3);
    // Left open when the report ends without finishing (the run stopped): ended then.
  }
  EXPECT_EQ(out.str(),
            "\rtool: 2 of 10 ticks (20%), about 8 s left\n"
            "a message\n"
            "\rtool: 3 of 10 ticks (30%), about 7 s left\n");
}

TEST(ProgressReport, TimeLeftIsProportionalAndZeroAtTheEnd) {
  using Seconds = std::chrono::duration<double>;
  EXPECT_FALSE(timeLeft(Seconds(10), 0, 100).has_value()) << "no pace yet";
  EXPECT_DOUBLE_EQ(timeLeft(Seconds(10), 50, 100)->count(), 10.0);
  EXPECT_DOUBLE_EQ(timeLeft(Seconds(10), 25, 100)->count(), 30.0);
  EXPECT_DOUBLE_EQ(timeLeft(Seconds(30), 75, 100)->count(), 10.0);
  EXPECT_DOUBLE_EQ(timeLeft(Seconds(10), 100, 100)->count(), 0.0);
  // A million ticks at 0.15 s each: more than a day, without overflow.
  EXPECT_DOUBLE_EQ(timeLeft(Seconds(0.15), 1, 1000000)->count(), 0.15 * 999999);
}

TEST(ProgressReport, DurationsReadAsPeopleSayThem) {
  using Seconds = std::chrono::duration<double>;
  EXPECT_EQ(describeDuration(Seconds(0)), "0 s");
  EXPECT_EQ(describeDuration(Seconds(0.2)), "1 s") << "rounded up";
  EXPECT_EQ(describeDuration(Seconds(59)), "59 s");
  EXPECT_EQ(describeDuration(Seconds(61)), "1 min 1 s");
  EXPECT_EQ(describeDuration(Seconds(3599)), "59 min 59 s");
  EXPECT_EQ(describeDuration(Seconds(3600)), "1 h 0 min");
  EXPECT_EQ(describeDuration(Seconds(96000)), "26 h 40 min");
  EXPECT_EQ(describeDuration(Seconds(96001)), "26 h 41 min");
}

}  // namespace
}  // namespace glimmerweave
