// Hao-Orlin minimum cut over all sinks: a single preflow-push pass in which
// the source set S grows one vertex at a time, the current sink is the
// lowest-labelled awake vertex, and gaps in the awake labels send whole
// groups of vertices to sleep in dormant layers.  The lightest sink cut seen
// (dormant vertices against awake ones) is the minimum cut.
// Cost: O(n^2 * m) in the worst case.  The component is copied once into
// arc arrays (head, edge) and an edge array (weight and flow, one place per
// edge that both its arcs read); labels, excesses, awake flags and the
// active lists live in arrays by working index.  The per-label id hashes
// are kept only for their iteration order, which decides the sink choice
// and the order of vertices in the dormant layers (and so the ties between
// equally light cuts).
//
// Valid labels: among awake vertices, an arc u -> x with a residual above
// the push floor has label(u) <= label(x) + 1.  A push runs down one label
// and only adds residual to the arc going up; a relabel takes 1 + the lowest
// label over the residual arcs; S never wakes; a layer goes to sleep with no
// residual arc into the vertices left awake, and wakes only when nothing
// else is awake.
//
// Current arcs: a discharge resumes at the vertex's current arc, because
// every earlier arc was found not admissible and none can have become
// admissible since, unless the vertex itself was relabelled (its position
// goes back to its first arc) or a layer woke (every position goes back).
// For an arc u -> x behind u's position: x rising to label(u) - 1 does not
// make it admissible, as the arc had no residual while x was lower (valid
// labels); its residual grows only through a push x -> u, which needs x one
// label above u, and after that the arc is admissible only with u above x
// again, which takes a relabel of u.  The flow S pushes out goes to vertices
// that never wake again.  So each discharge performs exactly the pushes of
// a scan from the first arc, and a relabel leaves the neighbours' positions
// where they are.
//
// Relabels: when a discharge has found no admissible arc left, v has no
// residual arc below its own label (valid labels), so the first residual
// arc at its own label settles the new label.

#include "vandrel/mincut/HaoOrlin.h"

#include <algorithm>
#include <climits>

#include "vandrel/graph/Graph.h"
#include "vandrel/graph/SimilarityGraph.h"
#include "vandrel/mincut/ArcLayout.h"

namespace {

// Pushes along a residual capacity at or below this are ignored.
const double kResidualEps = 1e-7;
// Starting bound of the best cut and of the relabelling minimum.
const double kBestBound = 1e8;
const int kLabelBound = 100000000;
// m_awakeLabel of a dormant vertex: never equal to a label, a label - 1 or a
// label + 1, and above kLabelBound, so that the relabelling minimum passes
// over it without a test of its own.
const int kAsleep = INT_MAX;
const int kNone = -1;

}  // namespace

CHaoOrlin::CHaoOrlin(HeadWidth width)
    : m_width(width),
      m_graph(nullptr),
      m_n(0),
      m_narrow(false),
      m_awakeCount(0),
      m_activeCount(0),
      m_maxActiveLabel(0) {}

CHaoOrlin::~CHaoOrlin() {}

void CHaoOrlin::BuildArcs() {
  CArcLayout layout;
  layout.BuildOffsets(m_graph);
  const int arcs = layout.ArcCount();
  m_narrow = m_width == kAutoHeads && m_n < kNarrowLimit;
  if (m_narrow) {
    m_head16.resize(arcs);
    m_head32.clear();
  } else {
    m_head32.resize(arcs);
    m_head16.clear();
  }
  m_edgeOf.resize(arcs);
  m_edge.resize(arcs / 2);
  uint16_t* head16 = m_head16.data();
  int* head32 = m_head32.data();
  const bool narrow = m_narrow;
  int edge = 0;
  layout.ForEachEdge(m_graph, [&](int i, int a, int j, int b, const CEdge* e) {
    if (narrow) {
      head16[a] = static_cast<uint16_t>(j);
      head16[b] = static_cast<uint16_t>(i);
    } else {
      head32[a] = j;
      head32[b] = i;
    }
    m_edgeOf[b] = edge;
    m_edge[edge] = EdgeFlow{e->m_weight, 0.0};
    ++edge;
  });
  m_firstArc.swap(layout.first);
  m_listSplit.swap(layout.listSplit);
  m_edgeShift.resize(m_n);
  int edgesBefore = 0;
  for (int i = 0; i < m_n; ++i) {
    m_edgeShift[i] = edgesBefore - m_firstArc[i];
    edgesBefore += m_listSplit[i] - m_firstArc[i];
  }
  m_id.resize(m_n);
  for (int i = 0; i < m_n; ++i) m_id[i] = m_graph->GetVByIndex(i)->m_id;
}

int CHaoOrlin::Initialize(int* firstSink) {
  m_label.assign(m_n, 1);
  int s = kNone;
  double bestSum = -1.0;
  for (int i = 0; i < m_n; ++i) {
    const CVertex* v = m_graph->GetVByIndex(i);
    if (v->m_weightSum < 0.0) throw "CHaoOrlin::Initialize - Hao-Orlin cannot handle negative weights";
    if (v->m_weightSum > bestSum) {
      bestSum = v->m_weightSum;
      s = i;
    }
  }

  int t = kNone;
  if (m_firstArc[s + 1] > m_firstArc[s]) {
    t = HeadOf(m_firstArc[s]);
    m_label[t] = 0;
  }
  *firstSink = t;

  m_layers.assign(m_n + 1, CIDHash<int>());
  m_labelCount.assign(m_n + 1, 0);
  m_excess.assign(m_n, 0.0);
  m_awakeLabel = m_label;
  for (int i = 0; i < m_n; ++i) {
    m_layers[m_label[i]][m_id[i]] = i;
    ++m_labelCount[m_label[i]];
  }
  m_awakeCount = m_n;
  m_currentArc.assign(m_firstArc.begin(), m_firstArc.end() - 1);
  m_activeHead.assign(m_n + 1, kNone);
  m_activeTail.assign(m_n + 1, kNone);
  m_activeNext.assign(m_n, kNone);
  m_activePrev.assign(m_n, kNone);
  m_isActive.assign(m_n, 0);
  m_activeCount = 0;
  m_maxActiveLabel = 0;
  m_dormant.assign(1, std::vector<int>());
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

  BuildArcs();
  int firstSink = kNone;
  const int s = Initialize(&firstSink);
  if (firstSink == kNone) {
    // The heaviest vertex has no edge, so every weight sum is 0: the
    // source alone is a cut of weight 0.
    WriteBack();
    result.push_back(s);
    return result;
  }

  double best = kBestBound;
  std::vector<int> bestSide;
  int next = s;
  bool firstPass = true;
  while (static_cast<int>(m_dormant[0].size()) < m_n - 1) {
    AddToSource(next);
    const int t = firstPass ? firstSink : SelectNewSink();
    firstPass = false;

    while (m_activeCount > 0) {
      // t cannot give a lighter cut than the best one any more.
      if (m_excess[t] >= best) break;
      const int v = HighestLabelActiveV();
      if (v == t)
        RemoveActive(v);
      else
        Discharge(v);
    }

    const double sinkExcess = m_excess[t];
    if (sinkExcess < best) {
      best = sinkExcess;
      bestSide.clear();
      for (const std::vector<int>& layer : m_dormant) bestSide.insert(bestSide.end(), layer.begin(), layer.end());
    }
    if (best <= 0.0) break;
    next = t;
  }

  WriteBack();
  result.assign(bestSide.begin(), bestSide.end());
  return result;
}

void CHaoOrlin::WriteBack() {
  int edge = 0;
  for (int i = 0; i < m_n; ++i) {
    CVertex* v = m_graph->GetVByIndex(i);
    v->m_label = m_label[i];
    // The edges are numbered in the order of the m_edges[0] lists.
    for (CEdge* e : v->m_edges[0]) e->m_flow = m_edge[edge++].flow;
  }
}

inline void CHaoOrlin::UpdateExcess(int w, double delta) {
  double& excess = m_excess[w];
  const double old = excess;
  excess += delta;
  if (excess < 0.0) throw "CHaoOrlin::UpdateExcess - negative excess is illegal";
  if (old == 0.0 && m_awakeLabel[w] != kAsleep) AddActive(w);
}

template <bool kFromV1>
void CHaoOrlin::Push(int edge, int w, double delta) {
  // The flow along an arc from the m_v2 is the negated edge flow, and
  // negation is exact: adding delta to it is subtracting delta from the
  // edge flow, to the last bit.
  if (kFromV1)
    m_edge[edge].flow += delta;
  else
    m_edge[edge].flow -= delta;
  UpdateExcess(w, delta);
}

void CHaoOrlin::AddToSource(int v) {
  RemoveActive(v);
  const int split = m_listSplit[v];
  const int end = m_firstArc[v + 1];
  for (int a = m_firstArc[v]; a < split; ++a) {
    const int edge = EdgeOf<true>(v, a);
    const double residual = Residual<true>(edge);
    if (residual > 0.0) Push<true>(edge, HeadOf(a), residual);
  }
  for (int a = split; a < end; ++a) {
    const int edge = EdgeOf<false>(v, a);
    const double residual = Residual<false>(edge);
    if (residual > 0.0) Push<false>(edge, HeadOf(a), residual);
  }
  PutToSleep(v, 0);
}

void CHaoOrlin::AddActive(int v) {
  // Only awake vertices with an excess are listed, each once: a vertex is
  // listed when its excess leaves 0 or it wakes with one, and unlisted when
  // it is discharged, relabelled or becomes a sink or part of S.
  if (m_isActive[v]) throw "CHaoOrlin::AddActive - vertex is already active";
  const int label = m_label[v];
  m_activePrev[v] = m_activeTail[label];
  m_activeNext[v] = kNone;
  if (m_activeTail[label] == kNone)
    m_activeHead[label] = v;
  else
    m_activeNext[m_activeTail[label]] = v;
  m_activeTail[label] = v;
  m_isActive[v] = 1;
  ++m_activeCount;
  if (label > m_maxActiveLabel) m_maxActiveLabel = label;
}

void CHaoOrlin::RemoveActive(int v) {
  if (!m_isActive[v]) return;
  const int label = m_label[v];
  const int prev = m_activePrev[v];
  const int next = m_activeNext[v];
  if (prev == kNone)
    m_activeHead[label] = next;
  else
    m_activeNext[prev] = next;
  if (next == kNone)
    m_activeTail[label] = prev;
  else
    m_activePrev[next] = prev;
  m_isActive[v] = 0;
  --m_activeCount;
  if (m_maxActiveLabel > 0 && m_activeHead[m_maxActiveLabel] == kNone) --m_maxActiveLabel;
}

int CHaoOrlin::HighestLabelActiveV() {
  if (m_activeCount == 0) throw "CHaoOrlin::HighestLabelActiveV - no active vertices exist";
  while (m_maxActiveLabel > 0 && m_activeHead[m_maxActiveLabel] == kNone) --m_maxActiveLabel;
  return m_activeHead[m_maxActiveLabel];
}

void CHaoOrlin::Discharge(int v) {
  if (m_narrow)
    DischargeWith(v, m_head16.data());
  else
    DischargeWith(v, m_head32.data());
}

template <class Head>
void CHaoOrlin::DischargeWith(int v, const Head* head) {
  double& excess = m_excess[v];
  const int split = m_listSplit[v];
  const int end = m_firstArc[v + 1];
  while (excess > 0.0) {
    // First pushed arc that kept a usable residual (a rounding remainder
    // above the push floor): it must be looked at again.
    int keep = end;
    int a = m_currentArc[v];
    bool ranOut = false;
    if (a < split) {
      ranOut = PushAlong<true>(v, head, &a, split, &keep, end);
      if (!ranOut) a = split;
    }
    if (!ranOut) ranOut = PushAlong<false>(v, head, &a, end, &keep, end);
    if (ranOut) {
      // The excess ran out at arc a, which may still be admissible.
      m_currentArc[v] = std::min(a, keep);
      break;
    }
    // A kept arc is still admissible, which the relabel has to see (and
    // refuse); otherwise none is left.
    if (RelabelOrSleep(v, head, keep == end)) break;
  }
  RemoveActive(v);
}

template <bool kFromV1, class Head>
bool CHaoOrlin::PushAlong(int v, const Head* head, int* arc, int stop, int* keep, int noKeep) {
  double& excess = m_excess[v];
  // Arcs into awake vertices one label below v are admissible.
  const int target = m_label[v] - 1;
  // Pushes do not move the label array: its address can stay in a register.
  const int* const awake = m_awakeLabel.data();
  for (int a = *arc; a < stop; ++a) {
    // Most heads sit at other labels: skip them in a tight loop.
    while (awake[head[a]] != target)
      if (++a == stop) break;
    if (a == stop) break;
    const int edge = EdgeOf<kFromV1>(v, a);
    const double residual = Residual<kFromV1>(edge);
    if (!(residual > kResidualEps)) continue;
    const double delta = residual < excess ? residual : excess;
    excess -= delta;
    Push<kFromV1>(edge, head[a], delta);
    if (!(excess > 0.0)) {
      *arc = a;
      return true;
    }
    if (*keep == noKeep && Residual<kFromV1>(edge) > kResidualEps) *keep = a;
  }
  *arc = stop;
  return false;
}

template <class Head>
bool CHaoOrlin::RelabelOrSleep(int v, const Head* head, bool noAdmissible) {
  const int label = m_label[v];
  if (m_labelCount[label] == 1) {
    // v is the only awake vertex with its label: everything at or above it
    // is cut off from the sink and goes to sleep together.
    PutToSleepFromLabel(label, static_cast<int>(m_dormant.size()));
    return true;
  }
  return !Relabel(v, head, noAdmissible);
}

template <bool kFromV1, class Head>
bool CHaoOrlin::LowerResidualLabel(int v, const Head* head, int begin, int stop, int floor, int* minLabel,
                                   int* firstArc) const {
  for (int a = begin; a < stop; ++a) {
    const int label = m_awakeLabel[head[a]];
    if (label < *minLabel && Residual<kFromV1>(EdgeOf<kFromV1>(v, a)) > kResidualEps) {
      *minLabel = label;
      *firstArc = a;
      if (label == floor) return true;
    }
  }
  return false;
}

template <class Head>
bool CHaoOrlin::Relabel(int v, const Head* head, bool noAdmissible) {
  const int oldLabel = m_label[v];
  // With no admissible arc left the first residual arc at v's own label
  // settles the minimum (see the file comment).
  const int floor = noAdmissible ? oldLabel : -1;
  int minLabel = kLabelBound;
  const int begin = m_firstArc[v];
  const int split = m_listSplit[v];
  const int end = m_firstArc[v + 1];
  // Dormant heads carry kAsleep, which is above the starting bound.
  // firstArc: the first residual arc at the lowest label, v's first
  // admissible arc once it is relabelled.
  int firstArc = begin;
  if (!LowerResidualLabel<true>(v, head, begin, split, floor, &minLabel, &firstArc))
    LowerResidualLabel<false>(v, head, split, end, floor, &minLabel, &firstArc);
  if (minLabel == kLabelBound) {
    PutToSleep(v, static_cast<int>(m_dormant.size()));
    return false;
  }
  const int newLabel = minLabel + 1;
  if (newLabel == oldLabel) throw "CHaoOrlin::Relabel - something is wrong: oldLabel == newLabel";
  if (newLabel > m_n) throw "CHaoOrlin::Relabel - label is out of scope";

  // The excess stays in its array; the label tables only move the id.
  m_layers[oldLabel].Erase(m_id[v]);
  m_layers[newLabel][m_id[v]] = v;
  RemoveActive(v);
  m_label[v] = newLabel;
  m_awakeLabel[v] = newLabel;
  AddActive(v);
  --m_labelCount[oldLabel];
  ++m_labelCount[newLabel];
  // No arc before firstArc is admissible at the new label: each leads to
  // another label or has no residual.  The neighbours' positions stay (see
  // the file comment).
  m_currentArc[v] = firstArc;
  return true;
}

void CHaoOrlin::PutToSleep(int v, int layer) {
  const int layers = static_cast<int>(m_dormant.size());
  if (layer != 0 && layer != layers - 1 && layer != layers) throw "CHaoOrlin::PutToSleep - illegal layer index";
  if (layer == layers) m_dormant.push_back(std::vector<int>());
  m_dormant[layer].push_back(v);
  m_awakeLabel[v] = kAsleep;
  --m_awakeCount;
  --m_labelCount[m_label[v]];
}

void CHaoOrlin::PutToSleepFromLabel(int from, int layer) {
  if (from < 0 || from > m_n) throw "CHaoOrlin::PutToSleepFromLabel - from label is illegal";
  for (int label = from; label <= m_n; ++label) {
    if (m_labelCount[label] == 0) continue;  // nobody awake to put to sleep
    const CIDHash<int>& ids = m_layers[label];
    for (CHashIter<int> it = ids.Begin(); it != ids.End(); ++it) {
      const int v = it.GetConstPointed().second;
      if (m_awakeLabel[v] != kAsleep) PutToSleep(v, layer);
    }
  }
}

int CHaoOrlin::AwakeLayer() {
  if (m_dormant.size() <= 1) throw "CHaoOrlin::AwakeLayer - layer 0 cannot be awaken";
  std::vector<int> layer;
  layer.swap(m_dormant.back());
  m_dormant.pop_back();
  int sink = kNone;
  for (int v : layer) {
    m_awakeLabel[v] = m_label[v];
    ++m_labelCount[m_label[v]];
    if (m_excess[v] > 0.0) AddActive(v);
    if (sink == kNone || m_label[v] < m_label[sink]) sink = v;
  }
  m_awakeCount += static_cast<int>(layer.size());
  // Arcs into the woken vertices may be admissible anywhere.
  std::copy(m_firstArc.begin(), m_firstArc.end() - 1, m_currentArc.begin());
  return sink;
}

int CHaoOrlin::SelectNewSink() {
  if (m_awakeCount == 0) return AwakeLayer();
  for (int label = 0; label <= m_n; ++label) {
    if (m_labelCount[label] == 0) continue;
    const CIDHash<int>& ids = m_layers[label];
    for (CHashIter<int> it = ids.Begin(); it != ids.End(); ++it) {
      const int v = it.GetConstPointed().second;
      if (m_awakeLabel[v] != kAsleep) return v;
    }
  }
  throw "CHaoOrlin::SelectNewSink - no awake vertex exists";
}
