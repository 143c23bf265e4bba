// The parameters file: entry rules, data types, similarity types,
// homogeneity, errors, and the analysis log it opens.
#include "vandrel/run/ProgramManager.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "vandrel/data/Fingerprint.h"
#include "vandrel/data/SimHandler.h"
#include "vandrel/run/AnalysisFile.h"

namespace {

bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(ReadParm, ValueLineLosesExactlyOneTrailingCharacter) {
  struct Case {
    const char* text;
    const char* value;
  };
  const Case cases[] = {
      {"DATA_TYPE\nSD\r\n", "SD"},
      {"DATA_TYPE\nSD \n", "SD"},
      {"DATA_TYPE\nSD\n", "S"},
      {"DATA_TYPE\nSD", "S"},
      {"DATA_TYPE\n\n", ""},
      {"DATA_TYPE\nx\n", ""},
      {"\n\n   DATA_TYPE  ignored text\n a b c \r\n", " a b c "},
      {"DATA_TYPE\r\nFP\r\n", "FP"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::istringstream in(c.text);
    CProgramManager m;
    EXPECT_EQ(m.ReadParm(in, "DATA_TYPE"), c.value);
  }
}

TEST(ReadParm, MissingWrongOrUnreadableEntryFails) {
  for (const char* text : {"", "\n\n", "data_type\nSD\r\n", "INPUT_FILES_PREFIX\nx \n",
                           "DATA_TYPE", "DATA_TYPE\n", "DATA_TYPEX\nSD \n"}) {
    SCOPED_TRACE(text);
    std::istringstream in(text);
    CProgramManager m;
    try {
      m.ReadParm(in, "DATA_TYPE");
      ADD_FAILURE() << "accepted";
    } catch (const char* msg) {
      EXPECT_STREQ(msg, "CProgramManager::ReadParm - illegal file format");
    }
  }
}

class InitParmsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetFingerprintStateForTests();
    char tmpl[] = "/tmp/parms_test_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    CAnalysisFile::CloseFile();
    CAnalysisFile::SetAnalysis(false);
    ResetFingerprintStateForTests();
    std::string cmd = "rm -rf '" + dir_ + "'";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
  }

  std::string Params(const std::string& content) {
    const std::string path = dir_ + "/params.txt";
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }
  // Runs InitParms; returns the thrown text ("" when none) and the standard
  // error output.
  std::string Init(CProgramManager& m, const std::string& content, std::string* err = nullptr) {
    const std::string path = Params(content);
    testing::internal::CaptureStderr();
    std::string thrown;
    try {
      m.InitParms(path.c_str());
    } catch (const char* msg) {
      thrown = msg;
    }
    const std::string e = testing::internal::GetCapturedStderr();
    if (err != nullptr) *err = e;
    return thrown;
  }
  std::string Sd(const std::string& tail = "") {
    return "DATA_TYPE\r\nSD\r\nINPUT_FILES_PREFIX\r\n" + dir_ + "/in\r\nOUTPUT_FILE_PREFIX\r\n" +
           dir_ + "/out\r\n" + tail;
  }
  std::string Fp(const std::string& simType, const std::string& tail = "") {
    return "DATA_TYPE\nFP \nINPUT_FILES_PREFIX\n" + dir_ + "/in \nOUTPUT_FILE_PREFIX\n" + dir_ +
           "/out \nSIMILARITY_TYPE\n" + simType + " \n" + tail;
  }

  std::string dir_;
};

TEST_F(InitParmsTest, SimilarityDataFileSetsTypeThresholdsAndPrefixes) {
  CProgramManager m;
  std::string err;
  EXPECT_EQ(Init(m, Sd("SIMILARITY_TYPE\nnonsense\nHOMOGENEITY 0.5\n"), &err), "");
  EXPECT_EQ(err, "");
  EXPECT_EQ(m.GetDataType(), 0);
  EXPECT_EQ(m.GetAdoptTh(), 0.0);
  EXPECT_EQ(m.GetRejectTh(), 0.0);
  EXPECT_EQ(m.GetMergeTh(), 0.0);
  EXPECT_EQ(m.GetHomogeneity(), -10000000.0);
  EXPECT_EQ(m.GetClustersNum(), 0);
  EXPECT_EQ(std::string(m.GetInputPrefix()), dir_ + "/in");
  EXPECT_EQ(std::string(m.GetOutputPrefix()), dir_ + "/out");
  EXPECT_EQ(m.GetSimHandler(), nullptr);
  EXPECT_EQ(CNormFP::GetSimilarityHandler(), nullptr);
}

TEST_F(InitParmsTest, FingerprintFileInstallsTheNamedMeasure) {
  struct Case {
    const char* type;
    const char* suffix;
  };
  for (const Case& c : {Case{"CORRELATION", ".co"}, Case{"DOTPRODUCT", ".dp"}}) {
    SCOPED_TRACE(c.type);
    ResetFingerprintStateForTests();
    CProgramManager m;
    EXPECT_EQ(Init(m, Fp(c.type)), "");
    EXPECT_EQ(m.GetDataType(), 1);
    EXPECT_EQ(m.GetAdoptTh(), -3000000.0);
    EXPECT_EQ(m.GetRejectTh(), -3000000.0);
    EXPECT_EQ(m.GetMergeTh(), -3000000.0);
    EXPECT_EQ(m.GetHomogeneity(), -10000000.0);
    ASSERT_NE(m.GetSimHandler(), nullptr);
    EXPECT_EQ(m.GetSimHandler()->GetFileSuffix(), c.suffix);
    EXPECT_EQ(CNormFP::GetSimilarityHandler(), m.GetSimHandler());
  }
}

TEST_F(InitParmsTest, OptionalHomogeneityOnSameOrNextLine) {
  struct Case {
    const char* tail;
    double homogeneity;
  };
  const Case cases[] = {
      {"", -10000000.0},
      {"\n\n  \n", -10000000.0},
      {"HOMOGENEITY 0.75\n", 0.75},
      {"HOMOGENEITY\n0.3\r\n", 0.3},
      {"\n  HOMOGENEITY\t\n\n 1.5e-1 trailing words\nanything\n", 0.15},
      {"HOMOGENEITY 2", 2.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tail);
    ResetFingerprintStateForTests();
    CProgramManager m;
    EXPECT_EQ(Init(m, Fp("CORRELATION", c.tail)), "");
    EXPECT_DOUBLE_EQ(m.GetHomogeneity(), c.homogeneity);
  }
}

TEST_F(InitParmsTest, ErrorsAndTheirStandardErrorLines) {
  struct Case {
    const char* what;
    std::string content;
    const char* thrown;
    const char* err;
  };
  const Case cases[] = {
      {"SD without the extra character", "DATA_TYPE\nSD\nINPUT_FILES_PREFIX\na \n",
       "CProgramManager::InitParms - illegal data type (not SD or FP)", "illegal data type name\n"},
      {"lower-case data type", "DATA_TYPE\nsd \n",
       "CProgramManager::InitParms - illegal data type (not SD or FP)", "illegal data type name\n"},
      {"entries out of order", "DATA_TYPE\nSD \nOUTPUT_FILE_PREFIX\na \nINPUT_FILES_PREFIX\nb \n",
       "CProgramManager::ReadParm - illegal file format", ""},
      {"output prefix missing", "DATA_TYPE\nSD \nINPUT_FILES_PREFIX\na \n",
       "CProgramManager::ReadParm - illegal file format", ""},
      {"FP without similarity type", Sd().replace(Sd().find("SD\r"), 2, "FP"),
       "CProgramManager::ReadParm - illegal file format", ""},
      {"unknown similarity type", Fp("EUCLID"),
       "CProgramManager::InitSimHandler - illegal similarity type name",
       "Illegal similarity type name - exiting program\n"},
      {"similarity type without extra character",
       Fp("CORRELATION").replace(Fp("CORRELATION").find("CORRELATION "), 12, "CORRELATION"),
       "CProgramManager::InitSimHandler - illegal similarity type name",
       "Illegal similarity type name - exiting program\n"},
      {"other word after the similarity type", Fp("DOTPRODUCT", "CLUSTERS 5\n"),
       "CProgramManager::InitParms - illegal file format", ""},
      {"homogeneity not a number", Fp("DOTPRODUCT", "HOMOGENEITY high\n"),
       "CProgramManager::InitParms - illegal file format", ""},
      {"homogeneity number missing", Fp("DOTPRODUCT", "HOMOGENEITY\n"),
       "CProgramManager::InitParms - illegal file format", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetFingerprintStateForTests();
    CProgramManager m;
    std::string err;
    EXPECT_EQ(Init(m, c.content, &err), c.thrown);
    EXPECT_EQ(err, c.err);
  }
}

TEST_F(InitParmsTest, MissingParametersFile) {
  CProgramManager m;
  try {
    m.InitParms((dir_ + "/absent.txt").c_str());
    FAIL() << "no failure";
  } catch (const char* msg) {
    EXPECT_STREQ(msg, "CProgramManager::InitParms - can't open parameters file");
  }
}

TEST_F(InitParmsTest, SecondHandlerInProcessIsRefused) {
  CProgramManager first;
  EXPECT_EQ(Init(first, Fp("CORRELATION")), "");
  CProgramManager second;
  EXPECT_EQ(Init(second, Fp("DOTPRODUCT")),
            "CNormFP::SetSimilarityHandler - similarity handler already set, changing is illegal");
  EXPECT_EQ(CNormFP::GetSimilarityHandler(), first.GetSimHandler());
}

// The log is opened (truncating) as the last step of reading the
// parameters, and only while the analysis switch is on.
TEST_F(InitParmsTest, AnalysisLogOpenedOnlyWhenSwitchedOn) {
  {
    CProgramManager m;
    EXPECT_EQ(Init(m, Sd()), "");
    EXPECT_FALSE(Exists(dir_ + "/out.anl"));
  }
  { std::ofstream(dir_ + "/out.anl") << "earlier run"; }
  CAnalysisFile::SetAnalysis(true);
  {
    CProgramManager m;
    EXPECT_EQ(Init(m, Sd()), "");
    EXPECT_EQ(ReadFile(dir_ + "/out.anl"), "");
    CAnalysisFile::Write("\nFound ", 2u, " super components, ", 0u, " singletons\n");
    EXPECT_EQ(ReadFile(dir_ + "/out.anl"), "\nFound 2 super components, 0 singletons\n");
  }
  {
    CProgramManager m;
    const std::string bad = "DATA_TYPE\nSD \nINPUT_FILES_PREFIX\na \nOUTPUT_FILE_PREFIX\n" + dir_ +
                            "/no/such/dir/out \n";
    EXPECT_EQ(Init(m, bad), "CAnalysisFile::SetFile - problems opening file");
  }
  {
    // A failing parameters file does not create the log.
    CProgramManager m;
    EXPECT_EQ(Init(m, "DATA_TYPE\nXX \n"), "CProgramManager::InitParms - illegal data type (not SD or FP)");
    EXPECT_FALSE(Exists(dir_ + "/a.anl"));
  }
}

TEST_F(InitParmsTest, ResetClearsEverything) {
  CProgramManager m;
  EXPECT_EQ(Init(m, Fp("DOTPRODUCT", "HOMOGENEITY 0.4\n")), "");
  m.Reset();
  EXPECT_EQ(m.GetInputPrefix(), nullptr);
  EXPECT_EQ(m.GetOutputPrefix(), nullptr);
  EXPECT_EQ(m.GetSimHandler(), nullptr);
  EXPECT_EQ(m.GetHomogeneity(), 0.0);
  EXPECT_EQ(m.GetAdoptTh(), 0.0);
  EXPECT_EQ(m.GetRejectTh(), 0.0);
  EXPECT_EQ(m.GetMergeTh(), 0.0);
  EXPECT_EQ(m.GetClustersNum(), 0);
}

}  // namespace
