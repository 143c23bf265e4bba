#pragma once
// Contiguous arc arrays of a component for the flow algorithms: vertex i
// (the component's index i) owns arcs [first[i], first[i + 1]), its
// m_edges[0] then its m_edges[1] in list order, so a scan of the arcs visits
// the neighbours in the order of a scan of the two lists.  Each arc knows
// its head and the arc of the same edge seen from the head; optionally its
// weight.  Build sets every vertex's m_work to its index.
// Cost: O(n + m) time and memory; the arcs are filled in one pass over the
// m_edges[0] lists, each edge giving both of its arcs.

#include <vector>

#include "vandrel/graph/Graph.h"
#include "vandrel/graph/SimilarityGraph.h"

struct CArcLayout {
  // Fills the arrays; weights (by arc) too when weights is not null.
  void Build(CComponent* component, std::vector<double>* weights);
  // Only first and listSplit (and the vertices' m_work); the arcs are then
  // filled through ForEachEdge.
  void BuildOffsets(CComponent* component);
  int VertexCount() const { return static_cast<int>(first.size()) - 1; }
  int ArcCount() const { return first.back(); }

  // Calls visit(i, a, j, b, edge) once per edge, in the order of the
  // m_edges[0] lists by vertex index: a is the edge's arc from its m_v1
  // (index i) and b its arc from its m_v2 (index j).  Needs BuildOffsets.
  template <class Visit>
  void ForEachEdge(CComponent* component, Visit&& visit) const;

  std::vector<int> first;    // by vertex, one more entry than vertices
  std::vector<int> head;     // by arc
  std::vector<int> reverse;  // by arc
  std::vector<int> listSplit;  // by vertex: first arc of its m_edges[1]

 private:
  static const size_t kPrefetchAhead = 16;
  // Position of e in list, through the edge's remembered slot when that is
  // still right, else by search.
  static int SlotIn(const std::vector<CEdge*>& list, const CEdge* e);
};

inline int CArcLayout::SlotIn(const std::vector<CEdge*>& list, const CEdge* e) {
  const int slot = e->GetSlot(1);
  if (slot >= 0 && slot < static_cast<int>(list.size()) && list[slot] == e) return slot;
  for (size_t k = 0; k < list.size(); ++k)
    if (list[k] == e) return static_cast<int>(k);
  throw "CArcLayout - edge missing from its endpoint's list";
}

template <class Visit>
void CArcLayout::ForEachEdge(CComponent* component, Visit&& visit) const {
  const int n = VertexCount();
  for (int i = 0; i < n; ++i) {
    const std::vector<CEdge*>& out = component->GetVByIndex(i)->m_edges[0];
    const int a0 = first[i];
    const size_t count = out.size();
    for (size_t k = 0; k < count; ++k) {
      // The edges are scattered over the heap: ask for the next ones early.
      if (k + kPrefetchAhead < count) __builtin_prefetch(out[k + kPrefetchAhead]);
      if (k + kPrefetchAhead / 2 < count) {
        // ... and, once an edge is at hand, for its entry in the other list.
        const CEdge* soon = out[k + kPrefetchAhead / 2];
        const std::vector<CEdge*>& list = soon->m_v2->m_edges[1];
        const size_t slot = static_cast<size_t>(soon->GetSlot(1));
        if (slot < list.size()) __builtin_prefetch(list.data() + slot);
      }
      const CEdge* e = out[k];
      const CVertex* w = e->m_v2;
      const int j = w->m_work;
      visit(i, a0 + static_cast<int>(k), j, listSplit[j] + SlotIn(w->m_edges[1], e), e);
    }
  }
}
