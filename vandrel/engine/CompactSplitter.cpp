// Recursive splitting of a subgraph into small parts on compact adjacency
// arrays, and the materialization of each part as a similarity graph.  See
// CompactSplitter.h for the recursion and the costs.

#include "vandrel/engine/CompactSplitter.h"

#include <memory>
#include <new>

#include "vandrel/graph/CompactGraph.h"
#include "vandrel/graph/SimilarityGraph.h"
#include "vandrel/mincut/CompactNegMinCut.h"

namespace {

// The fingerprints of the part's vertices, in vertex order (none for
// similarity-data graphs).
void AppendFingerprints(CSimilarityGraph& /*part*/, const CSimilarityGraph& /*source*/,
                        const CCompactGraph& /*graph*/) {}

void AppendFingerprints(CFPGraph& part, const CFPGraph& source, const CCompactGraph& graph) {
  const int n = graph.GetVerticesNum();
  part.m_normFPs.reserve(static_cast<size_t>(n));
  for (int k = 0; k < n; ++k) part.m_normFPs.push_back(source.GetNormFP(graph.GetOrigin(k)));
}

}  // namespace

template <class G>
G* CCompactSplitter<G>::Materialize(const G& source, const CCompactGraph& graph, bool asInduced) {
  // An empty induced subgraph carries the source's analyzer state.
  std::unique_ptr<G> part(new G(source, std::vector<int>()));
  const int n = graph.GetVerticesNum();
  part->m_vertices.reserve(static_cast<size_t>(n));
  for (int k = 0; k < n; ++k) {
    const CVertex* src = source.GetVByIndex(graph.GetOrigin(k));
    CVertex* v = new CVertex(src->m_data, src->m_id, static_cast<size_t>(graph.ListSize(k, 0)),
                             static_cast<size_t>(graph.ListSize(k, 1)));
    part->m_vertices.push_back(v);
    part->m_idToIndex[v->m_id] = k;
  }
  AppendFingerprints(*part, source, graph);
  // Edges in creation order: every list 0 comes out in its order, lists 1
  // and the sums as an induced copy has them.
  for (int k = 0; k < n; ++k) {
    CVertex* v = part->m_vertices[k];
    const CCompactGraph::Entry* entries = graph.List(k, 0);
    for (int s = 0; s < graph.ListSize(k, 0); ++s)
      new CEdge(v, part->m_vertices[entries[s].neighbour], entries[s].weight);
  }
  if (asInduced) return part.release();
  // The graph's own lists 1 (their order after removals) and sums.
  std::vector<CEdge*> order;
  for (int k = 0; k < n; ++k) {
    CVertex* v = part->m_vertices[k];
    const CCompactGraph::Entry* entries = graph.List(k, 1);
    const int size = graph.ListSize(k, 1);
    order.clear();
    for (int s = 0; s < size; ++s) order.push_back(part->m_vertices[entries[s].neighbour]->m_edges[0][entries[s].mirror]);
    v->SetListOrder(1, order);
    v->m_weightSum = graph.GetWeightSum(k);
    v->m_posEdgeCount = graph.GetPosEdgeCount(k);
  }
  return part.release();
}

template <class G>
void CCompactSplitter<G>::SplitInto(const G& source, CCompactGraph& graph, unsigned int maxPartSize,
                                    double missingWeight, std::vector<COwningHandle<G>>& parts) {
  const int n = graph.GetVerticesNum();
  if (static_cast<unsigned int>(n) < maxPartSize || n < 2) {
    parts.push_back(COwningHandle<G>(Materialize(source, graph, false)));
    return;
  }
  const std::vector<int> side = CompactNegMinCut(graph, missingWeight);
  if (static_cast<int>(side.size()) == n) {
    parts.push_back(COwningHandle<G>(Materialize(source, graph, true)));
    return;
  }
  if (side.empty()) {
    parts.push_back(COwningHandle<G>(Materialize(source, graph, false)));
    return;
  }
  {
    CCompactGraph first = graph.Induced(side);
    graph.DeleteAndCompact(side);
    SplitInto(source, first, maxPartSize, missingWeight, parts);
  }
  SplitInto(source, graph, maxPartSize, missingWeight, parts);
}

template <class G>
std::vector<COwningHandle<G>> CCompactSplitter<G>::Split(const G& source, const std::vector<int>& indices,
                                                         unsigned int maxPartSize) {
  std::vector<COwningHandle<G>> parts;
  try {
    CCompactGraph graph = CCompactGraph::FromGraph(source, indices);
    SplitInto(source, graph, maxPartSize, source.m_analyzer.GetMissingEdgeWeight(), parts);
  } catch (const std::bad_alloc&) {
    throw "CFullZelk::Run - memory problem";
  }
  return parts;
}

template class CCompactSplitter<CSimilarityGraph>;
template class CCompactSplitter<CFPGraph>;
