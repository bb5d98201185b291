#include "engine/random.h"

#include <chrono>

namespace glimmerweave {

std::uint32_t clockSeed(int hour, int minute, int second, int millisecond) {
  return static_cast<std::uint32_t>(((hour * 60 + minute) * 60 + second) * 1000 + millisecond);
}

void RandomGenerator::seedFromClock() {
  using namespace std::chrono;
  // System time counts UTC days of exactly 86,400 s, so the time of day is the
  // remainder of the milliseconds since the epoch.
  const auto ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
  constexpr long long kDay = 24LL * 60 * 60 * 1000;
  long long ofDay = ms % kDay;
  if (ofDay < 0) ofDay += kDay;
  const int millisecond = static_cast<int>(ofDay % 1000);
  const int second = static_cast<int>(ofDay / 1000 % 60);
  const int minute = static_cast<int>(ofDay / 60000 % 60);
  const int hour = static_cast<int>(ofDay / 3600000);
  seed(clockSeed(hour, minute, second, millisecond));
}

}  // namespace glimmerweave
