#include "vandrel/engine/Transformers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "vandrel/ThrowMessage.h"
#include "vandrel/graph/SimilarityGraph.h"
#include "vandrel/mincut/MinCut.h"

namespace {

using SDComponents = CGraph2Components<CSDTypeTags>;
using SDScreened = CComp2Screened<CSDTypeTags>;
using SDCut = CComp2CutSubcomps<CSDTypeTags>;
using SDParts = CFullGraph2Parts<CSDTypeTags>;
using Ids = std::vector<unsigned int>;

struct Edge {
  unsigned int a, b;
  double w;
};

// Names outlive the graphs built from them.
std::deque<std::string>& Names() {
  static std::deque<std::string> names;
  return names;
}

// A similarity graph (no model) over ids 0..n-1 with the given edges.
CSimilarityGraph* MakeGraph(unsigned int n, const std::vector<Edge>& edges) {
  auto* g = new CSimilarityGraph(static_cast<const CSimDistrib*>(nullptr));
  for (unsigned int i = 0; i < n; ++i) {
    Names().push_back("g" + std::to_string(i));
    g->PushBackV(&Names().back(), i);
  }
  for (const Edge& e : edges)
    new CEdge(g->GetVByIndex(g->ID2Index(e.a)), g->GetVByIndex(g->ID2Index(e.b)), e.w);
  return g;
}

Ids IdsOf(const CGraph& g) {
  Ids ids = g.GetIDsVector();
  return ids;
}

Ids Sorted(Ids ids) {
  std::sort(ids.begin(), ids.end());
  return ids;
}

double TotalWeight(const CGraph& g) {
  double sum = 0.0;
  for (const CVertex* v : g.m_vertices)
    for (const CEdge* e : v->m_edges[0]) sum += e->m_weight;
  return sum;
}

TEST(OwningHandle, CopyingMovesOwnershipAndTheLastOwnerDeletes) {
  struct Probe {
    explicit Probe(int* c) : count(c) {}
    ~Probe() { ++*count; }
    int* count;
  };
  int deleted = 0;
  {
    COwningHandle<Probe> a(new Probe(&deleted));
    {
      COwningHandle<Probe> b(a);
      EXPECT_FALSE(a.IsOwner());
      EXPECT_TRUE(b.IsOwner());
      EXPECT_EQ(a.Get(), b.Get());  // the source keeps the pointer
    }
    EXPECT_EQ(deleted, 1);  // b owned it
  }
  EXPECT_EQ(deleted, 1);  // a did not delete again
  std::unique_ptr<Probe> owner(new Probe(&deleted));
  {
    COwningHandle<Probe> c(owner.get(), false);
    COwningHandle<Probe> d(c);
    EXPECT_FALSE(d.IsOwner());  // copying passes on no ownership it lacked
  }
  EXPECT_EQ(deleted, 1);  // a handle that never owned deletes nothing
}

TEST(Graph2Components, ComponentsComeSmallestFirstInSelectionSortOrder) {
  // Components found in the order {0,1}, {2,3}, {4}: sizes 2, 2, 1 come out
  // as the 1, then the second 2, then the first 2.
  COwningHandle<CSimilarityGraph> g(MakeGraph(5, {{0, 1, 1.0}, {2, 3, 2.0}}));
  SDComponents comps(g, 0.0);
  ASSERT_EQ(comps.GetComponentsNum(), 3u);
  const std::vector<Ids> expected = {{4}, {2, 3}, {0, 1}};
  for (unsigned int i = 0; i < 3; ++i) {
    COwningHandle<CComponent> c = comps.TakeComponent(i);
    EXPECT_EQ(IdsOf(*c), expected[i]) << "component " << i;
  }
}

TEST(Graph2Components, TheFloorDecidesWhichEdgesConnect) {
  // A path 0 -(5)- 1 -(-50)- 2 -(0.5)- 3, plus an isolated vertex 4.
  const std::vector<Edge> edges = {{0, 1, 5.0}, {1, 2, -50.0}, {2, 3, 0.5}};
  struct Case {
    double floor;
    std::vector<Ids> components;
  };
  const Case cases[] = {
      {1.0, {{2}, {3}, {4}, {0, 1}}},        // only the weight-5 edge
      {0.5, {{4}, {2, 3}, {0, 1}}},          // a weight equal to the floor connects
      {-1000000.0, {{4}, {0, 1, 2, 3}}},     // widest floor: every edge connects
  };
  for (const Case& c : cases) {
    COwningHandle<CSimilarityGraph> g(MakeGraph(5, edges));
    SDComponents comps(g, c.floor);
    ASSERT_EQ(comps.GetComponentsNum(), c.components.size()) << c.floor;
    for (unsigned int i = 0; i < comps.GetComponentsNum(); ++i)
      EXPECT_EQ(IdsOf(*comps.TakeComponent(i)), c.components[i]) << c.floor;
  }
}

TEST(Graph2Components, ComponentsKeepTheirEdgesAndTheLargestReusesTheVertices) {
  // Triangle {0,1,2} (weights 1, 2, 3) and an edge {3,4} (weight 7); with the
  // floor 2 the triangle stays connected through its two heavier edges.
  CSimilarityGraph* raw =
      MakeGraph(5, {{0, 1, 1.0}, {1, 2, 2.0}, {0, 2, 3.0}, {3, 4, 7.0}});
  CVertex* v0 = raw->GetVByIndex(0);
  COwningHandle<CSimilarityGraph> g(raw);
  SDComponents comps(g, 2.0);
  ASSERT_EQ(comps.GetComponentsNum(), 2u);
  COwningHandle<CComponent> small = comps.TakeComponent(0);
  COwningHandle<CComponent> large = comps.TakeComponent(1);
  EXPECT_EQ(IdsOf(*small), (Ids{3, 4}));
  EXPECT_DOUBLE_EQ(TotalWeight(*small), 7.0);
  EXPECT_EQ(IdsOf(*large), (Ids{0, 1, 2}));
  EXPECT_DOUBLE_EQ(TotalWeight(*large), 6.0);  // the light edge is kept too
  EXPECT_EQ(large->GetVByIndex(0), v0);        // taken over, not copied
  EXPECT_EQ(large->ID2Index(2), 2);
}

TEST(Graph2Components, EmptyGraphAndTakingErrors) {
  COwningHandle<CSimilarityGraph> empty(MakeGraph(0, {}));
  SDComponents none(empty, -1000000.0);
  EXPECT_EQ(none.GetComponentsNum(), 0u);
  ExpectThrows([&] { none.TakeComponent(0); },
               "CGraph2Components::TakeComponent - index is out of scope");

  COwningHandle<CSimilarityGraph> g(MakeGraph(2, {}));
  SDComponents comps(g, 0.0);
  COwningHandle<CComponent> first = comps.TakeComponent(1);
  EXPECT_TRUE(first.IsOwner());
  ExpectThrows([&] { comps.TakeComponent(1); },
               "CGraph2Components::TakeComponent - component already taken");
  ExpectThrows([&] { comps.TakeComponent(2); },
               "CGraph2Components::TakeComponent - index is out of scope");
}

// A component over ids 0..n-1 built through the components transformer.
COwningHandle<CComponent> MakeComponent(unsigned int n, const std::vector<Edge>& edges) {
  COwningHandle<CSimilarityGraph> g(MakeGraph(n, edges));
  SDComponents comps(g, -1000000.0);
  // With the widest floor a connected input yields one component; an input
  // that is not connected keeps its largest component last.
  return comps.TakeComponent(comps.GetComponentsNum() - 1);
}

// One component over ids 0..n-1, connected or not (re-indexing construction).
COwningHandle<CComponent> WholeComponent(unsigned int n, const std::vector<Edge>& edges) {
  std::unique_ptr<CSimilarityGraph> source(MakeGraph(n, edges));
  return COwningHandle<CComponent>(new CComponent(source.get()));
}

class ScreenedTest : public ::testing::Test {
 protected:
  void SetUp() override { SDScreened::SetMinScreenSize(250); }
};

TEST_F(ScreenedTest, TheMinimumSizeIsSetOnce) {
  EXPECT_EQ(SDScreened::GetMinScreenSize(), 250u);
  SDScreened::SetMinScreenSize(250);  // the same value again is accepted
  SDScreened::SetMinScreenSize(0);    // 0 stands for 250
  ExpectThrows([] { SDScreened::SetMinScreenSize(300); },
               "CComp2Screened::SetMinScreenSize - value already set");
  EXPECT_EQ(SDScreened::GetMinScreenSize(), 250u);
}

TEST_F(ScreenedTest, SmallComponentsAreNotScreened) {
  // 250 vertices, 249 of them barely connected: nothing is removed.
  std::vector<Edge> edges;
  for (unsigned int i = 1; i < 250; ++i) edges.push_back({0, i, i == 1 ? 100.0 : 0.001});
  SDScreened screened(MakeComponent(250, edges));
  EXPECT_TRUE(screened.GetScreenedIDs().empty());
  EXPECT_EQ(screened.TakeScreenedGraph()->GetVerticesNum(), 250);
}

TEST_F(ScreenedTest, ScreeningStopsAtTheMinimumSize) {
  // 300 vertices: weak ones 0..99, each tied to 100+i by weight 0.1; strong
  // ones 100..299 in pairs of weight 10.  W = 2020 and the cut is
  // log10(300/250) * 2020 / 300 = 0.533: every weak vertex is below it, but
  // only 50 may go.
  std::vector<Edge> edges;
  for (unsigned int i = 0; i < 100; ++i) edges.push_back({i, 100 + i, 0.1});
  for (unsigned int i = 100; i < 300; i += 2) edges.push_back({i, i + 1, 10.0});
  SDScreened screened(WholeComponent(300, edges));
  Ids expectedOut;
  for (unsigned int i = 0; i < 50; ++i) expectedOut.push_back(i);
  EXPECT_EQ(Ids(screened.GetScreenedIDs().begin(), screened.GetScreenedIDs().end()),
            expectedOut);
  COwningHandle<CSimilarityGraph> rest = screened.TakeScreenedGraph();
  ASSERT_EQ(rest->GetVerticesNum(), 250);
  EXPECT_EQ(rest->GetVByIndex(0)->m_id, 50u);
  EXPECT_EQ(rest->ID2Index(299), 249);
  ExpectThrows([&] { screened.TakeScreenedGraph(); },
               "CComp2Screened::TakeScreenedGraph - graph already taken");
}

TEST_F(ScreenedTest, LaterPassesRemoveVerticesWeakenedByEarlierRemovals) {
  // Vertex 0 (sum 1.0) is tied only to 5 and 6 (0.5 each); the other 258
  // vertices form pairs of weight 40.  The cut, log10(261/250) * W / 261
  // with W = 2 + 2 * 129 * 40, is about 0.74: pass 1 removes 5 and 6, which
  // leaves vertex 0 with nothing, and pass 2 removes 0.
  std::vector<Edge> edges = {{0, 5, 0.5}, {0, 6, 0.5}};
  std::vector<unsigned int> strong;
  for (unsigned int i = 1; i < 261; ++i)
    if (i != 5 && i != 6) strong.push_back(i);
  ASSERT_EQ(strong.size(), 258u);
  for (size_t i = 0; i < strong.size(); i += 2) edges.push_back({strong[i], strong[i + 1], 40.0});
  SDScreened screened(WholeComponent(261, edges));
  EXPECT_EQ(Ids(screened.GetScreenedIDs().begin(), screened.GetScreenedIDs().end()),
            (Ids{5, 6, 0}));
  EXPECT_EQ(screened.TakeScreenedGraph()->GetVerticesNum(), 258);
}

TEST(CutSubcomps, TheTwoSidesOfTheMinimumCut) {
  // Two triangles of weight-10 edges joined by one edge of weight 1.
  const std::vector<Edge> edges = {{0, 1, 10}, {1, 2, 10}, {0, 2, 10},
                                   {3, 4, 10}, {4, 5, 10}, {3, 5, 10},
                                   {2, 3, 1}};
  COwningHandle<CComponent> comp = MakeComponent(6, edges);
  SDCut cut(comp, false);
  COwningHandle<CComponent> first = cut.TakeFirstSubcomp();
  COwningHandle<CComponent> second = cut.TakeSecondSubcomp();
  const Ids a = Sorted(IdsOf(*first));
  const Ids b = Sorted(IdsOf(*second));
  EXPECT_TRUE((a == Ids{0, 1, 2} && b == Ids{3, 4, 5}) ||
              (a == Ids{3, 4, 5} && b == Ids{0, 1, 2}));
  EXPECT_DOUBLE_EQ(TotalWeight(*first), 30.0);
  EXPECT_DOUBLE_EQ(TotalWeight(*second), 30.0);
  ExpectThrows([&] { cut.TakeFirstSubcomp(); },
               "CComp2CutSubcomps::TakeFirstSubcomp - subcomp already taken");
  ExpectThrows([&] { cut.TakeSecondSubcomp(); },
               "CComp2CutSubcomps::TakeSecondSubcomp - subcomp already taken");
}

TEST(CutSubcomps, AnExistingCutIsReused) {
  const std::vector<Edge> edges = {{0, 1, 10}, {1, 2, 10}, {0, 2, 10},
                                   {3, 4, 10}, {4, 5, 10}, {3, 5, 10},
                                   {2, 3, 1}};
  COwningHandle<CComponent> comp = MakeComponent(6, edges);
  comp->CreateMinCut(false);
  CMinCut* existing = comp->GetMinCut();
  Ids side;
  for (int index : existing->GetPart()) side.push_back(comp->GetVByIndex(index)->m_id);
  SDCut cut(comp, true);  // would ask for another algorithm if it cut anew
  EXPECT_EQ(IdsOf(*cut.TakeFirstSubcomp()), side);
}

TEST(FullGraph2Parts, AGraphBelowTheSizeIsItsOwnOnlyPart) {
  CSimilarityGraph* raw = MakeGraph(3, {{0, 1, 1.0}});
  COwningHandle<CSimilarityGraph> g(raw);
  SDParts parts(g, 4);
  ASSERT_EQ(parts.GetPartsNum(), 1u);
  COwningHandle<CSimilarityGraph> part = parts.TakeGraphPart(0);
  EXPECT_EQ(part.Get(), raw);
  EXPECT_TRUE(part.IsOwner());
  EXPECT_FALSE(g.IsOwner());
  ExpectThrows([&] { parts.TakeGraphPart(0); },
               "CFullGraph2Parts::TakeGraphPart - part already taken");
  ExpectThrows([&] { parts.TakeGraphPart(1); },
               "CFullGraph2Parts::TakeGraphPart - index is out of scope");
}

TEST(FullGraph2Parts, LargeGraphsAreCutUntilEveryPartIsSmall) {
  // Three triangles of weight-10 edges in a row, joined by weight-1 edges.
  std::vector<Edge> edges;
  for (unsigned int t = 0; t < 3; ++t) {
    const unsigned int b = 3 * t;
    edges.push_back({b, b + 1, 10});
    edges.push_back({b + 1, b + 2, 10});
    edges.push_back({b, b + 2, 10});
  }
  edges.push_back({2, 3, 1});
  edges.push_back({5, 6, 1});
  COwningHandle<CSimilarityGraph> g(MakeGraph(9, edges));
  SDParts parts(g, 4);
  Ids all;
  for (unsigned int i = 0; i < parts.GetPartsNum(); ++i) {
    COwningHandle<CSimilarityGraph> part = parts.TakeGraphPart(i);
    EXPECT_LT(part->GetVerticesNum(), 4) << "part " << i;
    EXPECT_GT(part->GetVerticesNum(), 0) << "part " << i;
    for (unsigned int id : IdsOf(*part)) all.push_back(id);
  }
  EXPECT_EQ(Sorted(all), (Ids{0, 1, 2, 3, 4, 5, 6, 7, 8}));
}

}  // namespace
