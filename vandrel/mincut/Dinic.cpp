// Unit-capacity Dinic maximum flow between the far pair of a component.
// Each phase builds a layered network (breadth-first from the source over
// the edges that can still carry a unit towards the sink) and saturates it
// with depth-first augmenting paths; the vertices of the last network,
// which no longer reaches the sink, form the source side of a minimum s-t
// cut (fewest crossing edges, weights are ignored).
// Cost: O(m) per phase for the layered network and, with dead-end pruning,
// O(m) per phase for the path searches; O(sqrt(m)) phases.

#include "vandrel/mincut/Dinic.h"

#include <new>

#include "vandrel/graph/Graph.h"
#include "vandrel/graph/IDHash.h"
#include "vandrel/graph/SimilarityGraph.h"

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

CDinic::CDinic() : m_graph(nullptr) {}

CDinic::~CDinic() {}

std::list<int> CDinic::Run(CComponent* component) {
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

bool CDinic::BuildLayerNetwork() {
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

bool CDinic::FindAugmentingPath(CVertex* x, CVertex* t, std::vector<CEdge*>* path) {
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

void CDinic::Augment(const std::vector<CEdge*>& path) {
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
