#pragma once
// Heuristic two-way partition for graphs with negative weights: two seeds
// from the lightest edge, a greedy assignment of the other vertices, then
// single-vertex moves while they lower the complete weight between the
// sides (split pairs without an edge count the missing-edge weight).  The
// partition itself is CompactNegMinCut's, run on the component's own lists.
// Cost: O(n + m) to lay the lists out, per greedy assignment and per
// improvement pass.

#include <list>

#include "vandrel/mincut/MinCut.h"

class CNegMinCut : public CMinCutAlg {
 public:
  CNegMinCut();
  ~CNegMinCut() override;
  std::list<int> Run(CComponent* component) override;
};
