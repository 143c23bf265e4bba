// The array-based Hao-Orlin and Dinic, and the negative-weight partition on
// compact lists, against the versions they replaced, kept here as the reference: both sides of every pair run
// on identical components and must return the same side, in the same order,
// and leave the same flow on every edge.  The random graphs cover dense and
// sparse, tied and untied weights, scrambled ids, adjacency lists reordered
// by edge removal, and 2 to 2,000 vertices.

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <list>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "CutTestGraphs.h"
#include "vandrel/graph/Graph.h"
#include "vandrel/graph/IDHash.h"
#include "vandrel/graph/SimilarityGraph.h"
#include "vandrel/mincut/Dinic.h"
#include "vandrel/mincut/HaoOrlin.h"
#include "vandrel/mincut/MinCut.h"
#include "vandrel/mincut/NegMinCut.h"

namespace reference {

// ---------------------------------------------------------------------------
// Reference Hao-Orlin: pointer-based state, every discharge scans all arcs.

// Hao-Orlin minimum cut: one preflow-push pass with dormant vertex layers
// finds the minimum cut over all sinks of a component with non-negative
// vertex weight sums.  Highest-label selection; the per-label id tables
// and the sink choice follow the id-hash iteration orders, which decide the
// ties between equally light cuts.
// Cost: O(n^2 * m) pushes and relabels in the worst case (n vertices, m
// edges); used up to 1000 vertices.




class RefHaoOrlin : public CMinCutAlg {
 public:
  RefHaoOrlin();
  ~RefHaoOrlin() override;
  std::list<int> Run(CComponent* component) override;

 private:
  // Labels, excess tables and the empty source set; returns the source and
  // stores the first sink in *firstSink (null when the source is isolated).
  CVertex* Initialize(CVertex** firstSink);
  void AddToSource(CVertex* v);
  CVertex* SelectNewSink();
  std::list<CVertex*> AwakeLayer();

  void Discharge(CVertex* v);
  // True when v went to sleep instead of getting a higher label.
  bool RelabelOrSleep(CVertex* v);
  bool Relabel(CVertex* v);
  void PutToSleep(CVertex* v, int layer);
  void PutToSleepFromLabel(int from, int layer);

  void UpdateExcess(CVertex* w, double delta);
  double Excess(const CVertex* v) const;
  bool IsAwake(const CVertex* v) const;
  void AddActive(CVertex* v);
  void RemoveActive(CVertex* v);
  CVertex* HighestLabelActiveV();
  CVertex* VertexOfID(unsigned int id) const;

  CComponent* m_graph;                          // not owned
  int m_n;                                      // vertex count
  std::vector<double> m_excess;                 // by working index
  std::vector<char> m_isAwake;                  // by working index: in W
  std::vector<int> m_activeIn;                  // by working index: entries in m_active
  int m_awakeCount;
  std::vector<int> m_labelCount;                // awake vertices per label
  std::vector<std::list<CVertex*>> m_active;    // active vertices per label
  int m_activeCount;
  int m_maxActiveLabel;                         // upper bound, see AddActive
  std::vector<std::list<CVertex*>> m_dormant;   // layer 0 = source set S
  // Per label: the ids carrying it, in id-hash order (values unused).
  std::vector<CIDHash<double>> m_layers;
};
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

RefHaoOrlin::RefHaoOrlin()
    : m_graph(nullptr), m_n(0), m_awakeCount(0), m_activeCount(0), m_maxActiveLabel(0) {}

RefHaoOrlin::~RefHaoOrlin() {}

CVertex* RefHaoOrlin::VertexOfID(unsigned int id) const {
  return m_graph->GetVByIndex(m_graph->ID2Index(id));
}

double RefHaoOrlin::Excess(const CVertex* v) const { return m_excess[v->m_work]; }

bool RefHaoOrlin::IsAwake(const CVertex* v) const { return m_isAwake[v->m_work] != 0; }

CVertex* RefHaoOrlin::Initialize(CVertex** firstSink) {
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

std::list<int> RefHaoOrlin::Run(CComponent* component) {
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

void RefHaoOrlin::AddToSource(CVertex* v) {
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

void RefHaoOrlin::UpdateExcess(CVertex* w, double delta) {
  double& excess = m_excess[w->m_work];
  const double old = excess;
  excess += delta;
  if (excess < 0.0) throw "CHaoOrlin::UpdateExcess - negative excess is illegal";
  if (old == 0.0 && IsAwake(w)) AddActive(w);
}

void RefHaoOrlin::AddActive(CVertex* v) {
  m_active[v->m_label].push_back(v);
  ++m_activeIn[v->m_work];
  ++m_activeCount;
  if (v->m_label > m_maxActiveLabel) m_maxActiveLabel = v->m_label;
}

void RefHaoOrlin::RemoveActive(CVertex* v) {
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

CVertex* RefHaoOrlin::HighestLabelActiveV() {
  if (m_activeCount == 0) throw "CHaoOrlin::HighestLabelActiveV - no active vertices exist";
  while (m_maxActiveLabel > 0 && m_active[m_maxActiveLabel].empty()) --m_maxActiveLabel;
  return m_active[m_maxActiveLabel].front();
}

void RefHaoOrlin::Discharge(CVertex* v) {
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

bool RefHaoOrlin::RelabelOrSleep(CVertex* v) {
  const int label = v->m_label;
  if (m_labelCount[label] == 1) {
    // v is the only awake vertex with its label: everything at or above it
    // is cut off from the sink and goes to sleep together.
    PutToSleepFromLabel(label, static_cast<int>(m_dormant.size()));
    return true;
  }
  return !Relabel(v);
}

bool RefHaoOrlin::Relabel(CVertex* v) {
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

void RefHaoOrlin::PutToSleep(CVertex* v, int layer) {
  const int layers = static_cast<int>(m_dormant.size());
  if (layer != 0 && layer != layers - 1 && layer != layers) throw "CHaoOrlin::PutToSleep - illegal layer index";
  if (layer == layers) m_dormant.push_back(std::list<CVertex*>());
  m_dormant[layer].push_back(v);
  m_isAwake[v->m_work] = 0;
  --m_awakeCount;
  --m_labelCount[v->m_label];
}

void RefHaoOrlin::PutToSleepFromLabel(int from, int layer) {
  if (from < 0 || from > m_n) throw "CHaoOrlin::PutToSleepFromLabel - from label is illegal";
  for (int label = from; label <= m_n; ++label) {
    const CIDHash<double>& excesses = m_layers[label];
    for (CHashIter<double> it = excesses.Begin(); it != excesses.End(); ++it) {
      CVertex* v = VertexOfID(it.GetConstPointed().first);
      if (IsAwake(v)) PutToSleep(v, layer);
    }
  }
}

std::list<CVertex*> RefHaoOrlin::AwakeLayer() {
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

CVertex* RefHaoOrlin::SelectNewSink() {
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

// ---------------------------------------------------------------------------
// Reference Dinic: each layered network is a graph of vertex copies and
// edge objects; every path search starts at each vertex's first edge.

// Unit-capacity Dinic maximum flow between the component's far pair (every
// edge carries at most one unit in each direction, whatever its weight);
// returns the source side of the resulting minimum s-t cut, i.e. the
// vertices that the source still reaches through usable edges.
// Cost: per phase one breadth-first pass plus depth-first path searches;
// O(m * sqrt(m)) overall for unit capacities.  Used above 1000 vertices.




class RefDinic : public CMinCutAlg {
 public:
  RefDinic();
  ~RefDinic() override;
  std::list<int> Run(CComponent* component) override;

 private:
  // Builds the next layered network from the far source; true when it
  // reached the far sink (whose copy is then the network's last vertex).
  bool BuildLayerNetwork();
  // Finds a path of usable network edges from x to t, in depth-first order
  // (edges to larger ids first, each list in its order).  Returns false when
  // there is none; on success the path's edges are left marked used.
  bool FindAugmentingPath(CVertex* x, CVertex* t, std::vector<CEdge*>* path);
  // Sends one unit along the path in the component and deletes the path's
  // network edges.
  void Augment(const std::vector<CEdge*>& path);

  CComponent* m_graph;               // not owned
  std::unique_ptr<CGraph> m_layerNet;  // current layered network
};
// Unit-capacity Dinic maximum flow between the far pair of a component.
// Each phase builds a layered network (breadth-first from the source over
// the edges that can still carry a unit towards the sink) and saturates it
// with depth-first augmenting paths; the vertices of the last network,
// which no longer reaches the sink, form the source side of a minimum s-t
// cut (fewest crossing edges, weights are ignored).
// Cost: O(m) per phase for the layered network and, with dead-end pruning,
// O(m) per phase for the path searches; O(sqrt(m)) phases.




namespace {

// Flow that crosses component edge e from its endpoint u to the other one.
double FlowFrom(const CEdge* e, const CVertex* u) { return u == e->m_v1 ? e->m_flow : -e->m_flow; }

// Network edge marks: usable from m_v1 to m_v2, usable from m_v2 to m_v1,
// or used.
const double kUsableForward = -1.0;
const double kUsableBackward = 1.0;
const double kUsed = 0.0;

// Whether network edge e, listed in x's adjacency list `list`, can still be
// taken away from x.
bool UsableFrom(const CEdge* e, int list) {
  return list == 0 ? e->m_flow == kUsableForward : e->m_flow == kUsableBackward;
}

double UsableMark(const CEdge* e, const CVertex* from) { return from == e->m_v1 ? kUsableForward : kUsableBackward; }

// Network vertices that cannot reach the sink in the current network carry
// this label (network vertices are otherwise unlabelled).
const int kDeadEnd = 1;

}  // namespace

RefDinic::RefDinic() : m_graph(nullptr) {}

RefDinic::~RefDinic() {}

std::list<int> RefDinic::Run(CComponent* component) {
  m_graph = component;
  std::list<int> result;
  bool hasEdge = false;
  for (int i = 0; i < m_graph->GetVerticesNum() && !hasEdge; ++i)
    hasEdge = !m_graph->GetVByIndex(i)->m_edges[0].empty();
  // A single vertex or a graph without edges has nothing to cut.
  if (!hasEdge) return result;

  m_graph->ClearFlows();
  if (m_graph->m_farDepth < 0) m_graph->FindFarPair();

  std::vector<CEdge*> path;
  while (BuildLayerNetwork()) {
    CVertex* source = m_layerNet->GetVByIndex(0);
    CVertex* sink = m_layerNet->m_vertices.back();
    // Each path carries one unit; an empty one would carry nothing.
    while (FindAugmentingPath(source, sink, &path) && !path.empty()) Augment(path);
  }

  for (const CVertex* v : m_layerNet->m_vertices)
    if (v != nullptr) result.push_back(m_graph->ID2Index(v->m_id));
  return result;
}

bool RefDinic::BuildLayerNetwork() {
  CVertex* s = m_graph->m_farSource;
  CVertex* t = m_graph->m_farSink;
  m_layerNet.reset();
  m_layerNet.reset(new (std::nothrow) CGraph());
  if (!m_layerNet) throw "CDinic::BuildLayerNetwork - memory problem";

  // A layer entry: the component vertex and its copy in the network.
  typedef std::pair<CVertex*, CVertex*> Entry;
  std::vector<Entry> layer(1, Entry(s, m_layerNet->PushBackV(s->m_data, s->m_id)));
  CIDHash<bool> visited;
  bool found = false;

  while (!layer.empty()) {
    for (const Entry& entry : layer) visited[entry.first->m_id] = true;
    CIDHash<int> nextIndex;  // id -> network index of its copy
    std::vector<Entry> next;

    for (const Entry& entry : layer) {
      CVertex* u = entry.first;
      CVertex* uCopy = entry.second;
      for (int list = 0; list < 2; ++list) {
        for (CEdge* e : u->m_edges[list]) {
          CVertex* w = list == 0 ? e->m_v2 : e->m_v1;
          if (FlowFrom(e, u) > 0.0) continue;  // its unit already flows to w

          // HandlePotentialV(w).  A visited t is the source itself (far
          // pair of depth 0): it is never reached.
          const CIDHash<bool>& seen = visited;
          const bool wasVisited = seen.Contains(w->m_id) && seen[w->m_id];
          if (w == t && !found && !wasVisited) {
            // Nothing added to this layer so far can lead to t within this
            // network: drop those copies, from now on only t is added.
            std::vector<int> copies;
            for (const Entry& added : next) copies.push_back(m_layerNet->ID2Index(added.second->m_id));
            m_layerNet->DeleteVertices(copies);
            next.clear();
            nextIndex.Clear();
            found = true;
          }
          if (wasVisited) continue;
          if (found && w != t) continue;

          CVertex* wCopy;
          if (nextIndex.Contains(w->m_id)) {
            const CIDHash<int>& index = nextIndex;
            wCopy = m_layerNet->GetVByIndex(index[w->m_id]);
          } else {
            wCopy = m_layerNet->PushBackV(w->m_data, w->m_id);
            nextIndex[w->m_id] = m_layerNet->GetVerticesNum() - 1;
            next.push_back(Entry(w, wCopy));
          }
          CEdge* netEdge = nullptr;
          try {
            netEdge = new CEdge(uCopy, wCopy, 1.0);
          } catch (const std::bad_alloc&) {
            throw "CDinic::HandlePotentialV - memory problem";
          }
          netEdge->m_flow = UsableMark(netEdge, uCopy);
        }
      }
    }
    if (found) break;
    layer.swap(next);
  }
  return found;
}

bool RefDinic::FindAugmentingPath(CVertex* x, CVertex* t, std::vector<CEdge*>* path) {
  // Iterative depth-first search with the visiting order of the recursive
  // one: at each vertex, the edges of m_edges[0] and then of m_edges[1] in
  // list order.  An edge is marked used while it is on the current path and
  // marked usable again when the search backs out of it.  A vertex that
  // failed once cannot reach t for the rest of the phase (the network only
  // loses edges), so it is not entered again.
  struct Frame {
    CVertex* vertex;
    int list;
    size_t position;
  };
  path->clear();
  std::vector<Frame> stack(1, Frame{x, 0, 0});
  while (!stack.empty()) {
    Frame& top = stack.back();
    if (top.vertex == t) return true;

    CEdge* step = nullptr;
    while (step == nullptr && top.list < 2) {
      const std::vector<CEdge*>& edges = top.vertex->m_edges[top.list];
      while (top.position < edges.size()) {
        CEdge* e = edges[top.position++];
        if (!UsableFrom(e, top.list)) continue;
        const CVertex* w = top.list == 0 ? e->m_v2 : e->m_v1;
        if (w->m_label == kDeadEnd) continue;
        step = e;
        break;
      }
      if (step == nullptr) {
        ++top.list;
        top.position = 0;
      }
    }

    if (step != nullptr) {
      CVertex* w = top.list == 0 ? step->m_v2 : step->m_v1;
      step->m_flow = kUsed;
      path->push_back(step);
      stack.push_back(Frame{w, 0, 0});
    } else {
      top.vertex->SetLabel(kDeadEnd);
      stack.pop_back();
      if (!stack.empty()) {
        CEdge* back = path->back();
        path->pop_back();
        back->m_flow = UsableMark(back, stack.back().vertex);
      }
    }
  }
  return false;
}

void RefDinic::Augment(const std::vector<CEdge*>& path) {
  CVertex* current = m_graph->m_farSource;
  for (CEdge* netEdge : path) {
    const unsigned int nextId = netEdge->m_v1->m_id == current->m_id ? netEdge->m_v2->m_id : netEdge->m_v1->m_id;
    CVertex* next = m_graph->GetVByIndex(m_graph->ID2Index(nextId));
    CEdge* e = current->FindEdge(next);
    e->AddFlow(1.0, current == e->m_v1 ? 1 : -1);
    delete netEdge;
    current = next;
  }
}

// ---------------------------------------------------------------------------
// Reference negative-weight partition: per-vertex neighbour vectors, each
// side's weight summed in its own scan.

class RefNegMinCut : public CMinCutAlg {
 public:
  std::list<int> Run(CComponent* component) override;

 private:
  struct Neighbour {
    int index;
    double weight;
  };
  double Weight(int v, int side) const;
  void Move(int v);
  void BestSingleMove();

  double m_missingWeight = 0.0;
  std::vector<int> m_sideOf;
  int m_size[2] = {0, 0};
  std::vector<std::vector<Neighbour>> m_neighbours;
};

namespace {
const int kNoSide = -1;
const int kSideA = 0;
const int kSideB = 1;
}  // namespace

double RefNegMinCut::Weight(int v, int side) const {
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

void RefNegMinCut::Move(int v) {
  const int from = m_sideOf[v];
  --m_size[from];
  m_sideOf[v] = 1 - from;
  ++m_size[1 - from];
}

void RefNegMinCut::BestSingleMove() {
  int best = -1;
  double bestGain = -1e8;
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

std::list<int> RefNegMinCut::Run(CComponent* graph) {
  std::list<int> result;
  const int n = graph->GetVerticesNum();
  double heaviest = -1.0;
  for (int i = 0; i < n; ++i)
    for (const CEdge* e : graph->GetVByIndex(i)->m_edges[0])
      if (e->m_weight > heaviest) heaviest = e->m_weight;
  const double shift = heaviest + 0.01;
  const CEdge* lightest = graph->MinWeightEdge();
  if (lightest == nullptr) return result;
  m_missingWeight = graph->m_analyzer.GetMissingEdgeWeight();

  m_neighbours.assign(n, std::vector<Neighbour>());
  for (int i = 0; i < n; ++i) {
    const CVertex* v = graph->GetVByIndex(i);
    for (int list = 0; list < 2; ++list)
      for (const CEdge* e : v->m_edges[list]) {
        const CVertex* w = list == 0 ? e->m_v2 : e->m_v1;
        m_neighbours[i].push_back(Neighbour{graph->ID2Index(w->m_id), e->m_weight});
      }
  }

  m_sideOf.assign(n, kNoSide);
  const int seedA = graph->ID2Index(lightest->m_v1->m_id);
  const int seedB = graph->ID2Index(lightest->m_v2->m_id);
  m_sideOf[seedA] = kSideA;
  m_sideOf[seedB] = kSideB;
  m_size[kSideA] = m_size[kSideB] = 1;
  for (int v = 0; v < n; ++v) {
    if (v == seedA || v == seedB) continue;
    const double costA = m_size[kSideA] * shift - Weight(v, kSideA);
    const double costB = m_size[kSideB] * shift - Weight(v, kSideB);
    const int side = (costA > costB || (costA == costB && m_size[kSideA] >= m_size[kSideB])) ? kSideB : kSideA;
    m_sideOf[v] = side;
    ++m_size[side];
  }

  bool moved = true;
  for (int pass = 0; moved && pass < 10000; ++pass) {
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
}  // namespace reference

using cuttest::WEdge;

namespace {

// A test graph: vertex ids, the edges, and edges removed again before the
// cut runs (their removal reorders the adjacency lists as pruning does).
struct GraphCase {
  std::vector<unsigned int> ids;
  std::vector<WEdge> edges;
  bool withRemovals = false;
};

// Weight below every real one: the edges that are removed again.
const double kRemovedWeight = -1000.0;

double TieWeight(cuttest::Gen& gen) { return static_cast<double>(gen.Below(3)); }
double IntWeight(cuttest::Gen& gen) { return 1.0 + gen.Below(9); }
double RealWeight(cuttest::Gen& gen) { return 0.05 + 4.0 * gen.Unit(); }
// Weights of both signs, and of both signs with many ties, as the negative
// cuts of kernel finding see them.
double SignedWeight(cuttest::Gen& gen) { return -3.0 + 6.0 * gen.Unit(); }
double SignedTieWeight(cuttest::Gen& gen) { return static_cast<double>(gen.Below(5)) - 2.0; }
// Many nearly equal weights, as between genes of one shared profile.
double ProfileWeight(cuttest::Gen& gen) { return 2.0 + 0.001 * gen.Below(4); }

// A random spanning tree plus every other pair with probability density;
// with removals, about one pair in four gets an edge that is removed again.
GraphCase RandomGraphCase(int n, double density, double (*weight)(cuttest::Gen&), bool scrambled, bool removals,
                cuttest::Gen& gen) {
  GraphCase tc;
  tc.ids = scrambled ? cuttest::ScrambledIds(n, gen) : cuttest::PlainIds(n);
  tc.withRemovals = removals;
  std::vector<char> linked(static_cast<size_t>(n) * n, 0);
  for (int i = 1; i < n; ++i) {
    const int j = gen.Below(i);
    tc.edges.push_back({i, j, weight(gen)});
    linked[static_cast<size_t>(j) * n + i] = 1;
  }
  for (int i = 0; i < n; ++i) {
    for (int j = i + 1; j < n; ++j) {
      if (linked[static_cast<size_t>(i) * n + j]) continue;
      if (gen.Unit() < density)
        tc.edges.push_back({i, j, weight(gen)});
      else if (removals && gen.Below(4) == 0)
        tc.edges.push_back({i, j, kRemovedWeight});
    }
  }
  // Edges are created in random order, so lists are not sorted by id.
  for (size_t k = tc.edges.size(); k > 1; --k) std::swap(tc.edges[k - 1], tc.edges[gen.Below(static_cast<int>(k))]);
  return tc;
}

std::unique_ptr<CComponent> Build(const GraphCase& tc) {
  std::unique_ptr<CComponent> comp = cuttest::MakeComponent(tc.ids, tc.edges);
  if (tc.withRemovals) {
    for (int i = 0; i < comp->GetVerticesNum(); ++i) {
      CVertex* v = comp->GetVByIndex(i);
      v->DeleteEdgesUpTo(0, kRemovedWeight / 2);
    }
  }
  return comp;
}

struct Outcome {
  std::list<int> side;
  std::string error;
  std::vector<double> flows;  // every edge, by vertex index and list order
  std::vector<int> labels;    // by vertex index
};

template <class Alg>
Outcome RunOn(CComponent* comp, int source, int sink) {
  if (source >= 0) {
    comp->m_farDepth = 3;
    comp->m_farSource = comp->GetVByIndex(source);
    comp->m_farSink = comp->GetVByIndex(sink);
  }
  Outcome out;
  Alg alg;
  try {
    out.side = alg.Run(comp);
  } catch (const char* message) {
    out.error = message;
  }
  for (int i = 0; i < comp->GetVerticesNum(); ++i)
    for (const CEdge* e : comp->GetVByIndex(i)->m_edges[0]) out.flows.push_back(e->m_flow);
  for (int i = 0; i < comp->GetVerticesNum(); ++i) out.labels.push_back(comp->GetVByIndex(i)->m_label);
  return out;
}

// Runs both algorithms on copies of the graph; source >= 0 fixes the pair
// (Dinic), otherwise Dinic searches its far pair.  Returns false on the
// first difference (after reporting it).
template <class Fast, class Ref>
bool SameCut(const GraphCase& tc, const std::string& what, int source = -1, int sink = -1) {
  std::unique_ptr<CComponent> fastComp = Build(tc);
  std::unique_ptr<CComponent> refComp = Build(tc);
  const Outcome fast = RunOn<Fast>(fastComp.get(), source, sink);
  const Outcome ref = RunOn<Ref>(refComp.get(), source, sink);
  EXPECT_EQ(fast.error, ref.error) << what;
  EXPECT_EQ(fast.side, ref.side) << what;
  EXPECT_EQ(fast.flows.size(), ref.flows.size()) << what;
  size_t differing = 0;
  for (size_t k = 0; k < fast.flows.size() && k < ref.flows.size(); ++k)
    if (!(fast.flows[k] == ref.flows[k])) ++differing;
  EXPECT_EQ(differing, 0u) << what << ": edges with another flow";
  // Labels are the algorithms' results only when they complete.
  const bool sameLabels = !fast.error.empty() || fast.labels == ref.labels;
  EXPECT_TRUE(sameLabels) << what << ": vertices with another label";
  return fast.error == ref.error && fast.side == ref.side && differing == 0 && sameLabels;
}

struct Family {
  const char* name;
  double (*weight)(cuttest::Gen&);
};
const Family kFamilies[] = {
    {"tied", TieWeight}, {"integer", IntWeight}, {"real", RealWeight}, {"profile", ProfileWeight}};

// Sizes and densities of one sweep: many small graphs, fewer large ones.
struct Sweep {
  int minN;
  int maxN;
  int rounds;
  double minDensity;
  double maxDensity;
};

template <class Fast, class Ref>
void RunSweeps(const Sweep* sweeps, size_t count, uint64_t seed, bool pairs) {
  cuttest::Gen gen(seed);
  int graphs = 0;
  for (size_t s = 0; s < count; ++s) {
    const Sweep& sweep = sweeps[s];
    for (int round = 0; round < sweep.rounds; ++round) {
      const Family& f = kFamilies[round % 4];
      const int n = sweep.minN + gen.Below(sweep.maxN - sweep.minN + 1);
      const double density = sweep.minDensity + (sweep.maxDensity - sweep.minDensity) * gen.Unit();
      const bool scrambled = gen.Below(2) == 0;
      const bool removals = gen.Below(3) == 0;
      const GraphCase tc = RandomGraphCase(n, density, f.weight, scrambled, removals, gen);
      int source = -1, sink = -1;
      if (pairs && gen.Below(2) == 0) {
        source = gen.Below(n);
        sink = gen.Below(5) == 0 ? source : gen.Below(n);
      }
      const std::string what = std::string(f.name) + " n=" + std::to_string(n) + " density=" +
                               std::to_string(density) + " scrambled=" + std::to_string(scrambled) +
                               " removals=" + std::to_string(removals) + " pair=" + std::to_string(source) +
                               "," + std::to_string(sink) + " sweep " + std::to_string(s) + " round " +
                               std::to_string(round);
      ++graphs;
      if (!SameCut<Fast, Ref>(tc, what, source, sink)) return;
    }
  }
  EXPECT_GT(graphs, 0);
}

}  // namespace

namespace {

// Hao-Orlin with 32-bit arc heads, the layout it takes for components too
// large for 16-bit ones.
class WideHeadsHaoOrlin : public CHaoOrlin {
 public:
  WideHeadsHaoOrlin() : CHaoOrlin(CHaoOrlin::kWideHeads) {}
};

const Sweep kHaoOrlinSweeps[] = {
    {2, 12, 1200, 0.0, 1.0},  {13, 60, 600, 0.0, 1.0}, {60, 200, 80, 0.02, 1.0},
    {200, 450, 8, 0.05, 1.0}, {700, 1000, 1, 0.6, 0.9},
};

}  // namespace

TEST(CutReferenceTest, HaoOrlinMatchesTheReferenceSideForSide) {
  RunSweeps<CHaoOrlin, reference::RefHaoOrlin>(kHaoOrlinSweeps, sizeof(kHaoOrlinSweeps) / sizeof(kHaoOrlinSweeps[0]),
                                               20261210, false);
}

TEST(CutReferenceTest, HaoOrlinWithWideHeadsMatchesTheReferenceSideForSide) {
  RunSweeps<WideHeadsHaoOrlin, reference::RefHaoOrlin>(
      kHaoOrlinSweeps, sizeof(kHaoOrlinSweeps) / sizeof(kHaoOrlinSweeps[0]), 20261211, false);
}

TEST(CutReferenceTest, DinicMatchesTheReferenceSideForSide) {
  const Sweep sweeps[] = {
      {2, 12, 1200, 0.0, 1.0},    {13, 80, 600, 0.0, 1.0},      {80, 400, 60, 0.01, 1.0},
      {1000, 2000, 4, 0.002, 0.05}, {1200, 1600, 2, 0.3, 0.6},
  };
  RunSweeps<CDinic, reference::RefDinic>(sweeps, sizeof(sweeps) / sizeof(sweeps[0]), 1412, true);
}

TEST(CutReferenceTest, NegativeWeightSumsFailAlike) {
  // A negative edge makes some weight sums negative: both refuse alike.
  cuttest::Gen gen(99);
  for (int round = 0; round < 50; ++round) {
    GraphCase tc = RandomGraphCase(3 + round % 20, 0.4, IntWeight, true, false, gen);
    tc.edges[gen.Below(static_cast<int>(tc.edges.size()))].w = -40.0;
    if (!SameCut<CHaoOrlin, reference::RefHaoOrlin>(tc, "round " + std::to_string(round))) return;
  }
}

TEST(CutReferenceTest, NegativeWeightPartitionMatchesTheReferenceSideForSide) {
  cuttest::Gen gen(7031);
  const int sizes[][3] = {{2, 12, 600}, {13, 80, 300}, {80, 300, 20}};  // min n, max n, rounds
  for (const auto& size : sizes) {
    for (int round = 0; round < size[2]; ++round) {
      const int n = size[0] + gen.Below(size[1] - size[0] + 1);
      const double density = gen.Unit();
      const bool ties = gen.Below(2) == 0;
      const bool removals = gen.Below(3) == 0;
      const GraphCase tc = RandomGraphCase(n, density, ties ? SignedTieWeight : SignedWeight,
                                           gen.Below(2) == 0, removals, gen);
      const std::string what = "n=" + std::to_string(n) + " density=" + std::to_string(density) +
                               " ties=" + std::to_string(ties) + " removals=" + std::to_string(removals);
      if (!SameCut<CNegMinCut, reference::RefNegMinCut>(tc, what)) return;
    }
  }
}
