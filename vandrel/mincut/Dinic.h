#pragma once
// Unit-capacity Dinic maximum flow between the component's far pair (every
// edge carries at most one unit in each direction, whatever its weight);
// returns the source side of the resulting minimum s-t cut, i.e. the
// vertices that the source still reaches through usable edges.
// Cost: per phase one breadth-first pass plus depth-first path searches;
// O(m * sqrt(m)) overall for unit capacities.  Used above 1000 vertices.

#include <list>

#include "vandrel/mincut/MinCut.h"

class CDinic : public CMinCutAlg {
 public:
  CDinic();
  ~CDinic() override;
  std::list<int> Run(CComponent* component) override;
};
