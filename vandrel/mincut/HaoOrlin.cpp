// Hao-Orlin minimum cut over all sinks: a single preflow-push pass in which
// the source set S grows one vertex at a time, the current sink is the
// lowest-labelled awake vertex, and gaps in the awake labels send whole
// groups of vertices to sleep in dormant layers.  The lightest sink cut seen
// (dormant vertices against awake ones) is the minimum cut.
// Cost: O(n^2 * m) in the worst case.  Excesses, awake flags and active
// counts live in arrays indexed by the vertices' working index; the per-label
// id hashes are kept only for their iteration order, which decides the sink
// choice and the order of vertices in the dormant layers (and so the ties
// between equally light cuts).

#include "vandrel/mincut/HaoOrlin.h"

#include <algorithm>
#include <iterator>

#include "vandrel/graph/Graph.h"
#include "vandrel/graph/SimilarityGraph.h"

namespace {

// Pushes along a residual capacity at or below this are ignored.
const double kResidualEps = 1e-7;
// Starting bound of the best cut and of the relabelling minimum.
const double kBestBound = 1e8;
const int kLabelBound = 100000000;

// Residual capacity of edge e from its endpoint v to the other endpoint.
double Residual(const CEdge* e, const CVertex* v) {
  return v == e->m_v1 ? e->m_weight - e->m_flow : e->m_weight + e->m_flow;
}

// Direction argument of CEdge::AddFlow for flow leaving v along e.
int DirectionFrom(const CEdge* e, const CVertex* v) { return v == e->m_v1 ? 1 : -1; }

CVertex* OtherEnd(const CEdge* e, int list) { return list == 0 ? e->m_v2 : e->m_v1; }

}  // namespace

CHaoOrlin::CHaoOrlin()
    : m_graph(nullptr), m_n(0), m_awakeCount(0), m_activeCount(0), m_maxActiveLabel(0) {}

CHaoOrlin::~CHaoOrlin() {}

CVertex* CHaoOrlin::VertexOfID(unsigned int id) const {
  return m_graph->GetVByIndex(m_graph->ID2Index(id));
}

double CHaoOrlin::Excess(const CVertex* v) const { return m_excess[v->m_work]; }

bool CHaoOrlin::IsAwake(const CVertex* v) const { return m_isAwake[v->m_work] != 0; }

CVertex* CHaoOrlin::Initialize(CVertex** firstSink) {
  CVertex* s = nullptr;
  double bestSum = -1.0;
  for (int i = 0; i < m_n; ++i) {
    CVertex* v = m_graph->GetVByIndex(i);
    v->m_work = i;
    v->SetLabel(1);
    if (v->m_weightSum < 0.0) throw "CHaoOrlin::Initialize - Hao-Orlin cannot handle negative weights";
    if (v->m_weightSum > bestSum) {
      bestSum = v->m_weightSum;
      s = v;
    }
  }

  CVertex* t = nullptr;
  if (!s->m_edges[0].empty())
    t = s->m_edges[0][0]->m_v2;
  else if (!s->m_edges[1].empty())
    t = s->m_edges[1][0]->m_v1;
  if (t != nullptr) {
    t->m_label = -1;
    t->SetLabel(0);
  }
  *firstSink = t;

  m_layers.assign(m_n + 1, CIDHash<double>());
  m_labelCount.assign(m_n + 1, 0);
  m_excess.assign(m_n, 0.0);
  m_isAwake.assign(m_n, 1);
  m_activeIn.assign(m_n, 0);
  for (int i = 0; i < m_n; ++i) {
    CVertex* v = m_graph->GetVByIndex(i);
    m_layers[v->m_label][v->m_id] = 0.0;
    ++m_labelCount[v->m_label];
  }
  m_awakeCount = m_n;
  m_active.assign(m_n + 1, std::list<CVertex*>());
  m_activeCount = 0;
  m_maxActiveLabel = 0;
  m_dormant.assign(1, std::list<CVertex*>());
  return s;
}

std::list<int> CHaoOrlin::Run(CComponent* component) {
  m_graph = component;
  m_n = component->GetVerticesNum();
  std::list<int> result;
  bool hasEdge = false;
  for (int i = 0; i < m_n && !hasEdge; ++i) hasEdge = !m_graph->GetVByIndex(i)->m_edges[0].empty();
  // A single vertex or a graph without edges has nothing to cut.
  if (m_n < 2 || !hasEdge) return result;

  m_graph->ClearFlows();
  m_graph->ClearLabels();
  CVertex* firstSink = nullptr;
  CVertex* s = Initialize(&firstSink);
  if (firstSink == nullptr) {
    // The heaviest vertex has no edge, so every weight sum is 0: the
    // source alone is a cut of weight 0.
    result.push_back(m_graph->ID2Index(s->m_id));
    return result;
  }

  double best = kBestBound;
  std::vector<std::list<CVertex*>> bestDormant;
  CVertex* next = s;
  bool firstPass = true;
  while (static_cast<int>(m_dormant[0].size()) < m_n - 1) {
    AddToSource(next);
    CVertex* t = firstPass ? firstSink : SelectNewSink();
    firstPass = false;

    while (m_activeCount > 0) {
      // t cannot give a lighter cut than the best one any more.
      if (Excess(t) >= best) break;
      CVertex* v = HighestLabelActiveV();
      if (v == t)
        RemoveActive(v);
      else
        Discharge(v);
    }

    const double sinkExcess = Excess(t);
    if (sinkExcess < best) {
      best = sinkExcess;
      bestDormant = m_dormant;
    }
    if (best <= 0.0) break;
    next = t;
  }

  for (const std::list<CVertex*>& layer : bestDormant)
    for (const CVertex* v : layer) result.push_back(m_graph->ID2Index(v->m_id));
  return result;
}

void CHaoOrlin::AddToSource(CVertex* v) {
  RemoveActive(v);
  for (int list = 0; list < 2; ++list) {
    for (CEdge* e : v->m_edges[list]) {
      const double residual = Residual(e, v);
      if (residual > 0.0) {
        e->AddFlow(residual, DirectionFrom(e, v));
        UpdateExcess(OtherEnd(e, list), residual);
      }
    }
  }
  PutToSleep(v, 0);
}

void CHaoOrlin::UpdateExcess(CVertex* w, double delta) {
  double& excess = m_excess[w->m_work];
  const double old = excess;
  excess += delta;
  if (excess < 0.0) throw "CHaoOrlin::UpdateExcess - negative excess is illegal";
  if (old == 0.0 && IsAwake(w)) AddActive(w);
}

void CHaoOrlin::AddActive(CVertex* v) {
  m_active[v->m_label].push_back(v);
  ++m_activeIn[v->m_work];
  ++m_activeCount;
  if (v->m_label > m_maxActiveLabel) m_maxActiveLabel = v->m_label;
}

void CHaoOrlin::RemoveActive(CVertex* v) {
  int& occurrences = m_activeIn[v->m_work];
  if (occurrences == 0) return;
  std::list<CVertex*>& list = m_active[v->m_label];
  std::list<CVertex*>::iterator it;
  if (occurrences == 1) {
    // Listed once: searching from the back (where AddActive put it) finds
    // the same entry as a search from the front.
    auto rit = std::find(list.rbegin(), list.rend(), v);
    it = rit == list.rend() ? list.end() : std::prev(rit.base());
  } else {
    it = std::find(list.begin(), list.end(), v);
  }
  if (it == list.end()) return;
  list.erase(it);
  --occurrences;
  --m_activeCount;
  if (m_maxActiveLabel > 0 && m_active[m_maxActiveLabel].empty()) --m_maxActiveLabel;
}

CVertex* CHaoOrlin::HighestLabelActiveV() {
  if (m_activeCount == 0) throw "CHaoOrlin::HighestLabelActiveV - no active vertices exist";
  while (m_maxActiveLabel > 0 && m_active[m_maxActiveLabel].empty()) --m_maxActiveLabel;
  return m_active[m_maxActiveLabel].front();
}

void CHaoOrlin::Discharge(CVertex* v) {
  while (Excess(v) > 0.0) {
    for (int list = 0; list < 2; ++list) {
      for (CEdge* e : v->m_edges[list]) {
        double& excess = m_excess[v->m_work];
        if (!(excess > 0.0)) break;
        CVertex* w = OtherEnd(e, list);
        const double residual = Residual(e, v);
        if (v->m_label == w->m_label + 1 && residual > kResidualEps && IsAwake(w)) {
          const double delta = residual < excess ? residual : excess;
          e->AddFlow(delta, DirectionFrom(e, v));
          excess -= delta;
          UpdateExcess(w, delta);
        }
      }
    }
    if (Excess(v) > 0.0 && RelabelOrSleep(v)) break;
  }
  RemoveActive(v);
}

bool CHaoOrlin::RelabelOrSleep(CVertex* v) {
  const int label = v->m_label;
  if (m_labelCount[label] == 1) {
    // v is the only awake vertex with its label: everything at or above it
    // is cut off from the sink and goes to sleep together.
    PutToSleepFromLabel(label, static_cast<int>(m_dormant.size()));
    return true;
  }
  return !Relabel(v);
}

bool CHaoOrlin::Relabel(CVertex* v) {
  const int oldLabel = v->m_label;
  int minLabel = kLabelBound;
  for (int list = 0; list < 2; ++list) {
    for (const CEdge* e : v->m_edges[list]) {
      const CVertex* w = OtherEnd(e, list);
      if (IsAwake(w) && Residual(e, v) > kResidualEps && w->m_label < minLabel) minLabel = w->m_label;
    }
  }
  if (minLabel == kLabelBound) {
    PutToSleep(v, static_cast<int>(m_dormant.size()));
    return false;
  }
  const int newLabel = minLabel + 1;
  if (newLabel == oldLabel) throw "CHaoOrlin::Relabel - something is wrong: oldLabel == newLabel";
  if (newLabel > m_n) throw "CHaoOrlin::Relabel - label is out of scope";

  // The excess stays in its array; the label tables only move the id.
  m_layers[oldLabel].Erase(v->m_id);
  m_layers[newLabel][v->m_id] = 0.0;
  RemoveActive(v);
  v->m_label = -1;
  v->SetLabel(newLabel);
  AddActive(v);
  --m_labelCount[oldLabel];
  ++m_labelCount[newLabel];
  return true;
}

void CHaoOrlin::PutToSleep(CVertex* v, int layer) {
  const int layers = static_cast<int>(m_dormant.size());
  if (layer != 0 && layer != layers - 1 && layer != layers) throw "CHaoOrlin::PutToSleep - illegal layer index";
  if (layer == layers) m_dormant.push_back(std::list<CVertex*>());
  m_dormant[layer].push_back(v);
  m_isAwake[v->m_work] = 0;
  --m_awakeCount;
  --m_labelCount[v->m_label];
}

void CHaoOrlin::PutToSleepFromLabel(int from, int layer) {
  if (from < 0 || from > m_n) throw "CHaoOrlin::PutToSleepFromLabel - from label is illegal";
  for (int label = from; label <= m_n; ++label) {
    const CIDHash<double>& excesses = m_layers[label];
    for (CHashIter<double> it = excesses.Begin(); it != excesses.End(); ++it) {
      CVertex* v = VertexOfID(it.GetConstPointed().first);
      if (IsAwake(v)) PutToSleep(v, layer);
    }
  }
}

std::list<CVertex*> CHaoOrlin::AwakeLayer() {
  if (m_dormant.size() <= 1) throw "CHaoOrlin::AwakeLayer - layer 0 cannot be awaken";
  std::list<CVertex*> layer;
  layer.swap(m_dormant.back());
  m_dormant.pop_back();
  for (CVertex* v : layer) {
    m_isAwake[v->m_work] = 1;
    ++m_labelCount[v->m_label];
    if (Excess(v) > 0.0) AddActive(v);
  }
  m_awakeCount += static_cast<int>(layer.size());
  return layer;
}

CVertex* CHaoOrlin::SelectNewSink() {
  if (m_awakeCount == 0) {
    const std::list<CVertex*> woken = AwakeLayer();
    CVertex* sink = nullptr;
    for (CVertex* v : woken)
      if (sink == nullptr || v->m_label < sink->m_label) sink = v;
    return sink;
  }
  for (int label = 0; label <= m_n; ++label) {
    const CIDHash<double>& excesses = m_layers[label];
    for (CHashIter<double> it = excesses.Begin(); it != excesses.End(); ++it) {
      CVertex* v = VertexOfID(it.GetConstPointed().first);
      if (IsAwake(v)) return v;
    }
  }
  throw "CHaoOrlin::SelectNewSink - no awake vertex exists";
}
