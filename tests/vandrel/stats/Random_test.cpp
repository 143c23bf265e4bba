#include "vandrel/stats/Random.h"

#include <gtest/gtest.h>

namespace {

TEST(Random, KnownSequenceForSeedOne) {
  vandrel::Srand(1);
  const int expected[] = {41, 18467, 6334, 26500, 19169};
  for (int e : expected) EXPECT_EQ(vandrel::Rand(), e);
}

TEST(Random, ReseedingRestartsTheSequenceAndStaysInRange) {
  vandrel::Srand(vandrel::kStartupSeed);
  int first[100];
  for (int& v : first) {
    v = vandrel::Rand();
    ASSERT_GE(v, 0);
    ASSERT_LE(v, vandrel::kRandMax);
  }
  vandrel::Srand(vandrel::kStartupSeed);
  for (int v : first) EXPECT_EQ(vandrel::Rand(), v);
}

TEST(Random, UniformIsDrawOver32767) {
  vandrel::Srand(1);
  EXPECT_DOUBLE_EQ(vandrel::RandUniform(), 41 * (1.0 / 32767.0));
}

}  // namespace
