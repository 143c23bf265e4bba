// The analysis log: switch, file handling, flushing and number formatting.
#include "vandrel/run/AnalysisFile.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class AnalysisFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/anl_test_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    CAnalysisFile::CloseFile();
    CAnalysisFile::SetAnalysis(false);
    std::string cmd = "rm -rf '" + dir_ + "'";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
  }
  std::string dir_;
};

TEST_F(AnalysisFileTest, WritesNothingWhileSwitchedOff) {
  ASSERT_FALSE(CAnalysisFile::IsAnalysis());
  CAnalysisFile::Write("\nFound ", 3u, " super components");  // no stream, no failure
  CAnalysisFile::SetFile(dir_ + "/run");
  CAnalysisFile::Write("\nFound ", 3u);
  EXPECT_EQ(ReadFile(dir_ + "/run.anl"), "");
}

TEST_F(AnalysisFileTest, SwitchedOnWithoutFileFails) {
  CAnalysisFile::SetAnalysis(true);
  try {
    CAnalysisFile::Write("\n--->SuperZelk Merging");
    FAIL() << "no failure";
  } catch (const char* m) {
    EXPECT_STREQ(m, "CAnalysisFile::Write - no log file is available");
  }
}

// Every piece reaches the file at once: the content is complete while the
// stream is still open, as it must be when a run ends by an error.
TEST_F(AnalysisFileTest, PiecesAreFlushedAndFormattedByStreamDefaults) {
  CAnalysisFile::SetAnalysis(true);
  CAnalysisFile::SetFile(dir_ + "/out");
  const unsigned int comps = 12;
  CAnalysisFile::Write("\nFound ", comps, " super components, ", 4000000000u, " singletons\n");
  EXPECT_EQ(ReadFile(dir_ + "/out.anl"), "\nFound 12 super components, 4000000000 singletons\n");
  CAnalysisFile::Write("x = ", 0.123456789, " y = ", 2.5e-9, " z = ", 1234567.0);
  EXPECT_EQ(ReadFile(dir_ + "/out.anl"),
            "\nFound 12 super components, 4000000000 singletons\n"
            "x = 0.123457 y = 2.5e-09 z = 1.23457e+06");
  CAnalysisFile::CloseFile();
  EXPECT_EQ(CAnalysisFile::GetStream(), nullptr);
}

TEST_F(AnalysisFileTest, SetFileTruncatesAndReplacesTheStream) {
  { std::ofstream(dir_ + "/r.anl") << "previous run"; }
  CAnalysisFile::SetAnalysis(true);
  CAnalysisFile::SetFile(dir_ + "/first");
  CAnalysisFile::Write("one");
  CAnalysisFile::SetFile(dir_ + "/r");
  EXPECT_EQ(ReadFile(dir_ + "/r.anl"), "");
  CAnalysisFile::Write("two");
  EXPECT_EQ(ReadFile(dir_ + "/first.anl"), "one");
  EXPECT_EQ(ReadFile(dir_ + "/r.anl"), "two");
}

TEST_F(AnalysisFileTest, UnopenableFileFails) {
  try {
    CAnalysisFile::SetFile(dir_ + "/missing/dir/run");
    FAIL() << "no failure";
  } catch (const char* m) {
    EXPECT_STREQ(m, "CAnalysisFile::SetFile - problems opening file");
  }
  EXPECT_EQ(CAnalysisFile::GetStream(), nullptr);
}

}  // namespace
