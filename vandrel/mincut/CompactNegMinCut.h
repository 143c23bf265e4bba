#pragma once
// The negative-weight two-way partition of CNegMinCut, run on a
// CCompactGraph instead of a component: the same seeds, greedy assignment,
// improvement passes and best single moves, with every sum formed over the
// same entries in the same order (list 0, then list 1), so that the side
// found is the one CNegMinCut finds on the CGraph the compact graph stands
// for.  One scan of a vertex's lists gives its weights to both sides, each
// in its own accumulator.
// Cost: O(n + m) for the assignment and per pass, no copy of the edges.

#include <vector>

class CCompactGraph;

// The indices of side A in ascending order; empty when the graph has no edge
// lighter than 1e8.  missingWeight stands for every pair without an edge.
std::vector<int> CompactNegMinCut(const CCompactGraph& graph, double missingWeight);
