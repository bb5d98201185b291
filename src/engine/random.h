// The process's random generator: a 32-bit linear congruential sequence. Every
// mode seeds it once at its start (from the clock); the order of the draws that
// follow is part of the animation's behaviour, so nothing draws casually.
#pragma once

#include <cstdint>

namespace glimmerweave {

class RandomGenerator {
 public:
  // Advances the state and returns a uniform integer in 0..n-1 (0 when n is 0).
  std::uint32_t Random(std::uint32_t n) {
    state_ = state_ * 134775813u + 1u;
    return static_cast<std::uint32_t>((std::uint64_t{state_} * n) >> 32);
  }

  void seed(std::uint32_t s) { state_ = s; }
  std::uint32_t state() const { return state_; }

  // Seeds from the milliseconds elapsed since midnight, UTC, of the current time.
  void seedFromClock();

 private:
  std::uint32_t state_ = 0;
};

// The clock seed for a time of day: ((hour * 60 + minute) * 60 + second) * 1000 + millisecond.
std::uint32_t clockSeed(int hour, int minute, int second, int millisecond);

}  // namespace glimmerweave
