// Negative-weight two-way partition on compact adjacency arrays.  Seeds are
// the endpoints of the lightest edge (first of equal minima, bound 1e8);
// every other vertex joins the side it costs least against (each member
// costs the shift, the heaviest weight floored at -1.0 plus 0.01); passes
// then move single vertices to the side they weigh more with while any move
// helps, a move that would empty a side being replaced by the best single
// move of the whole graph.  A weight against a side is the sum of the
// vertex's edge weights to its members, in list order (list 0 then list 1),
// plus the missing-edge weight for every other member without an edge.

#include "vandrel/mincut/CompactNegMinCut.h"

#include "vandrel/graph/CompactGraph.h"

namespace {

const double kShiftFloor = -1.0;
const double kShiftMargin = 0.01;
const double kLightestBound = 1e8;
const double kGainBound = -1e8;
// Every move lowers the weight between the sides, so the passes end; this
// bound only guards against rounding making two moves undo each other.
const int kMaxPasses = 10000;

// Side codes; kNone only before the greedy assignment reaches a vertex.
const unsigned char kSideA = 0;
const unsigned char kSideB = 1;
const unsigned char kNone = 2;

class CPartition {
 public:
  CPartition(const CCompactGraph& graph, double missingWeight)
      : m_graph(graph), m_missing(missingWeight), m_sideOf(graph.GetVerticesNum(), kNone), m_size{0, 0} {}

  // Weights of v against side A ([0]) and side B ([1]).  Each accumulator
  // receives its side's weights in list order; adding 0.0 for the other
  // side's entries leaves it bit for bit as skipping them would (a sum that
  // starts at +0.0 never becomes -0.0).
  void Weights(int v, double* weight) const {
    double sum0 = 0.0, sum1 = 0.0;
    int edges0 = 0, edges1 = 0;
    const unsigned char* sideOf = m_sideOf.data();
    for (int list = 0; list < 2; ++list) {
      const CCompactGraph::Entry* entries = m_graph.List(v, list);
      const int size = m_graph.ListSize(v, list);
      for (int s = 0; s < size; ++s) {
        const unsigned char side = sideOf[entries[s].neighbour];
        const double w = entries[s].weight;
        sum0 += side == kSideA ? w : 0.0;
        sum1 += side == kSideB ? w : 0.0;
        edges0 += side == kSideA;
        edges1 += side == kSideB;
      }
    }
    const int others0 = m_size[kSideA] - (m_sideOf[v] == kSideA ? 1 : 0);
    const int others1 = m_size[kSideB] - (m_sideOf[v] == kSideB ? 1 : 0);
    weight[kSideA] = sum0 + (others0 - edges0) * m_missing;
    weight[kSideB] = sum1 + (others1 - edges1) * m_missing;
  }

  void Move(int v) {
    const unsigned char from = m_sideOf[v];
    --m_size[from];
    m_sideOf[v] = static_cast<unsigned char>(1 - from);
    ++m_size[1 - from];
  }

  // Moves the vertex whose move gains most (the first on ties).
  void BestSingleMove() {
    int best = -1;
    double bestGain = kGainBound;
    const int n = m_graph.GetVerticesNum();
    double weight[2];
    for (int u = 0; u < n; ++u) {
      const unsigned char own = m_sideOf[u];
      Weights(u, weight);
      const double diff = weight[1 - own] - weight[own];
      const double gain = diff > 0.0 ? diff : 0.0;
      if (gain > bestGain) {
        bestGain = gain;
        best = u;
      }
    }
    if (best >= 0) Move(best);
  }

  std::vector<int> Run() {
    std::vector<int> result;
    const int n = m_graph.GetVerticesNum();
    double heaviest = kShiftFloor;
    double bound = kLightestBound;
    int seedA = -1, seedB = -1;
    for (int i = 0; i < n; ++i) {
      const CCompactGraph::Entry* entries = m_graph.List(i, 0);
      const int size = m_graph.ListSize(i, 0);
      for (int s = 0; s < size; ++s) {
        const double w = entries[s].weight;
        if (w > heaviest) heaviest = w;
        if (w < bound) {
          bound = w;
          seedA = i;
          seedB = entries[s].neighbour;
        }
      }
    }
    const double shift = heaviest + kShiftMargin;
    // Without an edge there are no seeds: the side is empty.
    if (seedA < 0) return result;

    m_sideOf[seedA] = kSideA;
    m_sideOf[seedB] = kSideB;
    m_size[kSideA] = m_size[kSideB] = 1;
    double weight[2];
    for (int v = 0; v < n; ++v) {
      if (v == seedA || v == seedB) continue;
      Weights(v, weight);
      const double costA = m_size[kSideA] * shift - weight[kSideA];
      const double costB = m_size[kSideB] * shift - weight[kSideB];
      const unsigned char side =
          (costA > costB || (costA == costB && m_size[kSideA] >= m_size[kSideB])) ? kSideB : kSideA;
      m_sideOf[v] = side;
      ++m_size[side];
    }

    bool moved = true;
    for (int pass = 0; moved && pass < kMaxPasses; ++pass) {
      moved = false;
      for (int v = 0; v < n && m_size[kSideA] > 0 && m_size[kSideB] > 0; ++v) {
        const unsigned char own = m_sideOf[v];
        Weights(v, weight);
        if (weight[1 - own] > weight[own]) {
          if (m_size[own] == 1)
            BestSingleMove();
          else
            Move(v);
          moved = true;
        }
      }
    }

    for (int i = 0; i < n; ++i)
      if (m_sideOf[i] == kSideA) result.push_back(i);
    return result;
  }

 private:
  const CCompactGraph& m_graph;
  double m_missing;
  std::vector<unsigned char> m_sideOf;
  int m_size[2];
};

}  // namespace

std::vector<int> CompactNegMinCut(const CCompactGraph& graph, double missingWeight) {
  CPartition partition(graph, missingWeight);
  return partition.Run();
}
