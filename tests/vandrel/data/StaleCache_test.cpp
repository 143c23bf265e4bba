// Cached similarity tables of fingerprint data (`<prefix><suffix>.sim` with
// its `.distrib` model): a cache that lists the fingerprints' elements is
// read and trusted; one that lists other elements (other names, or another
// count) was written for other data, so it and its model are ignored, the
// values and the model are computed afresh, and the save replaces them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SimDataTestUtil.h"
#include "vandrel/data/SimFileParsing.h"
#include "vandrel/data/SimilarityData.h"
#include "vandrel/stats/DataFileAnalyzer.h"
#include "vandrel/stats/NormDistrib.h"
#include "vandrel/stats/SimDistrib.h"

namespace {

using namespace simdata_test;

constexpr unsigned kGenes = 8;
// A model no fit of the test data would produce.
constexpr double kForeignPMates = 0.123;

std::string SimText(const std::vector<std::string>& names, const std::string& values) {
  std::string text = "NAMES:\n";
  for (const auto& n : names) text += n + "\n";
  return text + "VALUES:\n" + values;
}

std::vector<std::string> GeneNames(unsigned n) {
  std::vector<std::string> names;
  for (unsigned i = 0; i < n; ++i) names.push_back("g" + std::to_string(i));
  return names;
}

class StaleCache : public ::testing::Test {
 protected:
  void SetUp() override {
    if (CNormDistrib::m_manyDraws.empty()) CNormDistrib::InitManyDraws();
    m_prefix = m_dir / "in";
    WriteOrig(m_prefix, MakeProfiles(kGenes, 12, 77));
    WriteDistrib(m_prefix + ".co", kForeignPMates, 0.9, 0.05, 0.0, 0.3);
  }

  TempDir m_dir;
  std::string m_prefix;
};

struct CacheCase {
  const char* what;
  std::vector<std::string> names;
};

TEST_F(StaleCache, CacheOfOtherElementsIsIgnoredAndReplaced) {
  std::vector<std::string> renamed = GeneNames(kGenes);
  renamed[5] = "other5";
  const std::vector<CacheCase> cases = {
      {"one name differs", renamed},
      {"one element fewer", GeneNames(kGenes - 1)},
      {"one element more", GeneNames(kGenes + 1)},
      {"same names, other order", [] {
         auto n = GeneNames(kGenes);
         std::swap(n[0], n[1]);
         return n;
       }()},
  };
  for (const CacheCase& c : cases) {
    SCOPED_TRACE(c.what);
    HandlerScope handler(true);
    WriteFile(m_prefix + ".co.sim", SimText(c.names, "0\t1\t0.99\n"));
    WriteDistrib(m_prefix + ".co", kForeignPMates, 0.9, 0.05, 0.0, 0.3);

    CFPDataFileAnalyzer analyzer(m_prefix);
    // The foreign model is not taken.
    EXPECT_NE(analyzer.GetSimDistrib()->GetPMates(), kForeignPMates);

    CSIMnFPData table(analyzer, -1000000.0);
    EXPECT_EQ(table.GetNames(), GeneNames(kGenes));
    // Every pair computed, none taken from the cache.
    EXPECT_EQ(table.GetValues().size(), kGenes * (kGenes - 1) / 2);

    // Saving without the overwrite flag still replaces the foreign caches.
    table.Save(m_prefix, false);
    CSimilarityData back;
    back.ReadValsFile(m_prefix + ".co", -1000000.0);
    EXPECT_EQ(back.GetNames(), GeneNames(kGenes));
    EXPECT_EQ(back.GetValues().size(), kGenes * (kGenes - 1) / 2);
    CSimDistrib model(m_prefix + ".co");
    EXPECT_NE(model.GetPMates(), kForeignPMates);
    EXPECT_TRUE(Exists(m_prefix + ".co.fpn"));
  }
}

TEST_F(StaleCache, CacheOfTheSameElementsIsTrusted) {
  HandlerScope handler(true);
  const std::string cached = SimText(GeneNames(kGenes), "0\t1\t0.99\n2\t3\t0.98\n");
  WriteFile(m_prefix + ".co.sim", cached);

  CFPDataFileAnalyzer analyzer(m_prefix);
  EXPECT_DOUBLE_EQ(analyzer.GetSimDistrib()->GetPMates(), kForeignPMates);
  CSIMnFPData table(analyzer, -1000000.0);
  ASSERT_EQ(table.GetValues().size(), 2u);
  EXPECT_DOUBLE_EQ(table.GetValues()[0].GetValue(), 0.99);

  table.Save(m_prefix, false);
  EXPECT_EQ(ReadFile(m_prefix + ".co.sim"), cached);
}

TEST(SimFileNamesMatch, ComparesTheNamesSectionOnly) {
  TempDir dir;
  const std::vector<std::string> names = {"a", "b", "c"};
  struct Case {
    const char* text;
    bool match;
  };
  const std::vector<Case> cases = {
      {"NAMES:\na\nb\nc\nVALUES:\n0\t1\t0.5\n", true},
      {"NAMES:\r\na\r\nb\r\nc\r\nVALUES:\r\n", true},
      {"NAMES:\na\nb\nVALUES:\n", false},
      {"NAMES:\na\nb\nc\nd\nVALUES:\n", false},
      {"NAMES:\na\nb\nc\n", false},  // cut before the values section
      {"NAMES:\na\nc\nb\nVALUES:\n", false},
      {"VALUES:\n", false},
      {"", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    WriteFile(dir / "t.sim", c.text);
    EXPECT_EQ(vandrel::SimFileNamesMatch(dir / "t.sim", names), c.match);
  }
  EXPECT_FALSE(vandrel::SimFileNamesMatch(dir / "absent.sim", names));
}

}  // namespace
