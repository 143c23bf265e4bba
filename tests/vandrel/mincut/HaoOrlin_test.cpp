// Hao-Orlin: the returned side is a lightest cut (checked against every
// bipartition of small random graphs), the worked examples, and the inputs
// that must neither crash nor pass silently.

#include "vandrel/mincut/HaoOrlin.h"

#include <gtest/gtest.h>

#include <cmath>

#include "CutTestGraphs.h"

using cuttest::WEdge;

namespace {

double IntWeight(cuttest::Gen& gen) { return 1.0 + gen.Below(9); }
double RealWeight(cuttest::Gen& gen) { return 0.05 + 4.0 * gen.Unit(); }
// Many zero-weight edges and small integers: lots of equally light cuts.
double TieWeight(cuttest::Gen& gen) { return static_cast<double>(gen.Below(3)); }

std::list<int> RunHaoOrlin(CComponent* comp) {
  CHaoOrlin alg;
  return alg.Run(comp);
}

void ExpectProperSide(int n, const std::list<int>& side) {
  ASSERT_FALSE(side.empty());
  ASSERT_LT(static_cast<int>(side.size()), n);
  std::vector<bool> seen(n, false);
  for (int i : side) {
    ASSERT_GE(i, 0);
    ASSERT_LT(i, n);
    EXPECT_FALSE(seen[i]) << "index " << i << " listed twice";
    seen[i] = true;
  }
}

}  // namespace

TEST(HaoOrlinTest, FindsTheLightestCutOfRandomGraphs) {
  struct Family {
    const char* name;
    double (*weight)(cuttest::Gen&);
    double extraProb;
  };
  const Family families[] = {
      {"integer weights, sparse", IntWeight, 0.2},
      {"integer weights, dense", IntWeight, 0.7},
      {"real weights", RealWeight, 0.4},
      {"zero and small weights", TieWeight, 0.5},
  };
  cuttest::Gen gen(12345);
  for (const Family& f : families) {
    for (int round = 0; round < 60; ++round) {
      const int n = 2 + round % 11;  // 2 .. 12 vertices
      const std::vector<WEdge> edges = cuttest::RandomConnected(n, f.extraProb, gen, f.weight);
      const std::vector<unsigned int> ids =
          round % 2 == 0 ? cuttest::PlainIds(n) : cuttest::ScrambledIds(n, gen);
      std::unique_ptr<CComponent> comp = cuttest::MakeComponent(ids, edges);
      const std::list<int> side = RunHaoOrlin(comp.get());
      SCOPED_TRACE(std::string(f.name) + ", round " + std::to_string(round) + ", n " + std::to_string(n));
      ExpectProperSide(n, side);
      const double expected = cuttest::BruteForceMinCut(n, edges);
      EXPECT_NEAR(cuttest::CrossWeight(n, edges, side), expected, 1e-9 * (1.0 + std::fabs(expected)));
      // The reference used for larger graphs below agrees with enumeration.
      EXPECT_NEAR(cuttest::StoerWagner(n, edges), expected, 1e-9 * (1.0 + std::fabs(expected)));
    }
  }
}

TEST(HaoOrlinTest, MatchesStoerWagnerOnLargerGraphs) {
  // 20 to 120 vertices: many sinks, relabels, gaps and woken layers.
  cuttest::Gen gen(4242);
  for (int round = 0; round < 40; ++round) {
    const int n = 20 + (round * 37) % 101;
    const double extra = round % 2 == 0 ? 3.0 / n : 0.3;
    const std::vector<WEdge> edges =
        cuttest::RandomConnected(n, extra, gen, round % 3 == 0 ? TieWeight : (round % 3 == 1 ? IntWeight : RealWeight));
    std::unique_ptr<CComponent> comp = cuttest::MakeComponent(cuttest::ScrambledIds(n, gen), edges);
    const std::list<int> side = RunHaoOrlin(comp.get());
    SCOPED_TRACE("round " + std::to_string(round) + ", n " + std::to_string(n));
    ExpectProperSide(n, side);
    const double expected = cuttest::StoerWagner(n, edges);
    EXPECT_NEAR(cuttest::CrossWeight(n, edges, side), expected, 1e-9 * (1.0 + std::fabs(expected)));
  }
}

TEST(HaoOrlinTest, TwoTrianglesJoinedByALightEdgeSplitIntoTheTriangles) {
  // Triangles {0,1,2} and {3,4,5} of weight-10 edges, bridge 2-3 of weight 1.
  const std::vector<WEdge> edges = {{0, 1, 10}, {1, 2, 10}, {0, 2, 10}, {3, 4, 10},
                                    {4, 5, 10}, {3, 5, 10}, {2, 3, 1}};
  for (bool scrambled : {false, true}) {
    cuttest::Gen gen(7);
    const std::vector<unsigned int> ids = scrambled ? cuttest::ScrambledIds(6, gen) : cuttest::PlainIds(6);
    std::unique_ptr<CComponent> comp = cuttest::MakeComponent(ids, edges);
    std::list<int> side = RunHaoOrlin(comp.get());
    side.sort();
    const bool first = side == std::list<int>{0, 1, 2};
    const bool second = side == std::list<int>{3, 4, 5};
    EXPECT_TRUE(first || second) << "scrambled=" << scrambled;
  }
}

TEST(HaoOrlinTest, TwoVerticesGiveTheSourceAlone) {
  // Equal weight sums: the source is the first vertex in index order, even
  // though its id is the larger one.
  std::unique_ptr<CComponent> comp = cuttest::MakeComponent({7, 3}, {{0, 1, 3.0}});
  EXPECT_EQ(RunHaoOrlin(comp.get()), std::list<int>{0});
  // The heavier vertex is the source.
  comp = cuttest::MakeComponent({7, 3, 5}, {{0, 1, 3.0}, {1, 2, 4.0}});
  std::list<int> side = RunHaoOrlin(comp.get());
  EXPECT_DOUBLE_EQ(cuttest::CrossWeight(3, {{0, 1, 3.0}, {1, 2, 4.0}}, side), 3.0);
  EXPECT_EQ(side, (std::list<int>{1, 2}));
}

TEST(HaoOrlinTest, NegativeWeightSums) {
  // Vertex 2's incident weights sum to -1: refused.
  std::unique_ptr<CComponent> comp = cuttest::MakeComponent(cuttest::PlainIds(3), {{0, 1, 2.0}, {1, 2, -1.0}});
  try {
    RunHaoOrlin(comp.get());
    ADD_FAILURE() << "negative weight sum accepted";
  } catch (const char* m) {
    EXPECT_STREQ(m, "CHaoOrlin::Initialize - Hao-Orlin cannot handle negative weights");
  }
  // All weights negative: refused as well.
  comp = cuttest::MakeComponent(cuttest::PlainIds(3), {{0, 1, -2.0}, {1, 2, -1.0}});
  EXPECT_THROW(RunHaoOrlin(comp.get()), const char*);

  // A negative edge at vertices whose sums stay non-negative is accepted:
  // 0-1 (5), 1-2 (-1), 2-3 (4), 0-3 (1): sums 6, 4, 3, 5.
  const std::vector<WEdge> edges = {{0, 1, 5.0}, {1, 2, -1.0}, {2, 3, 4.0}, {0, 3, 1.0}};
  comp = cuttest::MakeComponent(cuttest::PlainIds(4), edges);
  std::list<int> side;
  ASSERT_NO_THROW(side = RunHaoOrlin(comp.get()));
  ExpectProperSide(4, side);
}

TEST(HaoOrlinTest, NothingToCut) {
  // Single vertex, and vertices without edges: empty side.
  std::unique_ptr<CComponent> comp = cuttest::MakeComponent({4}, {});
  EXPECT_TRUE(RunHaoOrlin(comp.get()).empty());
  comp = cuttest::MakeComponent({4, 9, 1}, {});
  EXPECT_TRUE(RunHaoOrlin(comp.get()).empty());
}

TEST(HaoOrlinTest, DisconnectedGraphHasAZeroCut) {
  // Two separate pieces: a cut of weight 0 that separates them.
  const std::vector<WEdge> edges = {{0, 2, 3.0}, {2, 4, 1.0}, {1, 3, 5.0}};
  std::unique_ptr<CComponent> comp = cuttest::MakeComponent({10, 11, 12, 13, 14}, edges);
  const std::list<int> side = RunHaoOrlin(comp.get());
  ExpectProperSide(5, side);
  EXPECT_EQ(cuttest::CrossWeight(5, edges, side), 0.0);

  // Only zero-weight edges and an isolated heaviest vertex: every vertex
  // sum is 0, the first vertex (isolated) is cut off alone.
  comp = cuttest::MakeComponent({1, 2, 3}, {{1, 2, 0.0}});
  EXPECT_EQ(RunHaoOrlin(comp.get()), std::list<int>{0});
}

TEST(HaoOrlinTest, ThousandVertexPath) {
  // A 1000-vertex path whose lightest edge sits in the middle.
  const int n = 1000;
  std::vector<WEdge> edges;
  for (int i = 0; i + 1 < n; ++i) edges.push_back({i, i + 1, i == 600 ? 0.5 : 2.0 + (i % 5)});
  std::unique_ptr<CComponent> comp = cuttest::MakeComponent(cuttest::PlainIds(n), edges);
  const std::list<int> side = RunHaoOrlin(comp.get());
  EXPECT_DOUBLE_EQ(cuttest::CrossWeight(n, edges, side), 0.5);
  EXPECT_TRUE(side.size() == 601 || side.size() == 399) << side.size();
}

TEST(HaoOrlinTest, RoundingRemainderAfterASaturatingPushIsRefusedByTheRelabel) {
  // Weights near 1e10 next to weights below 1: a push of a whole residual
  // leaves a remainder above the push floor, so the arc is still admissible
  // when its vertex has run through its other arcs, and the relabel does not
  // raise the label.  In the second graph the vertex also has a residual arc
  // at its own label before the remaining one.
  const std::vector<std::vector<WEdge>> graphs = {
      {{0, 2, 17317593805.177105},  {0, 3, 16782154490.073076}, {0, 4, 10759465171.403835},
       {0, 5, 13239996959.787535},  {0, 6, 0.83964777628329679}, {1, 2, 0.60530457657587811},
       {1, 3, 13790746114.775536},  {1, 6, 10419305488.932589}, {2, 3, 0.11851789812812485},
       {2, 4, 0.99460214792022505}, {2, 5, 14019068026.30377},  {2, 6, 0.52169505355447876},
       {3, 4, 14742165844.325037},  {3, 5, 12358810650.51494},  {3, 6, 0.80476926299139862},
       {4, 6, 18622862083.55241},   {5, 6, 0.033439372498891506}},
      {{0, 1, 13951025037.366262},  {0, 2, 13604272317.963417}, {0, 3, 0.27121212453903809},
       {0, 4, 0.60207376472809415}, {0, 5, 0.064223302762741796}, {0, 6, 19707893175.334808},
       {0, 9, 0.41936937285119247}, {1, 2, 0.73680980385339701}, {1, 3, 0.52612000087816002},
       {1, 8, 12213906066.368185},  {1, 9, 0.3132795105843128},  {2, 3, 19438358175.073494},
       {2, 5, 0.41227970090645527}, {2, 6, 15444738756.720943},  {2, 9, 10872913713.158758},
       {3, 4, 0.26366023668717076}, {3, 6, 13354701841.598127},  {3, 7, 0.88272588472019675},
       {3, 8, 0.36277286820863464}, {4, 5, 12448611631.449627},  {4, 7, 0.5229307467513552},
       {4, 8, 19183053897.426125},  {4, 9, 12974167315.346121},  {5, 6, 13770542721.801702},
       {5, 7, 14566951085.414299},  {5, 8, 19862302401.37418},   {5, 9, 16723288118.852034},
       {6, 7, 0.067356554964538962}, {6, 8, 15967460364.766958}, {7, 8, 0.97018021484727557},
       {7, 9, 12933429601.059763}},
  };
  for (size_t g = 0; g < graphs.size(); ++g) {
    const int n = g == 0 ? 7 : 10;
    for (CHaoOrlin::HeadWidth width : {CHaoOrlin::kAutoHeads, CHaoOrlin::kWideHeads}) {
      std::unique_ptr<CComponent> comp = cuttest::MakeComponent(cuttest::PlainIds(n), graphs[g]);
      CHaoOrlin alg(width);
      try {
        alg.Run(comp.get());
        ADD_FAILURE() << "remainder accepted, graph " << g << ", width " << width;
      } catch (const char* m) {
        EXPECT_STREQ(m, "CHaoOrlin::Relabel - something is wrong: oldLabel == newLabel") << "graph " << g;
      }
    }
  }
}
