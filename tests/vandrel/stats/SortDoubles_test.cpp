// The sort of doubles (bucket sort, radix sort for infinite or unscalable
// ranges) must leave exactly the array std::sort leaves, bit for bit, on
// every kind of input it may meet.
#include "vandrel/stats/SortDoubles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace {

// Small deterministic generator of test values (independent of the program's).
struct Lcg {
  std::uint64_t s;
  double Next() {
    s = s * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(s >> 11) / 9007199254740992.0;
  }
};

bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
  if (a.size() != b.size()) return false;
  return a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

struct Case {
  std::string name;
  std::vector<double> values;
};

std::vector<Case> Cases() {
  std::vector<Case> cases;
  Lcg g{7};
  std::vector<double> v;
  for (int i = 0; i < 5000; ++i) v.push_back((g.Next() - 0.5) * 1e3);
  cases.push_back({"mixed signs", v});
  v.clear();
  for (int i = 0; i < 5000; ++i) v.push_back(std::floor(g.Next() * 20.0) - 10.5);
  cases.push_back({"many duplicates", v});
  v.clear();
  for (int i = 0; i < 3000; ++i) v.push_back(-std::exp(g.Next() * 600.0 - 300.0));
  cases.push_back({"negatives over many magnitudes", v});
  v.clear();
  for (int i = 0; i < 1000; ++i) v.push_back(g.Next() * 1e-310);  // subnormals
  v.push_back(std::numeric_limits<double>::infinity());
  v.push_back(-std::numeric_limits<double>::infinity());
  v.push_back(std::numeric_limits<double>::max());
  v.push_back(-std::numeric_limits<double>::denorm_min());
  cases.push_back({"subnormals and infinities", v});
  v.clear();
  for (int i = 0; i < 2000; ++i) v.push_back(g.Next() - 0.5);
  v[17] = 0.0;
  v[900] = -0.0;
  v[1500] = 0.0;
  cases.push_back({"signed zeros", v});
  v.clear();
  for (int i = 0; i < 2000; ++i) v.push_back(2000.0 - i);
  cases.push_back({"descending", v});
  v.clear();
  // Only the lowest digits differ: the passes over the shared digits are skipped.
  for (int i = 0; i < 4000; ++i) v.push_back(1.0 + std::floor(g.Next() * 3000.0) * 1e-15);
  cases.push_back({"narrow range", v});
  v.clear();
  // The size of a simulated weight table, values like log-odds weights.
  for (int i = 0; i < 100000; ++i) v.push_back((g.Next() - 0.7) * 60.0);
  cases.push_back({"weight table", v});
  v.clear();
  // Piled up under a maximum (like the log-ratios of draws near the top of
  // the parabola): the buckets near the top are crowded.
  for (int i = 0; i < 50000; ++i) {
    const double u = g.Next();
    v.push_back(12.5 - 40.0 * u * u * u * u);
  }
  cases.push_back({"piled under a maximum", v});
  v.clear();
  // One far outlier puts every other value into the first bucket.
  for (int i = 0; i < 3000; ++i) v.push_back(1.0 + g.Next());
  v.push_back(1e200);
  cases.push_back({"one far outlier", v});
  v.clear();
  // A range that overflows (max - min is infinite) and one among
  // subnormals only (buckets / range overflows).
  for (int i = 0; i < 1000; ++i) v.push_back((g.Next() - 0.5) * 3.5e300 * 1e8);
  cases.push_back({"range overflows", v});
  v.clear();
  for (int i = 0; i < 1000; ++i) v.push_back(std::ldexp(1.0 + std::floor(g.Next() * 40.0), -1070));
  cases.push_back({"subnormals only", v});
  v.assign(500, -3.25);
  cases.push_back({"all equal", v});
  v.clear();
  for (int i = 0; i < 700; ++i) v.push_back(i % 2 ? 5.0 : -5.0);
  v.push_back(std::nextafter(5.0, 0.0));
  cases.push_back({"two values and a neighbour", v});
  cases.push_back({"short", {3.0, -1.0, 2.5, -7.25}});
  cases.push_back({"empty", {}});
  return cases;
}

TEST(SortDoubles, LeavesTheArrayStdSortLeaves) {
  for (const Case& c : Cases()) {
    std::vector<double> expected = c.values;
    std::sort(expected.begin(), expected.end());
    std::vector<double> got = c.values;
    vandrel::SortDoubles(got);
    EXPECT_TRUE(SameBits(got, expected)) << c.name;
    EXPECT_TRUE(std::is_sorted(got.begin(), got.end())) << c.name;
  }
}

}  // namespace
