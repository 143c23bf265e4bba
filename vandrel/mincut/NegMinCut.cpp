// Negative-weight two-way partition of a component: its lists, in their own
// order, laid out as a compact graph for the partition.  See
// CompactNegMinCut.h for the partition and its costs.

#include "vandrel/mincut/NegMinCut.h"

#include <vector>

#include "vandrel/graph/CompactGraph.h"
#include "vandrel/graph/SimilarityGraph.h"
#include "vandrel/mincut/CompactNegMinCut.h"

CNegMinCut::CNegMinCut() {}

CNegMinCut::~CNegMinCut() {}

std::list<int> CNegMinCut::Run(CComponent* component) {
  const CCompactGraph graph = CCompactGraph::FromOwnLists(*component);
  const std::vector<int> side = CompactNegMinCut(graph, component->m_analyzer.GetMissingEdgeWeight());
  return std::list<int>(side.begin(), side.end());
}
