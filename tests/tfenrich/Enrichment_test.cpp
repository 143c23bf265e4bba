#include "tfenrich/Enrichment.h"

#include <gtest/gtest.h>

#include <string>

#include "TestUtil.h"
#include "tfenrich/Random.h"
#include "tfenrich/Scores.h"

namespace {

using tfenrich::TestSettings;

// 6 promoters, TFs "E2F(h)" and "LongerNameThan20Chars(x)", target-sets 4
// (P0, P1, P5) and 9 (P2, P3).
class EnrichmentRun : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(tfs.init(2000));
    ASSERT_TRUE(tfs.add("E2F(h)"));
    ASSERT_TRUE(tfs.add("LongerNameThan20Chars(x)"));
    ASSERT_TRUE(promoters.init(40000));
    ASSERT_TRUE(fp.init(2, 6));
    const int hits[2][6] = {{2, 1, 0, 0, 0, 0}, {0, 0, 1, 1, 0, 1}};
    for (int r = 0; r < 6; ++r) {
      ASSERT_TRUE(promoters.add(("P" + std::to_string(r)).c_str()));
      for (int t = 0; t < 2; ++t) {
        ASSERT_TRUE(fp.set(r, t, (hits[t][r] + 0.05) / 100.5, hits[t][r], 100));
      }
    }
    fp.setRowsUsed(6);
    ASSERT_TRUE(sets.init());
    for (int r : {0, 1, 5}) ASSERT_TRUE(sets.add(r, "", 4));
    for (int r : {2, 3}) ASSERT_TRUE(sets.add(r, "", 9));
  }
  bool run(double threshold, bool bonferroni, TestSettings hg, TestSettings emp,
           const std::string& path) {
    tfenrich::seedRandom(34);
    return tfenrich::findEnrichedTFs(tfs, promoters, sets, fp, threshold, bonferroni, path, &hg,
                                     &emp);
  }
  tftest::TempDir dir;
  tfenrich::NamedIdSet tfs, promoters;
  tfenrich::FingerprintMatrix fp;
  tfenrich::TargetSets sets;
};

const char* const kHeader =
    "<target-set> <PWM> <p-value> <target-set-stats: hits,coverage,size> "
    "<BG-set-stats: hits,coverage,size>\n";

TEST_F(EnrichmentRun, ResultFileAndScreenLines) {
  // Independent HG values (limit 3), by counting subsets by hand:
  //  E2F in set 4: weights {2,1,0,0,0,0}, n 3, x 3: subsets holding P0 and
  //   P1: 4 of C(6,3) = 20 -> 0.2.
  //  E2F in set 9: x 0 -> 1.
  //  Long TF in set 4: weights {0,0,1,1,0,1}, n 3, x 1: 1 - C(3,3)/20 = 0.95.
  //  Long TF in set 9: n 2, x 2: C(3,2)/C(6,2) = 3/15 = 0.2.
  const std::string path = dir.file("result.txt");
  tftest::Capture capture;
  ASSERT_TRUE(run(0.3, false, {true, 3}, {false, 100000}, path));
  EXPECT_EQ(tftest::readFile(path),
            std::string(kHeader) +
                "4\tE2F(h)              \t2.00e-001\t3,2,3\t3,2,6\tP0 P1 \n"
                "9\tE2F(h)              \t1.00e+000\t0,0,2\t3,2,6\n"
                "4\tLongerNameThan20Chars(x)\t9.50e-001\t1,1,3\t3,3,6\n"
                "9\tLongerNameThan20Chars(x)\t2.00e-001\t2,2,2\t3,3,6\tP2 P3 \n");
  EXPECT_EQ(capture.out(),
            "=> TF #0: E2F(h)\n"
            "   TF E2F(h) , Target-set 4: HG = 2.00e-001 ;\n"
            "=> TF #1: LongerNameThan20Chars(x)\n"
            "   TF LongerNameThan20Chars(x) , Target-set 9: HG = 2.00e-001 ;\n");
  EXPECT_EQ(capture.err(), "");
}

TEST_F(EnrichmentRun, ThresholdIsStrictAndAppliedAfterTheFix) {
  const std::string path = dir.file("result.txt");
  const double exact = tfenrich::calcHyperGeometricScore(4, 1, 1, 0, 3, 3);
  {
    tftest::Capture capture;
    ASSERT_TRUE(run(exact, false, {true, 3}, {false, 100000}, path));
    EXPECT_EQ(capture.out().find("   TF"), std::string::npos);  // equal is not below
  }
  // Bonferroni over 2 TFs x 2 sets: 0.2 * 4 = 0.8 and the 0.95 is capped at 1.
  tftest::Capture capture;
  ASSERT_TRUE(run(0.5, true, {true, 3}, {false, 100000}, path));
  const std::string result = tftest::readFile(path);
  EXPECT_NE(result.find("4\tE2F(h)              \t8.00e-001\t3,2,3\t3,2,6\n"), std::string::npos)
      << result;
  EXPECT_NE(result.find("\t1.00e+000\t1,1,3\t3,3,6\n"), std::string::npos) << result;
  EXPECT_EQ(capture.out(), "=> TF #0: E2F(h)\n=> TF #1: LongerNameThan20Chars(x)\n");
}

TEST_F(EnrichmentRun, EmpiricalOnlyWritesJustTheHeader) {
  const std::string path = dir.file("result.txt");
  tftest::Capture capture;
  ASSERT_TRUE(run(1.5, false, {false, 3}, {true, 100000}, path));
  EXPECT_EQ(tftest::readFile(path), kHeader);
  const std::string out = capture.out();
  // Every pair is below 1.5; only the empirical part is shown.
  EXPECT_NE(out.find("   TF E2F(h) , Target-set 4: Emp = "), std::string::npos) << out;
  EXPECT_NE(out.find("   TF LongerNameThan20Chars(x) , Target-set 9: Emp = "), std::string::npos);
  EXPECT_EQ(out.find("HG ="), std::string::npos);
  // E2F in set 9 has score sum at the BG minimum: every subset reaches it.
  EXPECT_NE(out.find("   TF E2F(h) , Target-set 9: Emp = 1.00e+000 ;\n"), std::string::npos);
}

TEST_F(EnrichmentRun, BothTestsOnTheScreenAndNoFileWithoutPath) {
  tftest::Capture capture;
  ASSERT_TRUE(run(0.3, false, {true, 3}, {true, 100000}, ""));
  EXPECT_NE(capture.out().find("   TF E2F(h) , Target-set 4: HG = 2.00e-001 ; Emp = "),
            std::string::npos)
      << capture.out();
}

TEST_F(EnrichmentRun, Failures) {
  {
    tftest::Capture capture;
    EXPECT_FALSE(run(0.3, false, {true, 4}, {false, 100000}, dir.file("bad_limit.txt")));
    EXPECT_EQ(capture.err(),
              "ERROR: Max. number of hits for hyper-geometric score must be 1-3.\n"
              "ERROR: Problems setting max-hits for hyper-geometric score.\n");
    EXPECT_FALSE(tftest::fileExists(dir.file("bad_limit.txt")));
  }
  {
    tftest::Capture capture;
    const std::string path = dir.file("no/such/folder/result.txt");
    EXPECT_FALSE(run(0.3, false, {true, 3}, {false, 100000}, path));
    EXPECT_EQ(capture.err(), "ERROR: Can't write to output file '" + path + "'.\n");
  }
  {
    // An unwritable result is a failure, not a silent success.
    tftest::Capture capture;
    if (tftest::fileExists("/dev/full")) {
      EXPECT_FALSE(run(0.3, false, {true, 3}, {false, 100000}, "/dev/full"));
      EXPECT_EQ(capture.err(), "ERROR: Can't write to output file '/dev/full'.\n");
    }
  }
  TestSettings hg{true, 3};
  EXPECT_FALSE(tfenrich::findEnrichedTFs(tfs, promoters, sets, fp, 0.05, false, "", &hg, nullptr));
}

}  // namespace
