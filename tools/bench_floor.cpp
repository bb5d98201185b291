#include "bench_floor.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <limits>

namespace glimmerweave {

namespace {

using Counted = CountingMath<NativeMath>;

// Runs every pixel of a frame with the calls counted into `log`.
void countFrame(int algorithm, int width, int height, long double A, long double B, double z0,
                MathCallLog& log) {
  const FloatingPointScope scope;
  const FrameInput frame = frameInput<NativeMath>(A, B, width, height, 255, z0);
  Iteration it;
  it.Z[0] = z0;
  Counted::log = &log;
  forEachPixel<Counted>(algorithm, frame, it, [] {});
  Counted::log = nullptr;
}

// Seconds for one pass of Function over `operands`, inline as the algorithms call
// it: the calls are independent of each other, and their results are summed in a
// register rather than stored (an 80-bit store costs more than the call's
// neighbours in a pixel do), the sum going to `results`.
template <long double (*Function)(long double)>
double timeCalls(const std::vector<long double>& operands, std::vector<long double>& results) {
  const auto start = std::chrono::steady_clock::now();
  long double sum = 0;
  for (std::size_t i = 0; i < operands.size(); ++i) sum += Function(operands[i]);
  results[0] = sum;
  const auto end = std::chrono::steady_clock::now();
  return std::chrono::duration<double>(end - start).count();
}

// The timings in MathFunction order.
constexpr double (*kTimeCalls[kMathFunctionCount])(const std::vector<long double>&,
                                                   std::vector<long double>&) = {
    timeCalls<NativeMath::sin>, timeCalls<NativeMath::cos>, timeCalls<NativeMath::ln>,
    timeCalls<NativeMath::sqrt>, timeCalls<NativeMath::exp>};

// Where the measurement's results end up.
volatile long double resultsSeen = 0;

// Per function, the least seconds of `rounds` passes over its operands.
PerFunction leastSeconds(const FrameOperands& operands, int rounds) {
  const FloatingPointScope scope;
  PerFunction seconds{};
  for (std::size_t f = 0; f < kMathFunctionCount; ++f) {
    const std::vector<long double>& sample = operands[f];
    if (sample.empty()) continue;
    std::vector<long double> results(1);
    // Once untimed, so that the code and the operands are in the caches.
    kTimeCalls[f](sample, results);
    double least = std::numeric_limits<double>::infinity();
    for (int round = 0; round < std::max(rounds, 1); ++round)
      least = std::min(least, kTimeCalls[f](sample, results));
    seconds[f] = least;
    // The results are read, so that no call can be left out.
    resultsSeen = resultsSeen + results[0];
  }
  return seconds;
}

}  // namespace

FrameOperands frameOperands(int algorithm, int width, int height, long double A, long double B,
                            double z0) {
  FrameOperands operands;
  std::vector<MathCall> calls;
  MathCallLog log;
  log.calls = &calls;
  countFrame(algorithm, width, height, A, B, z0, log);
  for (const MathCall& call : calls)
    operands[static_cast<std::size_t>(call.function)].push_back(call.operand);
  return operands;
}

PerFunction measureFloor(const FrameOperands& operands, int rounds) {
  return leastSeconds(operands, rounds);
}

PerFunction countCallsPerPixel(int algorithm, int width, int height, long double A, long double B,
                               double z0) {
  MathCallLog log;
  countFrame(algorithm, width, height, A, B, z0, log);
  PerFunction perPixel{};
  const double pixels = double(width) * height;
  for (std::size_t f = 0; f < kMathFunctionCount; ++f)
    perPixel[f] = pixels > 0 ? double(log.counts[f]) / pixels : 0.0;
  return perPixel;
}

}  // namespace glimmerweave
