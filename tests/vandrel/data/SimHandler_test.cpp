// Similarity measures: normalizers, evaluators, handlers and the dot product's
// summation order.
#include "vandrel/data/SimHandler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>
#include <vector>

#include "vandrel/data/Fingerprint.h"

namespace {

constexpr double kTol = 1e-6;

// Pearson correlation computed directly in long double.
long double Pearson(const std::vector<float>& x, const std::vector<float>& y) {
  const std::size_t n = x.size();
  long double mx = 0, my = 0;
  for (std::size_t i = 0; i < n; ++i) { mx += x[i]; my += y[i]; }
  mx /= n; my /= n;
  long double sxy = 0, sxx = 0, syy = 0;
  for (std::size_t i = 0; i < n; ++i) {
    sxy += (x[i] - mx) * (y[i] - my);
    sxx += (x[i] - mx) * (x[i] - mx);
    syy += (y[i] - my) * (y[i] - my);
  }
  return sxy / std::sqrt(sxx * syy);
}

long double Cosine(const std::vector<float>& x, const std::vector<float>& y) {
  long double xy = 0, xx = 0, yy = 0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    xy += (long double)x[i] * y[i];
    xx += (long double)x[i] * x[i];
    yy += (long double)y[i] * y[i];
  }
  return xy / std::sqrt(xx * yy);
}

std::unique_ptr<CSimilarityHandler> MakeHandler(bool correlation) {
  if (correlation) {
    return std::make_unique<CFisherTransSimHandler>(new CVecStandardizer, new CFisherTransSim);
  }
  return std::make_unique<CDotProductSimHandler>(new CMeanSqNorm(0), new CDotProductSim);
}

std::string Text(const std::vector<float>& v) {
  std::ostringstream out;
  out.precision(9);
  for (float x : v) out << x << ' ';
  return out.str();
}

// Each test installs its own handler and fingerprint length.
class MeasureTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetFingerprintStateForTests(); }
  void TearDown() override { ResetFingerprintStateForTests(); }

  void Install(bool correlation, unsigned int length) {
    handler_ = MakeHandler(correlation);
    CNormFP::SetSimilarityHandler(handler_.get());
    CFingerprint::SetLength(length);
  }
  CNormFP Read(const std::vector<float>& v) {
    std::istringstream in(Text(v));
    return CNormFP(in);
  }

  std::unique_ptr<CSimilarityHandler> handler_;
};

TEST_F(MeasureTest, CorrelationOfProportionalAndReversedVectors) {
  Install(true, 3);
  const CNormFP a = Read({1, 2, 3});
  EXPECT_NEAR(a.Similarity(Read({2, 4, 6})), 1.0, kTol);
  EXPECT_NEAR(a.Similarity(Read({3, 2, 1})), -1.0, kTol);
  // Centred (-1, 0, 1) has length sqrt(2): that is the stored factor.
  EXPECT_NEAR(a.GetFactor(), std::sqrt(2.0), kTol);
  EXPECT_NEAR(a[0], -1.0 / std::sqrt(2.0), kTol);
  EXPECT_FLOAT_EQ(a[1], 0.0f);
}

TEST_F(MeasureTest, BothMeasuresMatchDirectFormulasOnIrregularData) {
  const std::vector<std::vector<float>> rows = {
      {7.21f, 8.96f, 9.59f, 7.18f, 7.40f, 7.73f},
      {-1.5f, 0.25f, 3.75f, 2.0f, -0.5f, 11.0f},
      {0.001f, 1000.0f, 3.0f, 3.0f, 42.0f, -7.0f}};
  for (bool correlation : {true, false}) {
    SCOPED_TRACE(correlation ? "CORRELATION" : "DOTPRODUCT");
    ResetFingerprintStateForTests();
    Install(correlation, 6);
    for (const auto& x : rows) {
      for (const auto& y : rows) {
        const double expected =
            static_cast<double>(correlation ? Pearson(x, y) : Cosine(x, y));
        EXPECT_NEAR(Read(x).Similarity(Read(y)), expected, kTol);
      }
    }
  }
}

TEST_F(MeasureTest, DotProductExamples) {
  Install(false, 2);
  EXPECT_EQ(Read({1, 0}).Similarity(Read({0, 1})), 0.0);
  const CNormFP a = Read({3, 4});
  EXPECT_EQ(a.GetFactor(), 5.0);
  EXPECT_EQ(a[0], 0.6f);
  EXPECT_EQ(a[1], 0.8f);
}

// A vector without direction (all zeros; for CORRELATION all values equal;
// or no values at all) must not produce NaN or infinity: it stays all zeros,
// its factor is 0.0 and its similarity with anything is 0.0.
TEST_F(MeasureTest, DegenerateVectorsGiveZeroNotNaN) {
  struct Case {
    bool correlation;
    unsigned int length;
    std::vector<float> degenerate;
    std::vector<float> other;
  };
  const Case cases[] = {
      {false, 3, {0, 0, 0}, {1, 2, 3}},
      {true, 3, {5, 5, 5}, {1, 2, 3}},
      {true, 3, {0.1f, 0.1f, 0.1f}, {3, -1, 2}},
      {true, 3, {0, 0, 0}, {1, 2, 3}},
      {false, 0, {}, {}},
      {true, 0, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Text(c.degenerate) + (c.correlation ? "CORRELATION" : "DOTPRODUCT"));
    ResetFingerprintStateForTests();
    Install(c.correlation, c.length);
    const CNormFP d = Read(c.degenerate);
    const CNormFP o = Read(c.other);
    EXPECT_EQ(d.GetFactor(), 0.0);
    for (unsigned int j = 0; j < c.length; ++j) EXPECT_EQ(d[j], 0.0f);
    EXPECT_EQ(d.Similarity(o), 0.0);
    EXPECT_EQ(o.Similarity(d), 0.0);
    EXPECT_EQ(d.Similarity(d), 0.0);
  }
}

TEST(MeanSqNorm, FactorByMode) {
  struct Case {
    int mode;
    double factor;
  };
  // (3, 4): sum of squares 25.
  const Case cases[] = {{0, 5.0}, {1, std::sqrt(12.5)}, {2, 25.0}, {-1, 25.0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    std::vector<float> v = {3.0f, 4.0f};
    EXPECT_DOUBLE_EQ(CMeanSqNorm(c.mode).Normalize(v), c.factor);
    EXPECT_EQ(v[0], static_cast<float>(3.0 / c.factor));
    EXPECT_EQ(v[1], static_cast<float>(4.0 / c.factor));
  }
  std::vector<float> empty;
  EXPECT_EQ(CMeanSqNorm(1).Normalize(empty), 0.0);
}

TEST(SimilarityHandlers, BoundsAndSuffixes) {
  const auto co = MakeHandler(true);
  const auto dp = MakeHandler(false);
  EXPECT_EQ(co->GetMinSim(), -1.0);
  EXPECT_EQ(co->GetMaxSim(), 1.0);
  EXPECT_EQ(co->GetUnitSim(), 1.0);
  EXPECT_EQ(co->GetFileSuffix(), ".co");
  EXPECT_EQ(dp->GetMinSim(), 0.0);
  EXPECT_EQ(dp->GetMaxSim(), 1.0);
  EXPECT_EQ(dp->GetUnitSim(), 1.0);
  EXPECT_EQ(dp->GetFileSuffix(), ".dp");
}

// The products are exact in double and are summed in index order: with
// (1e17, 1, -1e17) . (1, 1, 1) the 1 is absorbed by 1e17 before -1e17
// cancels it, so the result is exactly 0 (any other order would give 1).
TEST(DotProduct, SumsInIndexOrderInDouble) {
  const float big = 1e17f;
  const float a[] = {big, 1.0f, -big};
  const float ones[] = {1.0f, 1.0f, 1.0f};
  EXPECT_EQ(vandrel::DotProduct(a, ones, 3), 0.0);
  const float b[] = {big, -big, 1.0f};
  EXPECT_EQ(vandrel::DotProduct(b, ones, 3), 1.0);
  // 3 * 1/3 in float products, exact in double: not the float-rounded sum.
  const float third = 1.0f / 3.0f;
  const float t[] = {third, third, third};
  const double exact = 3.0 * static_cast<double>(third);
  EXPECT_EQ(vandrel::DotProduct(t, ones, 3), exact);
  EXPECT_EQ(vandrel::DotProduct(t, ones, 0), 0.0);
}

TEST(DotProduct, ManyRowsEqualSingleProductsBitForBit) {
  // Row counts below, at and past the batch sizes (4 and 16 rows), lengths
  // with and without a remainder of four, values whose sums round and one
  // row whose sum depends on the order of its additions.
  unsigned int seed = 12345;
  auto next = [&seed]() {
    seed = seed * 1103515245u + 12345u;
    return static_cast<float>(static_cast<int>(seed >> 8) % 20001 - 10000) / 977.0f;
  };
  using Many = void (*)(const float*, const float* const*, std::size_t, unsigned int, double*);
  const std::vector<std::pair<const char*, Many>> kernels = {
      {"DotProductMany", &vandrel::DotProductMany},
      {"DotProductManyPortable", &vandrel::DotProductManyPortable}};
  for (unsigned int n : {0u, 1u, 3u, 4u, 7u, 60u, 61u, 300u}) {
    std::vector<std::vector<float>> rows;
    for (int r = 0; r < 37; ++r) {
      std::vector<float> row;
      for (unsigned int j = 0; j < n; ++j) row.push_back(next());
      rows.push_back(row);
    }
    if (n >= 3) {
      rows[3].assign(n, 0.0f);
      rows[3][0] = 1e17f;
      rows[3][1] = 1.0f;
      rows[3][2] = -1e17f;
    }
    std::vector<float> a;
    for (unsigned int j = 0; j < n; ++j) a.push_back(j % 5 == 0 ? 1.0f : next());
    std::vector<const float*> ptrs;
    for (const auto& r : rows) ptrs.push_back(r.data());
    for (const auto& kernel : kernels) {
      for (std::size_t count : {0, 1, 3, 4, 5, 15, 16, 17, 20, 32, 37}) {
        std::vector<double> out(count + 1, -99.0);
        kernel.second(a.data(), ptrs.data(), count, n, out.data());
        for (std::size_t k = 0; k < count; ++k) {
          double expected = 0.0;
          for (unsigned int j = 0; j < n; ++j) expected += (double)a[j] * (double)rows[k][j];
          EXPECT_EQ(out[k], expected)
              << kernel.first << " length " << n << " count " << count << " row " << k;
        }
        EXPECT_EQ(out[count], -99.0) << kernel.first << " wrote past the rows";
      }
    }
  }
}

TEST(DotProduct, TransposedRowsGiveTheSameSumsForEveryRange) {
  // 123 rows: ranges that start and end inside groups of four, whole groups
  // only, and runs long enough for the widest batch of groups.
  unsigned int seed = 777;
  auto next = [&seed]() {
    seed = seed * 1103515245u + 12345u;
    return static_cast<float>(static_cast<int>(seed >> 8) % 20001 - 10000) / 613.0f;
  };
  for (unsigned int n : {0u, 1u, 5u, 60u, 300u}) {
    std::vector<std::vector<float>> rows(123);
    for (auto& row : rows)
      for (unsigned int j = 0; j < n; ++j) row.push_back(next());
    std::vector<float> a;
    for (unsigned int j = 0; j < n; ++j) a.push_back(next());
    std::vector<const float*> ptrs;
    for (const auto& r : rows) ptrs.push_back(r.data());
    vandrel::CTransposedRows t;
    t.Build(ptrs.data(), ptrs.size(), n);
    const std::vector<std::pair<std::size_t, std::size_t>> ranges = {
        {0, 0}, {0, 1}, {1, 3}, {2, 2}, {3, 5}, {0, 4}, {4, 8}, {1, 123}, {0, 123},
        {5, 57}, {8, 56}, {7, 120}, {100, 123}, {121, 123}, {0, 48}, {3, 99}};
    for (const auto& range : ranges) {
      const std::size_t j0 = range.first, j1 = range.second;
      std::vector<double> out(j1 - j0 + 1, -99.0);
      vandrel::DotProductTransposed(a.data(), ptrs.data(), t, j0, j1, out.data());
      for (std::size_t j = j0; j < j1; ++j) {
        double expected = 0.0;
        for (unsigned int k = 0; k < n; ++k) expected += (double)a[k] * (double)rows[j][k];
        EXPECT_EQ(out[j - j0], expected) << "length " << n << " rows " << j0 << ".." << j1 << " row " << j;
      }
      EXPECT_EQ(out[j1 - j0], -99.0) << "wrote past the range " << j0 << ".." << j1;
    }
  }
}

}  // namespace
