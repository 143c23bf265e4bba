#pragma once
// The negative-weight two-way partition, on a CCompactGraph (CNegMinCut
// runs it on a component's own lists, the splitting of super components on
// the compact subgraphs it cuts): two seeds from the lightest edge, a greedy
// assignment, improvement passes and best single moves, every sum formed
// over a vertex's entries in list order (list 0, then list 1).  One scan of
// a vertex's lists gives its weights to both sides, each in its own
// accumulator.
// Cost: O(n + m) for the assignment and per pass, no copy of the edges.

#include <vector>

class CCompactGraph;

// The indices of side A in ascending order; empty when the graph has no edge
// lighter than 1e8.  missingWeight stands for every pair without an edge.
std::vector<int> CompactNegMinCut(const CCompactGraph& graph, double missingWeight);
