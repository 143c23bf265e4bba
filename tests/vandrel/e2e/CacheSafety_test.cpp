// Caches of whole runs on fingerprints: a run killed while writing its
// similarity cache leaves no cache under the final name, so the next run
// computes it afresh and gives the clean run's solution; a cache written
// for other data (other element names) is ignored and replaced.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "vandrel/e2e/BadInputUtil.h"

namespace {

using badinput::Outcome;

const char kParams[] =
    "DATA_TYPE\r\nFP\r\nINPUT_FILES_PREFIX\r\nin\r\nOUTPUT_FILE_PREFIX\r\nout\r\n"
    "SIMILARITY_TYPE\r\nCORRELATION\r\n";

// n genes named <prefix>0 ... in three groups of similar profiles over ten
// conditions, values from a small linear congruential sequence.
std::string Orig(const std::string& prefix, int n, unsigned seed) {
  std::string text = std::to_string(n) + " 10\n";
  unsigned state = seed;
  for (int i = 0; i < n; ++i) {
    text += prefix + std::to_string(i);
    for (int j = 0; j < 10; ++j) {
      state = state * 1664525u + 1013904223u;
      const int group = i % 3;
      const double base = (j % 3 == group) ? 9.0 : 1.0;
      const double noise = static_cast<double>((state >> 10) % 1000) / 500.0;
      text += " " + std::to_string(base + noise);
    }
    text += "\n";
  }
  return text;
}

Outcome RunIn(const badinput::fs::path& dir, const std::string& limit = "") {
  // The program is started through the shell, so a file-size limit can be
  // set for it alone.
  return badinput::RunBounded(dir, "/bin/sh", "-c '" + limit + "exec \"" VANDREL_BIN "\" params.txt'",
                              0, 120);
}

std::vector<std::string> CacheFiles(const badinput::fs::path& dir) {
  std::vector<std::string> found;
  for (const char* name : {"in.co.sim", "in.co.distrib", "in.co.fpn", "out.res.sol"})
    if (badinput::fs::exists(dir / name)) found.push_back(name);
  return found;
}

TEST(CacheSafety, RunKilledWhileWritingItsCacheLeavesNoCache) {
  const std::string orig = Orig("g", 240, 11);
  badinput::Scratch clean("clean"), killed("killed");
  for (const auto* d : {&clean, &killed}) {
    badinput::Spit(*d / "params.txt", kParams);
    badinput::Spit(*d / "in.orig", orig);
  }
  const Outcome reference = RunIn(clean.Path());
  ASSERT_EQ(reference.status, 0) << reference.err;
  const std::string solution = badinput::Slurp(clean / "out.res.sol");
  const std::string simCache = badinput::Slurp(clean / "in.co.sim");
  // The file-size limit below must cut the similarity cache.
  ASSERT_GT(simCache.size(), 200000u);

  // Files may not grow beyond about 100 KB: the cache write is stopped by
  // SIGXFSZ part-way.
  const Outcome cut = RunIn(killed.Path(), "ulimit -f 200; ");
  EXPECT_NE(cut.status, 0);
  EXPECT_TRUE(CacheFiles(killed.Path()).empty());

  // The next run neither trusts nor stumbles over what the killed run left.
  const Outcome rerun = RunIn(killed.Path());
  ASSERT_EQ(rerun.status, 0) << rerun.err;
  EXPECT_EQ(badinput::Slurp(killed / "out.res.sol"), solution);
  EXPECT_EQ(badinput::Slurp(killed / "in.co.sim"), simCache);
}

TEST(CacheSafety, CacheOfOtherDataIsIgnoredAndReplaced) {
  badinput::Scratch reused("reused"), fresh("fresh");
  badinput::Spit(reused / "params.txt", kParams);
  badinput::Spit(reused / "in.orig", Orig("a", 90, 5));
  const Outcome first = RunIn(reused.Path());
  ASSERT_EQ(first.status, 0) << first.err;
  ASSERT_TRUE(badinput::fs::exists(reused / "in.co.sim"));

  // Other genes under the same prefix: the caches of the first data must
  // not be used.
  const std::string other = Orig("b", 120, 9);
  badinput::Spit(reused / "in.orig", other);
  badinput::Spit(fresh / "params.txt", kParams);
  badinput::Spit(fresh / "in.orig", other);
  const Outcome second = RunIn(reused.Path());
  const Outcome clean = RunIn(fresh.Path());
  ASSERT_EQ(second.status, 0) << second.err;
  ASSERT_EQ(clean.status, 0) << clean.err;
  EXPECT_EQ(second.out, clean.out);
  for (const char* name : {"out.res.sol", "in.co.sim", "in.co.distrib", "in.co.fpn"})
    EXPECT_EQ(badinput::Slurp(reused / name), badinput::Slurp(fresh / name)) << name;
}

}  // namespace
