// Kernel container and adoption: insertion and its conflicts, adoption and
// its tie rules, the two adoption strategies, the score cache against the
// plain passes, and fingerprint centroids kept equal to the members' mean.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/vandrel/engine/KernelFixtures.h"

using namespace kerneltest;

template <class T>
class KernelsTest : public ::testing::Test {};
using TagTypes = ::testing::Types<CSDTypeTags, CFPTypeTags>;
TYPED_TEST_SUITE(KernelsTest, TagTypes);

TYPED_TEST(KernelsTest, InsertRecordsIndicesElementTableAndMemberSet) {
  using T = TypeParam;
  CTestGraph<T> g(8);
  CKernels<T> kernels(g.Get());
  EXPECT_EQ(kernels.GetKernelsNum(), 0u);
  for (int v = 0; v < 8; ++v) EXPECT_EQ(kernels.GetElementKernel(v), CKernels<T>::kNoKernel);

  InsertVertices(kernels, {5, 1, 3});
  InsertVertices(kernels, {0, 7});
  EXPECT_EQ(kernels.GetKernelsNum(), 2u);
  EXPECT_EQ(KernelIndices(kernels), (std::vector<unsigned int>{0, 1}));
  EXPECT_EQ(MemberLists(kernels), (std::vector<std::vector<unsigned int>>{
                                      {IdOf(5), IdOf(1), IdOf(3)}, {IdOf(0), IdOf(7)}}));
  const std::vector<unsigned int> expected = {1, 0, CKernels<T>::kNoKernel, 0, CKernels<T>::kNoKernel, 0,
                                              CKernels<T>::kNoKernel, 1};
  for (int v = 0; v < 8; ++v) EXPECT_EQ(kernels.GetElementKernel(v), expected[v]) << "vertex " << v;
  const auto& first = kernels.GetKernelList().front();
  EXPECT_EQ(first.m_memberSet.Size(), 3);
  EXPECT_TRUE(first.InMemberSet(IdOf(1)));
  EXPECT_FALSE(first.InMemberSet(IdOf(0)));
  EXPECT_EQ(kernels.GetKernelByIndex(1), &kernels.GetKernelList().back());
  EXPECT_EQ(kernels.GetKernelByIndex(2), nullptr);
  const std::vector<const CCluster*> clusters = kernels.GetClusters();
  ASSERT_EQ(clusters.size(), 2u);
  EXPECT_EQ(clusters[1]->GetMembers(), (IDList{IdOf(0), IdOf(7)}));
  EXPECT_EQ(kernels.GetKernelIDsLists(), (std::list<IDList>{{IdOf(5), IdOf(1), IdOf(3)}, {IdOf(0), IdOf(7)}}));
  EXPECT_EQ(MessageOf([&] { kernels.GetElementKernel(8); }), "CKernels::GetElementKernel - index is out of scope");
}

TYPED_TEST(KernelsTest, ConflictingInsertFailsAndLeavesTheTableAsItWas) {
  using T = TypeParam;
  CTestGraph<T> g(8);
  CKernels<T> kernels(g.Get());
  InsertVertices(kernels, {2, 3});
  const char* kMsg = "CKernels::Insert - new kernel contains element that already appears in kernels";
  // Vertex 3 belongs to kernel 0; 4 and 5 come before it in the new kernel.
  EXPECT_EQ(MessageOf([&] { InsertVertices(kernels, {4, 5, 3}); }), kMsg);
  // An element listed twice in one new kernel is claimed twice.
  EXPECT_EQ(MessageOf([&] { InsertVertices(kernels, {6, 6}); }), kMsg);
  EXPECT_EQ(kernels.GetKernelsNum(), 1u);
  for (int v : {4, 5, 6}) EXPECT_EQ(kernels.GetElementKernel(v), CKernels<T>::kNoKernel);
  // An id outside the graph is reported by the graph.
  EXPECT_EQ(MessageOf([&] { kernels.InsertIDs({IdOf(8)}); }), "CGraph::ID2Index - id is not in graph");
  // The failed insertions used no index.
  InsertVertices(kernels, {4, 5});
  EXPECT_EQ(KernelIndices(kernels), (std::vector<unsigned int>{0, 1}));
}

TYPED_TEST(KernelsTest, IndicesAreNeverReused) {
  using T = TypeParam;
  CTestGraph<T> g(10);
  CKernels<T> kernels(g.Get());
  InsertVertices(kernels, {0, 1});
  InsertVertices(kernels, {2, 3});
  InsertVertices(kernels, {4, 5});
  kernels.Merge(*kernels.GetKernelByIndex(0), *kernels.GetKernelByIndex(2));
  InsertVertices(kernels, {6});
  EXPECT_EQ(KernelIndices(kernels), (std::vector<unsigned int>{0, 1, 3}));
  EXPECT_EQ(kernels.GetKernelByIndex(2), nullptr);
  kernels.Clear();
  EXPECT_EQ(kernels.GetKernelsNum(), 0u);
  for (int v = 0; v < 10; ++v) EXPECT_EQ(kernels.GetElementKernel(v), CKernels<T>::kNoKernel);
  InsertVertices(kernels, {0, 4});  // members of removed kernels may join again
  EXPECT_EQ(KernelIndices(kernels), (std::vector<unsigned int>{4}));
  EXPECT_EQ(kernels.GetElementKernel(4), 4u);
}

TYPED_TEST(KernelsTest, AdoptMovesTheElementButNotIntoTheMemberSet) {
  using T = TypeParam;
  CTestGraph<T> g(6);
  CKernels<T> kernels(g.Get());
  InsertVertices(kernels, {0, 1});
  InsertVertices(kernels, {2});
  IDList unassigned = {IdOf(3), IdOf(4), IdOf(5)};
  auto& k1 = *kernels.GetKernelByIndex(1);
  kernels.Adopt(k1, unassigned, std::next(unassigned.begin()));
  EXPECT_EQ(unassigned, (IDList{IdOf(3), IdOf(5)}));
  EXPECT_EQ(k1.Size(), 2u);
  EXPECT_EQ(std::vector<unsigned int>(k1.Members().begin(), k1.Members().end()),
            (std::vector<unsigned int>{IdOf(2), IdOf(4)}));
  EXPECT_EQ(kernels.GetElementKernel(4), 1u);
  EXPECT_FALSE(k1.InMemberSet(IdOf(4)));
  EXPECT_EQ(k1.m_memberSet.Size(), 1);

  // An adoptee that a kernel already holds.
  IDList again = {IdOf(4)};
  EXPECT_EQ(MessageOf([&] { kernels.Adopt(*kernels.GetKernelByIndex(0), again, again.begin()); }),
            "CKernels::Adopt - adoptee already contained in a kernel");
  IDList member = {IdOf(0)};
  EXPECT_EQ(MessageOf([&] { kernels.Adopt(k1, member, member.begin()); }),
            "CKernels::Adopt - adoptee already contained in a kernel");
  EXPECT_EQ(again.size(), 1u);
  EXPECT_EQ(k1.Size(), 2u);
}

TYPED_TEST(KernelsTest, CopiesAreIndependent) {
  using T = TypeParam;
  CTestGraph<T> g(6);
  CKernels<T> kernels(g.Get());
  InsertVertices(kernels, {0, 1});
  InsertVertices(kernels, {2, 3});
  CKernels<T> copy(kernels);
  IDList unassigned = {IdOf(4)};
  copy.Adopt(*copy.GetKernelByIndex(1), unassigned, unassigned.begin());
  copy.Merge(*copy.GetKernelByIndex(0), *copy.GetKernelByIndex(1));
  EXPECT_EQ(copy.GetKernelsNum(), 1u);
  EXPECT_EQ(copy.GetElementKernel(4), 0u);
  EXPECT_EQ(kernels.GetKernelsNum(), 2u);
  EXPECT_EQ(kernels.GetElementKernel(4), CKernels<T>::kNoKernel);
  EXPECT_EQ(kernels.GetElementKernel(2), 1u);
  EXPECT_EQ(MemberLists(kernels), (std::vector<std::vector<unsigned int>>{{IdOf(0), IdOf(1)}, {IdOf(2), IdOf(3)}}));
  // Assignment replaces the whole state.
  kernels = copy;
  EXPECT_EQ(kernels.GetKernelsNum(), 1u);
  EXPECT_EQ(kernels.GetKernelByIndex(0), &kernels.GetKernelList().front());
  EXPECT_EQ(kernels.GetKernelByIndex(1), nullptr);
}

// ---------------------------------------------------------------------------
// Adoption passes with scripted scores

struct AdoptCase {
  const char* name;
  std::vector<std::pair<std::pair<unsigned int, int>, double>> scores;  // ((kernel, vertex), score)
  double threshold;
  double shift;  // added by ResolveThreshold
  std::vector<std::pair<unsigned int, int>> expectedOffers;  // first pass, in order
};

TYPED_TEST(KernelsTest, AdoptEveryOffersTheBestKernelReachingTheThreshold) {
  using T = TypeParam;
  const std::vector<AdoptCase> cases = {
      {"score equal to the threshold qualifies", {{{0, 3}, 2.0}, {{1, 3}, 1.0}}, 2.0, 0.0, {{0, 3}}},
      {"score below the threshold is never offered", {{{0, 3}, 1.5}, {{1, 3}, 1.9}}, 2.0, 0.0, {}},
      {"equal scores: the later kernel wins", {{{0, 3}, 5.0}, {{1, 3}, 5.0}, {{2, 3}, 4.0}}, 0.0, 0.0, {{1, 3}}},
      {"higher earlier kernel beats later equal-to-threshold one",
       {{{0, 4}, 7.0}, {{2, 4}, 1.0}},
       1.0,
       0.0,
       {{0, 4}}},
      {"the resolved threshold is used", {{{0, 3}, 2.0}, {{0, 4}, 3.0}}, 2.0, 0.5, {{0, 4}}},
      {"elements are offered in list order",
       {{{2, 5}, 1.0}, {{0, 3}, 1.0}, {{1, 4}, 1.0}},
       0.0,
       0.0,
       {{0, 3}, {1, 4}, {2, 5}}},
  };
  for (const AdoptCase& c : cases) {
    SCOPED_TRACE(c.name);
    CTestGraph<T> g(6);
    CKernels<T> kernels(g.Get());
    InsertVertices(kernels, {0});
    InsertVertices(kernels, {1});
    InsertVertices(kernels, {2});
    CTableAdoptEval<T> eval;
    eval.m_shift = c.shift;
    for (const auto& s : c.scores) eval.m_scores[{s.first.first, IdOf(s.first.second)}] = s.second;
    CLoggedAdoptEvery<T> adopter(&eval);
    IDList unassigned = {IdOf(3), IdOf(4), IdOf(5)};
    adopter.AdoptAll(kernels, unassigned, c.threshold);
    EXPECT_EQ(eval.m_resolves, 1);
    ASSERT_FALSE(adopter.m_offers.empty());
    std::vector<std::pair<unsigned int, int>> offers;
    for (const COffer& o : adopter.m_offers.front()) offers.push_back({o.m_kernel, static_cast<int>((o.m_other - 100) / 7)});
    EXPECT_EQ(offers, c.expectedOffers);
    for (const auto& o : c.expectedOffers) EXPECT_EQ(kernels.GetElementKernel(o.second), o.first);
    // Every pass after an adopting one repeats; the last adopts nothing.
    EXPECT_EQ(adopter.m_passes, c.expectedOffers.empty() ? 1 : 2);
    EXPECT_EQ(unassigned.size(), 3 - c.expectedOffers.size());
  }
}

TYPED_TEST(KernelsTest, AdoptAllWithNothingToDoMakesOnePass) {
  using T = TypeParam;
  CTestGraph<T> g(4);
  CTableAdoptEval<T> eval;
  eval.m_default = 1e9;
  {
    CKernels<T> kernels(g.Get());
    InsertVertices(kernels, {0});
    IDList empty;
    CLoggedAdoptEvery<T> adopter(&eval);
    adopter.AdoptAll(kernels, empty, 0.0);
    EXPECT_EQ(adopter.m_passes, 1);
  }
  {
    CKernels<T> none(g.Get());
    IDList unassigned = {IdOf(1), IdOf(2)};
    CLoggedAdoptBest<T> adopter(&eval);
    adopter.AdoptAll(none, unassigned, 0.0);
    EXPECT_EQ(adopter.m_passes, 1);
    EXPECT_TRUE(adopter.m_offers.front().empty());
    EXPECT_EQ(unassigned.size(), 2u);
    EXPECT_EQ(eval.m_evaluations, 0);
  }
}

TYPED_TEST(KernelsTest, AdoptBestTakesOneElementPerPassFirstOnTies) {
  using T = TypeParam;
  CTestGraph<T> g(7);
  CKernels<T> kernels(g.Get());
  InsertVertices(kernels, {0});
  InsertVertices(kernels, {1});
  CTableAdoptEval<T> eval;
  // Vertex 4 and vertex 2 tie at 3.0 (4 is nearer the front); 5 scores best
  // of all; 3 reaches the threshold exactly; 6 never qualifies.
  eval.m_scores = {{{0, IdOf(4)}, 3.0}, {{1, IdOf(2)}, 3.0}, {{1, IdOf(5)}, 4.0},
                   {{0, IdOf(3)}, 1.0}, {{1, IdOf(3)}, 1.0}, {{0, IdOf(6)}, 0.5}};
  CLoggedAdoptBest<T> adopter(&eval);
  IDList unassigned = {IdOf(6), IdOf(4), IdOf(3), IdOf(2), IdOf(5)};
  adopter.AdoptAll(kernels, unassigned, 1.0);
  const std::vector<COffer> expected = {
      {1, IdOf(5), 4.0}, {0, IdOf(4), 3.0}, {1, IdOf(2), 3.0}, {1, IdOf(3), 1.0}};
  EXPECT_EQ(adopter.m_adopted, expected);
  EXPECT_EQ(adopter.m_passes, 5);  // adoptions + 1
  EXPECT_EQ(unassigned, (IDList{IdOf(6)}));
  EXPECT_EQ(MemberLists(kernels), (std::vector<std::vector<unsigned int>>{
                                      {IdOf(0), IdOf(4)}, {IdOf(1), IdOf(5), IdOf(2), IdOf(3)}}));
}

TYPED_TEST(KernelsTest, AdoptEveryScoresLaterElementsAgainstGrownKernels) {
  using T = TypeParam;
  using Kernel = typename CKernels<T>::CElement;
  CTestGraph<T> g(6);
  CKernels<T> kernels(g.Get());
  InsertVertices(kernels, {0});
  InsertVertices(kernels, {1});
  // An element scores the size of the kernel, except vertex 2.
  CFuncAdoptEval<T> eval([](const Kernel& k, unsigned int id) {
    if (id == IdOf(2)) return k.GetIndex() == 0 ? 1.0 : 0.0;
    return static_cast<double>(k.Size());
  });
  CLoggedAdoptEvery<T> adopter(&eval);
  IDList unassigned = {IdOf(2), IdOf(3), IdOf(4)};
  adopter.AdoptAll(kernels, unassigned, 1.0);
  // 2 joins kernel 0, so 3 and 4 find kernel 0 the larger one.
  ASSERT_GE(adopter.m_offers.size(), 1u);
  const std::vector<COffer> expected = {{0, IdOf(2), 1.0}, {0, IdOf(3), 2.0}, {0, IdOf(4), 3.0}};
  EXPECT_EQ(adopter.m_offers.front(), expected);
  EXPECT_EQ(adopter.m_passes, 2);
}

// ---------------------------------------------------------------------------
// The score cache gives the plain passes' decisions

template <class T, class Adopter>
struct AdoptRun {
  std::vector<std::vector<COffer>> offers;
  std::vector<std::vector<unsigned int>> members;
  std::vector<unsigned int> table;
  IDList left;
  long evaluations = 0;
};

template <class T, template <class> class Adopter>
AdoptRun<T, Adopter<T>> RunAdoption(std::uint32_t seed, bool cache, int n, int kernelsNum, double threshold) {
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
  IDList unassigned;
  for (; next < n; ++next) unassigned.push_back(IdOf(order[next]));
  CWeights weights(n, seed, -2, 2);
  CSumAdoptEval<T> eval(weights);
  Adopter<T> adopter(&eval);
  adopter.SetScoreCache(cache);
  adopter.AdoptAll(kernels, unassigned, threshold);
  AdoptRun<T, Adopter<T>> run;
  run.offers = adopter.m_offers;
  run.members = MemberLists(kernels);
  for (int v = 0; v < n; ++v) run.table.push_back(kernels.GetElementKernel(v));
  run.left = unassigned;
  run.evaluations = eval.m_evaluations;
  return run;
}

template <class T, template <class> class Adopter>
void ExpectCachedAdoptionMatchesPlain() {
  long plainTotal = 0, cachedTotal = 0;
  int longRuns = 0;
  for (std::uint32_t seed = 1; seed <= 12; ++seed) {
    SCOPED_TRACE(seed);
    const double threshold = static_cast<double>(seed % 3);
    auto plain = RunAdoption<T, Adopter>(seed, false, 60, 8, threshold);
    auto cached = RunAdoption<T, Adopter>(seed, true, 60, 8, threshold);
    ASSERT_EQ(plain.offers.size(), cached.offers.size());
    for (std::size_t p = 0; p < plain.offers.size(); ++p) EXPECT_EQ(plain.offers[p], cached.offers[p]) << "pass " << p;
    EXPECT_EQ(plain.members, cached.members);
    EXPECT_EQ(plain.table, cached.table);
    EXPECT_EQ(plain.left, cached.left);
    // A second pass re-scores elements against kernels that changed.
    EXPECT_GE(plain.offers.size(), 2u);
    if (plain.offers.size() > 2) ++longRuns;
    plainTotal += plain.evaluations;
    cachedTotal += cached.evaluations;
  }
  EXPECT_GT(longRuns, 0);
  EXPECT_LT(cachedTotal, plainTotal);
}

TYPED_TEST(KernelsTest, CachedAdoptBestMatchesPlainPasses) { ExpectCachedAdoptionMatchesPlain<TypeParam, CLoggedAdoptBest>(); }

TYPED_TEST(KernelsTest, CachedAdoptEveryMatchesPlainPasses) { ExpectCachedAdoptionMatchesPlain<TypeParam, CLoggedAdoptEvery>(); }

// ---------------------------------------------------------------------------
// Fingerprint centroids

TEST(FPKernelsTest, CentroidsFollowInsertionAndAdoption) {
  CTestGraph<CFPTypeTags> g(12);
  CKernels<CFPTypeTags> kernels(g.Get());
  InsertVertices(kernels, {0, 5, 9});
  InsertVertices(kernels, {1});
  ExpectCentroidsAreMeans(kernels);
  // Every element scores 1 against kernel 0 and 2 against kernel 1 for even
  // vertices, so adoption splits the elements between both kernels.
  CTableAdoptEval<CFPTypeTags> eval;
  for (int v = 2; v < 12; ++v) {
    eval.m_scores[{0, IdOf(v)}] = 1.0;
    eval.m_scores[{1, IdOf(v)}] = v % 2 == 0 ? 2.0 : 0.0;
  }
  IDList unassigned = {IdOf(2), IdOf(3), IdOf(4), IdOf(6), IdOf(7), IdOf(11)};
  CAdoptEvery<CFPTypeTags> adopter(&eval);
  adopter.AdoptAll(kernels, unassigned, 0.5);
  EXPECT_TRUE(unassigned.empty());
  EXPECT_EQ(MemberLists(kernels), (std::vector<std::vector<unsigned int>>{
                                      {IdOf(0), IdOf(5), IdOf(9), IdOf(3), IdOf(7), IdOf(11)},
                                      {IdOf(1), IdOf(2), IdOf(4), IdOf(6)}}));
  ExpectCentroidsAreMeans(kernels);
}

TEST(FPKernelsTest, AdoptingAnElementWithoutFingerprintFails) {
  CTestGraph<CFPTypeTags> g(3);
  g.m_graph.PushBackV(nullptr, IdOf(3));  // a vertex beyond the fingerprint vector
  CKernels<CFPTypeTags> kernels(g.Get());
  InsertVertices(kernels, {0});
  IDList unassigned = {IdOf(3)};
  EXPECT_EQ(MessageOf([&] { kernels.Adopt(kernels.GetKernelList().front(), unassigned, unassigned.begin()); }),
            "CFPGraph::GetNormFP - index is out of scope");
  EXPECT_EQ(kernels.GetElementKernel(3), CKernels<CFPTypeTags>::kNoKernel);
  EXPECT_EQ(kernels.GetKernelList().front().Size(), 1u);
}
