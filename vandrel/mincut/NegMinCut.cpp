// Negative-weight two-way partition (a heuristic, not an exact minimum):
// seeds are the endpoints of the lightest edge; every other vertex joins the
// side it costs least against (costs shifted by the heaviest edge so that
// larger sides are not favoured); then passes move single vertices to the
// side they weigh more with, while any move helps.
// Cost: O(n + m) for the assignment and per pass; each move strictly lowers
// the complete weight between the sides.

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

}  // namespace

CNegMinCut::CNegMinCut()
    : m_graph(nullptr), m_shift(0.0), m_missingWeight(0.0), m_sizeA(0), m_sizeB(0) {}

CNegMinCut::~CNegMinCut() {}

bool CNegMinCut::InSide(const CIDHash<bool>& side, const CVertex* v) const {
  return side.Contains(v->m_id) && side[v->m_id];
}

void CNegMinCut::Join(CIDHash<bool>* side, int* sideSize, const CVertex* v) {
  (*side)[v->m_id] = true;
  ++*sideSize;
}

void CNegMinCut::Leave(CIDHash<bool>* side, int* sideSize, const CVertex* v) {
  (*side)[v->m_id] = false;
  --*sideSize;
}

double CNegMinCut::Weight(const CVertex* v, const CIDHash<bool>& side, int sideSize) const {
  double sum = 0.0;
  int edges = 0;
  for (int list = 0; list < 2; ++list) {
    for (const CEdge* e : v->m_edges[list]) {
      const CVertex* w = list == 0 ? e->m_v2 : e->m_v1;
      if (InSide(side, w)) {
        sum += e->m_weight;
        ++edges;
      }
    }
  }
  const int others = sideSize - (InSide(side, v) ? 1 : 0);
  return sum + (others - edges) * m_missingWeight;
}

void CNegMinCut::Move(const CVertex* v) {
  if (InSide(m_a, v)) {
    Leave(&m_a, &m_sizeA, v);
    Join(&m_b, &m_sizeB, v);
  } else {
    Leave(&m_b, &m_sizeB, v);
    Join(&m_a, &m_sizeA, v);
  }
}

void CNegMinCut::BestSingleMove() {
  const CVertex* best = nullptr;
  double bestGain = kGainBound;
  const int n = m_graph->GetVerticesNum();
  for (int i = 0; i < n; ++i) {
    const CVertex* u = m_graph->GetVByIndex(i);
    const bool inA = InSide(m_a, u);
    const double own = inA ? Weight(u, m_a, m_sizeA) : Weight(u, m_b, m_sizeB);
    const double other = inA ? Weight(u, m_b, m_sizeB) : Weight(u, m_a, m_sizeA);
    const double gain = other - own > 0.0 ? other - own : 0.0;
    if (gain > bestGain) {
      bestGain = gain;
      best = u;
    }
  }
  if (best != nullptr) Move(best);
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

  m_a.Clear();
  m_b.Clear();
  m_sizeA = 0;
  m_sizeB = 0;
  Join(&m_a, &m_sizeA, lightest->m_v1);
  Join(&m_b, &m_sizeB, lightest->m_v2);

  for (int i = 0; i < n; ++i) {
    const CVertex* v = m_graph->GetVByIndex(i);
    if (v == lightest->m_v1 || v == lightest->m_v2) continue;
    const double costA = m_sizeA * m_shift - Weight(v, m_a, m_sizeA);
    const double costB = m_sizeB * m_shift - Weight(v, m_b, m_sizeB);
    if (costA > costB || (costA == costB && m_sizeA >= m_sizeB))
      Join(&m_b, &m_sizeB, v);
    else
      Join(&m_a, &m_sizeA, v);
  }

  bool moved = true;
  for (int pass = 0; moved && pass < kMaxPasses; ++pass) {
    moved = false;
    for (int i = 0; i < n && m_sizeA > 0 && m_sizeB > 0; ++i) {
      const CVertex* v = m_graph->GetVByIndex(i);
      const bool inA = InSide(m_a, v);
      const double own = inA ? Weight(v, m_a, m_sizeA) : Weight(v, m_b, m_sizeB);
      const double other = inA ? Weight(v, m_b, m_sizeB) : Weight(v, m_a, m_sizeA);
      if (other > own) {
        if ((inA ? m_sizeA : m_sizeB) == 1)
          BestSingleMove();
        else
          Move(v);
        moved = true;
      }
    }
  }

  for (int i = 0; i < n; ++i)
    if (InSide(m_a, m_graph->GetVByIndex(i))) result.push_back(i);
  return result;
}
