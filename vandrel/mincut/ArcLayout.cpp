// Contiguous arc arrays of a component: offsets, heads, reverse arcs and
// weights, built in one pass over the adjacency lists (see ArcLayout.h).

#include "vandrel/mincut/ArcLayout.h"

#include <algorithm>

#include "vandrel/graph/Graph.h"
#include "vandrel/graph/SimilarityGraph.h"

void CArcLayout::Build(CComponent* component, std::vector<double>* weights) {
  const int n = component->GetVerticesNum();
  first.assign(n + 1, 0);
  listSplit.assign(n, 0);
  for (int i = 0; i < n; ++i) {
    CVertex* v = component->GetVByIndex(i);
    v->m_work = i;
    first[i + 1] = first[i] + v->GetDegree();
    listSplit[i] = first[i] + static_cast<int>(v->m_edges[0].size());
  }
  const int arcs = first[n];
  head.resize(arcs);
  reverse.resize(arcs);
  if (weights != nullptr) weights->resize(arcs);
  for (int i = 0; i < n; ++i) {
    const CVertex* v = component->GetVByIndex(i);
    int a = first[i];
    for (const CEdge* e : v->m_edges[0]) {
      head[a] = e->m_v2->m_work;
      if (weights != nullptr) (*weights)[a] = e->m_weight;
      ++a;
    }
    for (const CEdge* e : v->m_edges[1]) {
      head[a] = e->m_v1->m_work;
      if (weights != nullptr) (*weights)[a] = e->m_weight;
      ++a;
    }
  }
  // Pair each edge's two arcs: the one in m_v1's list 0 and the one in
  // m_v2's list 1 (found through the edge's remembered slot).
  for (int i = 0; i < n; ++i) {
    const std::vector<CEdge*>& out = component->GetVByIndex(i)->m_edges[0];
    for (size_t k = 0; k < out.size(); ++k) {
      const CEdge* e = out[k];
      const CVertex* w = e->m_v2;
      const std::vector<CEdge*>& in = w->m_edges[1];
      int slot = e->GetSlot(1);
      if (slot < 0 || slot >= static_cast<int>(in.size()) || in[slot] != e)
        slot = static_cast<int>(std::find(in.begin(), in.end(), e) - in.begin());
      const int a = first[i] + static_cast<int>(k);
      const int b = listSplit[w->m_work] + slot;
      reverse[a] = b;
      reverse[b] = a;
    }
  }
}
