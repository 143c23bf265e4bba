#pragma once
// Unit-capacity Dinic maximum flow between the component's far pair (every
// edge carries at most one unit in each direction, whatever its weight);
// returns the source side of the resulting minimum s-t cut, i.e. the
// vertices that the source still reaches through usable edges, in the
// order the last breadth-first pass found them.
// The component is copied once into arc arrays; each layered network is a
// set of vertex copies with two edge lists each (edges to copies of larger
// and of smaller id), kept in creation order with swap-with-last removal,
// whose order decides which of equally short paths is taken.
// Cost: per phase one breadth-first pass plus depth-first path searches
// that resume at each copy's current edge; O(m * sqrt(m)) overall for unit
// capacities.  Used above 1000 vertices.

#include <cstddef>
#include <list>
#include <vector>

#include "vandrel/mincut/ArcLayout.h"
#include "vandrel/mincut/MinCut.h"

class CDinic : public CMinCutAlg {
 public:
  CDinic();
  ~CDinic() override;
  std::list<int> Run(CComponent* component) override;

 private:
  // One edge of the layered network between two copies.
  struct NetEdge {
    int end[2];   // copies: [0] of the smaller id, [1] of the larger
    int slot[2];  // position in end[0]'s list 0 and in end[1]'s list 1
    int tail;     // the copy it leads away from (towards the sink)
    int arc;      // the component arc from tail's vertex to the head's
    bool used;    // on the path being searched
  };
  // One vertex copy of the layered network.
  struct Copy {
    int vertex;  // component index, -1 once deleted
    bool deadEnd;
    std::vector<int> edges[2];  // net edges, [0]: to larger ids
    std::size_t current[2];        // earlier entries cannot be taken
  };

  // Builds the next layered network from the far source; true when it
  // reached the far sink (whose copy is then the network's last copy).
  bool BuildLayerNetwork();
  int AddCopy(int vertex);
  void AddNetEdge(int tailCopy, int headCopy, int arc);
  void RemoveNetEdge(int edge);
  // Removes a copy and its edges, in the order a vertex deletes its lists.
  void DeleteCopy(int copy);
  // Whether net edge e cannot be taken away from copy c for the rest of
  // the phase.
  bool Skippable(int e, int c) const;
  // Finds a path of usable network edges from the source copy to the sink
  // copy, in depth-first order (each copy's list 0 then list 1, in list
  // order).  Returns false when there is none; on success the path's edges
  // are left marked used.
  bool FindAugmentingPath(int sinkCopy);
  // Sends one unit along the path in the component and deletes the path's
  // network edges.
  void Augment();
  void WriteBack();

  CComponent* m_graph;  // not owned
  CArcLayout m_arcs;
  std::vector<int> m_flowOut;  // by arc: units crossing from tail to head (-1..1)
  std::vector<unsigned int> m_id;

  std::vector<Copy> m_copies;       // the current network; capacity reused
  int m_copyCount;                  // copies in use
  std::vector<NetEdge> m_netEdges;  // the current network's edges
  std::vector<int> m_path;          // net edges from source to sink

  std::vector<int> m_visitedPhase;  // by vertex: phase of its last visit
  std::vector<int> m_nextCopy;      // by vertex: copy in the layer being built
  std::vector<int> m_nextStamp;     // by vertex: layer stamp of m_nextCopy
  int m_phase;
  int m_stamp;
};
