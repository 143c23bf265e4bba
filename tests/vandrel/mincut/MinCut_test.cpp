// Minimum-cut front end: which algorithm cuts which component, the smaller
// side, the cut weight and the complete weight, checked against sums and
// counts computed directly over the test's edge lists.

#include "vandrel/mincut/MinCut.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "CutTestGraphs.h"
#include "vandrel/data/Fingerprint.h"
#include "vandrel/data/SimHandler.h"
#include "vandrel/stats/SimDistrib.h"

using cuttest::WEdge;

namespace {

// A cut whose stored side the test chooses (the algorithm's side is
// replaced right after construction).
class CFixedSideCut : public CMinCut {
 public:
  CFixedSideCut(CComponent* comp, const std::list<int>& part) : CMinCut(comp, true) { m_part = part; }
};

// A path 0-1-...-(n-1) of weight-3 edges whose edge 600-601 weighs 0.5.
std::vector<WEdge> PathWithLightEdge(int n) {
  std::vector<WEdge> edges;
  for (int i = 0; i + 1 < n; ++i) edges.push_back({i, i + 1, i == 600 ? 0.5 : 3.0});
  return edges;
}

// Complete graphs on {0..a-1} and {a..a+b-1} (weight 5) joined by 0-a (1).
std::vector<WEdge> TwoCliques(int a, int b) {
  std::vector<WEdge> edges;
  for (int i = 0; i < a; ++i)
    for (int j = i + 1; j < a; ++j) edges.push_back({i, j, 5.0});
  for (int i = a; i < a + b; ++i)
    for (int j = i + 1; j < a + b; ++j) edges.push_back({i, j, 5.0});
  edges.push_back({0, a, 1.0});
  return edges;
}

}  // namespace

TEST(MinCutTest, AlgorithmChoice) {
  // Up to 1000 vertices Hao-Orlin finds the light edge in the middle of the
  // path; above, Dinic sends one unit from the far source (vertex 0) and
  // keeps the source alone.
  const int n = 1000;
  std::unique_ptr<CComponent> comp = cuttest::MakeComponent(cuttest::PlainIds(n), PathWithLightEdge(n));
  CMinCut small(comp.get(), false);
  EXPECT_DOUBLE_EQ(cuttest::CrossWeight(n, PathWithLightEdge(n), small.GetPart()), 0.5);
  EXPECT_TRUE(small.GetPart().size() == 601 || small.GetPart().size() == 399);

  comp = cuttest::MakeComponent(cuttest::PlainIds(n + 1), PathWithLightEdge(n + 1));
  CMinCut large(comp.get(), false);
  EXPECT_EQ(large.GetPart(), std::list<int>{0});

  // Negative weights: refused by Hao-Orlin, cut by the negative-weight
  // heuristic when allowed (its side is the lightest edge's m_v1, index 1).
  comp = cuttest::MakeComponent({9, 4}, {{0, 1, -5.0}});
  try {
    CMinCut refused(comp.get(), false);
    ADD_FAILURE() << "negative weights accepted";
  } catch (const char* m) {
    EXPECT_STREQ(m, "CHaoOrlin::Initialize - Hao-Orlin cannot handle negative weights");
  }
  CMinCut allowed(comp.get(), true);
  EXPECT_EQ(allowed.GetPart(), std::list<int>{1});
}

TEST(MinCutTest, SmallSide) {
  // Cliques of 6 and 4 vertices: the cut side holds the source, which is in
  // the larger clique.
  std::unique_ptr<CComponent> comp = cuttest::MakeComponent(cuttest::PlainIds(10), TwoCliques(6, 4));
  CMinCut cut(comp.get(), false);
  std::list<int> sorted = cut.GetPart();
  sorted.sort();
  ASSERT_EQ(sorted, (std::list<int>{0, 1, 2, 3, 4, 5}));
  try {
    cut.GetSmallPartIndices();
    ADD_FAILURE() << "large side handed out as small";
  } catch (const char* m) {
    EXPECT_STREQ(m, "CMinCut::GetSmallPartIndices - small part wasn't computed");
  }
  EXPECT_EQ(cut.CrossPairs(), 24);
  cut.MakeSmallSide();
  EXPECT_EQ(cut.GetSmallPartIndices(), (std::list<int>{6, 7, 8, 9}));
  EXPECT_EQ(cut.CrossPairs(), 24);

  // Exactly half of an even count stays as it is, in its order.
  comp = cuttest::MakeComponent(cuttest::PlainIds(6), {{0, 1, 1.0}});
  CFixedSideCut half(comp.get(), {4, 1, 0});
  half.MakeSmallSide();
  EXPECT_EQ(half.GetSmallPartIndices(), (std::list<int>{4, 1, 0}));

  // One more than half of an odd count is replaced by the complement.
  comp = cuttest::MakeComponent(cuttest::PlainIds(7), {{0, 1, 1.0}});
  CFixedSideCut over(comp.get(), {6, 2, 0, 4});
  over.MakeSmallSide();
  EXPECT_EQ(over.GetSmallPartIndices(), (std::list<int>{1, 3, 5}));
}

TEST(MinCutTest, CutWeightAndCompleteWeight) {
  // Side {0, 1} of 5 vertices: crossing edges 0-2 (1.5) and 1-4 (0.5); 2 x 3
  // split pairs of which 4 have no edge.  Without a model the missing-edge
  // weight is 0.
  const std::vector<WEdge> edges = {{0, 1, 2.0}, {0, 2, 1.5}, {2, 3, 1.0}, {3, 4, 1.0}, {1, 4, 0.5}};
  std::unique_ptr<CComponent> comp = cuttest::MakeComponent({50, 10, 40, 20, 30}, edges);
  for (const std::list<int>& part : {std::list<int>{0, 1}, std::list<int>{4, 3, 2}}) {
    CFixedSideCut cut(comp.get(), part);
    EXPECT_EQ(cut.CalcCompleteWeight(), 4);
    EXPECT_DOUBLE_EQ(cut.GetCutWeight(), 2.0);
    EXPECT_EQ(cut.GetCutEdges(), 2);
    EXPECT_DOUBLE_EQ(cut.GetCompleteCutWeight(), 2.0);
    EXPECT_EQ(cut.GetSmallPartIndices(), (std::list<int>{0, 1}));
  }

  // With a model, every split pair without an edge adds the graph's
  // missing-edge weight.
  const CSimDistrib model(std::string(TEST_DATA_DIR) + "/mincut/model");
  comp = cuttest::MakeComponent({50, 10, 40, 20, 30}, edges, &model, 0.5);
  const double w0 = comp->m_analyzer.GetMissingEdgeWeight();
  ASSERT_NE(w0, 0.0);
  CFixedSideCut withModel(comp.get(), {0, 1});
  EXPECT_EQ(withModel.CalcCompleteWeight(), 4);
  EXPECT_DOUBLE_EQ(withModel.GetCompleteCutWeight(), 2.0 + 4 * w0);

  // Random graphs and random sides, either size.
  cuttest::Gen gen(77);
  for (int round = 0; round < 40; ++round) {
    const int n = 3 + round % 15;
    const std::vector<WEdge> random =
        cuttest::RandomConnected(n, 0.3, gen, [](cuttest::Gen& g) { return -2.0 + 5.0 * g.Unit(); });
    std::unique_ptr<CComponent> c = cuttest::MakeComponent(cuttest::ScrambledIds(n, gen), random);
    std::list<int> part;
    for (int i = 0; i < n; ++i)
      if (gen.Below(3) > 0) part.push_back(i);
    CFixedSideCut cut(c.get(), part);
    cut.CalcCutWeight();
    int crossing = 0;
    std::vector<bool> in(n, false);
    for (int i : part) in[i] = true;
    for (const WEdge& e : random) crossing += in[e.a] != in[e.b];
    const long long k = static_cast<long long>(part.size());
    EXPECT_NEAR(cut.GetCutWeight(), cuttest::CrossWeight(n, random, part), 1e-9);
    EXPECT_EQ(cut.GetCutEdges(), crossing);
    EXPECT_LE(static_cast<int>(cut.GetPart().size()), n / 2);
    EXPECT_EQ(cut.CalcCompleteWeight(), k * (n - k) - crossing);
  }
}

TEST(MinCutTest, NothingToCut) {
  // A single vertex, and edgeless components on both sides of 1000
  // vertices: an empty side, no split pairs.
  for (int n : {1, 5, 1001}) {
    std::unique_ptr<CComponent> comp = cuttest::MakeComponent(cuttest::PlainIds(n), {});
    for (bool allowNegative : {false, true}) {
      CMinCut cut(comp.get(), allowNegative);
      EXPECT_TRUE(cut.GetSmallPartIndices().empty());
      EXPECT_EQ(cut.CrossPairs(), 0);
      EXPECT_EQ(cut.CalcCompleteWeight(), 0);
      EXPECT_EQ(cut.GetCompleteCutWeight(), 0.0);
    }
  }
}

namespace {

// A fingerprint graph built directly from vertices, edges and fingerprints.
class CTestFPGraph : public CFPGraph {
 public:
  explicit CTestFPGraph(const CSimDistrib* model) : CSimilarityGraph(model), CFPGraph() {}
};

class FPMinCutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetFingerprintStateForTests();
    m_handler.reset(new CDotProductSimHandler(new CMeanSqNorm(0), new CDotProductSim));
    CNormFP::SetSimilarityHandler(m_handler.get());
    CFingerprint::SetLength(4);
  }
  void TearDown() override { ResetFingerprintStateForTests(); }

  std::unique_ptr<CSimilarityHandler> m_handler;
};

}  // namespace

TEST_F(FPMinCutTest, CompleteWeightSumsTheTrueWeightOfEverySplitPair) {
  const CSimDistrib model(std::string(TEST_DATA_DIR) + "/mincut/model");
  cuttest::Gen gen(11);
  const int n = 9;
  std::vector<std::unique_ptr<CNormFP>> fps;
  for (int i = 0; i < n; ++i) {
    std::ostringstream text;
    for (int j = 0; j < 4; ++j) text << (gen.Unit() * 4.0 - 2.0) << ' ';
    std::istringstream in(text.str());
    fps.emplace_back(new CNormFP(in));
  }
  // Two dense groups {0..4} and {5..8} joined by one light edge; only some
  // pairs have edges, but every split pair counts.
  const std::vector<WEdge> edges = {{0, 1, 4}, {1, 2, 4}, {2, 3, 4}, {3, 4, 4}, {0, 4, 4}, {5, 6, 4},
                                    {6, 7, 4}, {7, 8, 4}, {5, 8, 4}, {4, 5, 0.5}};
  const std::vector<unsigned int> ids = {30, 12, 7, 25, 3, 18, 40, 1, 22};
  CTestFPGraph graph(&model);
  std::vector<CVertex*> v;
  for (int i = 0; i < n; ++i) {
    v.push_back(graph.PushBackV(nullptr, ids[i]));
    graph.m_normFPs.push_back(fps[i].get());
  }
  for (const WEdge& e : edges) new CEdge(v[e.a], v[e.b], e.w);
  CFPComponent comp(&graph);

  comp.CreateMinCut(false);
  CMinCut* cut = comp.GetMinCut();
  ASSERT_NE(dynamic_cast<CFPMinCut*>(cut), nullptr);
  std::vector<bool> in(n, false);
  for (int i : cut->GetPart()) in[i] = true;
  ASSERT_EQ(cuttest::CrossWeight(n, edges, cut->GetPart()), 0.5);

  double expected = 0.0;
  for (int i = 0; i < n; ++i)
    for (int j = i + 1; j < n; ++j)
      if (in[i] != in[j]) expected += model.CalcLogRatio(fps[i]->Similarity(*fps[j]));
  cut->CalcCompleteWeight();
  EXPECT_NEAR(cut->GetCompleteCutWeight(), expected, 1e-9 * (1.0 + std::fabs(expected)));
}
