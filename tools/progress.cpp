#include "progress.h"

#include <algorithm>
#include <cmath>
#include <utility>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace glimmerweave {

bool isTerminal(std::FILE* stream) {
#ifdef _WIN32
  return _isatty(_fileno(stream)) != 0;
#else
  return ::isatty(::fileno(stream)) != 0;
#endif
}

std::optional<std::chrono::duration<double>> timeLeft(std::chrono::duration<double> elapsed,
                                                      long long done, long long total) {
  if (done >= total) return std::chrono::duration<double>::zero();
  if (done <= 0) return std::nullopt;
  return elapsed * (static_cast<double>(total - done) / static_cast<double>(done));
}

std::string describeDuration(std::chrono::duration<double> span) {
  const auto seconds = static_cast<long long>(std::ceil(std::max(span.count(), 0.0)));
  if (seconds < 60) return std::to_string(seconds) + " s";
  if (seconds < 3600)
    return std::to_string(seconds / 60) + " min " + std::to_string(seconds % 60) + " s";
  // Minutes rounded up too, so that an estimate never reads shorter than it is.
  const long long minutes = (seconds + 59) / 60;
  return std::to_string(minutes / 60) + " h " + std::to_string(minutes % 60) + " min";
}

ProgressReport::ProgressReport(std::ostream& out, std::string prefix, std::string unit,
                               long long total, ProgressOptions options)
    : out_(out),
      prefix_(std::move(prefix)),
      unit_(std::move(unit)),
      total_(total),
      options_(std::move(options)),
      start_(options_.clock()) {}

ProgressReport::~ProgressReport() {
  breakLine();
}

void ProgressReport::update(long long done) {
  done_ = done;
  // The last unit is said by finish(), once what follows it is done too.
  if (done >= total_) return;
  const auto now = options_.clock();
  if (now - start_ < kQuietTime) return;
  const auto interval = options_.terminal ? kTerminalInterval : kLogInterval;
  if (lastShown_ && now - *lastShown_ < interval) return;
  show(done, now);
}

void ProgressReport::breakLine() {
  if (openLineLength_ == 0) return;
  out_ << '\n' << std::flush;
  openLineLength_ = 0;
}

void ProgressReport::finish() {
  done_ = total_;
  const auto now = options_.clock();
  if ((lastShown_ || now - start_ >= kQuietTime) && lastShownDone_ != total_) show(total_, now);
  breakLine();
}

void ProgressReport::show(long long done, std::chrono::steady_clock::time_point now) {
  const std::chrono::duration<double> elapsed = now - start_;
  const long long percent = total_ > 0 ? done * 100 / total_ : 100;
  std::string text = prefix_ + std::to_string(done) + " of " + std::to_string(total_) + " " +
                     unit_ + " (" + std::to_string(percent) + "%)";
  if (done >= total_)
    text += ", done in " + describeDuration(elapsed);
  else if (const auto left = timeLeft(elapsed, done, total_))
    text += ", about " + describeDuration(*left) + " left";

  if (options_.terminal) {
    // Spaces cover what is left of a longer line before it.
    const std::size_t length = text.size();
    if (length < openLineLength_) text.append(openLineLength_ - length, ' ');
    out_ << '\r' << text << std::flush;
    openLineLength_ = length;
  } else {
    out_ << text << '\n' << std::flush;
  }
  lastShown_ = now;
  lastShownDone_ = done;
}

}  // namespace glimmerweave
