// Dinic: the flow it leaves on the component is a maximum unit-capacity
// flow between the far pair (compared with a plain augmenting-path max flow
// written here), its side is exactly the set the source reaches in the
// final residual graph, weights play no part, and long paths do not exhaust
// the stack.

#include "vandrel/mincut/Dinic.h"

#include <gtest/gtest.h>

#include <cmath>

#include "CutTestGraphs.h"

using cuttest::WEdge;

namespace {

// Fixes the component's source and sink instead of searching a far pair.
void SetPair(CComponent* comp, int s, int t) {
  comp->m_farDepth = 3;
  comp->m_farSource = comp->GetVByIndex(s);
  comp->m_farSink = comp->GetVByIndex(t);
}

std::list<int> RunDinic(CComponent* comp) {
  CDinic alg;
  return alg.Run(comp);
}

// Net flow that the component's edges carry out of vertex index v, checking
// that every edge carries -1, 0 or 1 unit.
double NetOutflow(CComponent* comp, int v) {
  double out = 0.0;
  const CVertex* x = comp->GetVByIndex(v);
  for (const CEdge* e : x->m_edges[0]) out += e->m_flow;
  for (const CEdge* e : x->m_edges[1]) out -= e->m_flow;
  return out;
}

void ExpectUnitFlows(CComponent* comp) {
  for (int i = 0; i < comp->GetVerticesNum(); ++i)
    for (const CEdge* e : comp->GetVByIndex(i)->m_edges[0])
      EXPECT_TRUE(e->m_flow == -1.0 || e->m_flow == 0.0 || e->m_flow == 1.0) << e->m_flow;
}

double UnitWeight(cuttest::Gen&) { return 1.0; }

}  // namespace

TEST(DinicTest, MaximumFlowAndSourceSideOnRandomGraphs) {
  cuttest::Gen gen(99);
  for (int round = 0; round < 120; ++round) {
    const int n = 4 + round % 37;
    const double density = round % 3 == 0 ? 0.05 : (round % 3 == 1 ? 0.15 : 0.4);
    std::vector<WEdge> edges = cuttest::RandomConnected(n, density, gen, UnitWeight);
    // Drop a few tree edges now and then: the sink may be unreachable.
    if (round % 7 == 0 && edges.size() > 3) edges.erase(edges.begin() + 1);
    const int s = gen.Below(n);
    int t = gen.Below(n - 1);
    if (t >= s) ++t;
    cuttest::Gen idGen(round);
    std::unique_ptr<CComponent> comp = cuttest::MakeComponent(cuttest::ScrambledIds(n, idGen), edges);
    SetPair(comp.get(), s, t);
    const std::list<int> side = RunDinic(comp.get());
    SCOPED_TRACE("round " + std::to_string(round));

    std::vector<bool> reach;
    const int maxFlow = cuttest::UnitMaxFlow(n, edges, s, t, &reach);
    ExpectUnitFlows(comp.get());
    EXPECT_EQ(NetOutflow(comp.get(), s), maxFlow);
    EXPECT_EQ(NetOutflow(comp.get(), t), -maxFlow);
    for (int v = 0; v < n; ++v)
      if (v != s && v != t) {
        EXPECT_EQ(NetOutflow(comp.get(), v), 0.0) << "conservation at " << v;
      }

    // The side is the source side of a minimum cut: its crossing edges
    // number the max flow, and it is the set reachable in the residual graph.
    std::vector<bool> in(n, false);
    for (int v : side) {
      EXPECT_FALSE(in[v]);
      in[v] = true;
    }
    EXPECT_EQ(in, reach);
    EXPECT_TRUE(in[s]);
    EXPECT_FALSE(in[t]);
    int crossing = 0;
    for (const WEdge& e : edges) crossing += in[e.a] != in[e.b];
    EXPECT_EQ(crossing, maxFlow);
  }
}

TEST(DinicTest, WorkedExamples) {
  // Path s-x-t: one unit, the source alone.
  std::unique_ptr<CComponent> comp = cuttest::MakeComponent({5, 8, 2}, {{0, 1, 1.0}, {1, 2, 1.0}});
  SetPair(comp.get(), 0, 2);
  EXPECT_EQ(RunDinic(comp.get()), std::list<int>{0});
  EXPECT_EQ(NetOutflow(comp.get(), 0), 1.0);

  // Two disjoint s-t paths s-a-t and s-b-c-t plus a pendant d at s:
  // flow 2, the source keeps only d.
  comp = cuttest::MakeComponent({0, 1, 2, 3, 4, 5},
                                {{0, 1, 1}, {1, 5, 1}, {0, 2, 1}, {2, 3, 1}, {3, 5, 1}, {0, 4, 1}});
  SetPair(comp.get(), 0, 5);
  EXPECT_EQ(RunDinic(comp.get()), (std::list<int>{0, 4}));
  EXPECT_EQ(NetOutflow(comp.get(), 0), 2.0);

  // Source and sink are the same vertex (far depth 0): no flow, every
  // vertex the source reaches, in breadth-first order.
  comp = cuttest::MakeComponent({3, 1, 2, 0}, {{0, 3, 1.0}, {3, 1, 1.0}, {0, 2, 1.0}});
  comp->m_farDepth = 0;
  comp->m_farSource = comp->m_farSink = comp->GetVByIndex(0);
  EXPECT_EQ(RunDinic(comp.get()), (std::list<int>{0, 3, 2, 1}));
  EXPECT_EQ(NetOutflow(comp.get(), 0), 0.0);
}

TEST(DinicTest, WeightsDoNotMatter) {
  cuttest::Gen gen(5);
  for (int round = 0; round < 20; ++round) {
    const int n = 10 + round;
    std::vector<WEdge> edges = cuttest::RandomConnected(n, 0.2, gen, UnitWeight);
    std::vector<WEdge> scaled = edges;
    std::vector<WEdge> scrambled = edges;
    for (WEdge& e : scaled) e.w *= 1000.0;
    for (WEdge& e : scrambled) e.w = 0.01 + 7.0 * gen.Unit();
    const std::vector<unsigned int> ids = cuttest::ScrambledIds(n, gen);
    std::list<int> sides[3];
    const std::vector<WEdge>* sets[3] = {&edges, &scaled, &scrambled};
    for (int k = 0; k < 3; ++k) {
      std::unique_ptr<CComponent> comp = cuttest::MakeComponent(ids, *sets[k]);
      SetPair(comp.get(), 0, n - 1);
      sides[k] = RunDinic(comp.get());
    }
    EXPECT_EQ(sides[0], sides[1]);
    EXPECT_EQ(sides[0], sides[2]);
  }
}

TEST(DinicTest, FarPairIsSearchedWhenMissing) {
  // A path of heavy edges 0-1-2-3-4 with a light chord 0-4: the far pair is
  // (0, 4), found at depth 4; two units flow and the source stays alone.
  std::unique_ptr<CComponent> comp = cuttest::MakeComponent(
      {10, 11, 12, 13, 14}, {{0, 1, 3.0}, {1, 2, 3.0}, {2, 3, 3.0}, {3, 4, 3.0}, {0, 4, 0.5}});
  ASSERT_LT(comp->m_farDepth, 0);
  EXPECT_EQ(RunDinic(comp.get()), std::list<int>{0});
  EXPECT_EQ(comp->m_farSource, comp->GetVByIndex(0));
  EXPECT_EQ(comp->m_farSink, comp->GetVByIndex(4));
  EXPECT_EQ(NetOutflow(comp.get(), 0), 2.0);
}

TEST(DinicTest, NothingToCutAndLongPaths) {
  std::unique_ptr<CComponent> comp = cuttest::MakeComponent({4}, {});
  EXPECT_TRUE(RunDinic(comp.get()).empty());
  comp = cuttest::MakeComponent({4, 5, 6}, {});
  EXPECT_TRUE(RunDinic(comp.get()).empty());

  // A 2000-vertex path and a 2000-vertex ladder (two rails with rungs):
  // augmenting paths 2000 and 1000 edges deep.
  const int n = 2000;
  std::vector<WEdge> path;
  for (int i = 0; i + 1 < n; ++i) path.push_back({i, i + 1, 2.5});
  comp = cuttest::MakeComponent(cuttest::PlainIds(n), path);
  SetPair(comp.get(), 0, n - 1);
  EXPECT_EQ(RunDinic(comp.get()), std::list<int>{0});
  EXPECT_EQ(NetOutflow(comp.get(), 0), 1.0);

  std::vector<WEdge> ladder;
  for (int i = 0; i + 2 < n; i += 2) {
    ladder.push_back({i, i + 2, 1.0});
    ladder.push_back({i + 1, i + 3, 1.0});
    ladder.push_back({i, i + 1, 1.0});
  }
  ladder.push_back({n - 2, n - 1, 1.0});
  comp = cuttest::MakeComponent(cuttest::PlainIds(n), ladder);
  SetPair(comp.get(), 0, n - 1);
  const std::list<int> side = RunDinic(comp.get());
  std::vector<bool> reach;
  EXPECT_EQ(NetOutflow(comp.get(), 0), cuttest::UnitMaxFlow(n, ladder, 0, n - 1, &reach));
  std::vector<bool> in(n, false);
  for (int v : side) in[v] = true;
  EXPECT_EQ(in, reach);
}
