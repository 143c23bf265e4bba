// Kernel finding on several threads: a failure in a middle super component
// ends the run as it does on one thread, with the same message and the same
// partial analysis log and progress lines.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "vandrel/engine/Executer.h"
#include "vandrel/run/AnalysisFile.h"

namespace {

namespace fs = std::filesystem;
using SDExecuter = CExecuter<CSDExtendedTypeTags>;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
    ++n;
  return n;
}

struct Outcome {
  std::string message;  // empty when the run succeeded
  std::string log;
  std::string out;
};

// One run of the SD executer on a fresh copy of sd_small (4 super
// components) with `threads` threads; the probe throws at super component
// `failAt` (from 0) and the given point, unless failAt is negative.
Outcome RunSD(unsigned int threads, int failAt, SDExecuter::ProbePoint point) {
  const fs::path dir = fs::temp_directory_path() /
                       ("vandrel_threads_" + std::to_string(threads) + "_" +
                        std::to_string(failAt) + "_" + std::to_string(point));
  fs::remove_all(dir);
  fs::create_directories(dir);
  fs::copy_file(fs::path(TEST_DATA_DIR) / "e2e" / "sd_small.sim", dir / "in.sim");
  setenv("VANDREL_THREADS", std::to_string(threads).c_str(), 1);
  SDExecuter::SetProbe([failAt, point](std::size_t k, SDExecuter::ProbePoint at) {
    if (static_cast<int>(k) == failAt && at == point) throw "probe - super component failed";
  });
  CAnalysisFile::SetAnalysis(true);
  CAnalysisFile::SetFile((dir / "out").string());
  Outcome outcome;
  testing::internal::CaptureStdout();
  try {
    SDExecuter executer((dir / "in").string().c_str());
    executer.Run(0.0, 0.0, 0.0, -10000000.0, 0);
  } catch (const char* message) {
    outcome.message = message;
  }
  outcome.out = testing::internal::GetCapturedStdout();
  CAnalysisFile::CloseFile();
  CAnalysisFile::SetAnalysis(false);
  SDExecuter::SetProbe(nullptr);
  unsetenv("VANDREL_THREADS");
  outcome.log = ReadFile(dir / "out.anl");
  fs::remove_all(dir);
  return outcome;
}

TEST(ExecuterThreads, FailureInAMiddleSuperComponentEndsTheRunAsOnOneThread) {
  const Outcome whole = RunSD(1, -1, SDExecuter::kFound);
  ASSERT_EQ(whole.message, "");
  ASSERT_EQ(Count(whole.log, "\nSuper component "), 4);

  // Fails in the third super component's kernel finding (on a worker), or
  // right after its graph is built (on the thread that builds the graphs,
  // while earlier ones may still be in kernel finding).
  for (SDExecuter::ProbePoint point : {SDExecuter::kFound, SDExecuter::kBuilt}) {
    SCOPED_TRACE(point == SDExecuter::kFound ? "in kernel finding" : "after building");
    const Outcome one = RunSD(1, 2, point);
    EXPECT_EQ(one.message, "probe - super component failed");
    // What the whole run wrote up to the failure, and nothing of later
    // super components.
    EXPECT_EQ(whole.log.compare(0, one.log.size(), one.log), 0);
    EXPECT_EQ(whole.out.compare(0, one.out.size(), one.out), 0);
    EXPECT_EQ(Count(one.out, "Finished "), 2);
    EXPECT_EQ(Count(one.log, "\nSuper component 2,"), 1);
    EXPECT_EQ(Count(one.log, "\nSuper component 3,"), point == SDExecuter::kFound ? 1 : 0);
    EXPECT_EQ(Count(one.log, "\nSuper component 4,"), 0);
    if (point == SDExecuter::kFound) {
      EXPECT_NE(one.log.find("Final Kernels num", one.log.find("Super component 3,")),
                std::string::npos)
          << "the failing super component's own records are missing";
    }

    for (unsigned int threads : {2u, 3u, 8u}) {
      SCOPED_TRACE(threads);
      const Outcome many = RunSD(threads, 2, point);
      EXPECT_EQ(many.message, one.message);
      EXPECT_EQ(many.log, one.log);
      EXPECT_EQ(many.out, one.out);
    }
  }
}

}  // namespace
