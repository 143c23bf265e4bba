// Negative-weight partition: seeds, the greedy assignment with its tie rule,
// improvement moves including the best single move, sides that empty, and
// graphs without usable seeds.  Expected sides are worked out by hand in the
// comments (the missing-edge weight is 0 in these components).

#include "vandrel/mincut/NegMinCut.h"

#include <gtest/gtest.h>

#include "CutTestGraphs.h"
#include "vandrel/stats/SimDistrib.h"

using cuttest::WEdge;

namespace {

std::list<int> RunNeg(CComponent* comp) {
  CNegMinCut alg;
  return alg.Run(comp);
}

}  // namespace

TEST(NegMinCutTest, SeedsComeFromTheLightestEdge) {
  // Index 0 has id 9, index 1 id 4: the edge's m_v1 (smaller id) is index 1.
  std::unique_ptr<CComponent> comp = cuttest::MakeComponent({9, 4}, {{0, 1, -5.0}});
  EXPECT_EQ(RunNeg(comp.get()), std::list<int>{1});
}

TEST(NegMinCutTest, GreedyTiesGoToBOnlyWhileAIsNotSmaller) {
  // Ids 1..5 at indices 0..4.  Edges 1-2 (-5), 4-1 (-1), 4-2 (-1),
  // 5-3 (-0.01); the heaviest edge is -0.01, so the shift is exactly 0 and
  // a cost is minus the weight towards a side.
  //   seeds A = {1}, B = {2}
  //   3: costs 0 and 0, |A| = |B|            -> B
  //   4: costs 1 and 1, |A| = 1 < |B| = 2    -> A
  //   5: costs 0 and 0.01                    -> A
  // No vertex weighs more with the other side, so A = {1, 4, 5}.
  std::unique_ptr<CComponent> comp = cuttest::MakeComponent(
      {1, 2, 3, 4, 5}, {{0, 1, -5.0}, {3, 0, -1.0}, {3, 1, -1.0}, {4, 2, -0.01}});
  EXPECT_EQ(RunNeg(comp.get()), (std::list<int>{0, 3, 4}));
}

TEST(NegMinCutTest, MovesAndTheBestSingleMove) {
  // Edges 0-1 (4), 0-2 (-3), 0-3 (-1), 0-4 (3), 1-2 (4), 1-4 (3), 2-3 (3),
  // 2-4 (-2), 3-4 (-1); shift 4.01.
  //   seeds A = {0}, B = {2} (the -3 edge)
  //   1: costs 0.01 and 0.01, tie with |A| = |B|       -> B
  //   3: costs 5.01 and 5.02                            -> A
  //   4: costs 6.02 and 7.02                            -> A
  // Pass 1: 1 weighs 7 with A against 4 with B and moves to A.  2 is then
  // alone in B and weighs 2 with A, so the best single move is made
  // instead: gains 0, 0, 2, 5, 0 -> vertex 3 moves to B.  Nothing else
  // moves, A = {0, 1, 4}.
  const std::vector<WEdge> edges = {{0, 1, 4}, {0, 2, -3}, {0, 3, -1}, {0, 4, 3}, {1, 2, 4},
                                    {1, 4, 3}, {2, 3, 3},  {2, 4, -2}, {3, 4, -1}};
  std::unique_ptr<CComponent> comp = cuttest::MakeComponent(cuttest::PlainIds(5), edges);
  EXPECT_EQ(RunNeg(comp.get()), (std::list<int>{0, 1, 4}));
}

TEST(NegMinCutTest, ASideCanEmpty) {
  // Edges 0-1 (-5), 1-2 (10), 2-3 (10), 1-3 (10), 0-3 (8): seeds A = {0},
  // B = {1}; 2 and 3 join B.  0 weighs 3 with B and is alone: the best
  // single move is 0 itself (gain 3), A becomes empty.
  std::unique_ptr<CComponent> comp = cuttest::MakeComponent(
      cuttest::PlainIds(4), {{0, 1, -5}, {1, 2, 10}, {2, 3, 10}, {1, 3, 10}, {0, 3, 8}});
  EXPECT_TRUE(RunNeg(comp.get()).empty());
}

TEST(NegMinCutTest, NoSeedsGiveAnEmptySide) {
  std::unique_ptr<CComponent> comp = cuttest::MakeComponent({3}, {});
  EXPECT_TRUE(RunNeg(comp.get()).empty());
  comp = cuttest::MakeComponent({3, 4, 5}, {});
  EXPECT_TRUE(RunNeg(comp.get()).empty());
  // Only edges at or above the bound 1e8.
  comp = cuttest::MakeComponent({3, 4}, {{0, 1, 1e8}});
  EXPECT_TRUE(RunNeg(comp.get()).empty());
}

TEST(NegMinCutTest, AllNegativeLargeGraphSplitsWithoutCrashing) {
  // 1200 vertices, every edge negative: each vertex pulls away from its
  // neighbours.  The result is a valid, ordered set of indices, and no
  // vertex weighs more with the other side at the end.
  cuttest::Gen gen(3);
  const int n = 1200;
  std::vector<WEdge> edges;
  for (int i = 0; i < n; ++i)
    for (int k = 0; k < 4; ++k) {
      const int j = gen.Below(n);
      if (j != i && j > i) edges.push_back({i, j, -0.5 - gen.Unit()});
    }
  // Remove duplicate pairs.
  std::set<std::pair<int, int>> seen;
  std::vector<WEdge> unique;
  for (const WEdge& e : edges)
    if (seen.insert({e.a, e.b}).second) unique.push_back(e);
  std::unique_ptr<CComponent> comp = cuttest::MakeComponent(cuttest::PlainIds(n), unique);
  const std::list<int> side = RunNeg(comp.get());
  ASSERT_FALSE(side.empty());
  ASSERT_LT(static_cast<int>(side.size()), n);
  std::vector<bool> in(n, false);
  int previous = -1;
  for (int i : side) {
    EXPECT_GT(i, previous);
    previous = i;
    in[i] = true;
  }
  // Local optimum: for every vertex, weight to own side >= weight to other.
  std::vector<double> own(n, 0.0), other(n, 0.0);
  for (const WEdge& e : unique) {
    const bool same = in[e.a] == in[e.b];
    (same ? own : other)[e.a] += e.w;
    (same ? own : other)[e.b] += e.w;
  }
  for (int v = 0; v < n; ++v) EXPECT_GE(own[v], other[v] - 1e-9) << "vertex " << v;
}

TEST(NegMinCutTest, MissingEdgesWeighWithTheGraphsMissingEdgeWeight) {
  // Edges 0-1 (-5), 0-2 (-1); seeds A = {0}, B = {1}; shift -0.99.  Vertex 2
  // has no edge to 1: cost(2, A) = -0.99 + 1 = 0.01, cost(2, B) = -0.99 - w0.
  // With w0 = 0 it joins B; with w0 < -1 it joins A and stays there.
  const std::vector<WEdge> edges = {{0, 1, -5.0}, {0, 2, -1.0}};
  std::unique_ptr<CComponent> comp = cuttest::MakeComponent({0, 1, 2}, edges);
  EXPECT_EQ(RunNeg(comp.get()), std::list<int>{0});

  const CSimDistrib model(std::string(TEST_DATA_DIR) + "/mincut/model");
  comp = cuttest::MakeComponent({0, 1, 2}, edges, &model, 0.0);
  ASSERT_LT(comp->m_analyzer.GetMissingEdgeWeight(), -1.0);
  EXPECT_EQ(RunNeg(comp.get()), (std::list<int>{0, 2}));
}
