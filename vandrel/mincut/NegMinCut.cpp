// Negative-weight two-way partition (a heuristic, not an exact minimum):
// seeds are the endpoints of the lightest edge; every other vertex joins the
// side it costs least against (each member of a side costs the shift, the
// heaviest edge weight, so that large sides do not attract everything);
// then passes move single vertices to the side they weigh more with, while
// any move helps.  Sides are kept by vertex index, and each vertex's edges
// as (neighbour index, weight) in adjacency order, so a weight is one scan.
// Cost: O(m) to set up, O(n + m) for the assignment and per pass; each move
// strictly lowers the complete weight between the sides.

#include "vandrel/mincut/NegMinCut.h"

#include "vandrel/graph/Graph.h"
#include "vandrel/graph/SimilarityGraph.h"

namespace {

const double kShiftFloor = -1.0;
const double kShiftMargin = 0.01;
const double kGainBound = -1e8;
// Every move lowers the weight between the sides, so the passes end; this
// bound only guards against rounding making two moves undo each other.
const int kMaxPasses = 10000;

const int kNoSide = -1;
const int kSideA = 0;
const int kSideB = 1;

}  // namespace

CNegMinCut::CNegMinCut() : m_graph(nullptr), m_shift(0.0), m_missingWeight(0.0), m_size{0, 0} {}

CNegMinCut::~CNegMinCut() {}

double CNegMinCut::Weight(int v, int side) const {
  double sum = 0.0;
  int edges = 0;
  for (const Neighbour& nb : m_neighbours[v]) {
    if (m_sideOf[nb.index] == side) {
      sum += nb.weight;
      ++edges;
    }
  }
  const int others = m_size[side] - (m_sideOf[v] == side ? 1 : 0);
  return sum + (others - edges) * m_missingWeight;
}

void CNegMinCut::Move(int v) {
  const int from = m_sideOf[v];
  --m_size[from];
  m_sideOf[v] = 1 - from;
  ++m_size[1 - from];
}

void CNegMinCut::BestSingleMove() {
  int best = -1;
  double bestGain = kGainBound;
  const int n = static_cast<int>(m_sideOf.size());
  for (int u = 0; u < n; ++u) {
    const int own = m_sideOf[u];
    const double diff = Weight(u, 1 - own) - Weight(u, own);
    const double gain = diff > 0.0 ? diff : 0.0;
    if (gain > bestGain) {
      bestGain = gain;
      best = u;
    }
  }
  if (best >= 0) Move(best);
}

std::list<int> CNegMinCut::Run(CComponent* component) {
  m_graph = component;
  std::list<int> result;
  const int n = m_graph->GetVerticesNum();

  double heaviest = kShiftFloor;
  for (int i = 0; i < n; ++i)
    for (const CEdge* e : m_graph->GetVByIndex(i)->m_edges[0])
      if (e->m_weight > heaviest) heaviest = e->m_weight;
  m_shift = heaviest + kShiftMargin;

  // Without an edge there are no seeds: the side is empty.
  const CEdge* lightest = m_graph->MinWeightEdge();
  if (lightest == nullptr) return result;
  m_missingWeight = m_graph->m_analyzer.GetMissingEdgeWeight();

  m_neighbours.assign(n, std::vector<Neighbour>());
  for (int i = 0; i < n; ++i) {
    const CVertex* v = m_graph->GetVByIndex(i);
    m_neighbours[i].reserve(v->m_edges[0].size() + v->m_edges[1].size());
    for (int list = 0; list < 2; ++list)
      for (const CEdge* e : v->m_edges[list]) {
        const CVertex* w = list == 0 ? e->m_v2 : e->m_v1;
        m_neighbours[i].push_back(Neighbour{m_graph->ID2Index(w->m_id), e->m_weight});
      }
  }

  m_sideOf.assign(n, kNoSide);
  m_size[kSideA] = 0;
  m_size[kSideB] = 0;
  const int seedA = m_graph->ID2Index(lightest->m_v1->m_id);
  const int seedB = m_graph->ID2Index(lightest->m_v2->m_id);
  m_sideOf[seedA] = kSideA;
  m_sideOf[seedB] = kSideB;
  m_size[kSideA] = m_size[kSideB] = 1;

  for (int v = 0; v < n; ++v) {
    if (v == seedA || v == seedB) continue;
    const double costA = m_size[kSideA] * m_shift - Weight(v, kSideA);
    const double costB = m_size[kSideB] * m_shift - Weight(v, kSideB);
    const int side = (costA > costB || (costA == costB && m_size[kSideA] >= m_size[kSideB])) ? kSideB : kSideA;
    m_sideOf[v] = side;
    ++m_size[side];
  }

  bool moved = true;
  for (int pass = 0; moved && pass < kMaxPasses; ++pass) {
    moved = false;
    for (int v = 0; v < n && m_size[kSideA] > 0 && m_size[kSideB] > 0; ++v) {
      const int own = m_sideOf[v];
      if (Weight(v, 1 - own) > Weight(v, own)) {
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
