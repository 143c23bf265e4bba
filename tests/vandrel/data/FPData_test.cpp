// Reading the fingerprint input file <prefix>.orig.
#include "vandrel/data/FPData.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "vandrel/data/SimHandler.h"

namespace {

class FPDataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetFingerprintStateForTests();
    handler_ = std::make_unique<CDotProductSimHandler>(new CMeanSqNorm(0), new CDotProductSim);
    CNormFP::SetSimilarityHandler(handler_.get());
    char tmpl[] = "/tmp/orig_test_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    std::string cmd = "rm -rf '" + dir_ + "'";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    ResetFingerprintStateForTests();
  }

  // Writes <dir>/in.orig and returns the prefix.
  std::string Orig(const std::string& content) {
    std::ofstream(dir_ + "/in.orig", std::ios::binary) << content;
    return dir_ + "/in";
  }

  std::string ThrownText(const std::string& content) {
    const std::string prefix = Orig(content);
    try {
      CFPData data(prefix);
    } catch (const char* m) {
      return m;
    }
    return "(nothing thrown)";
  }

  std::unique_ptr<CSimilarityHandler> handler_;
  std::string dir_;
};

// Fingerprints are normalized to unit length (DOTPRODUCT), so (3, 4) is
// stored as (0.6, 0.8) and (0, 5) as (0, 1).
TEST_F(FPDataTest, ReadsRecordsInOrderWithTheirNames) {
  struct Case {
    const char* what;
    const char* content;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {"plain", "2 2 anything here\ng1 3 4\ng2 0 5\n", {"g1", "g2"}},
      {"only the declared number is read", "2 2\ng1 3 4\ng2 0 5\ng3 1 1\ng4 x\n", {"g1", "g2"}},
      {"values span lines, extras ignored", "2 2\ng1\t3\n 4 99 98\ng2 0 5 garbage\n", {"g1", "g2"}},
      {"blank lines and trailing blanks", "\n2 2\n\ng1 3 4\n\n\ng2 0 5\n\n   \n\n", {"g1", "g2"}},
      {"carriage returns and no final line end", "2 2\r\ng1 3 4\r\ng2 0 5", {"g1", "g2"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetFingerprintStateForTests();
    CNormFP::SetSimilarityHandler(handler_.get());
    const CFPData data(Orig(c.content));
    EXPECT_EQ(data.GetNames(), c.names);
    const CNormFPMtx& m = data.GetNormFPMtx();
    ASSERT_EQ(m.Size(), 2u);
    EXPECT_EQ(CFingerprint::GetLength(), 2u);
    EXPECT_EQ(m[0][0], 0.6f);
    EXPECT_EQ(m[0][1], 0.8f);
    EXPECT_EQ(m[0].GetFactor(), 5.0);
    EXPECT_EQ(m[1][0], 0.0f);
    EXPECT_EQ(m[1][1], 1.0f);
  }
}

TEST_F(FPDataTest, MatrixRefusesInsertionAfterReading) {
  CFPData data(Orig("1 2\na 3 4\n"));
  CNormFPMtx& m = const_cast<CNormFPMtx&>(data.GetNormFPMtx());
  try {
    m.Insert(data.GetNormFPMtx()[0]);
    FAIL() << "insertion accepted";
  } catch (const char* msg) {
    EXPECT_STREQ(msg, "CNormFPMtx::Insert - Insertion is illegal");
  }
}

TEST_F(FPDataTest, EmptyDeclarationAndZeroLength) {
  const CFPData none(Orig("0 3\n"));
  EXPECT_EQ(none.GetNormFPMtx().Size(), 0u);
  ResetFingerprintStateForTests();
  CNormFP::SetSimilarityHandler(handler_.get());
  const CFPData zeroLength(Orig("2 0\na\nb 17\n"));
  EXPECT_EQ(zeroLength.GetNames(), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(zeroLength.GetNormFPMtx()[0].Similarity(zeroLength.GetNormFPMtx()[1]), 0.0);
}

TEST_F(FPDataTest, MalformedFilesFailWithTheirMessage) {
  const std::string illegal = "CFPData constructor - input file format is illegal";
  const std::string count = "CFPData constructor - number of fingerprints does not match declared number";
  struct Case {
    const char* what;
    const char* content;
    const std::string& message;
  };
  const Case cases[] = {
      {"fewer records than declared", "5 2\na 1 2\nb 3 4\nc 5 6\n", count},
      {"empty file", "", illegal},
      {"header not a number", "N 2\na 1 2\n", illegal},
      {"length missing", "1\na 1 2\n", illegal},
      {"length not a number", "1 L\na 1 2\n", illegal},
      {"negative count", "-1 2\na 1 2\n", illegal},
      {"negative length", "1 -2\na 1 2\n", illegal},
      {"value not a number", "2 2\na 1 2\nb 3 x\n", illegal},
      {"record cut short by end of file", "2 2\na 1 2\nb 3", illegal},
      {"record cut short, then a line end", "2 2\na 1 2\nb 3\n", illegal},
      {"name without values at the end", "2 2\na 1 2\nb\n", illegal},
      {"huge declared length, short file", "1 4000000000\na 1 2 3\n", illegal},
      {"value out of float range", "1 2\na 1 1e60\n", illegal},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetFingerprintStateForTests();
    CNormFP::SetSimilarityHandler(handler_.get());
    EXPECT_EQ(ThrownText(c.content), c.message);
  }
}

TEST_F(FPDataTest, LengthDifferentFromTheOneAlreadySetIsIllegal) {
  CFingerprint::SetLength(3);
  EXPECT_EQ(ThrownText("1 2\na 1 2\n"), "CFPData constructor - input file format is illegal");
  EXPECT_EQ(CFingerprint::GetLength(), 3u);
}

TEST_F(FPDataTest, MissingFileFails) {
  try {
    CFPData data(dir_ + "/absent");
    FAIL() << "no failure";
  } catch (const char* msg) {
    EXPECT_STREQ(msg, "CFPData constructor - problems opening file");
  }
}

}  // namespace
