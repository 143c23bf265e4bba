// Whole runs of the built tfenrich program on the committed example inputs,
// compared byte for byte with pinned outputs.
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "TestUtil.h"

namespace {

struct Outcome {
  int status = -1;
  std::string out, err;
};

// Runs the program as "tfenrich" inside folder, capturing its two streams.
Outcome runBinary(const std::string& folder, const std::vector<std::string>& args) {
  const std::string outPath = folder + "/.stdout", errPath = folder + "/.stderr";
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(folder.c_str()) != 0) _exit(126);
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0) _exit(126);
    dup2(out, 1);
    dup2(err, 2);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>("tfenrich"));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(TFENRICH_BIN, argv.data());
    _exit(127);
  }
  Outcome outcome;
  int status = 0;
  if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
    outcome.status = WEXITSTATUS(status);
  }
  outcome.out = tftest::readFile(outPath);
  outcome.err = tftest::readFile(errPath);
  return outcome;
}

std::string golden(const std::string& name) {
  return tftest::readFile(std::string(TEST_DATA_DIR) + "/tfenrich/" + name);
}

// A scratch folder holding copies of the example inputs.
class ExampleRun : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"fp.txt", "targets.txt", "pwms.txt", "bg.txt"}) {
      const std::string text = tftest::readFile(std::string(EXAMPLES_DIR) + "/tfenrich/" + name);
      ASSERT_FALSE(text.empty()) << name;
      dir.write(name, text);
    }
  }
  tftest::TempDir dir;
};

TEST_F(ExampleRun, DefaultRunIsPinned) {
  const Outcome o = runBinary(dir.path(), {"-pwmFile", "pwms.txt", "-bgFile", "bg.txt", "-fpFile",
                                           "fp.txt", "-tarFile", "targets.txt", "-outFile",
                                           "result.txt"});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, golden("example_stdout.txt"));
  EXPECT_EQ(o.err, golden("example_stderr.txt"));
  EXPECT_EQ(tftest::readFile(dir.file("result.txt")), golden("example_result.txt"));
}

TEST_F(ExampleRun, FilteredBonferroniRunIsPinned) {
  // No PWM or BG filter, a location filter, the Bonferroni fix, a smaller
  // empirical limit, and the run reproduces itself.
  const std::vector<std::string> args = {
      "-fpFile", "fp.txt", "-tarFile", "targets.txt", "-outFile", "result2.txt",
      "-hitsFrom", "-1000", "-hitsTo", "600", "-hitsRegions", "+all,-cds", "-fix", "bonf",
      "-empMaxSets", "3000", "-maxHits", "4", "-pval", "0.5"};
  const Outcome o = runBinary(dir.path(), args);
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, golden("filtered_stdout.txt"));
  EXPECT_EQ(o.err, golden("filtered_stderr.txt"));
  const std::string result = tftest::readFile(dir.file("result2.txt"));
  EXPECT_EQ(result, golden("filtered_result.txt"));
  const Outcome again = runBinary(dir.path(), args);
  EXPECT_EQ(again.out, o.out);
  EXPECT_EQ(tftest::readFile(dir.file("result2.txt")), result);
}

TEST_F(ExampleRun, UsageAndFailureStatus) {
  Outcome o = runBinary(dir.path(), {"-help"});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.out, golden("usage.txt"));
  EXPECT_EQ(o.err, "");

  o = runBinary(dir.path(), {});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(o.err, "ERROR: No command-line parameters.\n");

  o = runBinary(dir.path(), {"-fpFile", "fp.txt", "-tarFile", "targets.txt", "-tests", "all,x"});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "ERROR: Unknown test 'x'.\n");

  // A broken fingerprints file ends with the specific line, the summary and 1.
  dir.write("broken.txt", "1 PWMs:\n A ; threshold: 1 ; species: h\n1 fingerprints:\nP LLid=1\n");
  o = runBinary(dir.path(), {"-fpFile", "broken.txt", "-tarFile", "targets.txt", "-outFile", "r.txt"});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err,
            "ERROR: Can't read gene information of P in fp file.\n"
            "ERROR: Problems reading fingerprints from file 'broken.txt'.\n");
  EXPECT_FALSE(tftest::fileExists(dir.file("r.txt")));
}

TEST_F(ExampleRun, RunScriptWritesTheResultWhereItSays) {
  const std::string out = dir.file("script_out");
  const std::string command = "bash '" + std::string(EXAMPLES_DIR) + "/tfenrich/run.sh' '" +
                              TFENRICH_BIN + "' '" + out + "' > '" + dir.file("log.txt") +
                              "' 2>/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(tftest::readFile(out + "/tfenrich_result.txt"), golden("example_result.txt"));
  const std::string log = tftest::readFile(dir.file("log.txt"));
  EXPECT_NE(log.find("Result file: " + out + "/tfenrich_result.txt\n"), std::string::npos) << log;
}

}  // namespace
