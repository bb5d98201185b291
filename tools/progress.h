// How far a long run of a tool is, reported on its error stream.
//
// A run that ends within kQuietTime (2 s) prints nothing. After that the report says how
// many units (ticks, frames) are done, of how many, and about how long the rest will take
// at the pace so far. On a terminal it is one line, rewritten in place ('\r') at most every
// kTerminalInterval and ended with a line break when the run ends; anywhere else (a log
// file, a pipe) it is a plain line at most every kLogInterval, so that a log holds whole
// lines and not many of them.
//
// The clock and whether the stream is a terminal are given to the report, so that its
// behaviour can be checked without waiting.
#pragma once

#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

namespace glimmerweave {

using ProgressClock = std::function<std::chrono::steady_clock::time_point()>;

// Where a report goes: a terminal or not, and the clock it reads.
struct ProgressOptions {
  bool terminal = false;
  ProgressClock clock = &std::chrono::steady_clock::now;
};

// True when `stream` is a terminal (isatty, _isatty on Windows).
bool isTerminal(std::FILE* stream);

// The time the units left will take at the pace of those done: `elapsed` for `done` of
// `total`. None before the first unit is done; zero when all are.
std::optional<std::chrono::duration<double>> timeLeft(std::chrono::duration<double> elapsed,
                                                      long long done, long long total);

// A span of time for people: "45 s", "3 min 5 s", "26 h 40 min", rounded up to the second.
std::string describeDuration(std::chrono::duration<double> span);

class ProgressReport {
 public:
  static constexpr std::chrono::milliseconds kQuietTime{2000};
  static constexpr std::chrono::milliseconds kTerminalInterval{250};
  static constexpr std::chrono::milliseconds kLogInterval{5000};

  // A report on `out` of a run of `total` units, starting now. `prefix` begins every line
  // ("glimmerweave-render: "), `unit` names the units ("ticks").
  ProgressReport(std::ostream& out, std::string prefix, std::string unit, long long total,
                 ProgressOptions options);
  // Ends a line left open on a terminal.
  ~ProgressReport();
  ProgressReport(const ProgressReport&) = delete;
  ProgressReport& operator=(const ProgressReport&) = delete;

  // `done` units are done.
  void update(long long done);
  // One more unit is done.
  void advance() { update(done_ + 1); }
  // Ends a line left open on a terminal, so that a message can follow on a line of its
  // own; the next update starts a new one.
  void breakLine();
  // All units are done: says so and in how long, if the run has said anything or has
  // taken longer than kQuietTime, and ends the line.
  void finish();

 private:
  void show(long long done, std::chrono::steady_clock::time_point now);

  std::ostream& out_;
  std::string prefix_, unit_;
  long long total_;
  ProgressOptions options_;
  std::chrono::steady_clock::time_point start_;
  std::optional<std::chrono::steady_clock::time_point> lastShown_;
  long long done_ = 0;
  long long lastShownDone_ = -1;
  std::size_t openLineLength_ = 0;  // the text of the line on a terminal not yet ended
};

}  // namespace glimmerweave
