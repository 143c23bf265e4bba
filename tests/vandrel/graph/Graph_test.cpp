// Graph, vertices and edges: orientation, adjacency order under removal,
// labels, layered BFS, subgraphs, re-indexing ownership, vertex removal.

#include "vandrel/graph/Graph.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "vandrel/ThrowMessage.h"

namespace {


std::vector<unsigned int> OtherIDs(const CVertex* v, int list) {
  std::vector<unsigned int> ids;
  for (const CEdge* e : v->m_edges[list]) ids.push_back(e->GetOther(v)->m_id);
  return ids;
}

// Graph with vertices of the given ids (index = position).
std::unique_ptr<CGraph> MakeGraph(const std::vector<unsigned int>& ids) {
  std::unique_ptr<CGraph> g(new CGraph());
  for (unsigned int id : ids) g->PushBackV(nullptr, id);
  return g;
}

CEdge* Connect(CGraph& g, unsigned int a, unsigned int b, double w) {
  return new CEdge(g.GetVByIndex(g.ID2Index(a)), g.GetVByIndex(g.ID2Index(b)), w);
}

TEST(GraphTest, EdgeConstructionErrors) {
  CVertex a(nullptr, 1);
  EXPECT_THROW_MSG(new CEdge(&a, &a, 1.0), "CEdge constructor - self edge is illegal");
  EXPECT_THROW_MSG(new CEdge(nullptr, &a, 1.0), "CEdge constructor - one (or two) vertex empty");
  EXPECT_THROW_MSG(new CEdge(&a, nullptr, 1.0), "CEdge constructor - one (or two) vertex empty");
  EXPECT_THROW_MSG(a.AddEdge(nullptr), "CVertex::AddEdge - No edge to add.");
  EXPECT_THROW_MSG(a.FindEdge(nullptr), "CVertex::FindEdge - one vertex is empty");
  EXPECT_EQ(a.GetDegree(), 0);
}

TEST(GraphTest, EdgeIsOrientedBySmallerUnsignedId) {
  auto g = MakeGraph({7, 3, 0xFFFFFFF0u});
  CVertex* v7 = g->GetVByIndex(0);
  CVertex* v3 = g->GetVByIndex(1);
  CVertex* vBig = g->GetVByIndex(2);
  CEdge* e = new CEdge(v7, v3, 2.5);
  EXPECT_EQ(e->m_v1, v3);
  EXPECT_EQ(e->m_v2, v7);
  EXPECT_EQ(e->m_flow, 0.0);
  ASSERT_EQ(v3->m_edges[0].size(), 1u);
  EXPECT_EQ(v3->m_edges[0][0], e);
  EXPECT_TRUE(v3->m_edges[1].empty());
  ASSERT_EQ(v7->m_edges[1].size(), 1u);
  EXPECT_EQ(v7->m_edges[1][0], e);
  // An id above 2^31 is larger than 7 when taken as unsigned.
  CEdge* f = new CEdge(vBig, v7, 1.0);
  EXPECT_EQ(f->m_v1, v7);
  EXPECT_EQ(f->m_v2, vBig);
  EXPECT_EQ(v7->FindEdge(v3), e);
  EXPECT_EQ(v3->FindEdge(v7), e);
  EXPECT_EQ(v7->FindEdge(vBig), f);
  EXPECT_EQ(v3->FindEdge(vBig), nullptr);
  // Flow is measured from m_v1 towards m_v2.
  e->AddFlow(2.0, 1);
  e->AddFlow(0.5, -1);
  EXPECT_EQ(e->m_flow, 1.5);
  g->ClearFlows();
  EXPECT_EQ(e->m_flow, 0.0);
}

TEST(GraphTest, WeightSumAndPositiveCount) {
  auto g = MakeGraph({1, 2, 3, 4});
  CVertex* v1 = g->GetVByIndex(0);
  Connect(*g, 1, 2, 0.0);
  CEdge* neg = Connect(*g, 1, 3, -1.25);
  Connect(*g, 1, 4, 2.0);
  EXPECT_EQ(v1->m_weightSum, 0.75);
  EXPECT_EQ(v1->m_posEdgeCount, 1);
  delete neg;
  EXPECT_EQ(v1->m_weightSum, 2.0);
  EXPECT_EQ(v1->m_posEdgeCount, 1);
  EXPECT_EQ(g->GetVByIndex(2)->m_weightSum, 0.0);
  EXPECT_EQ(g->GetVByIndex(2)->GetDegree(), 0);
}

TEST(GraphTest, RemovalMovesLastEntryIntoTheGap) {
  auto g = MakeGraph({1, 2, 3, 4, 5});
  CEdge* e12 = Connect(*g, 1, 2, 1.0);
  Connect(*g, 1, 3, 1.0);
  Connect(*g, 1, 4, 1.0);
  Connect(*g, 1, 5, 1.0);
  CVertex* v1 = g->GetVByIndex(0);
  delete e12;
  EXPECT_EQ(OtherIDs(v1, 0), (std::vector<unsigned int>{5, 3, 4}));
  // The moved edge is still found and removable at its new place.
  delete v1->FindEdge(g->GetVByIndex(4));
  EXPECT_EQ(OtherIDs(v1, 0), (std::vector<unsigned int>{4, 3}));
  delete v1->FindEdge(g->GetVByIndex(2));
  EXPECT_EQ(OtherIDs(v1, 0), (std::vector<unsigned int>{4}));
  // Same rule on the list of smaller neighbours.
  auto h = MakeGraph({9, 1, 2, 3});
  Connect(*h, 9, 1, 1.0);
  CEdge* e92 = Connect(*h, 9, 2, 1.0);
  Connect(*h, 9, 3, 1.0);
  CVertex* v9 = h->GetVByIndex(0);
  EXPECT_EQ(OtherIDs(v9, 1), (std::vector<unsigned int>{1, 2, 3}));
  delete h->GetVByIndex(1)->FindEdge(v9);
  EXPECT_EQ(OtherIDs(v9, 1), (std::vector<unsigned int>{3, 2}));
  delete e92;
  EXPECT_EQ(OtherIDs(v9, 1), (std::vector<unsigned int>{3}));
  // RemoveEdge of an edge not listed does nothing.
  CVertex* v2 = h->GetVByIndex(2);
  CEdge* e23 = Connect(*h, 2, 3, 4.0);
  v9->RemoveEdge(e23);
  EXPECT_EQ(v9->GetDegree(), 1);
  EXPECT_EQ(v2->m_weightSum, 4.0);
}

TEST(GraphTest, DeleteEdgesUpToWalksTheListOnce) {
  // Star around vertex 0 with weights chosen so that deletions happen at the
  // front, the middle and the end; expected order from the swap rule.
  auto g = MakeGraph({0, 1, 2, 3, 4, 5, 6});
  const double w[] = {0.5, 3.0, 1.0, 4.0, 0.2, 0.9};
  for (unsigned int k = 1; k <= 6; ++k) Connect(*g, 0, k, w[k - 1]);
  CVertex* v0 = g->GetVByIndex(0);
  v0->DeleteEdgesUpTo(0, 1.0);
  // [1,2,3,4,5,6]: 1 deleted -> [6,2,3,4,5]; 6 deleted -> [5,2,3,4];
  // 5 deleted -> [4,2,3]; 4 kept, 2 kept, 3 deleted -> [4,2].
  EXPECT_EQ(OtherIDs(v0, 0), (std::vector<unsigned int>{4, 2}));
  EXPECT_DOUBLE_EQ(v0->m_weightSum, 7.0);
  EXPECT_EQ(v0->m_posEdgeCount, 2);
  EXPECT_EQ(g->GetEdgesNum(), 2);
  for (unsigned int k : {1u, 3u, 5u, 6u}) EXPECT_EQ(g->GetVByIndex(k)->GetDegree(), 0) << k;
  v0->DeleteEdges();
  EXPECT_EQ(v0->GetDegree(), 0);
  EXPECT_EQ(v0->m_weightSum, 0.0);
  EXPECT_EQ(g->GetVByIndex(2)->GetDegree(), 0);
  EXPECT_EQ(g->GetVByIndex(2)->m_weightSum, 0.0);
}

TEST(GraphTest, Labels) {
  CVertex v(nullptr, 1);
  EXPECT_EQ(v.m_label, -1);
  EXPECT_THROW_MSG(v.SetLabel(-2), "CVertex::SetLabel - illegal label");
  EXPECT_THROW_MSG(v.SetLabel(-1), "CVertex::SetLabel - illegal label");
  v.SetLabel(3);
  v.SetLabel(3);
  EXPECT_EQ(v.m_label, 3);
  EXPECT_THROW_MSG(v.SetLabel(4), "CVertex::SetLabel - vertex already labeled differently");
  EXPECT_THROW_MSG(v.SetLabel(-2), "CVertex::SetLabel - vertex already labeled differently");
}

TEST(GraphTest, IndexAndIdLookups) {
  auto g = MakeGraph({10, 20, 30});
  EXPECT_EQ(g->GetVerticesNum(), 3);
  EXPECT_EQ(g->ID2Index(30), 2);
  EXPECT_EQ(g->GetVByIndex(1)->m_id, 20u);
  EXPECT_THROW_MSG(g->GetVByIndex(-1), "CGraph::GetVByIndex - index is out of scope");
  EXPECT_THROW_MSG(g->GetVByIndex(3), "CGraph::GetVByIndex - index is out of scope");
  EXPECT_THROW_MSG(g->ID2Index(40), "CGraph::ID2Index - id is not in graph");
  EXPECT_THROW_MSG(g->PushBackV(nullptr, 20), "CGraph::PushBackV - id is already in graph");
  EXPECT_EQ(g->GetVerticesNum(), 3);
  EXPECT_EQ(g->GetIDsVector(), (std::vector<unsigned int>{10, 20, 30}));
  EXPECT_EQ(g->GetIDsList(), (std::list<unsigned int>{10, 20, 30}));
}

TEST(GraphTest, BFSDepthAndLastLayer) {
  auto g = MakeGraph({1, 2, 3, 4});
  // Isolated start.
  CGraph::BFSResult r = g->BFS(g->GetVByIndex(3), 0, 0.0, 0);
  EXPECT_EQ(r.first, 0);
  EXPECT_EQ(r.second, g->GetVByIndex(3));
  // Path 1-2-3.
  Connect(*g, 1, 2, 1.0);
  Connect(*g, 2, 3, 1.0);
  g->ClearLabels();
  r = g->BFS(g->GetVByIndex(0), 0, 0.0, 0);
  EXPECT_EQ(r.first, 2);
  EXPECT_EQ(r.second, g->GetVByIndex(2));
  EXPECT_EQ(g->GetVByIndex(2)->m_label, 0);
  EXPECT_EQ(g->GetVByIndex(3)->m_label, -1);
  // With a depth limit of 1 the search stops once it reaches layer 2, which
  // is labelled but not expanded.
  Connect(*g, 3, 4, 1.0);
  g->ClearLabels();
  r = g->BFS(g->GetVByIndex(0), 5, 0.0, 1);
  EXPECT_EQ(r.first, 2);
  EXPECT_EQ(r.second, g->GetVByIndex(2));
  EXPECT_EQ(g->GetVByIndex(2)->m_label, 5);
  EXPECT_EQ(g->GetVByIndex(3)->m_label, -1);
  // The weight floor cuts the path.
  g->ClearLabels();
  g->GetVByIndex(1)->FindEdge(g->GetVByIndex(2))->m_weight = 0.5;
  r = g->BFS(g->GetVByIndex(0), 1, 1.0, 0);
  EXPECT_EQ(r.first, 1);
  EXPECT_EQ(g->GetVByIndex(2)->m_label, -1);
  // A vertex labelled differently makes the search fail.
  g->ClearLabels();
  g->GetVByIndex(1)->SetLabel(7);
  EXPECT_THROW_MSG(g->BFS(g->GetVByIndex(0), 1, 0.0, 0), "CVertex::SetLabel - vertex already labeled differently");
}

TEST(GraphTest, BFSLastLayerVertexIsFirstFoundInLayer) {
  // 5 is reached from 1 through list 0 before 0 through list 1 would be; the
  // last layer's first vertex follows edge-list order.
  auto g = MakeGraph({3, 1, 5, 0, 9});
  Connect(*g, 3, 5, 1.0);  // 3's list 0: [5]
  Connect(*g, 3, 1, 1.0);  // 3's list 1: [1]
  Connect(*g, 5, 9, 1.0);
  Connect(*g, 1, 0, 1.0);
  g->ClearLabels();
  CGraph::BFSResult r = g->BFS(g->GetVByIndex(0), 0, 0.0, 0);
  // Layer 1 = [5, 1] (list 0 first); layer 2 = [9, 0].
  EXPECT_EQ(r.first, 2);
  EXPECT_EQ(r.second->m_id, 9u);
}

TEST(GraphTest, SubgraphCopiesInducedEdges) {
  auto g = MakeGraph({4, 2, 8, 6});
  Connect(*g, 4, 2, 1.0);
  Connect(*g, 4, 8, -2.0);
  Connect(*g, 2, 8, 3.0);
  Connect(*g, 6, 8, 4.0);
  g->GetVByIndex(0)->FindEdge(g->GetVByIndex(1))->m_flow = 5.0;
  CGraph sub(*g, std::vector<int>{2, 0, 1});
  EXPECT_TRUE(sub.OwnsVertices());
  EXPECT_EQ(sub.GetIDsVector(), (std::vector<unsigned int>{8, 4, 2}));
  EXPECT_EQ(sub.GetEdgesNum(), 3);
  CVertex* s8 = sub.GetVByIndex(0);
  CVertex* s4 = sub.GetVByIndex(1);
  CVertex* s2 = sub.GetVByIndex(2);
  EXPECT_NE(s4, g->GetVByIndex(0));
  ASSERT_NE(s4->FindEdge(s2), nullptr);
  EXPECT_EQ(s4->FindEdge(s2)->m_weight, 1.0);
  EXPECT_EQ(s4->FindEdge(s2)->m_flow, 0.0);
  EXPECT_EQ(s8->FindEdge(s4)->m_weight, -2.0);
  EXPECT_EQ(s8->m_weightSum, 1.0);
  // Edges are copied per listed vertex, in list order, each from its
  // source list 0: 8 has none; 4 copies (4,8); 2 copies (2,4), (2,8).
  EXPECT_EQ(OtherIDs(s2, 0), (std::vector<unsigned int>{4, 8}));
  EXPECT_EQ(OtherIDs(s8, 1), (std::vector<unsigned int>{4, 2}));
  // The source is untouched.
  EXPECT_EQ(g->GetEdgesNum(), 4);
  EXPECT_EQ(g->GetVByIndex(2)->GetDegree(), 3);
}

// Callers keep their own numbers in the source vertices' m_work (the
// super-component splitter does); copying a subgraph marks vertices there
// while it works and must give every number back.
TEST(GraphTest, SubgraphLeavesTheSourceWorkMarksAsTheyWere) {
  auto g = MakeGraph({4, 2, 8, 6});
  Connect(*g, 4, 2, 1.0);
  Connect(*g, 2, 8, 3.0);
  Connect(*g, 6, 8, 4.0);
  const std::vector<int> marks = {17, -5, 0, 42};
  for (int i = 0; i < 4; ++i) g->GetVByIndex(i)->m_work = marks[i];
  CGraph sub(*g, std::vector<int>{2, 1});
  EXPECT_EQ(sub.GetEdgesNum(), 1);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(g->GetVByIndex(i)->m_work, marks[i]) << "vertex " << i;
  EXPECT_THROW_MSG(CGraph(*g, std::vector<int>{1, 9}), "CGraph::GetVByIndex - index is out of scope");
  for (int i = 0; i < 4; ++i) EXPECT_EQ(g->GetVByIndex(i)->m_work, marks[i]) << "vertex " << i;
}

TEST(GraphTest, ReindexingTakesOverOwnershipAndCompacts) {
  auto g = MakeGraph({1, 2, 3, 4});
  Connect(*g, 1, 2, 1.0);
  Connect(*g, 3, 4, 1.0);
  Connect(*g, 2, 3, 1.0);
  g->GetVByIndex(0)->SetLabel(2);
  g->DeleteVertices(std::list<int>{1});
  EXPECT_EQ(g->GetVByIndex(1), nullptr);
  EXPECT_EQ(g->GetVByIndex(0)->GetDegree(), 0);
  EXPECT_EQ(g->GetVByIndex(2)->GetDegree(), 1);
  EXPECT_THROW_MSG(g->ID2Index(2), "CGraph::ID2Index - id is not in graph");
  CVertex* v3 = g->GetVByIndex(2);
  std::unique_ptr<CGraph> r(new CGraph(*g));
  EXPECT_TRUE(r->OwnsVertices());
  EXPECT_FALSE(g->OwnsVertices());
  EXPECT_EQ(r->GetIDsVector(), (std::vector<unsigned int>{1, 3, 4}));
  EXPECT_EQ(r->GetVByIndex(1), v3);
  EXPECT_EQ(r->ID2Index(4), 2);
  EXPECT_EQ(r->GetVByIndex(0)->m_label, -1);
  // Re-indexing a non-owning graph does not take ownership.
  r->GetVByIndex(0)->SetLabel(1);
  CGraph r2(*g);
  EXPECT_FALSE(r2.OwnsVertices());
  EXPECT_EQ(r2.GetVByIndex(0)->m_label, 1);
  g.reset();  // must not delete the shared vertices
  EXPECT_EQ(r->GetVByIndex(2)->GetDegree(), 1);
}

TEST(GraphTest, RemoveIsolatedVerticesRenumbers) {
  auto g = MakeGraph({5, 6, 7, 8, 9});
  Connect(*g, 6, 8, 1.0);
  Connect(*g, 8, 9, 1.0);
  std::list<unsigned int> removed = g->RemoveIsolatedVertices();
  EXPECT_EQ(removed, (std::list<unsigned int>{5, 7}));
  EXPECT_EQ(g->GetIDsVector(), (std::vector<unsigned int>{6, 8, 9}));
  EXPECT_THROW_MSG(g->ID2Index(5), "CGraph::ID2Index - id is not in graph");
  EXPECT_THROW_MSG(g->ID2Index(7), "CGraph::ID2Index - id is not in graph");
  for (int k = 0; k < 3; ++k) EXPECT_EQ(g->ID2Index(g->GetVByIndex(k)->m_id), k);
  EXPECT_TRUE(g->RemoveIsolatedVertices().empty());
}

TEST(GraphTest, MinWeightEdgeFirstOfEqualMinima) {
  auto g = MakeGraph({1, 2, 3, 4});
  EXPECT_EQ(g->MinWeightEdge(), nullptr);
  Connect(*g, 1, 2, 1e8);
  EXPECT_EQ(g->MinWeightEdge(), nullptr);
  CEdge* a = Connect(*g, 3, 4, -2.0);
  CEdge* b = Connect(*g, 1, 3, -2.0);
  (void)b;
  // Vertex 1 (index 0) is scanned first: its edge (1,3) wins the tie.
  EXPECT_EQ(g->MinWeightEdge(), b);
  a->m_weight = -2.5;
  EXPECT_EQ(g->MinWeightEdge(), a);
}

// A dense graph: building, pruning and destroying touch every edge once; the
// counts must stay consistent with an independent tally.
TEST(GraphTest, DensePruneKeepsCountsConsistent) {
  const unsigned int n = 300;
  std::unique_ptr<CGraph> g(new CGraph());
  for (unsigned int i = 0; i < n; ++i) g->PushBackV(nullptr, i);
  auto weight = [](unsigned int i, unsigned int j) { return static_cast<double>((i * 31 + j * 17) % 100) / 10.0 - 3.0; };
  for (unsigned int i = 0; i < n; ++i)
    for (unsigned int j = i + 1; j < n; ++j) new CEdge(g->GetVByIndex(i), g->GetVByIndex(j), weight(i, j));
  EXPECT_EQ(g->GetEdgesNum(), static_cast<long long>(n) * (n - 1) / 2);
  for (unsigned int i = 0; i < n; ++i) g->GetVByIndex(i)->DeleteEdgesUpTo(0, 2.0);
  long long kept = 0;
  std::vector<int> degree(n, 0), pos(n, 0);
  for (unsigned int i = 0; i < n; ++i)
    for (unsigned int j = i + 1; j < n; ++j)
      if (weight(i, j) > 2.0) {
        ++kept;
        ++degree[i];
        ++degree[j];
        ++pos[i];
        ++pos[j];
      }
  EXPECT_EQ(g->GetEdgesNum(), kept);
  for (unsigned int i = 0; i < n; ++i) {
    CVertex* v = g->GetVByIndex(i);
    ASSERT_EQ(v->GetDegree(), degree[i]) << i;
    EXPECT_EQ(v->m_posEdgeCount, pos[i]);
    for (const CEdge* e : v->m_edges[1]) EXPECT_EQ(e->m_v2, v);
    for (const CEdge* e : v->m_edges[0]) EXPECT_GT(e->m_weight, 2.0);
  }
}

}  // namespace
