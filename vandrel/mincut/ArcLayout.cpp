// Contiguous arc arrays of a component: offsets, heads, reverse arcs and
// weights (see ArcLayout.h).

#include "vandrel/mincut/ArcLayout.h"

void CArcLayout::BuildOffsets(CComponent* component) {
  const int n = component->GetVerticesNum();
  first.assign(n + 1, 0);
  listSplit.assign(n, 0);
  for (int i = 0; i < n; ++i) {
    CVertex* v = component->GetVByIndex(i);
    v->m_work = i;
    first[i + 1] = first[i] + v->GetDegree();
    listSplit[i] = first[i] + static_cast<int>(v->m_edges[0].size());
  }
}

void CArcLayout::Build(CComponent* component, std::vector<double>* weights) {
  BuildOffsets(component);
  const int arcs = ArcCount();
  head.resize(arcs);
  reverse.resize(arcs);
  if (weights != nullptr) weights->resize(arcs);
  ForEachEdge(component, [&](int i, int a, int j, int b, const CEdge* e) {
    head[a] = j;
    head[b] = i;
    reverse[a] = b;
    reverse[b] = a;
    if (weights != nullptr) (*weights)[a] = (*weights)[b] = e->m_weight;
  });
}
