#pragma once
// Unit-capacity Dinic maximum flow between the component's far pair (every
// edge carries at most one unit in each direction, whatever its weight);
// returns the source side of the resulting minimum s-t cut, i.e. the
// vertices that the source still reaches through usable edges.
// Cost: per phase one breadth-first pass plus depth-first path searches;
// O(m * sqrt(m)) overall for unit capacities.  Used above 1000 vertices.

#include <list>
#include <memory>
#include <vector>

#include "vandrel/mincut/MinCut.h"

class CEdge;
class CGraph;
class CVertex;

class CDinic : public CMinCutAlg {
 public:
  CDinic();
  ~CDinic() override;
  std::list<int> Run(CComponent* component) override;

 private:
  // Builds the next layered network from the far source; true when it
  // reached the far sink (whose copy is then the network's last vertex).
  bool BuildLayerNetwork();
  // Finds a path of usable network edges from x to t, in depth-first order
  // (edges to larger ids first, each list in its order).  Returns false when
  // there is none; on success the path's edges are left marked used.
  bool FindAugmentingPath(CVertex* x, CVertex* t, std::vector<CEdge*>* path);
  // Sends one unit along the path in the component and deletes the path's
  // network edges.
  void Augment(const std::vector<CEdge*>& path);

  CComponent* m_graph;               // not owned
  std::unique_ptr<CGraph> m_layerNet;  // current layered network
};
