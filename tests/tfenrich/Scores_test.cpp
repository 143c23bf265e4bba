#include "tfenrich/Scores.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "tfenrich/Enrichment.h"
#include "tfenrich/Random.h"

namespace {

using tfenrich::calcHyperGeometricScore;
using tfenrich::lchoose;

double lchooseByGamma(int n, int k) {
  return std::lgamma(n + 1.0) - std::lgamma(k + 1.0) - std::lgamma(n - k + 1.0);
}

TEST(Lchoose, ExactBranchMatchesLgamma) {
  const int cases[][2] = {{5, 2},  {10, 1},   {40, 20},   {41, 20}, {1000, 3},
                          {1000, 980}, {1000, 997}, {60, 40}, {21, 20}, {2, 1}};
  for (const auto& c : cases) {
    EXPECT_NEAR(lchoose(c[0], c[1]), lchooseByGamma(c[0], c[1]), 1e-9 * (1 + lchooseByGamma(c[0], c[1])))
        << c[0] << " " << c[1];
  }
  EXPECT_NEAR(lchoose(5, 2), std::log(10.0), 1e-12);
  EXPECT_EQ(lchoose(7, 0), 0.0);
  EXPECT_EQ(lchoose(7, 7), 0.0);
  EXPECT_EQ(lchoose(0, 0), 0.0);
}

TEST(Lchoose, StirlingBranchHasStirlingsError) {
  // Beyond 20 on both sides the value is Stirling's approximation, whose
  // error against the exact value is 1/(12k) + 1/(12(n-k)) - 1/(12n) up to
  // third-order terms.
  const int cases[][2] = {{100, 50}, {42, 21}, {40000, 200}, {120017, 60000}, {63, 21}};
  for (const auto& c : cases) {
    const double n = c[0], k = c[1];
    const double expectedError = 1 / (12 * k) + 1 / (12 * (n - k)) - 1 / (12 * n);
    EXPECT_NEAR(lchoose(c[0], c[1]) - lchooseByGamma(c[0], c[1]), expectedError,
                1e-6 + 1e-12 * lchooseByGamma(c[0], c[1]))
        << c[0] << " " << c[1];
  }
}

TEST(Lchoose, IllegalInputPrintsAndYieldsZero) {
  tftest::Capture capture;
  EXPECT_EQ(lchoose(4, 5), 0.0);
  EXPECT_EQ(lchoose(4, -1), 0.0);
  EXPECT_EQ(capture.err(),
            "ERROR: Illegal input to lchoose(): k=5, n=4\n"
            "ERROR: Illegal input to lchoose(): k=-1, n=4\n");
}

// Upper tail of the class-weighted total, by enumerating every subset of a
// small background: p[n][x] = share of the n-subsets whose total is >= x.
std::vector<std::vector<double>> bruteForceTails(const std::vector<int>& weights) {
  const int N = static_cast<int>(weights.size());
  const int maxTotal = 3 * N;
  std::vector<std::vector<double>> count(N + 1, std::vector<double>(maxTotal + 2, 0.0));
  for (unsigned mask = 0; mask < (1u << N); ++mask) {
    int n = 0, total = 0;
    for (int i = 0; i < N; ++i) {
      if (mask & (1u << i)) {
        ++n;
        total += weights[i];
      }
    }
    count[n][total] += 1;
  }
  for (int n = 0; n <= N; ++n) {
    double subsets = 0;
    for (double c : count[n]) subsets += c;
    for (int x = maxTotal; x >= 0; --x) count[n][x] += count[n][x + 1];
    for (double& c : count[n]) c /= subsets;
  }
  return count;
}

TEST(HyperGeometric, MatchesBruteForceOverAllSubsets) {
  const std::vector<std::vector<int>> backgrounds = {
      {0, 1, 2, 3, 5, 0, 0, 1, 4, 2, 0, 7},  // raw hit counts, capped below
      {0, 0, 0, 0, 0, 0, 0, 1, 1, 9},
      {3, 3, 3, 2, 2, 1, 0, 0, 0, 0, 0, 0, 0},
      {1, 1, 1, 1, 1, 1, 1, 1},
      {0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 0},
  };
  for (const auto& hits : backgrounds) {
    for (int limit = 1; limit <= 3; ++limit) {
      std::vector<int> weights;
      int a[4] = {0, 0, 0, 0};
      for (int h : hits) {
        weights.push_back(std::min(h, limit));
        ++a[std::min(h, limit)];
      }
      const auto tails = bruteForceTails(weights);
      const int N = static_cast<int>(hits.size());
      for (int n = 0; n <= N; ++n) {
        for (int x = 0; x <= 3 * n + 1; ++x) {
          const double p = calcHyperGeometricScore(a[0], a[1], a[2], a[3], n, x);
          EXPECT_NEAR(p, tails[n][x], 1e-10)
              << "limit " << limit << " n " << n << " x " << x << " N " << N;
        }
      }
    }
  }
}

// Classic upper hyper-geometric tail with exact binomials (Pascal).
double classicTail(int N, int K, int n, int x) {
  std::vector<std::vector<double>> C(N + 1, std::vector<double>(N + 1, 0.0));
  for (int i = 0; i <= N; ++i) {
    C[i][0] = 1;
    for (int j = 1; j <= i; ++j) C[i][j] = C[i - 1][j - 1] + (j <= i - 1 ? C[i - 1][j] : 0);
  }
  double tail = 0;
  for (int i = std::max(x, 0); i <= std::min(K, n); ++i) {
    if (n - i <= N - K) tail += C[K][i] * C[N - K][n - i];
  }
  return tail / C[N][n];
}

TEST(HyperGeometric, LimitOneIsTheClassicTail) {
  // Background sizes up to 40 keep every log binomial in the exact branch.
  const int cases[][4] = {{40, 10, 8, 4}, {40, 10, 8, 0}, {40, 10, 8, 9},
                          {30, 29, 20, 19}, {35, 3, 12, 2}, {40, 20, 20, 14}};
  for (const auto& c : cases) {
    const int N = c[0], K = c[1], n = c[2], x = c[3];
    const double p = calcHyperGeometricScore(N - K, K, 0, 0, n, x);
    EXPECT_NEAR(p, classicTail(N, K, n, x), 1e-10 * std::max(1.0, classicTail(N, K, n, x)))
        << N << " " << K << " " << n << " " << x;
  }
}

TEST(HyperGeometric, LargeBackgroundStaysCloseToTheExactTail) {
  // With n and N - n above 20 the normaliser uses Stirling's formula; the
  // p-value then carries its small relative error (well below 1 %).
  const int N = 2000, K = 300, n = 60;
  for (int x : {9, 15, 20, 30}) {
    long double exact = 0;
    for (int i = x; i <= n; ++i) {
      exact += std::exp(static_cast<long double>(lchooseByGamma(K, i) + lchooseByGamma(N - K, n - i) -
                                                 lchooseByGamma(N, n)));
    }
    const double p = calcHyperGeometricScore(N - K, K, 0, 0, n, x);
    EXPECT_NEAR(p / static_cast<double>(exact), 1.0, 0.01) << x;
  }
}

TEST(HyperGeometric, SpecialCases) {
  EXPECT_EQ(calcHyperGeometricScore(5, 3, 2, 1, 0, 1), 0.0);          // n = 0, x > 0
  EXPECT_EQ(calcHyperGeometricScore(5, 3, 2, 1, 0, 0), 1.0);
  EXPECT_EQ(calcHyperGeometricScore(2, 1, 0, 0, 4, 0), -1.0);         // E < n
  EXPECT_EQ(calcHyperGeometricScore(-1, 5, 0, 0, 2, 0), -1.0);
  EXPECT_EQ(calcHyperGeometricScore(3, 3, 3, 3, -1, 0), -1.0);
  EXPECT_EQ(calcHyperGeometricScore(5, 1, 0, 0, 2, 2), 0.0);          // total above reach
  EXPECT_NEAR(calcHyperGeometricScore(4, 3, 2, 1, 10, 10), 1.0, 1e-12);  // n = N, full total
  // x = 0 qualifies every subset: 1 up to rounding and never above.
  for (int n : {1, 25, 60, 150}) {
    const double p = calcHyperGeometricScore(100, 40, 20, 10, n, 0);
    EXPECT_LE(p, 1.0);
    EXPECT_NEAR(p, 1.0, 0.01) << n;
  }
}

// A small scoring fixture: 8 promoters, 2 TFs, target-sets 7 and 3.
class ScoreFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(tfs.init(2000));
    ASSERT_TRUE(tfs.add("T0"));
    ASSERT_TRUE(tfs.add("T1"));
    ASSERT_TRUE(promoters.init(40000));
    ASSERT_TRUE(fp.init(2, 8));
    const int hits0[8] = {5, 0, 2, 1, 0, 0, 3, 0};
    for (int r = 0; r < 8; ++r) {
      ASSERT_TRUE(promoters.add(("P" + std::to_string(r)).c_str()));
      ASSERT_TRUE(fp.set(r, 0, 0.1 * hits0[r], hits0[r], 100));
      ASSERT_TRUE(fp.set(r, 1, 0.01, 0, 100));
    }
    fp.setRowsUsed(8);
    ASSERT_TRUE(sets.init());
    for (int r : {0, 2, 4}) ASSERT_TRUE(sets.add(r, "", 7));
    ASSERT_TRUE(sets.add(5, "", 3));
  }
  tfenrich::NamedIdSet tfs, promoters;
  tfenrich::FingerprintMatrix fp;
  tfenrich::TargetSets sets;
};

TEST_F(ScoreFixture, HyperGeometricStatisticsAndCapping) {
  tfenrich::HyperGeometricScore hg;
  ASSERT_TRUE(hg.setMaxHits(2));
  hg.setData(&tfs, &promoters, &sets, &fp);
  double p = -1;
  tfenrich::ScoreStatistics st;
  ASSERT_TRUE(hg.computeScore(0, 0, &p, &st));
  // Members P0 (5 hits), P2 (2), P4 (0): capped total 4 over n = 3.
  const auto tails = bruteForceTails({2, 0, 2, 1, 0, 0, 2, 0});
  EXPECT_NEAR(p, tails[3][4], 1e-12);
  EXPECT_EQ(st.targetHits, 7);
  EXPECT_EQ(st.targetCoverage, 2);
  EXPECT_EQ(st.targetSize, 3);
  EXPECT_EQ(st.bgHits, 11);
  EXPECT_EQ(st.bgCoverage, 4);
  EXPECT_EQ(st.bgSize, 8);
  // Out-of-range indices and missing data fail without a message.
  tftest::Capture capture;
  EXPECT_FALSE(hg.computeScore(2, 0, &p, nullptr));
  EXPECT_FALSE(hg.computeScore(0, 2, &p, nullptr));
  hg.reset();
  EXPECT_FALSE(hg.computeScore(0, 0, &p, nullptr));
  EXPECT_EQ(capture.err(), "");
}

// Counts and p-values of many (set, TF) pairs, asked in mixed order and
// with every limit, equal a recount over all promoters for each pair.
TEST(HyperGeometricCounts, EqualAPerPairRecount) {
  const int kTfs = 4, kRows = 300;
  tfenrich::NamedIdSet tfs, promoters;
  tfenrich::FingerprintMatrix fp;
  tfenrich::TargetSets sets;
  ASSERT_TRUE(tfs.init(2000));
  ASSERT_TRUE(promoters.init(40000));
  ASSERT_TRUE(fp.init(kTfs, kRows));
  for (int t = 0; t < kTfs; ++t) ASSERT_TRUE(tfs.add(("T" + std::to_string(t)).c_str()));
  std::vector<std::vector<int>> hits(kRows, std::vector<int>(kTfs));
  unsigned state = 5;
  for (int r = 0; r < kRows; ++r) {
    ASSERT_TRUE(promoters.add(("P" + std::to_string(r)).c_str()));
    for (int t = 0; t < kTfs; ++t) {
      state = state * 1103515245u + 12345u;
      // Mostly zeros, then 1..5 hits; TF 3 has none at all.
      const int h = t == 3 ? 0 : std::max(0, static_cast<int>((state >> 16) % 9) - 3);
      hits[r][t] = h;
      ASSERT_TRUE(fp.set(r, t, 0.01 * h, h, 100));
    }
  }
  fp.setRowsUsed(kRows);
  ASSERT_TRUE(sets.init());
  const int kSets = 3;
  std::vector<std::vector<int>> members(kSets);
  for (int r = 0; r < kRows; ++r) {
    if (r % 7 == 0) members[0].push_back(r);
    if (r % 11 == 3) members[1].push_back(r);
    if (r >= 200 && r < 240) members[2].push_back(r);
  }
  for (int s = 0; s < kSets; ++s) {
    for (int r : members[s]) ASSERT_TRUE(sets.add(r, "", 10 + s));
  }
  ASSERT_EQ(sets.count(), kSets);
  for (int limit = 1; limit <= 3; ++limit) {
    tfenrich::HyperGeometricScore hg;
    ASSERT_TRUE(hg.setMaxHits(limit));
    hg.setData(&tfs, &promoters, &sets, &fp);
    for (int round = 0; round < 2; ++round) {
      for (int t : {0, 2, 1, 3, 0}) {
        for (int s = 0; s < kSets; ++s) {
          const int setIndex = round == 0 ? s : kSets - 1 - s;
          int cls[4] = {0, 0, 0, 0}, bgHits = 0, bgCoverage = 0;
          for (int r = 0; r < kRows; ++r) {
            const int h = hits[r][t];
            ++cls[h < limit ? h : limit];
            bgHits += h;
            bgCoverage += h > 0 ? 1 : 0;
          }
          const std::vector<int>& m = sets.members(setIndex);
          int x = 0, targetHits = 0, targetCoverage = 0;
          for (int r : m) {
            x += std::min(hits[r][t], limit);
            targetHits += hits[r][t];
            targetCoverage += hits[r][t] > 0 ? 1 : 0;
          }
          const int n = static_cast<int>(m.size());
          double p = -1;
          tfenrich::ScoreStatistics st;
          ASSERT_TRUE(hg.computeScore(setIndex, t, &p, &st));
          EXPECT_EQ(p, calcHyperGeometricScore(cls[0], cls[1], cls[2], cls[3], n, x))
              << "limit " << limit << " set " << setIndex << " TF " << t;
          EXPECT_EQ(st.targetHits, targetHits);
          EXPECT_EQ(st.targetCoverage, targetCoverage);
          EXPECT_EQ(st.targetSize, n);
          EXPECT_EQ(st.bgHits, bgHits);
          EXPECT_EQ(st.bgCoverage, bgCoverage);
          EXPECT_EQ(st.bgSize, kRows);
        }
      }
    }
  }
}

TEST(HyperGeometricLimit, OnlyOneToThree) {
  tftest::Capture capture;
  tfenrich::HyperGeometricScore hg;
  EXPECT_EQ(hg.limit(), 2);
  EXPECT_FALSE(hg.setMaxHits(0));
  EXPECT_FALSE(hg.setMaxHits(4));
  EXPECT_TRUE(hg.setMaxHits(3));
  EXPECT_EQ(hg.limit(), 3);
  EXPECT_EQ(capture.err(),
            "ERROR: Max. number of hits for hyper-geometric score must be 1-3.\n"
            "ERROR: Max. number of hits for hyper-geometric score must be 1-3.\n");
}

TEST(Empirical, EqualScoresStopAfterTenDrawsWithPOne) {
  tfenrich::FingerprintMatrix fp;
  ASSERT_TRUE(fp.init(1, 50));
  for (int r = 0; r < 50; ++r) ASSERT_TRUE(fp.set(r, 0, 0.25, 1, 3));
  fp.setRowsUsed(50);
  tfenrich::EmpiricalScore emp(100000);
  const int members[3] = {4, 9, 11};
  tfenrich::seedRandom(7);
  EXPECT_EQ(emp.calcEmpiricalScore(fp, 0, members, 3), 1.0);
  // Ten subsets of three: thirty draws of the generator.
  tfenrich::seedRandom(7);
  for (int i = 0; i < 30; ++i) tfenrich::nextRandom();
  const int expectedNext = tfenrich::nextRandom();
  tfenrich::seedRandom(7);
  EXPECT_EQ(emp.calcEmpiricalScore(fp, 0, members, 3), 1.0);
  EXPECT_EQ(tfenrich::nextRandom(), expectedNext);
}

TEST(Empirical, SmallLimitStillDrawsTwentySubsets) {
  // Only the target promoter scores high, so random subsets of one rarely
  // reach it: no early stop, exactly max(limit, 20) = 20 draws.
  tfenrich::FingerprintMatrix fp;
  ASSERT_TRUE(fp.init(1, 1000));
  for (int r = 0; r < 1000; ++r) ASSERT_TRUE(fp.set(r, 0, r == 500 ? 9.0 : 0.0, 0, 1));
  fp.setRowsUsed(1000);
  tfenrich::EmpiricalScore emp(5);
  const int members[1] = {500};
  tfenrich::seedRandom(34);
  std::vector<int> draws(20);
  for (int& d : draws) d = tfenrich::nextRandom();
  const int expectedNext = tfenrich::nextRandom();
  // Independent count of the subsets that hit row 500: the first draw of a
  // fresh identity permutation of 1000 picks row floor(r * 1000 / 32768);
  // later single draws pick position 0 of the running permutation.
  std::vector<int> perm(1000);
  for (int i = 0; i < 1000; ++i) perm[i] = i;
  int reached = 0;
  for (int r : draws) {
    const int j = static_cast<int>(static_cast<long long>(r) * 1000 / 32768);
    std::swap(perm[0], perm[j]);
    if (perm[0] == 500) ++reached;
  }
  tfenrich::seedRandom(34);
  EXPECT_DOUBLE_EQ(emp.calcEmpiricalScore(fp, 0, members, 1), reached / 20.0);
  EXPECT_EQ(tfenrich::nextRandom(), expectedNext);
}

TEST(Empirical, EarlyStopGivesTenOverDraws) {
  // Scores 0..3 and the target holds the top one: about one subset in four
  // reaches it, so the test stops at the tenth such subset.
  tfenrich::FingerprintMatrix fp;
  ASSERT_TRUE(fp.init(1, 4));
  for (int r = 0; r < 4; ++r) ASSERT_TRUE(fp.set(r, 0, r, 0, 1));
  fp.setRowsUsed(4);
  tfenrich::EmpiricalScore emp(1000);
  const int members[1] = {3};
  tfenrich::seedRandom(99);
  const double p = emp.calcEmpiricalScore(fp, 0, members, 1);
  int draws = 0;
  tfenrich::seedRandom(99);
  {
    // Replay: count draws until the running permutation put row 3 first ten times.
    std::vector<int> perm = {0, 1, 2, 3};
    int reached = 0;
    while (reached < 10) {
      const int r = tfenrich::nextRandom();
      std::swap(perm[0], perm[static_cast<int>(static_cast<long long>(r) * 4 / 32768)]);
      if (perm[0] == 3) ++reached;
      ++draws;
    }
  }
  EXPECT_GT(draws, 10);
  EXPECT_DOUBLE_EQ(p, 10.0 / draws);
}

// Replays the empirical test one generator draw at a time: identity
// permutation, Fisher-Yates swaps of slots 0..n-1, the subset's scores added
// in slot order; returns exceeding draws / draws.
double replayEmpirical(const std::vector<double>& scores, const std::vector<int>& members,
                       int limit) {
  const int N = static_cast<int>(scores.size());
  const int n = static_cast<int>(members.size());
  double observed = 0;
  for (int m : members) observed += scores[m];
  std::vector<int> perm(N);
  for (int i = 0; i < N; ++i) perm[i] = i;
  int exceed = 0, draws = 0;
  while (exceed < 10 && draws < std::max(limit, 20)) {
    for (int i = 0; i < n; ++i) {
      const long long r = tfenrich::nextRandom();
      std::swap(perm[i], perm[i + static_cast<int>(r * (N - i) / 32768)]);
    }
    double sum = 0;
    for (int i = 0; i < n; ++i) sum += scores[perm[i]];
    if (sum > observed - 1e-13) ++exceed;
    ++draws;
  }
  return static_cast<double>(exceed) / draws;
}

// Subset sums that land within rounding of the threshold must be decided by
// the slot-order sum: rows score 1 or 1 - 1e-13 (so one low row puts a
// subset right at the observed sum minus 1e-13), or tenths (sums that round
// differently in other orders), for set sizes around multiples of four.
// Negative scores (never read from a file) are scored too.
TEST(Empirical, DecisionsNearTheThresholdFollowTheSlotOrderSum) {
  const int N = 64;
  struct Case {
    const char* name;
    std::vector<double> scores;
  };
  std::vector<Case> cases(5);
  cases[0].name = "near ties";
  cases[1].name = "tenths";
  cases[2].name = "negative";
  // Most subsets hold a low row and fall short: long runs of draws.
  cases[3].name = "near ties, long runs";
  cases[4].name = "tiny scores";
  for (int r = 0; r < N; ++r) {
    cases[0].scores.push_back(r % 9 == 4 ? 1.0 - 1e-13 : 1.0);
    cases[1].scores.push_back(0.1 * (r % 7));
    cases[2].scores.push_back(r % 5 == 0 ? -0.3 : 0.1 * (r % 3));
    cases[3].scores.push_back(r % 3 != 0 ? 1.0 - 1e-13 : 1.0);
    cases[4].scores.push_back(r % 4 == 1 ? 1e-120 : 0.25 * (r % 3));
  }
  for (const Case& c : cases) {
    tfenrich::FingerprintMatrix fp;
    ASSERT_TRUE(fp.init(1, N));
    for (int r = 0; r < N; ++r) ASSERT_TRUE(fp.set(r, 0, c.scores[r], 1, 10));
    fp.setRowsUsed(N);
    for (int n : {1, 3, 4, 5, 7, 8, 9, 13, 21, N}) {
      std::vector<int> members;
      // Rows without a low score first, so the observed sum is the top one
      // for the near ties.
      for (int r = 0; static_cast<int>(members.size()) < n; ++r) {
        if (n == N || (r % 9 != 4 && r % 3 == 0)) members.push_back(r % N);
      }
      tfenrich::EmpiricalScore emp(3000);
      tfenrich::seedRandom(1000 + n);
      const double p = emp.calcEmpiricalScore(fp, 0, members.data(), n);
      const int next = tfenrich::nextRandom();
      tfenrich::seedRandom(1000 + n);
      EXPECT_EQ(p, replayEmpirical(c.scores, members, 3000)) << c.name << " n " << n;
      EXPECT_EQ(next, tfenrich::nextRandom()) << c.name << " n " << n;
    }
  }
}

TEST(Empirical, SizeErrors) {
  tftest::Capture capture;
  tfenrich::FingerprintMatrix fp;
  ASSERT_TRUE(fp.init(1, 3));
  fp.setRowsUsed(3);
  tfenrich::EmpiricalScore emp(100);
  const int members[4] = {0, 1, 2, 0};
  EXPECT_EQ(emp.calcEmpiricalScore(fp, 0, members, 4), -1.0);
  fp.setRowsUsed(40001);
  EXPECT_EQ(emp.calcEmpiricalScore(fp, 0, members, 1), -1.0);
  EXPECT_EQ(capture.err(),
            "ERROR: Target-set is larger than number of promoters (4 > 3).\n"
            "ERROR: Fingerprint is too long (40001).\n");
}

TEST(DrawRandomSubset, KeepsAPermutationAndDrawsEveryRowEvenly) {
  const int N = 20, n = 5, rounds = 20000;
  std::vector<int> perm(N);
  std::vector<int> chosen(N, 0);
  tfenrich::seedRandom(12345);
  for (int round = 0; round < rounds; ++round) {
    tfenrich::drawRandomSubset(perm.data(), N, n, round == 0);
    std::vector<int> sorted(perm);
    std::sort(sorted.begin(), sorted.end());
    for (int i = 0; i < N; ++i) ASSERT_EQ(sorted[i], i);
    for (int i = 0; i < n; ++i) ++chosen[perm[i]];
  }
  // Each row is in a subset with probability n / N = 1/4: 5000 expected,
  // standard deviation about 61.
  for (int c : chosen) EXPECT_NEAR(c, rounds * n / N, 400);
  // Initialising restarts from the identity.
  tfenrich::drawRandomSubset(perm.data(), N, 0, true);
  for (int i = 0; i < N; ++i) EXPECT_EQ(perm[i], i);
}

TEST(Bonferroni, MultipliesAndClamps) {
  const struct {
    bool on;
    double p;
    int tests;
    double expected;
  } cases[] = {
      {true, 0.001, 60, 0.06}, {true, 0.2, 60, 1.0}, {false, 0.2, 60, 0.2},
      {true, 0.5, 0, 0.5},     {true, 0.5, 2, 1.0},  {true, 0.0, 4000000, 0.0},
  };
  for (const auto& c : cases) {
    double p = c.p;
    tfenrich::applyBonferroni(c.on, p, c.tests);
    EXPECT_DOUBLE_EQ(p, c.expected) << c.on << " " << c.p << " " << c.tests;
  }
}

}  // namespace

namespace {

// Every term of the class-combination sum added in loop order, without
// skipping any; the scorer must give this sum bit for bit.
double directTripleSum(int a0, int a1, int a2, int a3, int n, int x) {
  int F;
  if (a3 >= n) F = 3 * n;
  else if (a2 >= n - a3) F = 3 * a3 + 2 * (n - a3);
  else if (a1 < n - a3 - a2) F = 3 * a3 + 2 * a2 + a1;
  else F = 3 * a3 + 2 * a2 + (n - a3 - a2);
  const double G = lchoose(a0 + a1 + a2 + a3, n);
  double sum = 0;
  for (int j = 0; j <= std::min({F, a1, n}); ++j) {
    for (int k = 0; k <= std::min({(F - j) / 2, a2, n - j}); ++k) {
      for (int l = std::max(0, n - j - k - a0); l <= std::min({(F - 2 * k - j) / 3, a3, n - j - k});
           ++l) {
        if (j + 2 * k + 3 * l >= x) {
          sum += std::exp(((lchoose(a0, n - j - k - l) + lchoose(a3, l)) + lchoose(a2, k)) +
                          lchoose(a1, j) - G);
        }
      }
    }
  }
  return std::min(1.0, std::max(0.0, sum));
}

// Rows kept between calls must hold lchoose(a, i) bit for bit whatever the
// order of requests (longer rows, another a in a slot, back again), and HG
// scores taking them from a shared cache must equal fresh computations.
TEST(LogChooseRows, CachedRowsEqualFreshValues) {
  tfenrich::LogChooseRows rows;
  const int requests[][3] = {{0, 50, 10}, {0, 50, 30}, {0, 50, 5},  {0, 40, 25},
                             {1, 40, 40}, {0, 50, 50}, {3, 0, 0},   {2, 19000, 120},
                             {2, 19000, 400}, {2, 18999, 3}};
  for (const auto& q : requests) {
    const double* row = rows.row(q[0], q[1], q[2]);
    for (int i = 0; i <= q[2]; ++i) {
      EXPECT_EQ(row[i], lchoose(q[1], i)) << q[0] << " " << q[1] << " " << i;
    }
  }
  const int cases[][6] = {
      {19000, 600, 250, 150, 80, 30},   {19000, 600, 250, 150, 400, 120},
      {19000, 600, 250, 150, 20, 9},    {19100, 500, 250, 150, 300, 100},
      {19000, 600, 250, 150, 500, 170}, {900, 60, 30, 10, 120, 40},
  };
  tfenrich::LogChooseRows shared;
  for (int round = 0; round < 2; ++round) {
    for (const auto& c : cases) {
      EXPECT_EQ(calcHyperGeometricScore(c[0], c[1], c[2], c[3], c[4], c[5], shared),
                calcHyperGeometricScore(c[0], c[1], c[2], c[3], c[4], c[5]))
          << c[0] << " " << c[1] << " " << c[2] << " " << c[3] << " n " << c[4] << " x " << c[5];
    }
  }
}

// Class sizes of a real-sized background (20,000 promoters, a few thousand
// with hits): scores from one shared cache, over growing and shrinking set
// sizes and totals from the lower tail to beyond the mean, equal the direct
// sum bit for bit; the bounds are the largest split terms.
TEST(HyperGeometric, SharedRowsAndBoundsKeepTheDirectSum) {
  tfenrich::LogChooseRows shared;
  const int a[2][4] = {{17300, 1700, 640, 360}, {17236, 1800, 600, 364}};
  const int sizes[][2] = {{60, 0}, {60, 5}, {60, 9}, {60, 14}, {150, 20}, {150, 33},
                          {150, 60}, {35, 4}, {35, 12}, {200, 45}, {200, 110}, {20, 2}};
  for (const auto& c : a) {
    for (const auto& q : sizes) {
      EXPECT_EQ(calcHyperGeometricScore(c[0], c[1], c[2], c[3], q[0], q[1], shared),
                directTripleSum(c[0], c[1], c[2], c[3], q[0], q[1]))
          << c[0] << " n " << q[0] << " x " << q[1];
    }
    const double* pairMax = nullptr;
    const double* tripleMax = nullptr;
    shared.bounds(c[0], c[2], c[3], 200, &pairMax, &tripleMax);
    for (int m : {0, 1, 7, 60, 200}) {
      double pair = -1e300, triple = -1e300;
      for (int l = 0; l <= m; ++l) pair = std::max(pair, lchoose(c[0], m - l) + lchoose(c[3], l));
      for (int k = 0; k <= m; ++k) {
        for (int l = 0; l <= m - k; ++l) {
          triple = std::max(triple, lchoose(c[0], m - k - l) + lchoose(c[2], k) + lchoose(c[3], l));
        }
      }
      EXPECT_NEAR(pairMax[m], pair, 1e-9) << m;
      EXPECT_NEAR(tripleMax[m], triple, 1e-9) << m;
    }
  }
}

TEST(HyperGeometric, LargeCasesEqualTheDirectSumExactly) {
  const int cases[][6] = {
      {10000, 5000, 2500, 2500, 150, 0},   {10000, 5000, 2500, 2500, 150, 170},
      {10000, 5000, 2500, 2500, 150, 260}, {10000, 5000, 2500, 2500, 150, 420},
      {900, 60, 30, 10, 120, 40},          {900, 60, 30, 10, 120, 5},
      {50, 400, 300, 250, 200, 350},       {19000, 600, 250, 150, 80, 30},
      {30, 20, 10, 40, 100, 150},          {0, 0, 0, 200, 150, 450},
  };
  for (const auto& c : cases) {
    const double direct = directTripleSum(c[0], c[1], c[2], c[3], c[4], c[5]);
    EXPECT_EQ(calcHyperGeometricScore(c[0], c[1], c[2], c[3], c[4], c[5]), direct)
        << c[0] << " " << c[1] << " " << c[2] << " " << c[3] << " n " << c[4] << " x " << c[5];
  }
}

}  // namespace
