#include "bench_floor.h"

#include <chrono>
#include <cstddef>

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

// Seconds for `rounds` passes of Function over `operands`, inline as the algorithms
// call it, each result stored in `results`: the calls are independent of each
// other, so the time is what the instruction itself costs at best, a floor.
template <long double (*Function)(long double)>
double timeCalls(const std::vector<long double>& operands, int rounds,
                 std::vector<long double>& results) {
  const auto start = std::chrono::steady_clock::now();
  for (int round = 0; round < rounds; ++round)
    for (std::size_t i = 0; i < operands.size(); ++i) results[i] = Function(operands[i]);
  const auto end = std::chrono::steady_clock::now();
  return std::chrono::duration<double>(end - start).count();
}

// The timings in MathFunction order.
constexpr double (*kTimeCalls[kMathFunctionCount])(const std::vector<long double>&, int,
                                                   std::vector<long double>&) = {
    timeCalls<NativeMath::sin>, timeCalls<NativeMath::cos>, timeCalls<NativeMath::ln>,
    timeCalls<NativeMath::sqrt>, timeCalls<NativeMath::exp>};

// Where the measurement's results end up.
volatile long double resultsSeen = 0;

}  // namespace

std::array<std::vector<long double>, kMathFunctionCount> sampleOperands(int width, int height,
                                                                        long double A,
                                                                        long double B) {
  std::array<std::vector<long double>, kMathFunctionCount> operands;
  std::vector<MathCall> calls;
  MathCallLog log;
  log.calls = &calls;
  for (int algorithm = 0; algorithm < kAlgorithmCount; ++algorithm) {
    countFrame(algorithm, width, height, A, B, 0.0, log);
    for (const MathCall& call : calls)
      operands[static_cast<std::size_t>(call.function)].push_back(call.operand);
    calls.clear();
  }
  return operands;
}

PerFunction measureCallCosts(
    const std::array<std::vector<long double>, kMathFunctionCount>& operands, int rounds) {
  const FloatingPointScope scope;
  PerFunction costs{};
  for (std::size_t f = 0; f < kMathFunctionCount; ++f) {
    const std::vector<long double>& sample = operands[f];
    if (sample.empty()) continue;
    std::vector<long double> results(sample.size());
    // Once untimed, so that the code and the operands are in the caches.
    kTimeCalls[f](sample, 1, results);
    costs[f] = kTimeCalls[f](sample, rounds, results) / (double(sample.size()) * rounds) * 1e9;
    // The results are read, so that no call can be left out.
    resultsSeen = resultsSeen + results[f % results.size()];
  }
  return costs;
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

double floorMilliseconds(const PerFunction& callsPerPixel, const PerFunction& costs,
                         std::int64_t pixels) {
  double nanoseconds = 0;
  for (std::size_t f = 0; f < kMathFunctionCount; ++f) nanoseconds += callsPerPixel[f] * costs[f];
  return nanoseconds * double(pixels) / 1e6;
}

}  // namespace glimmerweave
