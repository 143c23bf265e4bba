// Moving a subgraph out of a graph: on random graphs of both data types the
// moved part and what stays behind must equal, entry by entry, the induced
// copy and the source after DeleteVertices, whether the vertices were moved
// (most of the graph leaves) or copied (a small part leaves).
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "vandrel/engine/KernelFixtures.h"
#include "vandrel/engine/RandomGraphs.h"
#include "vandrel/graph/SimilarityGraph.h"

namespace {

using kerneltest::CTestLcg;
using namespace randomgraphs;

// Leftovers of an earlier minimum cut, which the moved part must not keep
// and the staying part must keep.
template <class G>
void MarkAsCut(G& g) {
  for (int i = 0; i < g.GetVerticesNum(); ++i) {
    CVertex* v = g.GetVByIndex(i);
    v->m_label = i % 3;
    for (CEdge* e : v->m_edges[0]) e->m_flow = e->m_weight / 3.0;
  }
}

std::vector<std::pair<unsigned int, int>> HashOrder(const CIDHash<int>& hash) {
  std::vector<std::pair<unsigned int, int>> order;
  for (CHashIter<int> it = hash.Begin(); it != hash.End(); ++it) order.push_back(it.GetConstPointed());
  return order;
}

// Subsets of the sizes kernel finding moves: all, all but one, most in a
// random order, and a small part (which is copied).
std::vector<std::vector<int>> MoveSubsets(int n, CTestLcg& rng) {
  std::vector<std::vector<int>> subsets;
  std::vector<int> all(n);
  for (int i = 0; i < n; ++i) all[i] = i;
  for (int i = n - 1; i > 0; --i) std::swap(all[i], all[rng.Range(0, i)]);
  subsets.push_back(all);
  subsets.push_back(std::vector<int>(all.begin() + 1, all.end()));
  subsets.push_back(std::vector<int>(all.begin(), all.begin() + (n * 3 + 3) / 4));
  subsets.push_back(std::vector<int>(all.begin(), all.begin() + n / 5));
  return subsets;
}

template <class G>
void ExpectSameRemainder(Source<G>& expected, Source<G>& actual, int n) {
  ASSERT_EQ(expected.graph.m_vertices.size(), actual.graph.m_vertices.size());
  for (int i = 0; i < n; ++i) {
    const CVertex* a = actual.graph.m_vertices[i];
    ASSERT_EQ(expected.graph.m_vertices[i] == nullptr, a == nullptr) << "slot " << i;
    if (a != nullptr) {
      EXPECT_EQ(a->m_work, StaleMark(i, n)) << "slot " << i;
    }
  }
  EXPECT_EQ(HashOrder(expected.graph.m_idToIndex), HashOrder(actual.graph.m_idToIndex));
  G restExpected(&expected.graph);
  G restActual(&actual.graph);
  ExpectSamePart(restExpected, restActual, "staying part", false);
}

template <class G>
void CompareOnAllCases() {
  for (const GraphCase& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::uint32_t seed = static_cast<std::uint32_t>(c.n * 7 + c.density + c.deletions);
    CTestLcg subsetRng(seed + 1);
    int subset = 0;
    for (const std::vector<int>& indices : MoveSubsets(c.n, subsetRng)) {
      SCOPED_TRACE("subset " + std::to_string(subset++) + " of " + std::to_string(indices.size()));
      CTestLcg rngA(seed), rngB(seed);
      std::unique_ptr<Source<G>> a = MakeSource<G>(c, rngA);
      std::unique_ptr<Source<G>> b = MakeSource<G>(c, rngB);
      b->UseFingerprintsOf(*a);
      MarkAsCut(a->graph);
      MarkAsCut(b->graph);
      std::vector<CVertex*> before(b->graph.m_vertices);

      G expected(a->graph, indices);
      a->graph.DeleteVertices(indices);
      G actual(b->graph, std::vector<int>());
      actual.TakeInduced(b->graph, indices);

      ExpectSamePart(expected, actual, "moved part");
      EXPECT_EQ(HashOrder(expected.m_idToIndex), HashOrder(actual.m_idToIndex));
      // Most of the graph leaves by moving its vertex objects; a small part
      // is copied.
      const bool moves = 2 * indices.size() >= static_cast<size_t>(c.n);
      for (size_t k = 0; k < indices.size(); ++k) {
        EXPECT_EQ(actual.GetVByIndex(static_cast<int>(k)) == before[indices[k]], moves) << "vertex " << k;
        EXPECT_EQ(actual.GetVByIndex(static_cast<int>(k))->m_work, -1);
      }
      ExpectSameRemainder(*a, *b, c.n);
    }
  }
}

TEST(TakeInduced, SimilarityGraphEqualsTheCopyAndDeletion) { CompareOnAllCases<CSimilarityGraph>(); }

TEST(TakeInduced, FingerprintGraphEqualsTheCopyAndDeletion) { CompareOnAllCases<CFPGraph>(); }

// Cases the move leaves to the copy, each with the copy's result: two edges
// between one staying and one moving vertex, and a source that does not own
// its vertices.
TEST(TakeInduced, FallsBackToTheCopyWhereMovingWouldDiffer) {
  struct Case {
    const char* name;
    bool parallelEdge;
    bool borrowed;
  };
  const Case cases[] = {
      {"parallel edge", true, false},
      {"borrowed vertices", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<CSimilarityGraph> graphs[2];
    std::unique_ptr<CSimilarityGraph> owners[2];
    for (auto& g : graphs) {
      g.reset(new CSimilarityGraph(&kerneltest::SeparatedModel()));
      for (unsigned int id = 0; id < 6; ++id) g->PushBackV(nullptr, id);
      for (int i = 0; i < 6; ++i)
        for (int j = i + 1; j < 6; ++j) new CEdge(g->GetVByIndex(i), g->GetVByIndex(j), 0.25 * (i + 2 * j) - 1.0);
      if (c.parallelEdge) new CEdge(g->GetVByIndex(0), g->GetVByIndex(3), 0.75);
    }
    if (c.borrowed) {
      for (int k = 0; k < 2; ++k) {
        owners[k] = std::move(graphs[k]);
        graphs[k].reset(new CSimilarityGraph(owners[k].get()));  // takes ownership
        std::swap(owners[k], graphs[k]);  // the graph cut below borrows
      }
      ASSERT_FALSE(graphs[0]->OwnsVertices());
    }
    const std::vector<int> indices = {5, 3, 2, 1};
    const CVertex* firstMoved = graphs[1]->GetVByIndex(5);
    CSimilarityGraph expected(*graphs[0], indices);
    graphs[0]->DeleteVertices(indices);
    CSimilarityGraph actual(*graphs[1], std::vector<int>());
    actual.TakeInduced(*graphs[1], indices);
    EXPECT_NE(actual.GetVByIndex(0), firstMoved);
    ExpectSamePart(expected, actual, "moved part");
    ASSERT_EQ(graphs[0]->GetVByIndex(0)->GetDegree(), graphs[1]->GetVByIndex(0)->GetDegree());
    EXPECT_EQ(Bits(graphs[0]->GetVByIndex(0)->m_weightSum), Bits(graphs[1]->GetVByIndex(0)->m_weightSum));
  }
}

}  // namespace
