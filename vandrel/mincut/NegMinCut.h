#pragma once
// Heuristic two-way partition for graphs with negative weights: two seeds
// from the lightest edge, a greedy assignment of the other vertices, then
// single-vertex moves while they lower the complete weight between the
// sides (split pairs without an edge count the missing-edge weight).
// Cost: O(n + m) per greedy assignment and per improvement pass.

#include <list>

#include "vandrel/graph/IDHash.h"
#include "vandrel/mincut/MinCut.h"

class CVertex;

class CNegMinCut : public CMinCutAlg {
 public:
  CNegMinCut();
  ~CNegMinCut() override;
  std::list<int> Run(CComponent* component) override;

 private:
  // Sum of v's edge weights to the members of a side plus the missing-edge
  // weight for every other member without an edge to v.
  double Weight(const CVertex* v, const CIDHash<bool>& side, int sideSize) const;
  bool InSide(const CIDHash<bool>& side, const CVertex* v) const;
  void Join(CIDHash<bool>* side, int* sideSize, const CVertex* v);
  void Leave(CIDHash<bool>* side, int* sideSize, const CVertex* v);
  // Moves v to the other side.
  void Move(const CVertex* v);
  // Moves the vertex whose move gains most (the first on ties).
  void BestSingleMove();

  CComponent* m_graph;  // not owned
  double m_shift;       // keeps the greedy costs positive
  double m_missingWeight;
  CIDHash<bool> m_a;
  CIDHash<bool> m_b;
  int m_sizeA;
  int m_sizeB;
};
