// Similarity graphs built from similarity tables, weight-threshold raises,
// the far-pair search, the kernel test and the fingerprint bookkeeping of
// FP graphs and components.

#include <unistd.h>
#include "vandrel/graph/SimilarityGraph.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "vandrel/data/SimilarityData.h"
#include "vandrel/mincut/MinCut.h"
#include "vandrel/stats/SimDistrib.h"

#include "vandrel/ThrowMessage.h"

namespace {


// Mates N(0.8, 0.1), non-mates N(0.0, 0.3), pMates 0.1.
const double kMuT = 0.8, kSdT = 0.1, kMuF = 0.0, kSdF = 0.3, kPMates = 0.1;

// Log-likelihood ratio written out from the two normal densities.
double LogRatio(double x) {
  return std::log(kSdF / kSdT) - (x - kMuT) * (x - kMuT) / (2 * kSdT * kSdT) +
         (x - kMuF) * (x - kMuF) / (2 * kSdF * kSdF);
}

std::unique_ptr<CSimDistrib> MakeModel(double pMates, double muT, double sdT, double muF, double sdF) {
  const std::string prefix = ::testing::TempDir() + std::to_string(getpid()) + "_graph_model";
  std::ofstream out(prefix + ".distrib");
  out << "P_MATES\t" << pMates << "\nNormDistrib\nEXP\t" << muT << "\nSTD\t" << sdT << "\nNormDistrib\nEXP\t" << muF
      << "\nSTD\t" << sdF << "\n";
  out.close();
  std::unique_ptr<CSimDistrib> model(new CSimDistrib(prefix));
  std::remove((prefix + ".distrib").c_str());
  return model;
}

const CSimDistrib& Model() {
  static std::unique_ptr<CSimDistrib> model = MakeModel(kPMates, kMuT, kSdT, kMuF, kSdF);
  return *model;
}

// A similarity table filled directly: names, ids, values and a model copy.
class TestSimData : public CSimilarityData {
public:
  TestSimData(const std::vector<std::string>& names, const std::vector<unsigned int>& ids) {
    m_names = names;
    m_counters.assign(names.size(), CValuesCounter());
    m_idToIndex.reset(new CIDHash<unsigned int>());
    for (size_t k = 0; k < ids.size(); ++k) (*m_idToIndex)[ids[k]] = static_cast<unsigned int>(k);
    SetSimDistrib(std::unique_ptr<CSimDistrib>(new CSimDistrib(Model())));
  }
  void Add(unsigned int a, unsigned int b, double v) { AddValue(a, b, v); }
};

typedef std::tuple<unsigned int, unsigned int, double> IdEdge;  // smaller id, larger id, weight

std::set<std::pair<unsigned int, unsigned int>> EdgeIDs(const CGraph& g) {
  std::set<std::pair<unsigned int, unsigned int>> out;
  for (int i = 0; i < g.GetVerticesNum(); ++i)
    for (const CEdge* e : g.GetVByIndex(i)->m_edges[0]) out.insert({e->m_v1->m_id, e->m_v2->m_id});
  return out;
}

// Six elements with ids that do not follow their indices, and records in
// both index orders.
struct Fixture {
  std::vector<std::string> names{"g0", "g1", "g2", "g3", "g4", "g5"};
  std::vector<unsigned int> ids{40, 7, 22, 3, 15, 9};
  struct Rec {
    unsigned int a, b;
    double s;
  };
  std::vector<Rec> recs{{0, 1, 0.9}, {0, 2, 0.5}, {0, 3, 0.1}, {2, 1, 0.7},
                        {2, 5, 0.6}, {3, 4, 0.85}, {4, 5, 0.5000001}, {5, 0, 0.75}};
  TestSimData data{names, ids};
  Fixture() {
    for (const Rec& r : recs) data.Add(r.a, r.b, r.s);
  }
  // Expected edges (by id) for a similarity threshold.
  std::set<std::pair<unsigned int, unsigned int>> Expected(double th, const std::vector<unsigned int>* only = nullptr) const {
    std::set<std::pair<unsigned int, unsigned int>> out;
    for (const Rec& r : recs) {
      if (!(r.s > th)) continue;
      const unsigned int x = ids[r.a], y = ids[r.b];
      if (only && (std::find(only->begin(), only->end(), x) == only->end() ||
                   std::find(only->begin(), only->end(), y) == only->end()))
        continue;
      out.insert({std::min(x, y), std::max(x, y)});
    }
    return out;
  }
};

TEST(SimilarityGraphTest, AllElementsWithoutThreshold) {
  Fixture f;
  CSimilarityGraph g(f.data, CSimilarityGraph::kNoSimThreshold);
  ASSERT_EQ(g.GetVerticesNum(), 6);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(g.GetVByIndex(i)->m_id, f.ids[i]);
    EXPECT_EQ(g.GetVByIndex(i)->m_data, &f.data.GetNames()[i]);
    EXPECT_EQ(g.ID2Index(f.ids[i]), i);
  }
  EXPECT_EQ(EdgeIDs(g), f.Expected(-1e6));
  // The analyzer is bound but its threshold is not touched.
  EXPECT_EQ(g.GetWeightTh(), -100000000.0);
  EXPECT_EQ(g.GetSimDistrib(), f.data.GetSimDistrib());
  // Weights are the log-likelihood ratios, negative ones included.
  for (const Fixture::Rec& r : f.recs) {
    const CEdge* e = g.GetVByIndex(r.a)->FindEdge(g.GetVByIndex(r.b));
    ASSERT_NE(e, nullptr);
    EXPECT_NEAR(e->m_weight, LogRatio(r.s), 1e-9);
    EXPECT_EQ(e->m_flow, 0.0);
  }
  EXPECT_LT(g.GetVByIndex(0)->FindEdge(g.GetVByIndex(3))->m_weight, 0.0);
  // Adjacency follows storage order: element 0 (id 40) has smaller-id
  // neighbours 7, 22, 3, 9 in record order.
  std::vector<unsigned int> smaller;
  for (const CEdge* e : g.GetVByIndex(0)->m_edges[1]) smaller.push_back(e->m_v1->m_id);
  EXPECT_EQ(smaller, (std::vector<unsigned int>{7, 22, 3, 9}));
}

TEST(SimilarityGraphTest, ThresholdIsStrictAndSetsAnalyzer) {
  Fixture f;
  CSimilarityGraph g(f.data, 0.5);
  EXPECT_EQ(EdgeIDs(g), f.Expected(0.5));
  // (0,2) at exactly 0.5 makes no edge; (4,5) just above does.
  EXPECT_EQ(g.GetVByIndex(0)->FindEdge(g.GetVByIndex(2)), nullptr);
  EXPECT_NE(g.GetVByIndex(4)->FindEdge(g.GetVByIndex(5)), nullptr);
  // The threshold is handed to the analyzer as given.
  EXPECT_EQ(g.GetWeightTh(), 0.5);
}

TEST(SimilarityGraphTest, ListedIdsInListOrder) {
  Fixture f;
  const std::vector<unsigned int> only{15, 40, 3, 9};
  CSimilarityGraph g(f.data, 0.0, only);
  ASSERT_EQ(g.GetVerticesNum(), 4);
  EXPECT_EQ(g.GetIDsVector(), only);
  EXPECT_EQ(g.GetVByIndex(0)->m_data, &f.data.GetNames()[4]);
  EXPECT_EQ(EdgeIDs(g), f.Expected(0.0, &only));
  const std::list<unsigned int> asList(only.begin(), only.end());
  CSimilarityGraph h(f.data, 0.0, asList);
  EXPECT_EQ(EdgeIDs(h), EdgeIDs(g));
  EXPECT_THROW_MSG(CSimilarityGraph(f.data, 0.0, std::vector<unsigned int>{40, 99}),
                   "CIDHash::operator[] (const) - key does not exist in hash");
}

TEST(SimilarityGraphTest, RaiseWeightThresholdOnlyRaises) {
  Fixture f;
  CSimilarityGraph g(f.data, CSimilarityGraph::kNoSimThreshold);
  auto expectedAbove = [&](double w) {
    std::set<std::pair<unsigned int, unsigned int>> out;
    for (const Fixture::Rec& r : f.recs)
      if (LogRatio(r.s) > w) out.insert({std::min(f.ids[r.a], f.ids[r.b]), std::max(f.ids[r.a], f.ids[r.b])});
    return out;
  };
  // A similarity with a negative weight raises the threshold to 0.
  ASSERT_LT(LogRatio(0.3), 0.0);
  EXPECT_TRUE(g.RaiseWeightThreshold(0.3));
  EXPECT_EQ(g.GetWeightTh(), 0.0);
  EXPECT_EQ(EdgeIDs(g), expectedAbove(0.0));
  // Another negative candidate equals the current threshold: true, no change.
  EXPECT_TRUE(g.RaiseWeightThreshold(0.2));
  EXPECT_EQ(EdgeIDs(g), expectedAbove(0.0));
  // A real raise deletes every edge at or below the new weight, once each.
  const double w = LogRatio(0.72);
  ASSERT_GT(w, 0.0);
  EXPECT_TRUE(g.RaiseWeightThreshold(0.72));
  EXPECT_NEAR(g.GetWeightTh(), LogRatio(0.72), 1e-9);
  EXPECT_EQ(EdgeIDs(g), expectedAbove(w));
  for (int i = 0; i < g.GetVerticesNum(); ++i) {
    double sum = 0;
    const CVertex* v = g.GetVByIndex(i);
    for (int l = 0; l < 2; ++l)
      for (const CEdge* e : v->m_edges[l]) sum += e->m_weight;
    EXPECT_NEAR(v->m_weightSum, sum, 1e-9);
  }
  // A lower candidate is refused and changes nothing.
  const auto before = EdgeIDs(g);
  EXPECT_FALSE(g.RaiseWeightThreshold(0.7));
  EXPECT_EQ(EdgeIDs(g), before);
  EXPECT_NEAR(g.GetWeightTh(), w, 1e-9);
}

TEST(SimilarityGraphTest, PriorBasedThreshold) {
  Fixture f;
  CSimilarityGraph g(f.data, CSimilarityGraph::kNoSimThreshold);
  const double prior = std::log((1 - kPMates) / kPMates);
  const double expected = std::max(0.0, std::min(prior, Model().GetWeightMean(0)));
  EXPECT_TRUE(g.RaiseWeightThreshold(CSimilarityGraph::kPriorWeightThreshold));
  EXPECT_NEAR(g.GetWeightTh(), expected, 1e-12);
  for (const Fixture::Rec& r : f.recs) {
    const bool kept = g.GetVByIndex(r.a)->FindEdge(g.GetVByIndex(r.b)) != nullptr;
    EXPECT_EQ(kept, LogRatio(r.s) > expected) << r.a << "-" << r.b;
  }
}

TEST(SimilarityGraphTest, SubgraphAndReindexingCarryAnalyzerState) {
  Fixture f;
  CSimilarityGraph g(f.data, 0.5);
  CSimilarityGraph sub(g, std::vector<int>{5, 0, 2});
  EXPECT_EQ(sub.GetWeightTh(), 0.5);
  EXPECT_EQ(sub.GetSimDistrib(), g.GetSimDistrib());
  EXPECT_EQ(sub.GetIDsVector(), (std::vector<unsigned int>{9, 40, 22}));
  EXPECT_EQ(EdgeIDs(sub), (std::set<std::pair<unsigned int, unsigned int>>{{9, 22}, {9, 40}}));
  CComponent comp(&sub);
  EXPECT_FALSE(sub.OwnsVertices());
  EXPECT_TRUE(comp.OwnsVertices());
  EXPECT_EQ(comp.GetWeightTh(), 0.5);
  EXPECT_EQ(comp.GetFarDepth(), -1);
  EXPECT_EQ(comp.GetFarSource(), nullptr);
  EXPECT_EQ(EdgeIDs(comp), EdgeIDs(sub));
}

// Component over hand-made vertices (index = position in ids) and edges.
struct Built {
  std::unique_ptr<CSimilarityGraph> g;
  std::unique_ptr<CComponent> c;
};
Built MakeComponent(const std::vector<unsigned int>& ids, const std::vector<IdEdge>& edges,
                    const CSimDistrib* model = &Model()) {
  Built b;
  b.g.reset(new CSimilarityGraph(model));
  for (unsigned int id : ids) b.g->PushBackV(nullptr, id);
  for (const IdEdge& e : edges)
    new CEdge(b.g->GetVByIndex(b.g->ID2Index(std::get<0>(e))), b.g->GetVByIndex(b.g->ID2Index(std::get<1>(e))),
              std::get<2>(e));
  b.c.reset(new CComponent(b.g.get()));
  return b;
}

TEST(ComponentTest, MinCutMustBeCreatedFirst) {
  Built b = MakeComponent({1, 2}, {IdEdge(1, 2, 1.0)});
  EXPECT_FALSE(b.c->HasMinCut());
  EXPECT_THROW_MSG(b.c->GetMinCut(), "CComponent::GetMinCut - minCut was not created");
  b.c->CreateMinCut(false);
  ASSERT_TRUE(b.c->HasMinCut());
  EXPECT_EQ(b.c->GetMinCut()->GetComponent(), b.c.get());
}

TEST(ComponentTest, FindFarPair) {
  {
    Built b = MakeComponent({5}, {});
    b.c->FindFarPair();
    EXPECT_EQ(b.c->GetFarDepth(), 0);
    EXPECT_EQ(b.c->GetFarSource(), b.c->GetVByIndex(0));
    EXPECT_EQ(b.c->GetFarSink(), b.c->GetVByIndex(0));
  }
  {
    // Path 1-2-3-4-5 stored with the middle vertex first: from 3 the depth
    // is 2 (not enough to stop), from 1 it is 4 and the search stops there.
    Built b = MakeComponent({3, 1, 2, 4, 5},
                            {IdEdge(1, 2, 2.0), IdEdge(2, 3, 5.0), IdEdge(3, 4, 5.0), IdEdge(4, 5, 2.5)});
    b.c->FindFarPair();
    EXPECT_EQ(b.c->GetFarDepth(), 4);
    EXPECT_EQ(b.c->GetFarSource()->m_id, 1u);
    EXPECT_EQ(b.c->GetFarSink()->m_id, 5u);
  }
  {
    // Edges below 2.0 do not count: the best depth is 1 from the first
    // vertex that has a heavy edge, and ties keep the earlier start.
    Built b = MakeComponent({1, 2, 3, 4}, {IdEdge(1, 2, 1.99), IdEdge(2, 3, 2.0), IdEdge(3, 4, 1.0)});
    b.c->FindFarPair();
    EXPECT_EQ(b.c->GetFarDepth(), 1);
    EXPECT_EQ(b.c->GetFarSource()->m_id, 2u);
    EXPECT_EQ(b.c->GetFarSink()->m_id, 3u);
  }
  {
    Built b = MakeComponent({1, 2, 3}, {IdEdge(1, 2, 1.0), IdEdge(2, 3, -4.0)});
    b.c->FindFarPair();
    EXPECT_EQ(b.c->GetFarDepth(), 0);
    EXPECT_EQ(b.c->GetFarSource(), b.c->GetVByIndex(0));
    EXPECT_EQ(b.c->GetFarSink(), b.c->GetVByIndex(0));
  }
}

// The far-pair search written plainly: one BFS per start vertex in index
// order until some start reaches depth 3.
struct FarPair {
  int depth = -1;
  CVertex* source = nullptr;
  CVertex* sink = nullptr;
};
FarPair PlainFarPair(CGraph& g) {
  FarPair best;
  for (int i = 0; i < g.GetVerticesNum() && best.depth <= 2; ++i) {
    CVertex* v = g.GetVByIndex(i);
    if (v == nullptr) continue;
    g.ClearLabels();
    const CGraph::BFSResult r = g.BFS(v, 0, 2.0, 0);
    if (r.first > best.depth) {
      best.depth = r.first;
      best.source = v;
      best.sink = r.second;
    }
  }
  return best;
}

TEST(ComponentTest, FindFarPairMatchesPlainSearchOnRandomGraphs) {
  unsigned int state = 2024;
  auto next = [&state]() {
    state = state * 214013u + 2531011u;
    return (state >> 16) & 0x7fff;
  };
  int deepSeen = 0;
  for (int trial = 0; trial < 300; ++trial) {
    const int n = 1 + static_cast<int>(next() % 40);
    // Density from very sparse (long heavy paths) to nearly complete.
    const int density = 1 + static_cast<int>(next() % 100);
    std::vector<unsigned int> ids;
    for (int i = 0; i < n; ++i) ids.push_back(static_cast<unsigned int>((i * 37 + trial) % 1000));
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    // Shuffle so that index order and id order differ.
    for (size_t i = ids.size(); i > 1; --i) std::swap(ids[i - 1], ids[next() % i]);
    std::vector<IdEdge> edges;
    for (size_t i = 0; i < ids.size(); ++i)
      for (size_t j = i + 1; j < ids.size(); ++j)
        if (static_cast<int>(next() % 100) < density)
          edges.push_back(IdEdge(ids[i], ids[j], static_cast<double>(next() % 40) / 10.0));
    Built b = MakeComponent(ids, edges);
    if (trial % 5 == 0 && ids.size() > 2) b.c->DeleteVertices(std::vector<int>{static_cast<int>(next() % ids.size())});
    const FarPair want = PlainFarPair(*b.c);
    std::vector<int> wantLabels;
    for (int i = 0; i < b.c->GetVerticesNum(); ++i)
      if (b.c->GetVByIndex(i)) wantLabels.push_back(b.c->GetVByIndex(i)->m_label);
    b.c->ClearLabels();
    b.c->FindFarPair();
    ASSERT_EQ(b.c->GetFarDepth(), want.depth) << "trial " << trial;
    ASSERT_EQ(b.c->GetFarSource(), want.source) << "trial " << trial;
    ASSERT_EQ(b.c->GetFarSink(), want.sink) << "trial " << trial;
    std::vector<int> gotLabels;
    for (int i = 0; i < b.c->GetVerticesNum(); ++i)
      if (b.c->GetVByIndex(i)) gotLabels.push_back(b.c->GetVByIndex(i)->m_label);
    EXPECT_EQ(gotLabels, wantLabels) << "trial " << trial;
    if (want.depth > 2) ++deepSeen;
  }
  // Both outcomes of the search occur in the sample.
  EXPECT_GT(deepSeen, 10);
  EXPECT_LT(deepSeen, 290);
}

// Kernel threshold from the model's statistics, written from its definition.
double KernelThreshold(double pairs, double minPairWeight, const CSimDistrib& m = Model()) {
  const double expected = pairs * m.GetWeightMean(1) + 3.0 * std::sqrt(pairs) * m.GetWeightStd(1);
  const double level = std::max(minPairWeight, -m.GetWeightTh());
  return std::max(pairs * level, expected);
}

TEST(ComponentTest, IsKernelComparesCompleteCutWeightWithThreshold) {
  // Complete graph on 5 vertices: vertex 10 hangs on four edges of 3.0, the
  // others are tied by 10.0.  The minimum cut isolates 10: weight 12, 4
  // split pairs (checked over every bipartition below).
  std::vector<IdEdge> edges;
  const std::vector<unsigned int> ids{11, 10, 12, 13, 14};
  for (size_t i = 0; i < ids.size(); ++i)
    for (size_t j = i + 1; j < ids.size(); ++j)
      edges.push_back(IdEdge(ids[i], ids[j], (ids[i] == 10 || ids[j] == 10) ? 3.0 : 10.0));
  double best = 1e300;
  int bestMask = 0, bestCount = 0;
  for (int mask = 1; mask < (1 << 5) - 1; ++mask) {
    if (mask & 1) continue;  // each bipartition once: index 0 on side 0
    double cut = 0;
    for (const IdEdge& e : edges) {
      const int a = static_cast<int>(std::find(ids.begin(), ids.end(), std::get<0>(e)) - ids.begin());
      const int c = static_cast<int>(std::find(ids.begin(), ids.end(), std::get<1>(e)) - ids.begin());
      if (((mask >> a) & 1) != ((mask >> c) & 1)) cut += std::get<2>(e);
    }
    if (cut < best) {
      best = cut;
      bestMask = mask;
      bestCount = 1;
    } else if (cut == best) {
      ++bestCount;
    }
  }
  ASSERT_EQ(best, 12.0);
  ASSERT_EQ(bestMask, 1 << 1);
  ASSERT_EQ(bestCount, 1);
  ASSERT_LT(KernelThreshold(4, -1e7), 12.0);

  struct Case {
    double minPairWeight;
    bool kernel;
  } cases[] = {{-1e7, true}, {2.99, true}, {3.0, false}, {3.5, false}};
  for (const Case& tc : cases) {
    Built b = MakeComponent(ids, edges);
    const bool got = b.c->IsKernel(tc.minPairWeight);
    EXPECT_EQ(got, tc.kernel) << "minPairWeight " << tc.minPairWeight;
    ASSERT_TRUE(b.c->HasMinCut());
    EXPECT_EQ(b.c->GetMinCut()->CrossPairs(), 4);
    EXPECT_DOUBLE_EQ(b.c->GetMinCut()->GetCompleteCutWeight(), 12.0);
    EXPECT_EQ(b.c->GetFarDepth(), 1);
    if (got) {
      EXPECT_EQ(b.c->GetMinCut()->GetSmallPartIndices(), (std::list<int>{1}));
    }
  }
}

TEST(ComponentTest, IsKernelExpectedNonMatesWeightCanBind) {
  // Overlapping components and a high prior: the model's weight threshold c
  // is large, so -c is far below the expected weight of 4 non-mate pairs,
  // which then decides.  Vertex 10's four edges carry a quarter of the
  // expected weight plus or minus a margin; the other edges are heavy.
  std::unique_ptr<CSimDistrib> model = MakeModel(0.99, 0.1, 1.0, 0.0, 1.0);
  const double expected = 4 * model->GetWeightMean(1) + 3.0 * std::sqrt(4.0) * model->GetWeightStd(1);
  ASSERT_GT(expected, 4 * -model->GetWeightTh());
  ASSERT_GT(expected, 4 * -1e7);
  const std::vector<unsigned int> ids{10, 11, 12, 13, 14};
  for (double margin : {0.01, -0.01}) {
    std::vector<IdEdge> edges;
    for (size_t i = 0; i < ids.size(); ++i)
      for (size_t j = i + 1; j < ids.size(); ++j)
        edges.push_back(IdEdge(ids[i], ids[j], i == 0 ? expected / 4 + margin : 50.0));
    Built b = MakeComponent(ids, edges, model.get());
    EXPECT_EQ(b.c->IsKernel(-1e7), margin > 0) << "margin " << margin;
    EXPECT_EQ(b.c->GetMinCut()->CrossPairs(), 4);
    EXPECT_NEAR(b.c->GetMinCut()->GetCompleteCutWeight(), expected + 4 * margin, 1e-9);
  }
}

TEST(ComponentTest, FarApartComponentIsNoKernel) {
  // A heavy path: its minimum cut (the lightest edge, at an end) weighs more
  // than the threshold, but its ends lie 4 layers apart.
  Built b = MakeComponent({1, 2, 3, 4, 5},
                          {IdEdge(1, 2, 30.0), IdEdge(2, 3, 30.0), IdEdge(3, 4, 30.0), IdEdge(4, 5, 20.0)});
  ASSERT_LT(KernelThreshold(4, -1e7), 20.0);
  EXPECT_FALSE(b.c->IsKernel(-1e7));
  EXPECT_EQ(b.c->GetFarDepth(), 4);
  EXPECT_EQ(b.c->GetMinCut()->CrossPairs(), 4);
  EXPECT_GT(b.c->GetMinCut()->GetCompleteCutWeight(), KernelThreshold(4, -1e7));
}

}  // namespace
