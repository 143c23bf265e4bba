#pragma once
// Contiguous arc arrays of a component for the flow algorithms: vertex i
// (the component's index i) owns arcs [first[i], first[i + 1]), its
// m_edges[0] then its m_edges[1] in list order, so a scan of the arcs visits
// the neighbours in the order of a scan of the two lists.  Each arc knows
// its head and the arc of the same edge seen from the head; optionally its
// weight.  Build sets every vertex's m_work to its index.
// Cost: O(n + m) time and memory, one pass over the adjacency lists.

#include <vector>

class CComponent;

struct CArcLayout {
  // Fills the arrays; weights (by arc) too when weights is not null.
  void Build(CComponent* component, std::vector<double>* weights);
  int VertexCount() const { return static_cast<int>(first.size()) - 1; }
  int ArcCount() const { return first.back(); }

  std::vector<int> first;    // by vertex, one more entry than vertices
  std::vector<int> head;     // by arc
  std::vector<int> reverse;  // by arc
  std::vector<int> listSplit;  // by vertex: first arc of its m_edges[1]
};
