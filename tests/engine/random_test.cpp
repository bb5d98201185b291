// The random generator's sequence and its clock seed.
#include "engine/random.h"

#include <gtest/gtest.h>

namespace glimmerweave {
namespace {

TEST(RandomGenerator, FixedSeedGivesTheKnownSequence) {
  RandomGenerator random;
  random.seed(12345);
  EXPECT_EQ(random.Random(628), 242u);
  EXPECT_EQ(random.state(), 1655067934u);
  EXPECT_EQ(random.Random(628), 181u);
  EXPECT_EQ(random.Random(100), 7u);
  EXPECT_EQ(random.Random(100), 55u);
  EXPECT_EQ(random.Random(100), 63u);
  EXPECT_EQ(random.Random(7), 2u);
  EXPECT_EQ(random.Random(1000000), 439968u);
  EXPECT_EQ(random.state(), 1889648464u);
}

TEST(RandomGenerator, StaysBelowItsBound) {
  RandomGenerator random;
  random.seed(0);
  EXPECT_EQ(random.Random(628), 0u) << "state 1 is the first draw of seed 0";
  EXPECT_EQ(random.Random(0), 0u);
  random.seed(0xFFFFFFFFu);
  for (int i = 0; i < 10000; ++i) ASSERT_LT(random.Random(15), 15u);
}

TEST(RandomGenerator, ClockSeedIsTheMillisecondOfTheDay) {
  EXPECT_EQ(clockSeed(0, 0, 0, 0), 0u);
  EXPECT_EQ(clockSeed(1, 2, 3, 4), 3723004u);
  EXPECT_EQ(clockSeed(23, 59, 59, 999), 86399999u);

  RandomGenerator random;
  random.seedFromClock();
  EXPECT_LT(random.state(), 86400000u);
}

}  // namespace
}  // namespace glimmerweave
