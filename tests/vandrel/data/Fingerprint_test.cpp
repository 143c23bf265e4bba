// Fingerprints, their means, the owning matrix and the .fpn writer.
#include "vandrel/data/Fingerprint.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iomanip>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "vandrel/data/SimHandler.h"

namespace {

float FromBits(std::uint32_t bits) {
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

template <class F>
std::string ThrownText(F&& f) {
  try {
    f();
  } catch (const char* m) {
    return m;
  }
  return "(nothing thrown)";
}

class FingerprintTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetFingerprintStateForTests();
    handler_ = std::make_unique<CDotProductSimHandler>(new CMeanSqNorm(0), new CDotProductSim);
    CNormFP::SetSimilarityHandler(handler_.get());
  }
  void TearDown() override { ResetFingerprintStateForTests(); }

  // A CNormFP holding exactly these values: a mean of one fingerprint.
  static CNormFP Exact(const std::vector<float>& values) {
    std::ostringstream text;
    text.precision(9);
    for (float v : values) text << v << ' ';
    std::istringstream in(text.str());
    const CFingerprint raw(in);
    return CNormFP(raw, 1, raw, 0);
  }

  std::unique_ptr<CSimilarityHandler> handler_;
};

TEST_F(FingerprintTest, ReadsValuesAcrossLinesAndStopsAfterLength) {
  CFingerprint::SetLength(3);
  std::istringstream in("1.5 -2\n\t 3e2 7 8");
  const CFingerprint fp(in);
  EXPECT_EQ(fp[0], 1.5f);
  EXPECT_EQ(fp[1], -2.0f);
  EXPECT_EQ(fp[2], 300.0f);
  int next = 0;
  in >> next;
  EXPECT_EQ(next, 7) << "read past the third value";
  EXPECT_EQ(ThrownText([&] { (void)fp[3]; }), "CFingerprint::operator[] - index is out of scope");
}

TEST_F(FingerprintTest, ShortOrUnreadableInputFails) {
  CFingerprint::SetLength(3);
  for (const char* text : {"1 2", "1 2\n", "1 2 \n\n", "1 x 3", "", "1 2 nan", "1 2 1e99"}) {
    SCOPED_TRACE(text);
    std::istringstream in(text);
    EXPECT_EQ(ThrownText([&] { CFingerprint fp(in); }),
              "CFingerprint constructor - input file format problem");
  }
}

TEST_F(FingerprintTest, LengthIsSetOnce) {
  EXPECT_EQ(CFingerprint::GetLength(), 0u);
  CFingerprint::SetLength(4);
  CFingerprint::SetLength(4);
  EXPECT_EQ(CFingerprint::GetLength(), 4u);
  EXPECT_EQ(ThrownText([] { CFingerprint::SetLength(5); }),
            "CFingerprint::SetLength - length already set, changing is illegal");
  EXPECT_EQ(CFingerprint::GetLength(), 4u);
}

TEST_F(FingerprintTest, HandlerIsInstalledOnce) {
  CDotProductSimHandler other(new CMeanSqNorm(0), new CDotProductSim);
  EXPECT_EQ(ThrownText([&] { CNormFP::SetSimilarityHandler(&other); }),
            "CNormFP::SetSimilarityHandler - similarity handler already set, changing is illegal");
  EXPECT_EQ(CNormFP::GetSimilarityHandler(), handler_.get());
}

TEST_F(FingerprintTest, SaveWritesSixSignificantDigitsEachFollowedByBlank) {
  CFingerprint::SetLength(5);
  std::istringstream in("0.6 0.8 1e-07 123456789 -2.5");
  const CFingerprint fp(in);
  std::ostringstream out;
  fp.Save(out);
  EXPECT_EQ(out.str(), "0.6 0.8 1e-07 1.23457e+08 -2.5 ");
  std::ostringstream failed;
  failed.setstate(std::ios::badbit);
  EXPECT_EQ(ThrownText([&] { fp.Save(failed); }), "CFingerprint::Save - problems with output file");
}

TEST_F(FingerprintTest, SaveWritesWhatTheStreamWritesForEveryKindOfValue) {
  // Values at the switches of the %g form (1e-05, 1e+06), values that round
  // up to the next power of ten, signed zeros, subnormals, the float limits
  // and a spread of ordinary values.
  std::vector<float> values = {0.0f, -0.0f, 1e-5f, 9.99999e-6f, 0.0001f, 999999.0f, 999999.5f,
                               1e6f, 123456.5f, 0.1f, -0.3f, 1.5e-45f, 1.17549e-38f, 3.40282e38f,
                               -3.40282e38f, 7.0f, 0.999999f, 0.9999995f, 1.0000005f};
  std::uint32_t seed = 99;
  for (int i = 0; i < 2000; ++i) {
    seed = seed * 1103515245u + 12345u;
    const float mantissa = static_cast<float>(seed >> 8) / 16777216.0f - 0.5f;
    values.push_back(std::ldexp(mantissa, static_cast<int>(seed % 120) - 60));
  }
  CFingerprint::SetLength(static_cast<unsigned int>(values.size()));
  std::ostringstream text;
  for (float v : values) text << std::setprecision(9) << v << ' ';
  std::istringstream in(text.str());
  const CFingerprint fp(in);
  std::ostringstream expected;
  for (std::size_t j = 0; j < values.size(); ++j) expected << fp[static_cast<unsigned int>(j)] << ' ';
  std::ostringstream out;
  fp.Save(out);
  EXPECT_EQ(out.str(), expected.str());
  // A stream set to other number formats is honoured.
  std::ostringstream three, threeExpected;
  three << std::setprecision(3);
  threeExpected << std::setprecision(3);
  fp.Save(three);
  for (std::size_t j = 0; j < values.size(); ++j) threeExpected << fp[static_cast<unsigned int>(j)] << ' ';
  EXPECT_EQ(three.str(), threeExpected.str());
}

// Value j of a mean is summed in 32-bit floats in group order: 2^24 + 1 + 1
// stays 2^24 in float (each 1 is rounded away), so the mean is 2^24 / 3
// rounded to float, 5592405.5; summing in double would give 5592406.
TEST_F(FingerprintTest, MeanAccumulatesInFloatInGroupOrder) {
  CFingerprint::SetLength(2);
  const CNormFP a = Exact({16777216.0f, 1.0f});
  const CNormFP b = Exact({1.0f, 2.0f});
  const CNormFP c = Exact({1.0f, 6.0f});
  CNormFPConstPtrVec group;
  group.push_back(&a);
  group.push_back(&b);
  group.push_back(&c);
  const CNormFP mean(group);
  EXPECT_EQ(mean[0], 5592405.5f);
  EXPECT_EQ(mean[1], 3.0f);
  EXPECT_EQ(mean.GetFactor(), 1.0);

  const CNormFPConstPtrVec empty;
  const CNormFP none(empty);
  EXPECT_EQ(none[0], 0.0f);
  EXPECT_EQ(none[1], 0.0f);
}

TEST_F(FingerprintTest, WeightedMeanRemovesAMemberFromACentroid) {
  CFingerprint::SetLength(2);
  // Centroid of (1,2) (3,4) (5,6) (7,8) is (4,5); removing (7,8) leaves the
  // centroid (3,4) of the other three.
  const CNormFP centroid = Exact({4.0f, 5.0f});
  const CNormFP member = Exact({7.0f, 8.0f});
  const CNormFP rest(centroid, 4, member, -1);
  EXPECT_EQ(rest[0], 3.0f);
  EXPECT_EQ(rest[1], 4.0f);
  EXPECT_EQ(rest.GetFactor(), 1.0);
  // Merging back: (3,4) with weight 3 and (7,8) with weight 1.
  const CNormFP back(rest, 3, member, 1);
  EXPECT_EQ(back[0], 4.0f);
  EXPECT_EQ(back[1], 5.0f);
  // Nothing left: zeros, not NaN.
  const CNormFP gone(member, 1, member, -1);
  EXPECT_EQ(gone[0], 0.0f);
  EXPECT_EQ(gone[1], 0.0f);
}

// Each step of the weighted mean is rounded to a 32-bit float.  These
// operands were found by search so that rounding only once (computing in
// double) would give the neighbouring float 0x3f23f4cc instead.
TEST_F(FingerprintTest, WeightedMeanRoundsEveryStepToFloat) {
  CFingerprint::SetLength(1);
  const CNormFP a = Exact({FromBits(0x3f0c1479)});
  const CNormFP b = Exact({FromBits(0x3f6b95c7)});
  ASSERT_EQ(a[0], FromBits(0x3f0c1479));
  const CNormFP m(a, 3, b, 1);
  EXPECT_EQ(m[0], FromBits(0x3f23f4cd));
}

TEST_F(FingerprintTest, MatrixInsertIndexCopyAndSimilarityRow) {
  CFingerprint::SetLength(3);
  CNormFPMtx mtx;
  const std::vector<std::vector<float>> values = {
      {1, 2, 3}, {3, 2, 1}, {0, 0, 1}, {5, -1, 2}, {1, 1, 1}, {-2, 7, 0.5f}};
  for (const auto& v : values) {
    std::ostringstream text;
    for (float x : v) text << x << ' ';
    std::istringstream in(text.str());
    mtx.Insert(CNormFP(in));
  }
  ASSERT_EQ(mtx.Size(), 6u);
  EXPECT_EQ(ThrownText([&] { (void)mtx[6]; }), "CNormFPMtx::operator[] - index is out of scope");
  // (3,4,0)-style check of normalization on a stored row: (0,0,1) is unit.
  EXPECT_EQ(mtx[2][2], 1.0f);

  for (unsigned int i = 0; i < mtx.Size(); ++i) {
    for (unsigned int first = 0; first <= mtx.Size(); ++first) {
      std::vector<double> row(mtx.Size() - first + 1, -7.0);
      mtx.SimilarityRow(i, first, row.data());
      for (unsigned int j = first; j < mtx.Size(); ++j) {
        EXPECT_EQ(row[j - first], mtx[i].Similarity(mtx[j])) << i << "," << j;
      }
      EXPECT_EQ(row.back(), -7.0);
    }
  }

  const CNormFPMtx copy(mtx);
  ASSERT_EQ(copy.Size(), mtx.Size());
  for (unsigned int i = 0; i < mtx.Size(); ++i) {
    EXPECT_NE(&copy[i], &mtx[i]);
    for (unsigned int j = 0; j < 3; ++j) EXPECT_EQ(copy[i][j], mtx[i][j]);
    EXPECT_EQ(copy[i].GetFactor(), mtx[i].GetFactor());
  }
  EXPECT_TRUE(copy.IsInsertionAllowed());

  mtx.SetInsertionAllowed(false);
  EXPECT_EQ(ThrownText([&] { mtx.Insert(copy[0]); }), "CNormFPMtx::Insert - Insertion is illegal");
  EXPECT_EQ(mtx.Size(), 6u);
}

class FpnFileTest : public FingerprintTest {
 protected:
  void SetUp() override {
    FingerprintTest::SetUp();
    char tmpl[] = "/tmp/fpn_test_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    std::string cmd = "rm -rf '" + dir_ + "'";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    FingerprintTest::TearDown();
  }
  std::string dir_;
};

TEST_F(FpnFileTest, SaveWritesHeaderAndRowsAndHonoursOverwriteFlag) {
  CFingerprint::SetLength(2);
  CNormFPMtx mtx;
  for (const char* text : {"3 4", "0 2", "1 1"}) {
    std::istringstream in(text);
    mtx.Insert(CNormFP(in));
  }
  const std::string prefix = dir_ + "/out.dp";
  mtx.Save(prefix, true);
  const std::string expected = "3\t2\n0.6 0.8 \n0 1 \n0.707107 0.707107 \n";
  EXPECT_EQ(ReadFile(prefix + ".fpn"), expected);

  { std::ofstream(prefix + ".fpn") << "old content"; }
  mtx.Save(prefix, false);
  EXPECT_EQ(ReadFile(prefix + ".fpn"), "old content");
  mtx.Save(prefix, true);
  EXPECT_EQ(ReadFile(prefix + ".fpn"), expected);

  const CNormFPMtx empty;
  empty.Save(dir_ + "/empty", false);
  EXPECT_EQ(ReadFile(dir_ + "/empty.fpn"), "0\t2\n");

  EXPECT_EQ(ThrownText([&] { mtx.Save(dir_ + "/no/such/dir/x", true); }),
            "CNormFPMtx::Save - problems opening out file");
}

}  // namespace
