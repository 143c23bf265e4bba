#pragma once
// Heuristic two-way partition for graphs with negative weights: two seeds
// from the lightest edge, a greedy assignment of the other vertices, then
// single-vertex moves while they lower the complete weight between the
// sides (split pairs without an edge count the missing-edge weight).
// Cost: O(n + m) per greedy assignment and per improvement pass.

#include <list>
#include <vector>

#include "vandrel/mincut/MinCut.h"

class CNegMinCut : public CMinCutAlg {
 public:
  CNegMinCut();
  ~CNegMinCut() override;
  std::list<int> Run(CComponent* component) override;

 private:
  // One incident edge seen from a vertex: the other endpoint's index and
  // the weight.
  struct Neighbour {
    int index;
    double weight;
  };

  // Sum of v's edge weights to the members of `side` plus the missing-edge
  // weight for every other member without an edge to v.
  double Weight(int v, int side) const;
  // Moves v to the other side.
  void Move(int v);
  // Moves the vertex whose move gains most (the first on ties).
  void BestSingleMove();

  CComponent* m_graph;  // not owned
  double m_shift;       // per-member cost that keeps large sides from winning
  double m_missingWeight;
  // Side membership by vertex index (kSideA, kSideB or kNoSide) and the
  // side sizes: the sets A and B.
  std::vector<int> m_sideOf;
  int m_size[2];
  // Per vertex index, its edges in adjacency order (m_edges[0], then
  // m_edges[1]), so that sums are formed in the graph's edge order.
  std::vector<std::vector<Neighbour>> m_neighbours;
};
