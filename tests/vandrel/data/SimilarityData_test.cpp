// Similarity tables: the reading rules of `.sim` files, saving, and the
// all-pairs computation over fingerprints (checked against Pearson
// correlation and cosine computed here, and against a replay of the
// generator for the model sample).
#include "vandrel/data/SimilarityData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>
#include <tuple>

#include "tests/vandrel/data/SimDataTestUtil.h"
#include "vandrel/data/FPData.h"
#include "vandrel/data/Fingerprint.h"
#include "vandrel/data/NumberText.h"
#include "vandrel/graph/IDHash.h"
#include "vandrel/stats/DataFileAnalyzer.h"
#include "vandrel/stats/Random.h"
#include "vandrel/stats/SimDistrib.h"

namespace {

using simdata_test::TempDir;
using simdata_test::ThrownMessage;
using simdata_test::WriteFile;

using Triple = std::tuple<unsigned, unsigned, double>;

std::vector<Triple> Stored(const CSimilarityData& d) {
  std::vector<Triple> out;
  for (const auto& e : d.GetValues()) out.emplace_back(e.GetFirst(), e.GetSecond(), e.GetValue());
  return out;
}

// Counters recomputed from the stored values.
void ExpectCountersMatch(const CSimilarityData& d) {
  const unsigned n = static_cast<unsigned>(d.GetNames().size());
  std::vector<unsigned> bigger(n, 0), smaller(n, 0);
  for (const auto& e : d.GetValues()) {
    const unsigned lo = std::min(e.GetFirst(), e.GetSecond());
    const unsigned hi = std::max(e.GetFirst(), e.GetSecond());
    ++bigger[lo];
    ++smaller[hi];
  }
  for (unsigned i = 0; i < n; ++i) {
    EXPECT_EQ(d.GetSimValsNumToBigger(i), bigger[i]) << "index " << i;
    EXPECT_EQ(d.GetSimValsNumToSmaller(i), smaller[i]) << "index " << i;
  }
}

std::string WithLineEnds(const std::string& text, const std::string& eol) {
  std::string out;
  for (char c : text) {
    if (c == '\n')
      out += eol;
    else
      out += c;
  }
  return out;
}

// Every reading rule in one file: a pair with first >= second, the threshold
// boundary, a pair repeated within its group (first appearance counts even
// when it is not stored), lines starting with a blank, a letter or nothing,
// and extra tokens after the value.
const char* const kRulesFile =
    "NAMES:\n"
    "n0\nn1\nn2\nn3\nn4\nn5\nn6\n"
    "VALUES:\n"
    "0\t1\t0.9\n"
    "0\t2\t0.5\n"
    "0\t3\t0.5000001\n"
    "1\t3\t0.7\n"
    " 1\t4\t0.9\n"
    "x comment 1 2 0.9\n"
    "\n"
    "2\t5\t0.8\n"
    "2\t5\t0.3\n"
    "2\t6\t0.3\n"
    "2\t6\t0.9\n"
    "3\t1\t0.9\n"
    "3\t3\t0.9\n"
    "4\t6\t0.6\textra 7 8\n";

TEST(SimilarityDataReadValsFile, AppliesTheReadingRulesWithLfAndCrlf) {
  const std::vector<Triple> expected = {
      {0, 1, 0.9}, {0, 3, 0.5000001}, {1, 3, 0.7}, {2, 5, 0.8}, {4, 6, 0.6}};
  for (const std::string eol : {"\n", "\r\n"}) {
    SCOPED_TRACE(eol == "\n" ? "LF" : "CRLF");
    TempDir dir;
    WriteFile(dir / "t.sim", WithLineEnds(kRulesFile, eol));
    CSimilarityData d;
    d.ReadValsFile(dir / "t", 0.5);
    EXPECT_EQ(d.GetNames(), (std::vector<std::string>{"n0", "n1", "n2", "n3", "n4", "n5", "n6"}));
    EXPECT_EQ(Stored(d), expected);
    ExpectCountersMatch(d);
    for (unsigned k = 0; k < 7; ++k) EXPECT_EQ(d.GetIDHash()[k], k);
    EXPECT_EQ(d.GetSimValsNumToBigger(0), 2u);
    EXPECT_EQ(d.GetSimValsNumToSmaller(3), 2u);
  }
}

TEST(SimilarityDataReadValsFile, GroupMarksAreClearedWhenTheFirstIndexChanges) {
  // (0,1) in two separate groups of index 0 counts twice; within one group once.
  TempDir dir;
  WriteFile(dir / "g.sim",
            "NAMES:\na b c\nVALUES:\n0 1 0.9\n0 1 0.8\n1 2 0.7\n0 1 0.6\n");
  CSimilarityData d;
  d.ReadValsFile(dir / "g", 0.0);
  EXPECT_EQ(Stored(d), (std::vector<Triple>{{0, 1, 0.9}, {1, 2, 0.7}, {0, 1, 0.6}}));
  ExpectCountersMatch(d);
}

TEST(SimilarityDataReadValsFile, Failures) {
  struct Case {
    const char* name;
    const char* content;  // null: no file
    const char* message;
    bool indexLine;       // the error stream gets the index line first
  };
  const Case cases[] = {
      {"missing", nullptr, "CSimilarityData::ReadValsFile - problems opening file", false},
      {"bad header", "NAME:\na\nVALUES:\n", "CSimilarityData::ReadValsFile - illegal file format",
       false},
      {"empty", "", "CSimilarityData::ReadValsFile - illegal file format", false},
      {"first index", "NAMES:\na b\nVALUES:\n2 1 0.5\n",
       "CSimilarityData::ReadValsFile - name index is out of scope", true},
      {"second index", "NAMES:\na b\nVALUES:\n0 2 0.5\n",
       "CSimilarityData::ReadValsFile - name index is out of scope", true},
      {"huge index", "NAMES:\na b\nVALUES:\n0 4294967296 0.5\n",
       "CSimilarityData::ReadValsFile - name index is out of scope", true},
      {"no value", "NAMES:\na b\nVALUES:\n0 1\n",
       "CSimilarityData::CElement constructor - problems reading file", false},
      {"letter index", "NAMES:\na b\nVALUES:\n0 x 0.5\n",
       "CSimilarityData::CElement constructor - problems reading file", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    if (c.content) WriteFile(dir / "f.sim", c.content);
    CSimilarityData d;
    testing::internal::CaptureStderr();
    const std::string msg = ThrownMessage([&] { d.ReadValsFile(dir / "f", 0.0); });
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(msg, c.message);
    EXPECT_EQ(err, c.indexLine ? "illegal element index in similarity data file\n" : "");
  }
}

TEST(SimilarityData, CounterAccessRejectsIndicesBeyondTheElements) {
  TempDir dir;
  WriteFile(dir / "c.sim", "NAMES:\na b\nVALUES:\n0 1 0.5\n");
  CSimilarityData d;
  d.ReadValsFile(dir / "c", 0.0);
  EXPECT_EQ(ThrownMessage([&] { d.GetSimValsNumToBigger(2); }),
            "CSimilarityData::GetSimValsNumToBigger - name index is out of scope");
  EXPECT_EQ(ThrownMessage([&] { d.GetSimValsNumToSmaller(2); }),
            "CSimilarityData::GetSimValsNumToSmaller - name index is out of scope");
}

TEST(SimilarityDataSave, WritesTheFileAndHonoursTheOverwriteFlag) {
  TempDir dir;
  WriteFile(dir / "in.sim", "NAMES:\nalpha beta gamma\nVALUES:\n0 2 0.123456789\n1 2 -0.25\n");
  simdata_test::WriteDistrib(dir / "model", 0.1, 0.8, 0.1, 0.1, 0.2);
  CSimilarityData d;
  d.ReadValsFile(dir / "in", -1.0);
  d.SetSimDistrib(std::make_unique<CSimDistrib>(dir / "model"));

  const std::string expected = "NAMES:\nalpha\nbeta\ngamma\nVALUES:\n0\t2\t0.123457\n1\t2\t-0.25\n";
  d.Save(dir / "out", true);
  EXPECT_EQ(simdata_test::ReadFile(dir / "out.sim"), expected);
  EXPECT_EQ(simdata_test::ReadFile(dir / "out.distrib"),
            "P_MATES\t0.1\nNormDistrib\nEXP\t0.8\nSTD\t0.1\nNormDistrib\nEXP\t0.1\nSTD\t0.2\n");

  // Overwrite false: an existing .sim stays, the model is still saved.
  WriteFile(dir / "keep.sim", "old");
  d.Save(dir / "keep", false);
  EXPECT_EQ(simdata_test::ReadFile(dir / "keep.sim"), "old");
  EXPECT_TRUE(simdata_test::Exists(dir / "keep.distrib"));
  // Overwrite true rewrites it.
  d.Save(dir / "keep", true);
  EXPECT_EQ(simdata_test::ReadFile(dir / "keep.sim"), expected);

  EXPECT_EQ(ThrownMessage([&] { d.Save(dir / "no/such/dir/x", true); }),
            "CSimilarityData::Save - problems opening file");
}

// ---------------------------------------------------------------------------
// Similarity input through the SD analyzer

TEST(SimilarityDataFromSDInput, ListedElementsAreReadPerElementGroup) {
  // Groups out of order, a repeated pair, a pair with first > second, pairs
  // whose partner is not listed, a blank line.
  const std::string file =
      "NAMES:\nn0 n1 n2 n3 n4 n5 n6 n7 n8 n9\nVALUES:\n"
      "3\t5\t0.9\n3\t7\t0.4\n3\t5\t0.5\n3\t1\t0.8\n\n"
      "0\t3\t0.7\n0\t5\t0.2\n0\t9\t0.95\n"
      "5\t7\t0.6\n"
      "7\t8\t0.3\n";
  for (const std::string eol : {"\n", "\r\n"}) {
    SCOPED_TRACE(eol == "\n" ? "LF" : "CRLF");
    TempDir dir;
    WriteFile(dir / "sd.sim", WithLineEnds(file, eol));
    simdata_test::WriteDistrib(dir / "sd", 0.1, 0.8, 0.1, 0.2, 0.2);
    vandrel::Srand(8);
    CSDDataFileAnalyzer analyzer(dir / "sd");
    const std::uint32_t seed = vandrel::RandState();
    const std::vector<unsigned> ids = {5, 0, 3, 7};
    CSimilarityData d(analyzer, 0.35, ids);

    EXPECT_EQ(d.GetNames(), (std::vector<std::string>{"n5", "n0", "n3", "n7"}));
    for (unsigned k = 0; k < ids.size(); ++k) EXPECT_EQ(d.GetIDHash()[ids[k]], k);
    EXPECT_EQ(Stored(d), (std::vector<Triple>{{0, 3, 0.6}, {1, 2, 0.7}, {2, 0, 0.9}, {2, 3, 0.4}}));
    ExpectCountersMatch(d);
    EXPECT_EQ(d.GetSimValsNumToSmaller(2), 2u);  // (2,0) and (1,2)
    // Five sampled values: no thinning draw, the new model's simulation
    // starts right after the analyzer's.
    vandrel::Srand(seed);
    CSimDistrib replay(std::vector<double>(5, 0.5), analyzer.GetSimDistrib());
    EXPECT_EQ(d.GetSimDistrib()->GetSimWeights(0), replay.GetSimWeights(0));

    // No id list: every element, the whole file, a copy of the analyzer's model.
    const std::uint32_t before = vandrel::RandState();
    CSimilarityData all(analyzer, 0.35);
    EXPECT_EQ(vandrel::RandState(), before);
    CSimilarityData direct;
    direct.ReadValsFile(dir / "sd", 0.35);
    EXPECT_EQ(Stored(all), Stored(direct));
    EXPECT_EQ(all.GetNames(), direct.GetNames());
    for (unsigned k = 0; k < 10; ++k) EXPECT_EQ(all.GetIDHash()[k], k);
    EXPECT_EQ(all.GetSimDistrib()->GetSimWeights(1), analyzer.GetSimDistrib()->GetSimWeights(1));

    EXPECT_EQ(ThrownMessage([&] { CSimilarityData bad(analyzer, 0.35, {1, 10}); }),
              "CSimilarityData::ReadElementVals - name index is out of scope");
  }
}

TEST(SimilarityDataFromSDInput, ModelSampleIsThinnedInSampleOrder) {
  // 300 elements, every pair once: the 299 listed elements give 44551
  // sampled values, each kept when its draw is at most 30000/44551.
  TempDir dir;
  std::ostringstream s;
  s << "NAMES:\n";
  for (int i = 0; i < 300; ++i) s << "e" << i << "\n";
  s << "VALUES:\n";
  std::vector<double> expectedSample;
  for (int i = 0; i < 300; ++i)
    for (int j = i + 1; j < 300; ++j) {
      std::ostringstream v;
      v << std::fmod(i * 0.013 + j * 0.029, 1.3) - 0.3;
      s << i << "\t" << j << "\t" << v.str() << "\n";
      if (j < 299) expectedSample.push_back(std::stod(v.str()));
    }
  WriteFile(dir / "big.sim", s.str());
  simdata_test::WriteDistrib(dir / "big", 0.1, 0.8, 0.1, 0.2, 0.2);
  CSDDataFileAnalyzer analyzer(dir / "big");
  std::vector<unsigned> ids;
  for (unsigned i = 0; i < 299; ++i) ids.push_back(i);
  const std::uint32_t seed = vandrel::RandState();
  CSimilarityData d(analyzer, 0.9, ids);

  ASSERT_EQ(expectedSample.size(), 44551u);
  vandrel::Srand(seed);
  std::vector<double> kept;
  for (double v : expectedSample)
    if (vandrel::Rand() * (1.0 / 32767.0) <= 30000.0 / 44551.0) kept.push_back(v);
  CSimDistrib replay(kept, analyzer.GetSimDistrib());
  const CSimDistrib& got = *d.GetSimDistrib();
  EXPECT_EQ(got.GetPMates(), replay.GetPMates());
  for (int c = 0; c < 2; ++c) {
    EXPECT_EQ(got.GetDistrib(c)->GetExp(), replay.GetDistrib(c)->GetExp());
    EXPECT_EQ(got.GetDistrib(c)->GetStd(), replay.GetDistrib(c)->GetStd());
  }
  // Stored values: those above 0.9 among listed pairs.
  std::size_t above = 0;
  for (double v : expectedSample) above += v > 0.9;
  EXPECT_EQ(d.GetValues().size(), above);
}

// ---------------------------------------------------------------------------
// Fingerprints

struct FPCase {
  bool correlation;
  const char* suffix;
};

class SIMnFPDataAllPairs : public testing::TestWithParam<FPCase> {};

TEST_P(SIMnFPDataAllPairs, ValuesAgreeWithIndependentSimilarities) {
  const FPCase c = GetParam();
  TempDir dir;
  simdata_test::HandlerScope handler(c.correlation);
  const auto rows = simdata_test::MakeProfiles(30, 12, 7);
  simdata_test::WriteOrig(dir / "fp", rows);
  vandrel::Srand(11);
  CFPDataFileAnalyzer analyzer(dir / "fp");
  const double threshold = 0.2;

  const std::uint32_t before = vandrel::RandState();
  CSIMnFPData data(analyzer, threshold);
  // A copy of the analyzer's model and no sample: no draw at all.
  EXPECT_EQ(vandrel::RandState(), before);
  EXPECT_EQ(data.GetSimDistrib()->GetPMates(), analyzer.GetSimDistrib()->GetPMates());

  std::map<std::pair<unsigned, unsigned>, double> stored;
  std::pair<unsigned, unsigned> last(0, 0);
  for (const auto& e : data.GetValues()) {
    ASSERT_LT(e.GetFirst(), e.GetSecond());
    const std::pair<unsigned, unsigned> key(e.GetFirst(), e.GetSecond());
    if (!stored.empty()) {
      EXPECT_LT(last, key) << "values not in i-then-j order";
    }
    last = key;
    stored[key] = e.GetValue();
  }
  const double tol = 1e-5;
  int above = 0;
  for (unsigned i = 0; i < rows.size(); ++i)
    for (unsigned j = i + 1; j < rows.size(); ++j) {
      const double expected = c.correlation ? simdata_test::Pearson(rows[i], rows[j])
                                            : simdata_test::Cosine(rows[i], rows[j]);
      auto it = stored.find({i, j});
      if (expected > threshold + tol) {
        ++above;
        ASSERT_NE(it, stored.end()) << i << "," << j;
        EXPECT_NEAR(it->second, expected, tol) << i << "," << j;
      } else if (expected < threshold - tol) {
        EXPECT_EQ(it, stored.end()) << i << "," << j;
      }
    }
  EXPECT_GT(above, 20);
  ExpectCountersMatch(data);
  ASSERT_EQ(data.GetNames().size(), rows.size());
  for (unsigned k = 0; k < rows.size(); ++k) {
    EXPECT_EQ(data.GetNames()[k], "g" + std::to_string(k));
    EXPECT_EQ(data.GetIDHash()[k], k);
  }

  // Saving writes <prefix><suffix>.sim/.distrib/.fpn; a later table over all
  // elements reads that cache instead of computing.
  data.Save(dir / "fp", false);
  const std::string cache = dir / (std::string("fp") + c.suffix);
  ASSERT_TRUE(simdata_test::Exists(cache + ".sim"));
  EXPECT_TRUE(simdata_test::Exists(cache + ".distrib"));
  EXPECT_TRUE(simdata_test::Exists(cache + ".fpn"));
  std::string text = simdata_test::ReadFile(cache + ".sim");
  text += "3\t9\t0.987654\n";  // a value only the cache holds
  WriteFile(cache + ".sim", text);
  CSIMnFPData cached(analyzer, threshold);
  ASSERT_FALSE(cached.GetValues().empty());
  const auto& lastValue = cached.GetValues().back();
  EXPECT_EQ(lastValue.GetFirst(), 3u);
  EXPECT_EQ(lastValue.GetSecond(), 9u);
  EXPECT_DOUBLE_EQ(lastValue.GetValue(), 0.987654);
  EXPECT_EQ(cached.GetValues().size(), data.GetValues().size() + 1);

  // A cache over a different set of elements is not used at all: the
  // values are computed again.
  WriteFile(cache + ".sim", "NAMES:\ng0 g1\nVALUES:\n0\t1\t0.5\n");
  CSIMnFPData stale(analyzer, threshold);
  EXPECT_EQ(stale.GetNames().size(), rows.size());
  EXPECT_EQ(stale.GetValues().size(), data.GetValues().size());
}

INSTANTIATE_TEST_SUITE_P(Measures, SIMnFPDataAllPairs,
                         testing::Values(FPCase{true, ".co"}, FPCase{false, ".dp"}),
                         [](const testing::TestParamInfo<FPCase>& info) {
                           return std::string(info.param.correlation ? "Correlation"
                                                                     : "DotProduct");
                         });

// A computed table over all elements holds what its saved `.sim` gives back:
// each value as its 6-digit text reads, and only those still above the
// threshold, so a table read from that file is the same bit for bit.  The
// threshold is put on the 6-digit value of a pair whose text rounds down:
// that pair is above it in full precision and dropped.
TEST(SIMnFPDataAllPairs, ComputedTableIsTheTableItsSavedFileGives) {
  for (bool correlation : {true, false}) {
    TempDir dir;
    simdata_test::HandlerScope handler(correlation);
    simdata_test::WriteOrig(dir / "fp", simdata_test::MakeProfiles(40, 9, 5));
    CFPDataFileAnalyzer analyzer(dir / "fp");
    const CNormFPMtx& fps = analyzer.GetFPData().GetNormFPMtx();
    const unsigned n = static_cast<unsigned>(fps.Size());
    std::vector<std::tuple<unsigned, unsigned, double>> raw;
    for (unsigned i = 0; i < n; ++i)
      for (unsigned j = i + 1; j < n; ++j) raw.emplace_back(i, j, fps[i].Similarity(fps[j]));
    std::vector<double> sorted;
    for (const auto& r : raw) sorted.push_back(std::get<2>(r));
    std::sort(sorted.begin(), sorted.end());
    double threshold = 0.0;
    for (std::size_t k = sorted.size() / 2; k < sorted.size(); ++k)
      if (vandrel::AsWritten(sorted[k]) < sorted[k]) {
        threshold = vandrel::AsWritten(sorted[k]);
        break;
      }
    ASSERT_NE(threshold, 0.0);

    CSIMnFPData computed(analyzer, threshold);
    std::vector<std::tuple<unsigned, unsigned, double>> want;
    std::size_t droppedByText = 0;
    for (const auto& [i, j, v] : raw) {
      if (!(v > threshold)) continue;
      if (vandrel::AsWritten(v) > threshold)
        want.emplace_back(i, j, vandrel::AsWritten(v));
      else
        ++droppedByText;
    }
    EXPECT_GE(droppedByText, 1u);
    std::vector<std::tuple<unsigned, unsigned, double>> got;
    for (const auto& e : computed.GetValues()) got.emplace_back(e.GetFirst(), e.GetSecond(), e.GetValue());
    EXPECT_EQ(got, want);
    ExpectCountersMatch(computed);

    computed.Save(dir / "fp", false);
    CSIMnFPData read(analyzer, threshold);
    std::vector<std::tuple<unsigned, unsigned, double>> again;
    for (const auto& e : read.GetValues()) again.emplace_back(e.GetFirst(), e.GetSecond(), e.GetValue());
    EXPECT_EQ(again, want);
    for (unsigned k = 0; k < n; ++k) {
      EXPECT_EQ(read.GetSimValsNumToBigger(k), computed.GetSimValsNumToBigger(k));
      EXPECT_EQ(read.GetSimValsNumToSmaller(k), computed.GetSimValsNumToSmaller(k));
    }
  }
}

TEST(SIMnFPDataSubset, ListedElementsInListOrderWithTheirOwnModel) {
  TempDir dir;
  simdata_test::HandlerScope handler(true);
  const auto rows = simdata_test::MakeProfiles(12, 8, 3);
  simdata_test::WriteOrig(dir / "fp", rows);
  vandrel::Srand(5);
  CFPDataFileAnalyzer analyzer(dir / "fp");
  const std::vector<unsigned> ids = {7, 2, 11, 4, 0};

  const std::uint32_t seed = vandrel::RandState();
  CSIMnFPData data(analyzer, -10000000.0, ids);

  ASSERT_EQ(data.GetNames().size(), ids.size());
  for (unsigned k = 0; k < ids.size(); ++k) {
    EXPECT_EQ(data.GetNames()[k], "g" + std::to_string(ids[k]));
    EXPECT_EQ(data.GetIDHash()[ids[k]], k);
    for (unsigned j = 0; j < 8; ++j)
      EXPECT_EQ(data.GetNormFPMtx()[k][j], analyzer.GetFPData().GetNormFPMtx()[ids[k]][j]);
  }
  // Every pair of local indices, i-then-j order, with the similarity of the ids.
  std::vector<std::pair<unsigned, unsigned>> order;
  for (const auto& e : data.GetValues()) {
    order.emplace_back(e.GetFirst(), e.GetSecond());
    EXPECT_NEAR(e.GetValue(), simdata_test::Pearson(rows[ids[e.GetFirst()]], rows[ids[e.GetSecond()]]),
                1e-5);
  }
  std::vector<std::pair<unsigned, unsigned>> expectedOrder;
  for (unsigned i = 0; i < ids.size(); ++i)
    for (unsigned j = i + 1; j < ids.size(); ++j) expectedOrder.emplace_back(i, j);
  EXPECT_EQ(order, expectedOrder);
  ExpectCountersMatch(data);

  // Ten pairs, ten draws, then the new model's weight simulation: a model
  // built after exactly ten draws has the same simulated weights.  With
  // fewer than 5000 values the fit keeps the starting (analyzer's) model.
  ASSERT_NE(data.GetSimDistrib(), analyzer.GetSimDistrib());
  vandrel::Srand(seed);
  for (int i = 0; i < 10; ++i) vandrel::Rand();
  CSimDistrib replay(std::vector<double>(10, 0.5), analyzer.GetSimDistrib());
  EXPECT_EQ(data.GetSimDistrib()->GetSimWeights(0), replay.GetSimWeights(0));
  EXPECT_EQ(data.GetSimDistrib()->GetPMates(), analyzer.GetSimDistrib()->GetPMates());
}

TEST(SIMnFPDataSubset, ModelSampleIsThinnedByOneDrawPerPairInOrder) {
  // 250 listed elements: 31125 pairs, each joins the sample when its draw is
  // at most 30000/31125.  The replay below rebuilds that sample and the fit.
  TempDir dir;
  simdata_test::HandlerScope handler(false);
  const auto rows = simdata_test::MakeProfiles(251, 4, 9);
  simdata_test::WriteOrig(dir / "fp", rows);
  vandrel::Srand(21);
  CFPDataFileAnalyzer analyzer(dir / "fp");
  std::vector<unsigned> ids;
  for (unsigned i = 0; i < 250; ++i) ids.push_back(i);

  const std::uint32_t seed = vandrel::RandState();
  CSIMnFPData data(analyzer, 0.99, ids);

  const CNormFPMtx& fps = analyzer.GetFPData().GetNormFPMtx();
  const double q = 30000.0 / 31125.0;
  vandrel::Srand(seed);
  std::vector<double> sample;
  for (unsigned i = 0; i < 250; ++i)
    for (unsigned j = i + 1; j < 250; ++j) {
      const double r = vandrel::Rand() * (1.0 / 32767.0);
      if (r <= q) sample.push_back(fps[i].Similarity(fps[j]));
    }
  EXPECT_GT(sample.size(), 29500u);
  EXPECT_LT(sample.size(), 30500u);
  CSimDistrib replay(sample, analyzer.GetSimDistrib());
  const CSimDistrib& got = *data.GetSimDistrib();
  EXPECT_EQ(got.GetPMates(), replay.GetPMates());
  for (int c = 0; c < 2; ++c) {
    EXPECT_EQ(got.GetDistrib(c)->GetExp(), replay.GetDistrib(c)->GetExp());
    EXPECT_EQ(got.GetDistrib(c)->GetStd(), replay.GetDistrib(c)->GetStd());
  }
  EXPECT_EQ(got.GetSimWeights(1), replay.GetSimWeights(1));
}

}  // namespace
