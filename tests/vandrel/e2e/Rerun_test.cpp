// Runs on one prefix give one clustering: the first run, which fits the
// model and writes the caches, gives the same solution, analysis log and
// progress lines as every later run that reads them, and as runs that find
// only some of them (the missing ones are rebuilt the same); runs on caches
// written by an earlier version keep that version's results.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "vandrel/e2e/RunUtil.h"

namespace {

using e2e::fs::path;

const path kData = path(TEST_DATA_DIR) / "e2e";

struct RerunCase {
  const char* name;
  const char* type;
  const char* input;  // tests/data/e2e/<input>.orig or .sim
  const char* simType;
  const char* homogeneity;
  const char* cacheStem;  // cache files are in<cacheStem>.sim / .distrib / .fpn
};

void PrintTo(const RerunCase& c, std::ostream* os) { *os << c.name; }

bool IsFP(const RerunCase& c) { return std::string(c.type) == "FP"; }

// The files a run writes under the prefix "in" (caches) and "out".
std::vector<std::string> CacheNames(const RerunCase& c) {
  const std::string stem = std::string("in") + c.cacheStem;
  if (IsFP(c)) return {stem + ".sim", stem + ".distrib", stem + ".fpn"};
  return {stem + ".distrib"};
}

struct RunFiles {
  std::string out;  // standard output
  std::map<std::string, std::string> files;
};

RunFiles RunOnce(const path& dir, const RerunCase& c) {
  const e2e::RunResult r = e2e::RunVandrel(dir, "params.txt");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  RunFiles got;
  got.out = r.out;
  std::vector<std::string> names = CacheNames(c);
  names.push_back("out.res.sol");
  names.push_back("out.anl");
  for (const std::string& name : names) {
    EXPECT_TRUE(e2e::fs::exists(dir / name)) << name << " was not written";
    got.files[name] = e2e::ReadFile(dir / name);
  }
  return got;
}

void ExpectSameRun(const RunFiles& got, const RunFiles& want, const std::string& what) {
  EXPECT_EQ(got.out, want.out) << what << ": standard output differs";
  for (const auto& [name, text] : want.files)
    EXPECT_EQ(got.files.at(name), text) << what << ": " << name << " differs";
}

class Rerun : public ::testing::TestWithParam<RerunCase> {};

// Run 1 writes the caches, run 2 reads them: both give the same files.
// Then, starting each time from run 1's caches, one cache file is removed
// or replaced by a table of other data; the run that rebuilds what is
// missing gives run 1's results and rebuilds run 1's files.
TEST_P(Rerun, EveryRunOnOnePrefixGivesTheFirstRunsResults) {
  const RerunCase& c = GetParam();
  e2e::ScratchDir dir(std::string("rerun_") + c.name);
  const std::string ext = IsFP(c) ? ".orig" : ".sim";
  e2e::fs::copy_file(kData / (std::string(c.input) + ext), dir.Path() / ("in" + ext));
  e2e::WriteFile(dir.Path() / "params.txt",
                 e2e::Params(c.type, "in", "out", c.simType, c.homogeneity));

  const RunFiles first = RunOnce(dir.Path(), c);
  ASSERT_FALSE(HasFailure());
  ExpectSameRun(RunOnce(dir.Path(), c), first, "run 2 on the caches");

  const std::string stem = std::string("in") + c.cacheStem;
  const auto restore = [&] {
    for (const std::string& name : CacheNames(c))
      e2e::WriteFile(dir.Path() / name, first.files.at(name));
  };
  struct Variation {
    std::string what;
    std::function<void()> apply;
  };
  std::vector<Variation> variations = {
      {"without " + stem + ".distrib", [&] { e2e::fs::remove(dir.Path() / (stem + ".distrib")); }}};
  if (IsFP(c)) {
    variations.push_back(
        {"without " + stem + ".sim", [&] { e2e::fs::remove(dir.Path() / (stem + ".sim")); }});
    variations.push_back(
        {"without " + stem + ".fpn", [&] { e2e::fs::remove(dir.Path() / (stem + ".fpn")); }});
    variations.push_back({"without .sim and .distrib", [&] {
                            e2e::fs::remove(dir.Path() / (stem + ".sim"));
                            e2e::fs::remove(dir.Path() / (stem + ".distrib"));
                          }});
    // A table of other genes, beside run 1's model: both are rebuilt.
    variations.push_back({"with a " + stem + ".sim of other data", [&] {
                            e2e::WriteFile(dir.Path() / (stem + ".sim"),
                                           "NAMES:\nx1\nx2\nVALUES:\n0\t1\t0.5\n");
                          }});
  }
  for (const Variation& v : variations) {
    restore();
    v.apply();
    ExpectSameRun(RunOnce(dir.Path(), c), first, v.what);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, Rerun,
    ::testing::Values(RerunCase{"fp_correlation", "FP", "fp_rerun", "CORRELATION", "", ".co"},
                      RerunCase{"fp_dotproduct", "FP", "fp_rerun", "DOTPRODUCT", "", ".dp"},
                      RerunCase{"fp_homogeneity", "FP", "fp_rerun", "CORRELATION", "0.4", ".co"},
                      RerunCase{"fp_homogeneity_dotproduct", "FP", "fp_rerun", "DOTPRODUCT", "0.6",
                                ".dp"},
                      RerunCase{"sd", "SD", "sd_small", "", "", ""}),
    [](const ::testing::TestParamInfo<RerunCase>& info) { return std::string(info.param.name); });

// Caches written by the version before first runs went on from their
// caches' text (tests/data/e2e/cached/<case>/, with that version's outputs
// of a run that read them): a run on them gives the same outputs and leaves
// the caches as they are.
TEST(CachedRun, CachesOfTheEarlierVersionKeepItsResults) {
  const struct {
    const char* name;
    const char* type;
    const char* simType;
    std::vector<std::string> caches;
    const char* input;  // path below tests/data/e2e, staged as in.orig / in.sim
  } cases[] = {
      {"fp_correlation", "FP", "CORRELATION", {"in.co.sim", "in.co.distrib"},
       "cached/fp_correlation/in.orig"},
      {"sd", "SD", "", {"in.distrib"}, "sd_small.sim"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const path fixture = kData / "cached" / c.name;
    e2e::ScratchDir dir(std::string("cached_") + c.name);
    const std::string fp = std::string(c.type) == "FP" ? ".orig" : ".sim";
    e2e::fs::copy_file(kData / c.input, dir.Path() / ("in" + fp));
    for (const std::string& f : c.caches) e2e::fs::copy_file(fixture / f, dir.Path() / f);
    e2e::WriteFile(dir.Path() / "params.txt", e2e::Params(c.type, "in", "out", c.simType));

    const e2e::RunResult r = e2e::RunVandrel(dir.Path(), "params.txt");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, e2e::ReadFile(fixture / "stdout.golden"));
    for (const char* f : {"out.res.sol", "out.anl"})
      EXPECT_EQ(e2e::ReadFile(dir.Path() / f), e2e::ReadFile(fixture / f)) << f << " differs";
    for (const std::string& f : c.caches)
      EXPECT_EQ(e2e::ReadFile(dir.Path() / f), e2e::ReadFile(fixture / f)) << f << " changed";
  }
}

}  // namespace
