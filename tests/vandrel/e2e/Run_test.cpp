// Whole runs of the built vandrel program: pinned outputs, recovery of
// planted groups, determinism, and the failure paths.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "vandrel/e2e/RunUtil.h"

namespace {

using e2e::fs::path;

const path kData = path(TEST_DATA_DIR) / "e2e";
const path kGolden = kData / "golden";

const char kFailureLine[] = "Zelk running failed due to an algorithm internal error\n";

// Copies tests/data/e2e/<input>.<ext> to <dir>/in.<ext>.
void StageInput(const path& dir, const std::string& input, const std::string& ext) {
  e2e::fs::copy_file(kData / (input + ext), dir / ("in" + ext));
}

struct GoldenCase {
  const char* name;
  const char* type;
  const char* input;
  const char* simType;
  const char* homogeneity;
  std::vector<std::string> outputs;  // files compared byte for byte
};

void PrintTo(const GoldenCase& c, std::ostream* os) { *os << c.name; }

class GoldenRun : public ::testing::TestWithParam<GoldenCase> {};

// Each run's standard output, analysis log, solution and cache files are
// pinned.  Set VANDREL_UPDATE_GOLDEN=1 to rewrite the pinned files after a
// change of results that has been understood.
TEST_P(GoldenRun, OutputsMatchPinnedFiles) {
  const GoldenCase& c = GetParam();
  e2e::ScratchDir dir(c.name);
  const bool fp = std::string(c.type) == "FP";
  StageInput(dir.Path(), c.input, fp ? ".orig" : ".sim");
  e2e::WriteFile(dir.Path() / "params.txt",
                 e2e::Params(c.type, "in", "out", c.simType, c.homogeneity));

  const e2e::RunResult r = e2e::RunVandrel(dir.Path(), "params.txt");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  e2e::WriteFile(dir.Path() / "stdout.golden", r.out);

  const path golden = kGolden / c.name;
  const char* update = std::getenv("VANDREL_UPDATE_GOLDEN");
  if (update != nullptr && std::string(update) == "1") {
    e2e::fs::create_directories(golden);
    for (const std::string& f : c.outputs) e2e::fs::copy_file(dir.Path() / f, golden / f,
                                                              e2e::fs::copy_options::overwrite_existing);
    GTEST_SKIP() << "golden files rewritten in " << golden;
  }
  for (const std::string& f : c.outputs) {
    ASSERT_TRUE(e2e::fs::exists(dir.Path() / f)) << f << " was not written";
    EXPECT_EQ(e2e::ReadFile(dir.Path() / f), e2e::ReadFile(golden / f)) << f << " differs";
  }
}

// Kernel finding runs on VANDREL_THREADS threads; the outputs do not depend
// on their number.
TEST_P(GoldenRun, SameOutputsOnAnyThreadCount) {
  const GoldenCase& c = GetParam();
  const bool fp = std::string(c.type) == "FP";
  for (const char* threads : {"1", "2", "3", "8"}) {
    SCOPED_TRACE(std::string("VANDREL_THREADS=") + threads);
    e2e::ScratchDir dir(std::string(c.name) + "_threads" + threads);
    StageInput(dir.Path(), c.input, fp ? ".orig" : ".sim");
    e2e::WriteFile(dir.Path() / "params.txt",
                   e2e::Params(c.type, "in", "out", c.simType, c.homogeneity));
    const e2e::RunResult r =
        e2e::RunVandrel(dir.Path(), "params.txt", std::string("VANDREL_THREADS=") + threads);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, e2e::ReadFile(kGolden / c.name / "stdout.golden"));
    EXPECT_EQ(e2e::ReadFile(dir.Path() / "out.anl"), e2e::ReadFile(kGolden / c.name / "out.anl"));
    EXPECT_EQ(e2e::ReadFile(dir.Path() / "out.res.sol"),
              e2e::ReadFile(kGolden / c.name / "out.res.sol"));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, GoldenRun,
    ::testing::Values(
        GoldenCase{"fp_correlation", "FP", "fp_small", "CORRELATION", "",
                   {"stdout.golden", "out.anl", "out.res.sol", "in.co.sim", "in.co.distrib",
                    "in.co.fpn"}},
        GoldenCase{"fp_dotproduct", "FP", "fp_small", "DOTPRODUCT", "",
                   {"stdout.golden", "out.anl", "out.res.sol", "in.dp.sim", "in.dp.distrib",
                    "in.dp.fpn"}},
        GoldenCase{"fp_homogeneity", "FP", "fp_small", "CORRELATION", "0.5",
                   {"stdout.golden", "out.anl", "out.res.sol", "in.co.sim", "in.co.distrib",
                    "in.co.fpn"}},
        GoldenCase{"sd", "SD", "sd_small", "", "",
                   {"stdout.golden", "out.anl", "out.res.sol", "in.distrib"}},
        GoldenCase{"sd_sparse", "SD", "sd_sparse", "", "",
                   {"stdout.golden", "out.anl", "out.res.sol", "in.distrib"}}),
    [](const ::testing::TestParamInfo<GoldenCase>& info) { return std::string(info.param.name); });

// Two runs on fresh copies of the same input give byte-identical files.
TEST(WholeRun, IsDeterministic) {
  std::string first[5];
  for (int run = 0; run < 2; ++run) {
    e2e::ScratchDir dir("determinism" + std::to_string(run));
    StageInput(dir.Path(), "fp_small", ".orig");
    e2e::WriteFile(dir.Path() / "params.txt", e2e::Params("FP", "in", "out", "CORRELATION"));
    const e2e::RunResult r = e2e::RunVandrel(dir.Path(), "params.txt");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string files[5] = {r.out, e2e::ReadFile(dir.Path() / "out.res.sol"),
                                  e2e::ReadFile(dir.Path() / "out.anl"),
                                  e2e::ReadFile(dir.Path() / "in.co.sim"),
                                  e2e::ReadFile(dir.Path() / "in.co.distrib")};
    for (int i = 0; i < 5; ++i) {
      if (run == 0) first[i] = files[i];
      else EXPECT_EQ(files[i], first[i]) << "output " << i << " differs between runs";
    }
  }
}

// A second run on the same prefix reuses the caches the first one wrote and
// gives the same clustering.
TEST(WholeRun, SecondRunReusesCachesWithSameResult) {
  e2e::ScratchDir dir("caches");
  StageInput(dir.Path(), "fp_small", ".orig");
  e2e::WriteFile(dir.Path() / "params.txt", e2e::Params("FP", "in", "out", "CORRELATION"));
  ASSERT_EQ(e2e::RunVandrel(dir.Path(), "params.txt").status, 0);
  const std::string sol = e2e::ReadFile(dir.Path() / "out.res.sol");
  const std::string sim = e2e::ReadFile(dir.Path() / "in.co.sim");
  ASSERT_EQ(e2e::RunVandrel(dir.Path(), "params.txt").status, 0);
  EXPECT_EQ(e2e::ReadFile(dir.Path() / "in.co.sim"), sim);
  EXPECT_EQ(e2e::ReadFile(dir.Path() / "out.res.sol"), sol);
}

struct RecoveryCase {
  const char* name;
  const char* type;
  const char* input;
};

void PrintTo(const RecoveryCase& c, std::ostream* os) { *os << c.name; }

class Recovery : public ::testing::TestWithParam<RecoveryCase> {};

// On data with clearly planted groups nearly every gene is clustered and the
// clustering agrees with the planted groups.
TEST_P(Recovery, FindsPlantedGroups) {
  const RecoveryCase& c = GetParam();
  e2e::ScratchDir dir(c.name);
  const bool fp = std::string(c.type) == "FP";
  StageInput(dir.Path(), c.input, fp ? ".orig" : ".sim");
  e2e::WriteFile(dir.Path() / "params.txt",
                 e2e::Params(c.type, "in", "out", fp ? "CORRELATION" : ""));
  const e2e::RunResult r = e2e::RunVandrel(dir.Path(), "params.txt");
  ASSERT_EQ(r.status, 0) << r.err;

  const auto sol = e2e::ReadSolution(dir.Path() / "out.res.sol");
  const auto truth = e2e::ReadSolution(kData / (std::string(c.input) + ".truth"));
  ASSERT_EQ(sol.size(), truth.size());
  std::vector<int> found, planted;
  std::size_t clustered = 0;
  for (const auto& [name, label] : truth) {
    ASSERT_TRUE(sol.count(name)) << name;
    found.push_back(sol.at(name));
    planted.push_back(label);
    if (sol.at(name) != 0) ++clustered;
  }
  EXPECT_GE(clustered, 0.9 * truth.size());
  EXPECT_GE(e2e::AdjustedRandIndex(found, planted), 0.9);
}

INSTANTIATE_TEST_SUITE_P(Planted, Recovery,
                         ::testing::Values(RecoveryCase{"fp", "FP", "fp_planted"},
                                           RecoveryCase{"sd", "SD", "sd_planted"}),
                         [](const ::testing::TestParamInfo<RecoveryCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(AdjustedRandIndex, KnownValues) {
  // Identical partitions up to renaming.
  EXPECT_DOUBLE_EQ(e2e::AdjustedRandIndex({1, 1, 2, 2}, {5, 5, 7, 7}), 1.0);
  // Classic example: {1,1,1,2,2,2} vs {1,1,2,2,3,3} has ARI 0.24242424...
  EXPECT_NEAR(e2e::AdjustedRandIndex({1, 1, 1, 2, 2, 2}, {1, 1, 2, 2, 3, 3}), 8.0 / 33.0, 1e-12);
  // Singletons (label 0) are clusters of their own.
  EXPECT_LT(e2e::AdjustedRandIndex({0, 0, 0, 0}, {1, 1, 2, 2}), 0.01);
}

// A sparse similarity file (examples/generate.py sd ... --genes 200
// --conditions 30 --groups 5 --noise 0 --keep-share 0.04 --unlisted 30, 230
// names):
// every pair inside five planted groups, 4% of the other pairs, and 30 genes
// that are named but have no value at all.  Those stay singletons, and every
// planted group comes out as one cluster of its own.
TEST(WholeRun, SparseFileKeepsGenesWithoutValuesOutOfEveryCluster) {
  e2e::ScratchDir dir("sparse");
  StageInput(dir.Path(), "sd_sparse", ".sim");
  e2e::WriteFile(dir.Path() / "params.txt", e2e::Params("SD", "in", "out", ""));
  const e2e::RunResult r = e2e::RunVandrel(dir.Path(), "params.txt");
  ASSERT_EQ(r.status, 0) << r.err;

  // The names of the genes that appear on a value line.
  std::istringstream sim(e2e::ReadFile(kData / "sd_sparse.sim"));
  std::vector<std::string> names;
  std::string token;
  sim >> token;
  while (sim >> token && token != "VALUES:") names.push_back(token);
  std::set<std::string> listed;
  unsigned int i = 0, j = 0;
  double value = 0.0;
  while (sim >> i >> j >> value) {
    listed.insert(names.at(i));
    listed.insert(names.at(j));
  }
  ASSERT_EQ(names.size(), 230u);
  ASSERT_EQ(listed.size(), 200u);

  const auto sol = e2e::ReadSolution(dir.Path() / "out.res.sol");
  const auto truth = e2e::ReadSolution(kData / "sd_sparse.truth");
  ASSERT_EQ(sol.size(), names.size());
  std::map<int, std::set<int>> clustersOfGroup;
  std::set<int> groupClusters;
  for (const std::string& name : names) {
    if (!listed.count(name)) {
      EXPECT_EQ(sol.at(name), 0) << name << " has no value but was clustered";
      continue;
    }
    ASSERT_NE(truth.at(name), 0);
    clustersOfGroup[truth.at(name)].insert(sol.at(name));
  }
  ASSERT_EQ(clustersOfGroup.size(), 5u);
  for (const auto& [group, clusters] : clustersOfGroup) {
    ASSERT_EQ(clusters.size(), 1u) << "group " << group << " is split";
    EXPECT_NE(*clusters.begin(), 0) << "group " << group << " is left unclustered";
    groupClusters.insert(*clusters.begin());
  }
  EXPECT_EQ(groupClusters.size(), 5u) << "two groups share a cluster";
}

// Data without structure runs to the end and gives a valid solution.
TEST(WholeRun, NoiseOnlyDataGivesValidSolution) {
  e2e::ScratchDir dir("noise");
  StageInput(dir.Path(), "fp_noise", ".orig");
  e2e::WriteFile(dir.Path() / "params.txt", e2e::Params("FP", "in", "out", "CORRELATION"));
  const e2e::RunResult r = e2e::RunVandrel(dir.Path(), "params.txt");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Finished 100 % of main part ...\n"), std::string::npos);
  EXPECT_NE(r.out.find("Saving clustering solution ...\n"), std::string::npos);
  EXPECT_EQ(e2e::ReadSolution(dir.Path() / "out.res.sol").size(), 200u);
}

// Groups all below the size of a super component: every gene is a final
// singleton and progress jumps from 0 % to 100 %.
TEST(WholeRun, ComponentsBelowFourteenBecomeSingletons) {
  e2e::ScratchDir dir("tiny");
  StageInput(dir.Path(), "fp_tiny", ".orig");
  e2e::WriteFile(dir.Path() / "params.txt", e2e::Params("FP", "in", "out", "CORRELATION"));
  const e2e::RunResult r = e2e::RunVandrel(dir.Path(), "params.txt");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Finished 0 % of main part ...\nFinished 100 % of main part ...\n"),
            std::string::npos)
      << r.out;
  const auto sol = e2e::ReadSolution(dir.Path() / "out.res.sol");
  ASSERT_EQ(sol.size(), 120u);
  for (const auto& [name, index] : sol) EXPECT_EQ(index, 0) << name;
  EXPECT_NE(e2e::ReadFile(dir.Path() / "out.anl").find("\nFound 0 super components, 120 singletons\n"),
            std::string::npos);
}

struct FailureCase {
  const char* name;
  const char* type;
  // files to create in the scratch directory: name -> contents ("@x" copies
  // tests/data/e2e/x)
  std::vector<std::pair<std::string, std::string>> files;
  const char* outputPrefix;
  const char* message;        // the reason printed with VANDREL_VERBOSE=1
  const char* stderrBefore;   // a line printed before the failure line, or ""
  bool anlWritten;
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class FailingRun : public ::testing::TestWithParam<FailureCase> {};

TEST_P(FailingRun, EndsWithFailureLineAndStatusOne) {
  const FailureCase& c = GetParam();
  e2e::ScratchDir dir(c.name);
  for (const auto& [name, contents] : c.files) {
    if (!contents.empty() && contents[0] == '@')
      e2e::fs::copy_file(kData / contents.substr(1), dir.Path() / name);
    else
      e2e::WriteFile(dir.Path() / name, contents);
  }
  const bool fp = std::string(c.type) == "FP";
  e2e::WriteFile(dir.Path() / "params.txt",
                 e2e::Params(c.type, "in", c.outputPrefix, fp ? "CORRELATION" : ""));

  const e2e::RunResult plain = e2e::RunVandrel(dir.Path(), "params.txt");
  EXPECT_EQ(plain.status, 1);
  EXPECT_EQ(plain.err, std::string(c.stderrBefore) + kFailureLine);
  EXPECT_EQ(plain.out.rfind("Initializing program parameters ...params.txt\n", 0), 0u) << plain.out;
  EXPECT_EQ(plain.out.find("Saving clustering solution"), std::string::npos);
  EXPECT_FALSE(e2e::fs::exists(dir.Path() / (std::string(c.outputPrefix) + ".res.sol")));
  EXPECT_EQ(e2e::fs::exists(dir.Path() / "out.anl"), c.anlWritten);

  const e2e::RunResult verbose = e2e::RunVandrel(dir.Path(), "params.txt", "VANDREL_VERBOSE=1");
  EXPECT_EQ(verbose.status, 1);
  EXPECT_EQ(verbose.err, std::string(c.stderrBefore) + kFailureLine + c.message + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    BadInput, FailingRun,
    ::testing::Values(
        FailureCase{"missing_orig", "FP", {}, "out",
                    "CFPDataFileAnalyzer constructor - no input file at given prefix",
                    "no .orig file available at given prefix - exiting program\n", true},
        FailureCase{"missing_sim", "SD", {}, "out",
                    "CSDDataFileAnalyzer constructor - no input file at given prefix",
                    "no .sim file available at given prefix - exiting program\n", true},
        FailureCase{"orig_short", "FP", {{"in.orig", "3 2\na 1 2\nb 3 4\n"}}, "out",
                    "CFPData constructor - number of fingerprints does not match declared number",
                    "", true},
        FailureCase{"orig_not_numeric", "FP", {{"in.orig", "2 2\na 1 x\nb 3 4\n"}}, "out",
                    "CFPData constructor - input file format is illegal", "", true},
        FailureCase{"sim_no_values", "SD", {{"in.sim", "NAMES:\na\nb\n"}}, "out",
                    "CSDDataFileAnalyzer constructor - no values in file", "", true},
        FailureCase{"sim_split_element", "SD",
                    {{"in.sim", "NAMES:\na\nb\nc\nVALUES:\n0\t1\t0.5\n1\t2\t0.4\n0\t2\t0.3\n"}},
                    "out",
                    "CSDDataFileAnalyzer constructor - an element with more than one starting "
                    "points in file",
                    "", true},
        FailureCase{"distrib_bad_token", "FP",
                    {{"in.orig", "@fp_small.orig"},
                     {"in.co.distrib", "P_MATE\t0.1\nNormDistrib\nEXP\t0.8\nSTD\t0.1\n"
                                       "NormDistrib\nEXP\t0\nSTD\t0.2\n"}},
                    "out", "CSimDistrib constructor - illegal file format", "", true},
        FailureCase{"unwritable_output", "FP", {{"in.orig", "@fp_small.orig"}},
                    "no_such_dir/out", "CAnalysisFile::SetFile - problems opening file", "",
                    false}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

}  // namespace
