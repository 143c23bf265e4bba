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
#include "vandrel/engine/RandomGraphs.h"
#include "vandrel/graph/CompactGraph.h"
#include "vandrel/mincut/CompactNegMinCut.h"
#include "vandrel/mincut/NegMinCut.h"

namespace {

using kerneltest::CTestLcg;
using namespace randomgraphs;

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
      for (int i = 0; i < c.n; ++i) ASSERT_EQ(graph.GetVByIndex(i)->m_work, StaleMark(i, c.n));
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
  ASSERT_EQ(compact.StoredEntries(), 14u);
  compact.DeleteAndCompact({1, 3});
  // The storage of the deleted edges is given back: 3 edges are left.
  EXPECT_EQ(compact.StoredEntries(), 6u);
  EXPECT_EQ(compact.GetEdgesNum(), 3);
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
