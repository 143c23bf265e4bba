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

#include "vandrel/data/SimFileParsing.h"

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

namespace {

// What the `.sim` reader makes of the text the writer gives v.
double ReadBack(double v) {
  std::string line = "0\t1\t";
  vandrel::AppendNumber(line, v);
  std::uint64_t a = 0, b = 0;
  double got = 0.0;
  EXPECT_EQ(vandrel::ParseValueLine(line, a, b, got), vandrel::EValueLine::kValue) << line;
  return got;
}

// AsWritten's arithmetic path gives, bit for bit, the double that the
// written text reads back as: random values over many magnitudes, both
// signs, and values a few ulps around every kind of rounding tie and decade
// boundary of the 6-digit text.
TEST(NumberText, AsWrittenIsTheValueTheTextReadsBackAs) {
  std::vector<double> values = {0.0, -0.0, 1.0, -1.0, 0.1, 0.2, 0.3, 0.9999995, 0.99999949,
                                0.99999951, 999999.5, 99999.95, 1e-5, 1e-15, 1e15, 3e-16, 2e16,
                                0.123456789, -0.000123456789, 5e-324};
  std::uint64_t s = 777;
  auto next = [&s] {
    s = s * 6364136223846793005ULL + 1442695040888963407ULL;
    return s >> 11;
  };
  for (int i = 0; i < 200000; ++i) {
    const double unit = static_cast<double>(next()) / 9007199254740992.0;  // [0, 1)
    const double mag = std::pow(10.0, static_cast<int>(next() % 36) - 18);
    values.push_back((next() & 1 ? -1.0 : 1.0) * unit * mag);
    values.push_back(2.0 * unit - 1.0);  // similarity-like values in [-1, 1)
  }
  for (int i = 0; i < 20000; ++i) {
    // m + 0.5 units of the 6th digit, and the decade edges, +- a few ulps.
    const int k = static_cast<int>(next() % 12) - 6;
    const double m = 100000.0 + static_cast<double>(next() % 900000);
    for (double center : {(m + 0.5) * std::pow(10.0, k - 5), 999999.5 * std::pow(10.0, k - 5),
                          99999.95 * std::pow(10.0, k - 4)}) {
      double x = center;
      for (int u = 0; u < 3; ++u) x = std::nextafter(x, 0.0);
      for (int u = 0; u < 7; ++u, x = std::nextafter(x, 1e300)) {
        values.push_back(x);
        values.push_back(-x);
      }
    }
  }
  for (double v : values) {
    const double want = ReadBack(v);
    const double got = vandrel::AsWritten(v);
    ASSERT_EQ(std::signbit(got), std::signbit(want)) << v;
    ASSERT_EQ(got, want) << std::hexfloat << v;
  }
}

}  // namespace
