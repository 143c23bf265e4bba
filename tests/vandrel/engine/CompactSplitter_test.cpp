// Splitting a subgraph into parts on compact arrays: on random graphs of
// both data types every part must equal, vertex by vertex and entry by
// entry, the part that the induced copy plus SplitGraph gives, and the
// compact negative-weight cut must pick the side CNegMinCut picks.
#include "vandrel/engine/CompactSplitter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "vandrel/engine/FullZelk.h"
#include "vandrel/engine/KernelFixtures.h"
#include "vandrel/graph/CompactGraph.h"
#include "vandrel/mincut/CompactNegMinCut.h"
#include "vandrel/mincut/NegMinCut.h"

namespace {

using kerneltest::CTestLcg;

std::uint64_t Bits(double x) {
  std::uint64_t b;
  std::memcpy(&b, &x, sizeof b);
  return b;
}

// One random graph: its vertex count, edge density (per mille), how the
// weights are drawn, how many edges are deleted afterwards (reordering the
// lists and changing the sums by subtraction), and the subsets split.
enum class Weights { Mixed, Positive, Negative, Tied };

struct GraphCase {
  const char* name;
  int n;
  int density;  // per mille of all pairs
  Weights weights;
  int deletions;
  unsigned int maxPartSize;
};

double DrawWeight(CTestLcg& rng, Weights kind) {
  const double x = static_cast<double>(rng.Range(0, 1 << 20)) / (1 << 20);
  switch (kind) {
    case Weights::Positive:
      return 0.1 + 5.0 * x;
    case Weights::Negative:
      return -0.1 - 5.0 * x;
    case Weights::Tied: {
      static const double kValues[] = {-2.5, -0.5, 0.0, 0.5, 0.5, 3.0};
      return kValues[rng.Range(0, 5)];
    }
    case Weights::Mixed:
    default:
      return 10.0 * x - 6.0;
  }
}

// Graphs of both data types over a model whose missing-edge weight is not 0,
// vertex ids shuffled against the indices.
template <class G>
struct Source;

template <>
struct Source<CSimilarityGraph> {
  explicit Source(int) : graph(&kerneltest::SeparatedModel()) {}
  CSimilarityGraph graph;
  void AddFingerprint(int) {}
};

class CModelFPGraph : public CFPGraph {
 public:
  CModelFPGraph() : CSimilarityGraph(&kerneltest::SeparatedModel()), CFPGraph() {}
};

template <>
struct Source<CFPGraph> {
  explicit Source(int) {}
  CModelFPGraph graph;
  std::vector<std::unique_ptr<CNormFP>> fps;
  void AddFingerprint(int v) {
    fps.push_back(kerneltest::MakeFP(kerneltest::ValuesOf(v, kerneltest::TestFPLength())));
    graph.m_normFPs.push_back(fps.back().get());
  }
};

template <class G>
std::unique_ptr<Source<G>> MakeSource(const GraphCase& c, CTestLcg& rng) {
  std::unique_ptr<Source<G>> s(new Source<G>(c.n));
  s->graph.m_analyzer.SetWeightTh(0.3);
  std::vector<unsigned int> ids(c.n);
  for (int i = 0; i < c.n; ++i) ids[i] = 3u * static_cast<unsigned int>(i) + 1u;
  for (int i = c.n - 1; i > 0; --i) std::swap(ids[i], ids[rng.Range(0, i)]);
  for (int i = 0; i < c.n; ++i) {
    s->graph.PushBackV(nullptr, ids[i]);
    s->AddFingerprint(i);
  }
  for (int i = 0; i < c.n; ++i)
    for (int j = i + 1; j < c.n; ++j)
      if (rng.Range(0, 999) < c.density)
        new CEdge(s->graph.GetVByIndex(i), s->graph.GetVByIndex(j), DrawWeight(rng, c.weights));
  for (int k = 0; k < c.deletions; ++k) {
    CVertex* v = s->graph.GetVByIndex(rng.Range(0, c.n - 1));
    const int list = rng.Range(0, 1);
    if (!v->m_edges[list].empty()) delete v->m_edges[list][rng.Range(0, static_cast<int>(v->m_edges[list].size()) - 1)];
  }
  // Marks of an earlier user of m_work, which the splitter must give back.
  for (int i = 0; i < c.n; ++i) s->graph.GetVByIndex(i)->m_work = 1000 + i;
  return s;
}

// Subsets as kernel-finding iterations use them: everything in index
// order, then random subsets in random order.
std::vector<std::vector<int>> Subsets(int n, CTestLcg& rng) {
  std::vector<std::vector<int>> subsets(1);
  for (int i = 0; i < n; ++i) subsets[0].push_back(i);
  for (int k = 0; k < 2; ++k) {
    std::vector<int> s;
    const int keep = rng.Range(300, 900);
    for (int i = 0; i < n; ++i)
      if (rng.Range(0, 999) < keep) s.push_back(i);
    for (int i = static_cast<int>(s.size()) - 1; i > 0; --i) std::swap(s[i], s[rng.Range(0, i)]);
    subsets.push_back(s);
  }
  return subsets;
}

void ExpectFingerprints(const CSimilarityGraph&, const CSimilarityGraph&) {}
void ExpectFingerprints(const CFPGraph& expected, const CFPGraph& actual) {
  EXPECT_EQ(expected.GetNormFPs(), actual.GetNormFPs());
}

// Every observable of a part: vertices and ids, the id hash, both lists in
// order (far end's id, weight bits, remembered slots), weight sum bits,
// positive edge counts, the analyzer and the fingerprints.
template <class G>
void ExpectSamePart(const G& expected, const G& actual, const std::string& where) {
  SCOPED_TRACE(where);
  ASSERT_EQ(expected.GetIDsVector(), actual.GetIDsVector());
  EXPECT_EQ(Bits(expected.m_analyzer.GetWeightTh()), Bits(actual.m_analyzer.GetWeightTh()));
  EXPECT_EQ(Bits(expected.m_analyzer.GetMissingEdgeWeight()), Bits(actual.m_analyzer.GetMissingEdgeWeight()));
  ExpectFingerprints(expected, actual);
  for (int i = 0; i < expected.GetVerticesNum(); ++i) {
    const CVertex* e = expected.GetVByIndex(i);
    const CVertex* a = actual.GetVByIndex(i);
    EXPECT_EQ(actual.ID2Index(a->m_id), i);
    EXPECT_EQ(Bits(e->m_weightSum), Bits(a->m_weightSum)) << "vertex " << i;
    EXPECT_EQ(e->m_posEdgeCount, a->m_posEdgeCount) << "vertex " << i;
    EXPECT_EQ(a->m_label, -1);
    for (int list = 0; list < 2; ++list) {
      ASSERT_EQ(e->m_edges[list].size(), a->m_edges[list].size()) << "vertex " << i << " list " << list;
      for (size_t s = 0; s < e->m_edges[list].size(); ++s) {
        const CEdge* ee = e->m_edges[list][s];
        const CEdge* ae = a->m_edges[list][s];
        EXPECT_EQ(ee->GetOther(e)->m_id, ae->GetOther(a)->m_id) << "vertex " << i << " list " << list << " slot " << s;
        EXPECT_EQ(Bits(ee->m_weight), Bits(ae->m_weight));
        EXPECT_EQ(ae->GetSlot(list), static_cast<int>(s));
        EXPECT_EQ(ae->m_flow, 0.0);
      }
    }
  }
}

template <class G>
struct Tags;
template <>
struct Tags<CSimilarityGraph> {
  using Zelk = CFullZelk<CSDExtendedTypeTags>;
};
template <>
struct Tags<CFPGraph> {
  using Zelk = CFullZelk<CFPExtendedTypeTags>;
};

const GraphCase kCases[] = {
    {"two vertices", 2, 1000, Weights::Mixed, 0, 2},
    {"small mixed", 14, 600, Weights::Mixed, 5, 15},
    {"mixed sparse", 60, 150, Weights::Mixed, 20, 15},
    {"mixed dense", 80, 800, Weights::Mixed, 200, 15},
    {"complete mixed", 120, 1000, Weights::Mixed, 0, 15},
    {"complete positive", 90, 1000, Weights::Positive, 0, 15},
    {"positive with deletions", 90, 950, Weights::Positive, 300, 15},
    {"all negative", 50, 700, Weights::Negative, 10, 15},
    {"tied weights", 70, 900, Weights::Tied, 100, 15},
    {"tied sparse small parts", 100, 100, Weights::Tied, 0, 4},
    {"large mixed", 300, 500, Weights::Mixed, 2000, 15},
    {"no edges", 30, 0, Weights::Mixed, 0, 15},
};

template <class G>
void CompareOnAllCases() {
  using Zelk = typename Tags<G>::Zelk;
  for (const GraphCase& c : kCases) {
    SCOPED_TRACE(c.name);
    CTestLcg rng(static_cast<std::uint32_t>(c.n * 131 + c.density + c.deletions));
    std::unique_ptr<Source<G>> source = MakeSource<G>(c, rng);
    const G& graph = source->graph;
    int subset = 0;
    for (const std::vector<int>& indices : Subsets(c.n, rng)) {
      SCOPED_TRACE("subset " + std::to_string(subset++));
      // The cut alone, against CNegMinCut on the induced component.
      if (indices.size() >= 2) {
        CComponent component(graph, indices);
        CNegMinCut cut;
        const std::list<int> expected = cut.Run(&component);
        const CCompactGraph compact = CCompactGraph::FromGraph(graph, indices);
        EXPECT_EQ(std::vector<int>(expected.begin(), expected.end()),
                  CompactNegMinCut(compact, graph.m_analyzer.GetMissingEdgeWeight()));
      }
      std::vector<COwningHandle<G>> expected =
          Zelk::SplitGraph(COwningHandle<G>(new G(graph, indices)), c.maxPartSize);
      std::vector<COwningHandle<G>> actual = CCompactSplitter<G>::Split(graph, indices, c.maxPartSize);
      ASSERT_EQ(expected.size(), actual.size());
      for (size_t p = 0; p < expected.size(); ++p)
        ExpectSamePart(*expected[p], *actual[p], "part " + std::to_string(p));
      for (int i = 0; i < c.n; ++i) ASSERT_EQ(graph.GetVByIndex(i)->m_work, 1000 + i);
    }
  }
}

TEST(CompactSplitter, SimilarityGraphPartsEqualThoseOfTheCopyAndSplit) { CompareOnAllCases<CSimilarityGraph>(); }

TEST(CompactSplitter, FingerprintGraphPartsEqualThoseOfTheCopyAndSplit) { CompareOnAllCases<CFPGraph>(); }

// Deleting vertices from a compact graph: the lists of a small fixture after
// the swap-with-last removals, against the same deletions on a CGraph.
TEST(CompactGraph, DeletionReordersListsAsTheGraphDoes) {
  CSimilarityGraph g(static_cast<const CSimDistrib*>(nullptr));
  for (unsigned int id = 0; id < 5; ++id) g.PushBackV(nullptr, id);
  // Vertex 0 lists 1, 2, 3, 4; removing 1 moves 4 into its slot.
  const double w[][3] = {{0, 1, 0.5}, {0, 2, -1.0}, {0, 3, 2.0}, {0, 4, 0.25}, {1, 4, 1.5}, {2, 4, -0.75}, {3, 4, 3.0}};
  for (const auto& e : w) new CEdge(g.GetVByIndex(static_cast<int>(e[0])), g.GetVByIndex(static_cast<int>(e[1])), e[2]);
  CCompactGraph compact = CCompactGraph::FromGraph(g, {0, 1, 2, 3, 4});
  compact.DeleteAndCompact({1, 3});
  g.DeleteVertices(std::vector<int>{1, 3});
  CSimilarityGraph rest(&g);
  ASSERT_EQ(compact.GetVerticesNum(), 3);
  for (int v = 0; v < 3; ++v) {
    const CVertex* gv = rest.GetVByIndex(v);
    EXPECT_EQ(compact.GetOrigin(v), static_cast<int>(gv->m_id));
    EXPECT_EQ(Bits(compact.GetWeightSum(v)), Bits(gv->m_weightSum));
    for (int list = 0; list < 2; ++list) {
      ASSERT_EQ(compact.ListSize(v, list), static_cast<int>(gv->m_edges[list].size()));
      for (int s = 0; s < compact.ListSize(v, list); ++s) {
        const CCompactGraph::Entry& entry = compact.List(v, list)[s];
        EXPECT_EQ(rest.GetVByIndex(entry.neighbour), gv->m_edges[list][s]->GetOther(gv));
        EXPECT_EQ(entry.weight, gv->m_edges[list][s]->m_weight);
        // The mirror entry points back.
        const CCompactGraph::Entry& mirror = compact.List(entry.neighbour, 1 - list)[entry.mirror];
        EXPECT_EQ(mirror.neighbour, v);
        EXPECT_EQ(mirror.mirror, s);
      }
    }
  }
  // Vertex 0's larger-id list lost ids 1 and 3: id 4 moved into 1's slot
  // and 3 was last, so the order is (4, 2), now indices (2, 1).
  EXPECT_EQ(compact.List(0, 0)[0].neighbour, 2);
  EXPECT_EQ(compact.List(0, 0)[1].neighbour, 1);
}

}  // namespace
