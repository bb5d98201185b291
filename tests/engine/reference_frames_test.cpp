// Every algorithm's frames, at several phases, sizes and Z[0] values, equal
// frames recorded earlier from the plain one-thread engine: changes made for
// speed must not change a single bit.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>

#include "engine/engine.h"
#include "engine/frame_pool.h"
#include "reference_frames.inc"  // kReferenceFrames: the text of data/reference_frames.txt

namespace glimmerweave {
namespace {

// FNV-1a 64 over the frame's cells and the iteration arrays.
std::uint64_t digest(const Fractals& f) {
  std::uint64_t hash = 1469598103934665603ull;
  const auto mix = [&](const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) {
      hash ^= bytes[i];
      hash *= 1099511628211ull;
    }
  };
  for (int r = 0; r < f.FrameHeight; ++r)
    for (int c = 0; c < f.FrameWidth; ++c) {
      const auto cell = ColorPlanes::index(r, c);
      mix(&f.planes.red[cell], 4);
      mix(&f.planes.green[cell], 4);
      mix(&f.planes.blue[cell], 4);
    }
  mix(f.state.IterX, sizeof f.state.IterX);
  mix(f.state.IterY, sizeof f.state.IterY);
  mix(f.state.IterZ, sizeof f.state.IterZ);
  return hash;
}

struct Reference {
  int algorithm, width, height;
  long double phaseA, phaseB;
  double z0;
  std::uint64_t digest;
};

std::vector<Reference> references() {
  std::vector<Reference> list;
  std::istringstream lines(kReferenceFrames);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.empty() || line[0] == '#') continue;
    Reference r{};
    char phaseA[32], phaseB[32];
    unsigned long long hash = 0;
    if (std::sscanf(line.c_str(), "%d %d %d %31s %31s %lf %llx", &r.algorithm, &r.width, &r.height,
                    phaseA, phaseB, &r.z0, &hash) != 7)
      continue;
    r.phaseA = std::strtold(phaseA, nullptr);
    r.phaseB = std::strtold(phaseB, nullptr);
    r.digest = hash;
    list.push_back(r);
  }
  return list;
}

void expectReferenceFrames(FramePool* pool) {
  const std::vector<Reference> list = references();
  ASSERT_EQ(list.size(), 105u) << "three frames of each of the 35 algorithms";
  for (const Reference& r : list) {
    auto f = std::make_unique<Fractals>();
    f->pool = pool;
    f->settings.Algorithm = r.algorithm;
    f->settings.Speed = 5;
    f->EngineBrightness = 100;
    f->FrameWidth = r.width;
    f->FrameHeight = r.height;
    f->state.PhaseA = r.phaseA;
    f->state.PhaseB = r.phaseB;
    f->state.StepA = 0.0503L;
    f->state.StepB = -0.0507L;
    f->state.IterZ[0] = r.z0;
    f->random.seed(77);
    for (int tick = 0; tick < 2; ++tick) ComputeFrame(*f);
    EXPECT_EQ(digest(*f), r.digest)
        << "algorithm " << r.algorithm << ", " << r.width << " x " << r.height << ", Z[0] " << r.z0;
  }
}

TEST(ReferenceFrames, OneThread) {
  expectReferenceFrames(nullptr);
}

TEST(ReferenceFrames, PoolOfThreads) {
  FramePool pool(3);
  expectReferenceFrames(&pool);
}

}  // namespace
}  // namespace glimmerweave
