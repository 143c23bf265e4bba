// The fast number texts must equal what a default-formatted output stream
// writes for the same number, byte for byte.
#include "vandrel/data/NumberText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string ByStream(double v) {
  std::ostringstream s;
  s << v;
  return s.str();
}

std::string ByStream(unsigned int v) {
  std::ostringstream s;
  s << v;
  return s.str();
}

template <class T>
std::string Fast(T v) {
  std::string out;
  vandrel::AppendNumber(out, v);
  return out;
}

TEST(NumberText, DoublesMatchTheStream) {
  std::vector<double> values = {0.0,
                                -0.0,
                                1.0,
                                -1.0,
                                0.1,
                                0.123456789,
                                0.9999995,
                                0.99999949,
                                123456.5,
                                1234567.0,
                                999999.5,
                                1e-5,
                                0.0001,
                                0.00012345678,
                                -3.14159265358979,
                                1e300,
                                -2.5e-300,
                                5e-324,
                                std::numeric_limits<double>::max(),
                                std::numeric_limits<double>::infinity(),
                                -std::numeric_limits<double>::infinity()};
  // Values spread over many magnitudes, signs and roundings.
  std::uint64_t s = 12345;
  for (int i = 0; i < 20000; ++i) {
    s = s * 6364136223846793005ULL + 1442695040888963407ULL;
    const double u = static_cast<double>(s >> 11) / 9007199254740992.0;
    const double e = std::pow(10.0, static_cast<int>((s >> 3) % 24) - 12);
    values.push_back((i % 2 ? -u : u) * e);
  }
  for (double v : values) EXPECT_EQ(Fast(v), ByStream(v)) << "value bits of " << ByStream(v);
}

TEST(NumberText, UnsignedMatchTheStream) {
  for (unsigned int v : {0u, 7u, 10u, 4999u, 65536u, 4294967295u}) EXPECT_EQ(Fast(v), ByStream(v));
}

TEST(NumberText, AppendsAfterExistingText) {
  std::string out = "a\t";
  vandrel::AppendNumber(out, 12u);
  out += '\t';
  vandrel::AppendNumber(out, 0.25);
  EXPECT_EQ(out, "a\t12\t0.25");
}

}  // namespace
