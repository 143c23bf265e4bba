// Outputs that are never half-written: the write-then-rename helper, and
// the cache and model writers under an injected write failure (a file-size
// limit in a child process makes the writes fail part-way).
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "vandrel/data/FPData.h"
#include "vandrel/data/Fingerprint.h"
#include "vandrel/data/SimilarityData.h"
#include "vandrel/run/AtomicFile.h"
#include "vandrel/run/ProgramManager.h"
#include "vandrel/stats/SimDistrib.h"

namespace {

namespace fs = std::filesystem;

class Dir {
 public:
  Dir() {
    std::string tmpl = (fs::temp_directory_path() / "atomic_XXXXXX").string();
    if (mkdtemp(&tmpl[0]) != nullptr) m_path = tmpl;
  }
  ~Dir() {
    std::error_code ec;
    fs::remove_all(m_path, ec);
  }
  std::string operator/(const std::string& name) const { return (m_path / name).string(); }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(m_path)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  fs::path m_path;
};

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void Spit(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

TEST(AtomicFile, CommitReplacesTheTargetAndLeavesNoTemporaryFile) {
  Dir dir;
  Spit(dir / "out.txt", "old content\n");
  {
    vandrel::CAtomicFile file(dir / "out.txt");
    ASSERT_TRUE(file.IsOpen());
    file.Stream() << "new";
    // Until the commit the target keeps its old content.
    file.Stream().flush();
    EXPECT_EQ(Slurp(dir / "out.txt"), "old content\n");
    EXPECT_TRUE(file.Commit());
  }
  EXPECT_EQ(Slurp(dir / "out.txt"), "new");
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"out.txt"});
}

TEST(AtomicFile, AbandonedWriteLeavesTheOldFileOrNone) {
  Dir dir;
  Spit(dir / "kept.txt", "old\n");
  {
    vandrel::CAtomicFile kept(dir / "kept.txt");
    vandrel::CAtomicFile fresh(dir / "fresh.txt");
    kept.Stream() << "partial";
    fresh.Stream() << "partial";
    // Both objects die without a commit (as when a writer throws).
  }
  EXPECT_EQ(Slurp(dir / "kept.txt"), "old\n");
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"kept.txt"});
}

TEST(AtomicFile, FailsWhenTheDirectoryIsMissing) {
  Dir dir;
  vandrel::CAtomicFile file(dir / "no/such/dir/out.txt");
  EXPECT_FALSE(file.IsOpen());
  EXPECT_FALSE(file.Commit());
}

// Runs `write` in a child process whose files may not grow beyond
// `limitBytes`; writes past it fail (EFBIG) instead of raising SIGXFSZ.
// Returns the message the writer threw ("" when it returned normally).
std::string WriteUnderSizeLimit(rlim_t limitBytes, const std::function<void()>& write) {
  int fds[2];
  if (pipe(fds) != 0) return "pipe failed";
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{limitBytes, limitBytes};
    setrlimit(RLIMIT_FSIZE, &limit);
    std::string message;
    try {
      write();
    } catch (const char* m) {
      message = m;
    }
    if (!message.empty() && ::write(fds[1], message.data(), message.size()) < 0) _exit(3);
    _exit(0);
  }
  close(fds[1]);
  std::string message;
  char buf[256];
  ssize_t n;
  while ((n = read(fds[0], buf, sizeof buf)) > 0) message.append(buf, static_cast<size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "child did not finish";
  return message;
}

// A `.sim` table big enough (about 40 KB) that a small size limit cuts it.
std::string BigSimFile() {
  std::string text = "NAMES:\n";
  for (int i = 0; i < 60; ++i) text += "gene" + std::to_string(i) + "\n";
  text += "VALUES:\n";
  for (int i = 0; i < 60; ++i)
    for (int j = i + 1; j < 60; ++j)
      text += std::to_string(i) + "\t" + std::to_string(j) + "\t0.5" + std::to_string(i + j) + "\n";
  return text;
}

TEST(AtomicFile, SimilarityTableCutByAWriteFailureKeepsTheOldCache) {
  Dir dir;
  Spit(dir / "in.sim", BigSimFile());
  Spit(dir / "cache.sim", "NAMES:\nold\nVALUES:\n");
  const std::string message = WriteUnderSizeLimit(4096, [&] {
    CSimilarityData table;
    table.ReadValsFile(dir / "in", -1000000.0);
    table.Save(dir / "cache", true);
  });
  EXPECT_EQ(message, "CSimilarityData::Save - problems opening file");
  EXPECT_EQ(Slurp(dir / "cache.sim"), "NAMES:\nold\nVALUES:\n");
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"cache.sim", "in.sim"}));

  // Without the limit the same save writes the whole table.
  EXPECT_EQ(WriteUnderSizeLimit(RLIM_INFINITY, [&] {
              CSimilarityData table;
              table.ReadValsFile(dir / "in", -1000000.0);
              table.Save(dir / "cache", true);
            }),
            "");
  CSimilarityData back;
  back.ReadValsFile(dir / "cache", -1000000.0);
  EXPECT_EQ(back.GetNames().size(), 60u);
  EXPECT_EQ(back.GetValues().size(), 60u * 59u / 2u);
}

TEST(AtomicFile, ModelCutByAWriteFailureLeavesNoModelFile) {
  Dir dir;
  const std::string source = std::string(TEST_DATA_DIR) + "/stats/model";
  const std::string message = WriteUnderSizeLimit(20, [&] {
    CSimDistrib model(source);
    model.Save(dir / "fresh", false);
  });
  EXPECT_EQ(message, "CSimDistrib::Save - problems with outFile");
  EXPECT_TRUE(dir.Names().empty());
}

TEST(AtomicFile, NormalizedFingerprintsCutByAWriteFailureLeaveNoFile) {
  Dir dir;
  std::string orig = "40 20\n";
  for (int i = 0; i < 40; ++i) {
    orig += "g" + std::to_string(i);
    for (int j = 0; j < 20; ++j) orig += " " + std::to_string((i * 7 + j * 3) % 11 + 0.25);
    orig += "\n";
  }
  Spit(dir / "in.orig", orig);
  const std::string message = WriteUnderSizeLimit(2048, [&] {
    ResetFingerprintStateForTests();
    CProgramManager manager;
    manager.InitSimHandler("CORRELATION");
    CFPData data(dir / "in");
    data.GetNormFPMtx().Save(dir / "out.co", true);
  });
  // The value writer or the final commit reports the failure; either way no
  // file is left under the final name.
  EXPECT_TRUE(message == "CNormFPMtx::Save - problems opening out file" ||
              message == "CFingerprint::Save - problems with output file")
      << message;
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"in.orig"});
}

}  // namespace
