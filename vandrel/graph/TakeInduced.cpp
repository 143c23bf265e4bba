// Splitting a subgraph off a graph by moving its vertices instead of copying
// them.  Kernel finding cuts a component in two at every step and goes on
// with both sides; on dense components the side it keeps is nearly the whole
// component, so the induced copy of that side followed by the deletion of its
// vertices from the original creates and destroys almost every edge at every
// step.  Here the kept side's vertex and edge objects move over, and both
// graphs end up exactly as the copy-then-delete leaves them: the same vertex
// order, the same adjacency list orders and remembered slots, weight sums
// added (and subtracted) in the same order, flows and labels reset, the same
// id-hash insertion and erasure orders.
// Cost: O(E of the moved side + degrees of the staying vertices), no edge
// allocation; the staying side is expected to be the smaller one (else the
// copy is cheaper and is used).

#include <algorithm>
#include <utility>
#include <vector>

#include "vandrel/graph/Graph.h"

namespace {

// An edge from a staying vertex into the moved side, with the moved
// endpoint's position in the moved list: the deletion order.
struct CCrossingEdge {
  int staying;  // index of the staying vertex in the source
  int movedPos;
  CEdge* edge;
};

}  // namespace

void CGraph::TakeInduced(CGraph& source, const std::vector<int>& indices) {
  if (!m_vertices.empty()) throw "CGraph::TakeInduced - the receiving graph is not empty";
  if (!MoveInduced(source, indices)) {
    BuildInduced(source, indices);
    source.DeleteVertices(indices);
  }
}

bool CGraph::MoveInduced(CGraph& source, const std::vector<int>& indices) {
  if (!source.m_ownsVertices || !m_ownsVertices || &source == this) return false;
  const int sourceSize = static_cast<int>(source.m_vertices.size());
  const int n = static_cast<int>(indices.size());

  int staying = -n;
  for (const CVertex* v : source.m_vertices)
    if (v != nullptr) ++staying;
  if (staying > n) return false;  // the copy of the small side is cheaper

  // Marks: a moved vertex's position in the list, -1 for a staying one.
  // The moved vertices must be listed once each.  (Ids are distinct, as
  // PushBackV keeps them, so each edge keeps its orientation in the copy.)
  CWorkMarksKeeper keeper(source.m_vertices);
  for (CVertex* v : source.m_vertices)
    if (v != nullptr) v->m_work = -1;
  for (int k = 0; k < n; ++k) {
    const int index = indices[k];
    if (index < 0 || index >= sourceSize) return false;
    CVertex* v = source.m_vertices[index];
    if (v == nullptr || v->m_work >= 0) return false;
    v->m_work = k;
  }

  // Everything that allocates comes before the first change, so that a
  // failure leaves both graphs as they were.
  std::vector<CCrossingEdge> crossing;
  for (int i = 0; i < sourceSize; ++i) {
    const CVertex* v = source.m_vertices[i];
    if (v == nullptr || v->m_work >= 0) continue;
    const size_t first = crossing.size();
    for (const CEdge* e : v->m_edges[0])
      if (e->m_v2->m_work >= 0) crossing.push_back({i, e->m_v2->m_work, const_cast<CEdge*>(e)});
    for (const CEdge* e : v->m_edges[1])
      if (e->m_v1->m_work >= 0) crossing.push_back({i, e->m_v1->m_work, const_cast<CEdge*>(e)});
    std::sort(crossing.begin() + first, crossing.end(),
              [](const CCrossingEdge& a, const CCrossingEdge& b) { return a.movedPos < b.movedPos; });
    // Two edges between the same pair would be deleted in an order that
    // depends on the moved vertex's list history: leave that to the copy.
    for (size_t k = first + 1; k < crossing.size(); ++k)
      if (crossing[k].movedPos == crossing[k - 1].movedPos) return false;
  }
  try {
    m_vertices.reserve(n);
    for (int k = 0; k < n; ++k) m_idToIndex[source.m_vertices[indices[k]]->m_id] = k;
  } catch (...) {
    m_idToIndex = CIDHash<int>();
    return false;
  }

  // The staying vertices lose their edges into the moved side as the
  // deletion of the moved vertices, one after the other in list order,
  // removes them: by the moved endpoint's position.
  for (const CCrossingEdge& c : crossing) source.m_vertices[c.staying]->RemoveEdge(c.edge);

  // The moved vertices start as the copy's new vertices do: no smaller-id
  // neighbours listed yet, no sums, no label.
  for (int k = 0; k < n; ++k) {
    CVertex* v = source.m_vertices[indices[k]];
    v->m_edges[1].clear();
    v->m_weightSum = 0.0;
    v->m_posEdgeCount = 0;
    v->m_label = -1;
  }

  // The copy's creation order: vertex by vertex in list order, each list-0
  // edge inside the moved side, in its order, added to its smaller end and
  // then to its larger end.  List 0 keeps those edges in their order (edges
  // to staying vertices drop out); lists 1 fill up in creation order.  One
  // pass, so that every edge object is fetched once.
  for (int k = 0; k < n; ++k) {
    CVertex* v = source.m_vertices[indices[k]];
    std::vector<CEdge*>& out = v->m_edges[0];
    const size_t size = out.size();
    size_t kept = 0;
    for (size_t j = 0; j < size; ++j) {
      // The edges are scattered over the pool: fetch ahead.
      if (j + 8 < size) __builtin_prefetch(out[j + 8], 1);
      CEdge* e = out[j];
      CVertex* other = e->m_v2;
      if (other->m_work < 0) continue;  // to a staying vertex: deleted below
      const double w = e->m_weight;
      e->m_flow = 0.0;
      out[kept] = e;
      e->m_slot[0] = static_cast<int>(kept);
      ++kept;
      v->m_weightSum += w;
      if (w > 0) ++v->m_posEdgeCount;
      other->m_edges[1].push_back(e);  // within the capacity the list had
      e->m_slot[1] = static_cast<int>(other->m_edges[1].size()) - 1;
      other->m_weightSum += w;
      if (w > 0) ++other->m_posEdgeCount;
    }
    out.resize(kept);
  }
  for (const CCrossingEdge& c : crossing) {
    c.edge->m_v1 = nullptr;  // already unlinked from both ends
    c.edge->m_v2 = nullptr;
    delete c.edge;
  }

  for (int k = 0; k < n; ++k) {
    CVertex* v = source.m_vertices[indices[k]];
    m_vertices.push_back(v);
    source.m_idToIndex.Erase(v->m_id);
    source.m_vertices[indices[k]] = nullptr;
    v->m_work = -1;
  }
  return true;
}
