#pragma once
// Hao-Orlin minimum cut: one preflow-push pass with dormant vertex layers
// finds the minimum cut over all sinks of a component with non-negative
// vertex weight sums.  Highest-label selection; the per-label excess tables
// and the sink choice follow the id-hash iteration orders.
// Cost: O(n^2 * m) in the worst case (n vertices, m edges); used up to 1000
// vertices.

#include <list>

#include "vandrel/mincut/MinCut.h"

class CHaoOrlin : public CMinCutAlg {
 public:
  CHaoOrlin();
  ~CHaoOrlin() override;
  std::list<int> Run(CComponent* component) override;
};
