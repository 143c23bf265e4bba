#pragma once
// Splitting of a super-component graph's subgraph into parts of fewer than
// a given number of vertices, without copying its edges as objects: the
// subgraph is held as a CCompactGraph, cut recursively by CompactNegMinCut,
// and only the final parts become graphs of the real type.  The parts are
// those that CFullGraph2Parts gives for the induced subgraph over the same
// indices: the same vertices in the same order, both adjacency lists of
// every vertex in the same order, the same weight sums bit for bit, the
// threshold analyzer of the source, and for fingerprint graphs the
// vertices' fingerprints.
//
// The recursion: a graph of fewer than maxPartSize (or fewer than two)
// vertices is a part as it stands; otherwise side A of its cut is copied
// out as an induced subgraph and deleted from the graph; a side that holds
// every vertex makes the induced copy of the whole the part, an empty side
// the graph itself; else the parts of the copy come first, then those of
// what is left.
// Cost: O(V + E) of the subgraph to build, per cut the cut's passes plus
// O(V + E) of the graph cut, O(V + E) per part to materialize.

#include <vector>

#include "vandrel/engine/Transformers.h"

class CCompactGraph;

template <class G>
class CCompactSplitter {
 public:
  // Parts of source's subgraph induced by `indices` (source vertex indices,
  // in the subgraph's order).  Source is only read (its vertices' m_work
  // values come back unchanged).
  static std::vector<COwningHandle<G>> Split(const G& source, const std::vector<int>& indices,
                                              unsigned int maxPartSize);

  // A graph of G's type for a compact graph built from source: vertices,
  // lists in their orders and weight sums of the compact graph.  asInduced:
  // the induced copy of it instead (lists 1 and sums in edge-creation order).
  static G* Materialize(const G& source, const CCompactGraph& graph, bool asInduced);

 private:
  static void SplitInto(const G& source, CCompactGraph& graph, unsigned int maxPartSize, double missingWeight,
                        std::vector<COwningHandle<G>>& parts);
};

extern template class CCompactSplitter<CSimilarityGraph>;
extern template class CCompactSplitter<CFPGraph>;
