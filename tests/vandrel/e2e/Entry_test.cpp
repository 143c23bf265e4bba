// The built clustering program, run as the suite starts it: exit status,
// standard output and error lines, and the files it creates, for missing
// and malformed parameters files.  Each case runs in a fresh directory.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <dirent.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char kFailureLine[] = "Zelk running failed due to an algorithm internal error\n";

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

class EntryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/vandrel_entry_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    char otmpl[] = "/tmp/vandrel_entry_io_XXXXXX";
    ASSERT_NE(mkdtemp(otmpl), nullptr);
    io_ = otmpl;
  }
  void TearDown() override {
    EXPECT_EQ(std::system(("rm -rf '" + dir_ + "' '" + io_ + "'").c_str()), 0);
  }

  // Runs the program in dir_ with the given arguments; its streams are
  // captured outside dir_ so that the directory holds only what it wrote.
  Outcome Run(const std::string& args, bool verbose = false) {
    const std::string env = verbose ? "env VANDREL_VERBOSE=1 " : "env -u VANDREL_VERBOSE ";
    const std::string cmd = "cd '" + dir_ + "' && " + env + "'" + VANDREL_BIN + "' " + args +
                            " >'" + io_ + "/out' 2>'" + io_ + "/err'";
    const int raw = std::system(cmd.c_str());
    Outcome o;
    o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    o.out = ReadFile(io_ + "/out");
    o.err = ReadFile(io_ + "/err");
    return o;
  }

  void Write(const std::string& name, const std::string& content) {
    std::ofstream(dir_ + "/" + name, std::ios::binary) << content;
  }

  std::vector<std::string> Files() {
    std::vector<std::string> names;
    DIR* d = opendir(dir_.c_str());
    if (d == nullptr) return names;
    while (dirent* e = readdir(d)) {
      const std::string n = e->d_name;
      if (n != "." && n != "..") names.push_back(n);
    }
    closedir(d);
    return names;
  }

  std::string dir_;
  std::string io_;
};

TEST_F(EntryTest, NoArgumentDoesNothing) {
  const Outcome o = Run("");
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(o.err, "");
  EXPECT_TRUE(Files().empty());
}

// --help, -h and --version answer on standard output, touch no file and
// exit with 0; a parameters file whose name merely starts with a dash is
// still read as one.
TEST_F(EntryTest, HelpAndVersionExitZeroWithoutTouchingFiles) {
  for (const char* flag : {"--help", "-h"}) {
    SCOPED_TRACE(flag);
    const Outcome o = Run(flag);
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out.rfind("Usage: vandrel PARAMETERS_FILE\n", 0), 0u) << o.out;
    EXPECT_EQ(o.err, "");
  }
  const Outcome v = Run("--version");
  EXPECT_EQ(v.status, 0);
  EXPECT_EQ(v.out.rfind("vandrel ", 0), 0u) << v.out;
  EXPECT_NE(v.out.find_first_of("0123456789"), std::string::npos) << v.out;
  EXPECT_EQ(v.out.back(), '\n');
  EXPECT_EQ(v.err, "");
  EXPECT_TRUE(Files().empty());

  const Outcome p = Run("./--helpx");
  EXPECT_EQ(p.status, 1);
  EXPECT_EQ(p.out, "Initializing program parameters ..../--helpx\n");
  EXPECT_EQ(p.err, kFailureLine);
}

TEST_F(EntryTest, MissingParametersFile) {
  const Outcome o = Run("params.txt");
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.out, "Initializing program parameters ...params.txt\n");
  EXPECT_EQ(o.err, kFailureLine);
  EXPECT_TRUE(Files().empty());
}

TEST_F(EntryTest, VerboseAddsTheFailureTextAsSecondLine) {
  const Outcome o = Run("params.txt", true);
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, std::string(kFailureLine) +
                       "CProgramManager::InitParms - can't open parameters file\n");
}

TEST_F(EntryTest, DataTypeWithoutTrailingCharacterIsIllegal) {
  Write("p.txt", "DATA_TYPE\nSD\nINPUT_FILES_PREFIX\nin \nOUTPUT_FILE_PREFIX\nrun \n");
  const Outcome o = Run("p.txt");
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.out, "Initializing program parameters ...p.txt\n");
  EXPECT_EQ(o.err, std::string("illegal data type name\n") + kFailureLine);
  EXPECT_FALSE(Exists(dir_ + "/run.anl"));

  const Outcome v = Run("p.txt", true);
  EXPECT_EQ(v.err, std::string("illegal data type name\n") + kFailureLine +
                       "CProgramManager::InitParms - illegal data type (not SD or FP)\n");
}

TEST_F(EntryTest, MalformedFingerprintEntriesFailBeforeTheLog) {
  struct Case {
    const char* what;
    const char* tail;
    const char* errBefore;
  };
  const Case cases[] = {
      {"other word after the similarity type", "SIMILARITY_TYPE\nDOTPRODUCT\r\nCLUSTERS\n3\n", ""},
      {"unknown similarity type", "SIMILARITY_TYPE\nPEARSON\r\n",
       "Illegal similarity type name - exiting program\n"},
      {"similarity type missing", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Write("p.txt", std::string("DATA_TYPE\nFP\r\nINPUT_FILES_PREFIX\nin\r\nOUTPUT_FILE_PREFIX\nrun\r\n") +
                       c.tail);
    const Outcome o = Run("p.txt");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, "Initializing program parameters ...p.txt\n");
    EXPECT_EQ(o.err, std::string(c.errBefore) + kFailureLine);
    EXPECT_FALSE(Exists(dir_ + "/run.anl"));
  }
}

// A well-formed parameters file gets the run as far as the engine, which
// cannot find the input here; the log is created (truncating an old one)
// and the run still ends with the single failure line as its last line.
TEST_F(EntryTest, ValidParametersReachTheEngineAndTruncateTheLog) {
  const char* files[] = {
      "DATA_TYPE\r\nSD\r\nINPUT_FILES_PREFIX\r\nin\r\nOUTPUT_FILE_PREFIX\r\nrun\r\nextra lines\nignored\n",
      "DATA_TYPE\nFP \nINPUT_FILES_PREFIX\nin \nOUTPUT_FILE_PREFIX\nrun \nSIMILARITY_TYPE\n"
      "CORRELATION \nHOMOGENEITY\n0.8\n",
  };
  for (const char* content : files) {
    SCOPED_TRACE(content);
    Write("p.txt", content);
    Write("run.anl", "log of an earlier run");
    const Outcome o = Run("p.txt");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out.rfind("Initializing program parameters ...p.txt\nPreprocessing the data ...\n", 0),
              0u)
        << o.out;
    ASSERT_GE(o.err.size(), sizeof kFailureLine - 1);
    EXPECT_EQ(o.err.substr(o.err.size() - (sizeof kFailureLine - 1)), kFailureLine);
    EXPECT_TRUE(Exists(dir_ + "/run.anl"));
    EXPECT_EQ(ReadFile(dir_ + "/run.anl").find("earlier"), std::string::npos);
    EXPECT_FALSE(Exists(dir_ + "/run.res.sol"));
  }
}

}  // namespace
