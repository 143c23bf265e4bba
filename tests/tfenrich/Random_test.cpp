#include "tfenrich/Random.h"

#include <gtest/gtest.h>

#include "tfenrich/Streams.h"

namespace {

TEST(TfRandom, KnownRuntimeSequences) {
  // The first draws of the runtime generator after srand(1), as published.
  tfenrich::seedRandom(1);
  for (int e : {41, 18467, 6334, 26500, 19169}) EXPECT_EQ(tfenrich::nextRandom(), e);
  // Seed 34: state 34*214013+2531011 = 9807453 -> 9807453 >> 16 = 149.
  tfenrich::seedRandom(tfenrich::kRunSeed);
  EXPECT_EQ(tfenrich::nextRandom(), 149);
}

TEST(FormatExp2, ExponentHasThreeDigits) {
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {1.2e-4, "1.20e-004"}, {0.0, "0.00e+000"}, {1.0, "1.00e+000"},
      {0.05, "5.00e-002"},   {1e-300, "1.00e-300"}, {9.999e-10, "1.00e-009"},
  };
  for (const auto& c : cases) EXPECT_EQ(tfenrich::formatExp2(c.value), c.text) << c.value;
}

}  // namespace
