// Merging and rejection: the winner and tie order of merge passes, the two
// forms of MergeAll and their stopping rules, the merge step, the pair-score
// cache against the plain passes, the rejection strategies, and fingerprint
// centroids kept equal to the members' mean.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/vandrel/engine/KernelFixtures.h"

using namespace kerneltest;

template <class T>
class MergerTest : public ::testing::Test {};
using TagTypes = ::testing::Types<CSDTypeTags, CFPTypeTags>;
TYPED_TEST_SUITE(MergerTest, TagTypes);

namespace {
// n single-vertex kernels with indices 0..n-1 (vertex v in kernel v).
template <class T>
void InsertSingletons(CKernels<T>& kernels, int n) {
  for (int v = 0; v < n; ++v) InsertVertices(kernels, {v});
}

using PairScores = std::vector<std::pair<std::pair<unsigned int, unsigned int>, double>>;
}  // namespace

struct MergeCase {
  const char* name;
  PairScores scores;
  double threshold;
  double shift;  // added by ResolveThreshold
  std::vector<COffer> expectedMerges;
};

TYPED_TEST(MergerTest, CalibratedMergeTakesTheBestPairFirstOnTies) {
  using T = TypeParam;
  const std::vector<MergeCase> cases = {
      {"highest pair first; stops when no pair qualifies",
       {{{0, 1}, 1.0}, {{1, 3}, 5.0}, {{0, 2}, 3.0}},
       2.0,
       0.0,
       {{1, 3, 5.0}, {0, 2, 3.0}}},
      {"equal best scores: the first pair in (a, b) order",
       {{{0, 3}, 4.0}, {{1, 2}, 4.0}},
       0.0,
       0.0,
       {{0, 3, 4.0}, {1, 2, 4.0}}},
      {"equal scores in one row: the later partner",
       {{{0, 1}, 2.0}, {{0, 2}, 2.0}, {{0, 3}, 1.0}},
       0.0,
       0.0,
       {{0, 2, 2.0}, {0, 1, 2.0}, {0, 3, 1.0}}},
      {"a score equal to the resolved threshold merges",
       {{{1, 2}, 1.5}, {{0, 3}, 1.4}},
       1.0,
       0.5,
       {{1, 2, 1.5}}},
      {"nothing reaches the threshold", {{{0, 1}, -1.0}}, 0.0, 0.0, {}},
  };
  for (const MergeCase& c : cases) {
    SCOPED_TRACE(c.name);
    CTestGraph<T> g(4);
    CKernels<T> kernels(g.Get());
    InsertSingletons(kernels, 4);
    CTableMergeEval<T> eval;
    eval.m_shift = c.shift;
    for (const auto& s : c.scores) eval.m_scores[s.first] = s.second;
    CLoggedMergeBest<T> merger(&eval);
    merger.MergeAll(kernels, c.threshold);
    EXPECT_EQ(eval.m_resolves, 1);
    EXPECT_EQ(merger.m_merged, c.expectedMerges);
    EXPECT_EQ(kernels.GetKernelsNum(), 4 - c.expectedMerges.size());
    // One pass per merge, plus the one that merges nothing (unless a single
    // kernel is left).
    const int expectedPasses = static_cast<int>(c.expectedMerges.size()) + (kernels.GetKernelsNum() > 1 ? 1 : 0);
    EXPECT_EQ(merger.m_passes, expectedPasses);
  }
}

TYPED_TEST(MergerTest, PassOffersEachKernelItsBestLaterPartner) {
  using T = TypeParam;
  CTestGraph<T> g(4);
  CKernels<T> kernels(g.Get());
  InsertSingletons(kernels, 4);
  CTableMergeEval<T> eval;
  // (b, a) entries would only be read if pairs were scored the wrong way round.
  eval.m_scores = {{{0, 1}, 1.0}, {{0, 3}, 1.0}, {{1, 2}, 0.0}, {{2, 1}, 9.0}, {{3, 0}, 9.0}};
  CLoggedMergeBest<T> merger(&eval);
  merger.MergeAll(kernels, 0.0, 4);  // direct form, stops after one pass
  ASSERT_EQ(merger.m_passes, 1);
  const std::vector<COffer> expected = {{0, 3, 1.0}, {1, 2, 0.0}};
  EXPECT_EQ(merger.m_offers.front(), expected);
  EXPECT_EQ(merger.m_merged, (std::vector<COffer>{{0, 3, 1.0}}));
  EXPECT_EQ(eval.m_evaluations, 6);  // every pair once
  EXPECT_EQ(eval.m_resolves, 0);     // the direct form does not calibrate
}

TYPED_TEST(MergerTest, DirectFormStopsAtTheMinimumCount) {
  using T = TypeParam;
  {
    SCOPED_TRACE("every pair qualifies; down to 3 kernels");
    CTestGraph<T> g(6);
    CKernels<T> kernels(g.Get());
    InsertSingletons(kernels, 6);
    CTableMergeEval<T> eval;
    eval.m_scores = {{{0, 1}, 1.0}, {{2, 3}, 9.0}, {{4, 5}, 7.0}, {{0, 5}, 8.0}};
    CLoggedMergeBest<T> merger(&eval);
    merger.MergeAll(kernels, -100000000.0, 3);
    EXPECT_EQ(merger.m_merged, (std::vector<COffer>{{2, 3, 9.0}, {0, 5, 8.0}, {0, 1, 1.0}}));
    EXPECT_EQ(merger.m_passes, 3);
    EXPECT_EQ(KernelIndices(kernels), (std::vector<unsigned int>{0, 2, 4}));
  }
  {
    SCOPED_TRACE("minimum count above the number of kernels: one pass");
    CTestGraph<T> g(3);
    CKernels<T> kernels(g.Get());
    InsertSingletons(kernels, 3);
    CTableMergeEval<T> eval;
    CLoggedMergeBest<T> merger(&eval);
    merger.MergeAll(kernels, -100000000.0, 5);
    EXPECT_EQ(merger.m_passes, 1);
    EXPECT_EQ(merger.m_merged, (std::vector<COffer>{{0, 2, -1000.0}}));  // all tie: first row, later partner
    EXPECT_EQ(kernels.GetKernelsNum(), 2u);
  }
  for (int n : {0, 1}) {
    SCOPED_TRACE(n);
    CTestGraph<T> g(2);
    CKernels<T> kernels(g.Get());
    InsertSingletons(kernels, n);
    CTableMergeEval<T> eval;
    CLoggedMergeBest<T> merger(&eval);
    merger.MergeAll(kernels, -100000000.0);
    EXPECT_EQ(merger.m_passes, 1);
    EXPECT_TRUE(merger.m_merged.empty());
    EXPECT_EQ(kernels.GetKernelsNum(), static_cast<unsigned int>(n));
  }
}

TYPED_TEST(MergerTest, MergeStepAppendsMembersAndRemapsElements) {
  using T = TypeParam;
  CTestGraph<T> g(8);
  CKernels<T> kernels(g.Get());
  InsertVertices(kernels, {4, 0});
  InsertVertices(kernels, {7});
  InsertVertices(kernels, {2, 6, 1});
  IDList unassigned = {IdOf(3)};
  kernels.Adopt(*kernels.GetKernelByIndex(2), unassigned, unassigned.begin());
  CTableMergeEval<T> eval;
  eval.m_scores = {{{0, 2}, 5.0}};
  CMergeBest<T> merger(&eval);
  merger.MergeAll(kernels, 0.0);
  ASSERT_EQ(kernels.GetKernelsNum(), 2u);
  const auto& survivor = kernels.GetKernelList().front();
  EXPECT_EQ(survivor.GetIndex(), 0u);
  EXPECT_EQ(std::vector<unsigned int>(survivor.Members().begin(), survivor.Members().end()),
            (std::vector<unsigned int>{IdOf(4), IdOf(0), IdOf(2), IdOf(6), IdOf(1), IdOf(3)}));
  EXPECT_EQ(survivor.Size(), 6u);
  for (int v : {0, 1, 2, 3, 4, 6}) EXPECT_EQ(kernels.GetElementKernel(v), 0u) << v;
  EXPECT_EQ(kernels.GetElementKernel(7), 1u);
  EXPECT_EQ(kernels.GetElementKernel(5), CKernels<T>::kNoKernel);
  // The member set keeps the ids the survivor had when it was inserted.
  EXPECT_EQ(survivor.m_memberSet.Size(), 2);
  EXPECT_FALSE(survivor.InMemberSet(IdOf(2)));
  EXPECT_EQ(kernels.GetKernelByIndex(2), nullptr);
  EXPECT_EQ(MessageOf([&] { kernels.Merge(kernels.GetKernelList().front(), kernels.GetKernelList().front()); }),
            "CKernels::Merge - a kernel cannot be merged with itself");
}

// ---------------------------------------------------------------------------
// The pair-score cache gives the plain passes' merges

namespace {
template <class T>
struct MergeRun {
  std::vector<std::vector<COffer>> offers;
  std::vector<COffer> merged;
  std::vector<std::vector<unsigned int>> members;
  std::vector<unsigned int> table;
  long evaluations = 0;
};

// Kernels of 1 to 3 random vertices; scores are integer weight sums, so ties
// are frequent and a merge can raise or lower the survivor's scores.
template <class T>
MergeRun<T> RunMerging(std::uint32_t seed, bool cache, int kernelsNum, bool direct, double threshold, int minCount) {
  const int n = kernelsNum * 3;
  CTestGraph<T> g(n);
  CKernels<T> kernels(g.Get());
  CTestLcg lcg(seed);
  std::vector<int> order(n);
  for (int v = 0; v < n; ++v) order[v] = v;
  for (int v = n - 1; v > 0; --v) std::swap(order[v], order[lcg.Range(0, v)]);
  int next = 0;
  for (int k = 0; k < kernelsNum; ++k) {
    std::vector<int> members;
    const int size = lcg.Range(1, 3);
    for (int i = 0; i < size; ++i) members.push_back(order[next++]);
    InsertVertices(kernels, members);
  }
  CWeights weights(n, seed + 1000, -1, 1);
  CSumMergeEval<T> eval(weights);
  CLoggedMergeBest<T> merger(&eval);
  merger.SetScoreCache(cache);
  if (direct)
    merger.MergeAll(kernels, threshold, minCount);
  else
    merger.MergeAll(kernels, threshold);
  MergeRun<T> run;
  run.offers = merger.m_offers;
  run.merged = merger.m_merged;
  run.members = MemberLists(kernels);
  for (int v = 0; v < n; ++v) run.table.push_back(kernels.GetElementKernel(v));
  run.evaluations = eval.m_evaluations;
  return run;
}
}  // namespace

TYPED_TEST(MergerTest, CachedMergePassesMatchPlainPasses) {
  using T = TypeParam;
  struct Form {
    const char* name;
    bool direct;
    double threshold;
    int minCount;
  };
  const std::vector<Form> forms = {
      {"calibrated, threshold 0", false, 0.0, 1},
      {"calibrated, threshold 1", false, 1.0, 1},
      {"direct, every pair, down to 3", true, -100000000.0, 3},
      {"direct, threshold -1, down to 1", true, -1.0, 1},
  };
  for (const Form& form : forms) {
    long plainTotal = 0, cachedTotal = 0;
    for (std::uint32_t seed = 1; seed <= 8; ++seed) {
      SCOPED_TRACE(std::string(form.name) + ", seed " + std::to_string(seed));
      const MergeRun<T> plain = RunMerging<T>(seed, false, 30, form.direct, form.threshold, form.minCount);
      const MergeRun<T> cached = RunMerging<T>(seed, true, 30, form.direct, form.threshold, form.minCount);
      EXPECT_EQ(plain.merged, cached.merged);
      ASSERT_EQ(plain.offers.size(), cached.offers.size());
      for (std::size_t p = 0; p < plain.offers.size(); ++p) EXPECT_EQ(plain.offers[p], cached.offers[p]) << "pass " << p;
      EXPECT_EQ(plain.members, cached.members);
      EXPECT_EQ(plain.table, cached.table);
      EXPECT_GE(plain.merged.size(), 3u);  // several passes were compared
      plainTotal += plain.evaluations;
      cachedTotal += cached.evaluations;
    }
    EXPECT_LT(cachedTotal, plainTotal) << form.name;
  }
}

// ---------------------------------------------------------------------------
// Rejection

TYPED_TEST(MergerTest, RejectWorstTakesTheLowestScoreFirstOnTies) {
  using T = TypeParam;
  CTestGraph<T> g(6);
  CKernels<T> kernels(g.Get());
  InsertVertices(kernels, {0, 1, 2});
  InsertVertices(kernels, {3, 4});
  CTableRejectEval<T> eval;
  eval.m_scores = {{IdOf(0), 2.0}, {IdOf(1), -1.0}, {IdOf(2), 0.5}, {IdOf(3), -1.0}, {IdOf(4), 3.0}};
  CRejectWorst<T> rejector(&eval);
  IDList unassigned = {IdOf(5)};
  rejector.Attach(kernels, unassigned);
  rejector.StartPass();
  for (auto& k : kernels.GetKernelList())
    for (auto it = k.Members().begin(); it != k.Members().end(); ++it)
      rejector.Offer(&k, it, rejector.GetEvaluator()->Evaluate(k, *it));
  rejector.FinishPass();
  EXPECT_EQ(unassigned, (IDList{IdOf(5), IdOf(1)}));
  EXPECT_EQ(MemberLists(kernels), (std::vector<std::vector<unsigned int>>{{IdOf(0), IdOf(2)}, {IdOf(3), IdOf(4)}}));
  EXPECT_EQ(kernels.GetElementKernel(1), CKernels<T>::kNoKernel);
  // A pass without offers rejects nothing.
  rejector.StartPass();
  rejector.FinishPass();
  EXPECT_EQ(unassigned.size(), 2u);
}

TYPED_TEST(MergerTest, RejectEveryRejectsAtOnceAndChecksTheKernel) {
  using T = TypeParam;
  CTestGraph<T> g(5);
  CKernels<T> kernels(g.Get());
  InsertVertices(kernels, {0, 1, 2});
  InsertVertices(kernels, {3, 4});
  CTableRejectEval<T> eval;
  CRejectEvery<T> rejector(&eval);
  IDList unassigned;
  auto& k0 = kernels.GetKernelList().front();
  auto& k1 = kernels.GetKernelList().back();
  EXPECT_EQ(MessageOf([&] { rejector.Offer(&k0, k0.Members().begin(), 0.0); }),
            "CRejectEvery::Offer - no kernels attached");
  rejector.Attach(kernels, unassigned);
  rejector.Offer(&k0, std::next(k0.Members().begin()), 0.0);
  EXPECT_EQ(unassigned, (IDList{IdOf(1)}));
  EXPECT_EQ(k0.Size(), 2u);
  EXPECT_EQ(kernels.GetElementKernel(1), CKernels<T>::kNoKernel);
  // Vertex 3 belongs to kernel 1, not kernel 0.
  EXPECT_EQ(MessageOf([&] { kernels.Reject(k0, k1.Members().begin(), unassigned); }),
            "CKernels::Reject - rejected element is not contained in the rejecting kernel");
  EXPECT_EQ(kernels.GetElementKernel(3), 1u);
  EXPECT_EQ(k1.Size(), 2u);
}

// ---------------------------------------------------------------------------
// Fingerprint centroids through merges and rejections

TEST(FPMergerTest, CentroidsStayTheMeanOfTheMembers) {
  CTestGraph<CFPTypeTags> g(12);
  CKernels<CFPTypeTags> kernels(g.Get());
  InsertVertices(kernels, {0, 1, 2});
  InsertVertices(kernels, {3});
  InsertVertices(kernels, {4, 5});
  InsertVertices(kernels, {6, 7, 8, 9});
  CTableMergeEval<CFPTypeTags> mergeEval;
  mergeEval.m_scores = {{{0, 3}, 3.0}, {{1, 2}, 2.0}};
  CMergeBest<CFPTypeTags> merger(&mergeEval);
  merger.MergeAll(kernels, 1.0);
  ASSERT_EQ(MemberLists(kernels), (std::vector<std::vector<unsigned int>>{
                                      {IdOf(0), IdOf(1), IdOf(2), IdOf(6), IdOf(7), IdOf(8), IdOf(9)},
                                      {IdOf(3), IdOf(4), IdOf(5)}}));
  ExpectCentroidsAreMeans(kernels);

  CTableRejectEval<CFPTypeTags> rejectEval;
  CRejectEvery<CFPTypeTags> rejector(&rejectEval);
  IDList unassigned;
  rejector.Attach(kernels, unassigned);
  auto& big = kernels.GetKernelList().front();
  rejector.Offer(&big, std::next(big.Members().begin(), 3), 0.0);  // vertex 6
  rejector.Offer(&big, big.Members().begin(), 0.0);                // vertex 0
  auto& small = kernels.GetKernelList().back();
  rejector.Offer(&small, std::next(small.Members().begin()), 0.0);  // vertex 4
  EXPECT_EQ(unassigned, (IDList{IdOf(6), IdOf(0), IdOf(4)}));
  ExpectCentroidsAreMeans(kernels);

  // Adopting the rejected elements back restores the means as well.
  CTableAdoptEval<CFPTypeTags> adoptEval;
  adoptEval.m_default = 1.0;
  CAdoptEvery<CFPTypeTags> adopter(&adoptEval);
  adopter.AdoptAll(kernels, unassigned, 0.0);
  EXPECT_TRUE(unassigned.empty());
  ExpectCentroidsAreMeans(kernels);
}

// ---------------------------------------------------------------------------
// With the similarity-data evaluators: cached and plain passes agree

#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "vandrel/stats/SimDistrib.h"

namespace {
struct SDRun {
  std::vector<COffer> adopted;
  std::vector<COffer> merged;
  std::vector<std::vector<unsigned int>> members;
  IDList left;
};

template <template <class> class Adopter>
SDRun RunWithSDEvaluators(const CSimDistrib& model, std::uint32_t seed, bool cache, bool direct) {
  const int n = 70;
  CSimilarityGraph graph(&model);
  for (int v = 0; v < n; ++v) graph.PushBackV(nullptr, IdOf(v));
  CTestLcg lcg(seed);
  const double weights[] = {-1.5, -0.5, 0.5, 1.0, 2.0, 3.0};
  for (int a = 0; a < n; ++a)
    for (int b = a + 1; b < n; ++b)
      if (lcg.Range(0, 99) < 35) new CEdge(graph.GetVByIndex(a), graph.GetVByIndex(b), weights[lcg.Range(0, 5)]);

  CKernels<CSDTypeTags> kernels(&graph);
  int v = 0;
  for (int k = 0; k < 16; ++k) {
    std::vector<int> members;
    const int size = lcg.Range(1, 3);
    for (int i = 0; i < size; ++i) members.push_back(v++);
    InsertVertices(kernels, members);
  }
  IDList unassigned;
  for (; v < n; ++v) unassigned.push_back(IdOf(v));

  const double c = model.GetWeightTh();
  CSDAApproxCompleteWeight adoptEval(graph);
  Adopter<CSDTypeTags> adopter(&adoptEval);
  adopter.SetScoreCache(cache);
  adopter.AdoptAll(kernels, unassigned, c + 0.5);  // mean weight to the kernel at least 0.5

  CSDMApproxCompleteWeight mergeEval(graph);
  CLoggedMergeBest<CSDTypeTags> merger(&mergeEval);
  merger.SetScoreCache(cache);
  if (direct)
    merger.MergeAll(kernels, -100000000.0, 3);
  else
    merger.MergeAll(kernels, -25.0);
  SDRun run;
  // Every offer of every pass (CAdoptEvery adopts each of them).
  for (const auto& pass : adopter.m_offers) run.adopted.insert(run.adopted.end(), pass.begin(), pass.end());
  run.merged = merger.m_merged;
  run.members = MemberLists(kernels);
  run.left = unassigned;
  return run;
}
}  // namespace

TEST(MergerWithSDEvaluatorsTest, CachedPassesMatchPlainPassesWithTheRealScores) {
  // One file per process: test runs of several checkouts may share the
  // temporary folder.
  const std::string prefix = ::testing::TempDir() + "kernels_merger_model_" + std::to_string(getpid());
  {
    std::ofstream out(prefix + ".distrib");
    out << "P_MATES\t0.2\nNormDistrib\nEXP\t0.6\nSTD\t0.1\nNormDistrib\nEXP\t0.1\nSTD\t0.15\n";
  }
  const CSimDistrib model(prefix);
  std::remove((prefix + ".distrib").c_str());
  // The cached passes score rows in batches, and with CAdoptEvery they
  // re-score whole rows when several kernels changed since an element was
  // last scored.
  for (bool every : {false, true}) {
    for (bool direct : {false, true}) {
      for (std::uint32_t seed = 1; seed <= 4; ++seed) {
        SCOPED_TRACE(std::string(every ? "adopt every, " : "adopt best, ") +
                     (direct ? "direct" : "calibrated") + ", seed " + std::to_string(seed));
        const auto run = every ? RunWithSDEvaluators<CLoggedAdoptEvery> : RunWithSDEvaluators<CLoggedAdoptBest>;
        const SDRun plain = run(model, seed, false, direct);
        const SDRun cached = run(model, seed, true, direct);
        EXPECT_EQ(plain.adopted, cached.adopted);
        EXPECT_EQ(plain.merged, cached.merged);
        EXPECT_EQ(plain.members, cached.members);
        EXPECT_EQ(plain.left, cached.left);
        EXPECT_GE(plain.adopted.size(), 3u);
        EXPECT_GE(plain.merged.size(), 3u);
      }
    }
  }
}
