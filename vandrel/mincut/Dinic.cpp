// Unit-capacity Dinic maximum flow between the far pair of a component.
// Each phase builds a layered network (breadth-first from the source over
// the arcs that can still carry a unit towards the sink) and saturates it
// with depth-first augmenting paths; the vertices of the last network,
// which no longer reaches the sink, form the source side of a minimum s-t
// cut (fewest crossing edges, weights are ignored).
// Cost: O(m) per phase for the layered network and O(m) per phase for the
// path searches: a copy's current edge only moves forward past edges that
// can never be taken again in the phase (edges into the copy, edges into
// dead ends); O(sqrt(m)) phases.
//
// The network's edge lists follow the rules of the graph's own adjacency
// lists (appended on creation, a removed entry replaced by the list's last
// one), since the depth-first order, and so the chosen paths and the final
// cut, depend on them.

#include "vandrel/mincut/Dinic.h"

#include "vandrel/graph/Graph.h"
#include "vandrel/graph/SimilarityGraph.h"

CDinic::CDinic() : m_graph(nullptr), m_copyCount(0), m_phase(0), m_stamp(0) {}

CDinic::~CDinic() {}

std::list<int> CDinic::Run(CComponent* component) {
  m_graph = component;
  std::list<int> result;
  const int n = m_graph->GetVerticesNum();
  bool hasEdge = false;
  for (int i = 0; i < n && !hasEdge; ++i) hasEdge = !m_graph->GetVByIndex(i)->m_edges[0].empty();
  // A single vertex or a graph without edges has nothing to cut.
  if (!hasEdge) return result;

  if (m_graph->m_farDepth < 0) m_graph->FindFarPair();
  if (m_graph->m_farSource == nullptr || m_graph->m_farSink == nullptr)
    throw "CDinic::Run - the component has no far pair";
  m_arcs.Build(m_graph, nullptr);
  m_flowOut.assign(m_arcs.ArcCount(), 0);
  m_id.resize(n);
  for (int i = 0; i < n; ++i) m_id[i] = m_graph->GetVByIndex(i)->m_id;
  m_visitedPhase.assign(n, 0);
  m_nextCopy.assign(n, -1);
  m_nextStamp.assign(n, 0);
  m_phase = 0;
  m_stamp = 0;

  while (BuildLayerNetwork()) {
    const int sinkCopy = m_copyCount - 1;
    // Each path carries one unit; an empty one would carry nothing.
    while (FindAugmentingPath(sinkCopy) && !m_path.empty()) Augment();
  }

  for (int k = 0; k < m_copyCount; ++k)
    if (m_copies[k].vertex >= 0) result.push_back(m_copies[k].vertex);
  WriteBack();
  return result;
}

void CDinic::WriteBack() {
  const int n = m_graph->GetVerticesNum();
  for (int i = 0; i < n; ++i) {
    int a = m_arcs.first[i];
    for (CEdge* e : m_graph->GetVByIndex(i)->m_edges[0]) e->m_flow = m_flowOut[a++];
  }
}

int CDinic::AddCopy(int vertex) {
  if (m_copyCount == static_cast<int>(m_copies.size())) m_copies.emplace_back();
  Copy& c = m_copies[m_copyCount];
  c.vertex = vertex;
  c.deadEnd = false;
  for (int list = 0; list < 2; ++list) {
    c.edges[list].clear();
    c.current[list] = 0;
  }
  return m_copyCount++;
}

void CDinic::AddNetEdge(int tailCopy, int headCopy, int arc) {
  const bool tailSmaller = m_id[m_copies[tailCopy].vertex] < m_id[m_copies[headCopy].vertex];
  NetEdge e;
  e.end[0] = tailSmaller ? tailCopy : headCopy;
  e.end[1] = tailSmaller ? headCopy : tailCopy;
  e.tail = tailCopy;
  e.arc = arc;
  e.used = false;
  const int index = static_cast<int>(m_netEdges.size());
  for (int list = 0; list < 2; ++list) {
    std::vector<int>& edges = m_copies[e.end[list]].edges[list];
    e.slot[list] = static_cast<int>(edges.size());
    edges.push_back(index);
  }
  m_netEdges.push_back(e);
}

bool CDinic::Skippable(int e, int c) const {
  const NetEdge& edge = m_netEdges[e];
  if (edge.tail != c) return true;
  const int head = edge.end[0] == c ? edge.end[1] : edge.end[0];
  return m_copies[head].deadEnd;
}

void CDinic::RemoveNetEdge(int edge) {
  for (int list = 0; list < 2; ++list) {
    const int c = m_netEdges[edge].end[list];
    std::vector<int>& edges = m_copies[c].edges[list];
    const size_t slot = static_cast<size_t>(m_netEdges[edge].slot[list]);
    const int moved = edges.back();
    edges[slot] = moved;
    m_netEdges[moved].slot[list] = static_cast<int>(slot);
    edges.pop_back();
    // The moved entry lands at the removed slot; the skipped prefix stays
    // valid unless an entry that may still be taken landed inside it.
    size_t& current = m_copies[c].current[list];
    if (slot < current) {
      if (moved != edge && !Skippable(moved, c))
        current = slot;
      else if (current > edges.size())
        current = edges.size();
    }
  }
}

void CDinic::DeleteCopy(int copy) {
  for (int list = 0; list < 2; ++list) {
    std::vector<int>& edges = m_copies[copy].edges[list];
    while (!edges.empty()) RemoveNetEdge(edges.back());
  }
  m_copies[copy].vertex = -1;
}

bool CDinic::BuildLayerNetwork() {
  const int s = m_graph->m_farSource->m_work;
  const int t = m_graph->m_farSink->m_work;
  ++m_phase;
  m_copyCount = 0;
  m_netEdges.clear();

  // A layer entry: the component vertex and its copy in the network.
  typedef std::pair<int, int> Entry;
  std::vector<Entry> layer(1, Entry(s, AddCopy(s)));
  std::vector<Entry> next;
  bool found = false;

  while (!layer.empty()) {
    for (const Entry& entry : layer) m_visitedPhase[entry.first] = m_phase;
    ++m_stamp;  // forgets the copies of the previous next layer
    next.clear();

    for (const Entry& entry : layer) {
      const int u = entry.first;
      const int uCopy = entry.second;
      const int end = m_arcs.first[u + 1];
      for (int a = m_arcs.first[u]; a < end; ++a) {
        if (m_flowOut[a] > 0) continue;  // its unit already flows to w
        const int w = m_arcs.head[a];
        // A visited t is the source itself (far pair of depth 0): it is
        // never reached.
        const bool wasVisited = m_visitedPhase[w] == m_phase;
        if (w == t && !found && !wasVisited) {
          // Nothing added to this layer so far can lead to t within this
          // network: drop those copies, from now on only t is added.
          for (const Entry& added : next) DeleteCopy(added.second);
          next.clear();
          ++m_stamp;
          found = true;
        }
        if (wasVisited) continue;
        if (found && w != t) continue;

        int wCopy;
        if (m_nextStamp[w] == m_stamp) {
          wCopy = m_nextCopy[w];
        } else {
          wCopy = AddCopy(w);
          m_nextStamp[w] = m_stamp;
          m_nextCopy[w] = wCopy;
          next.push_back(Entry(w, wCopy));
        }
        AddNetEdge(uCopy, wCopy, a);
      }
    }
    if (found) break;
    layer.swap(next);
  }
  return found;
}

bool CDinic::FindAugmentingPath(int sinkCopy) {
  // Iterative depth-first search with the visiting order of the recursive
  // one: at each copy, the edges of its list 0 and then of its list 1 in
  // list order, from its current edge on.  An edge is marked used while it
  // is on the current path and usable again when the search backs out of
  // it.  A copy that failed once cannot reach the sink for the rest of the
  // phase (the network only loses edges), so it is not entered again.
  struct Frame {
    int copy;
    int list;
    size_t position;
  };
  m_path.clear();
  std::vector<Frame> stack(1, Frame{0, 0, m_copies[0].current[0]});
  while (!stack.empty()) {
    Frame& top = stack.back();
    if (top.copy == sinkCopy) return true;

    Copy& c = m_copies[top.copy];
    int step = -1;
    while (step < 0 && top.list < 2) {
      const std::vector<int>& edges = c.edges[top.list];
      while (top.position < edges.size()) {
        const int e = edges[top.position++];
        const NetEdge& edge = m_netEdges[e];
        if (edge.tail != top.copy || edge.used) continue;
        const int head = edge.end[0] == top.copy ? edge.end[1] : edge.end[0];
        if (m_copies[head].deadEnd) continue;
        step = e;
        break;
      }
      if (step < 0) {
        c.current[top.list] = edges.size();
        ++top.list;
        top.position = top.list < 2 ? c.current[top.list] : 0;
      } else {
        c.current[top.list] = top.position - 1;
      }
    }

    if (step >= 0) {
      NetEdge& edge = m_netEdges[step];
      edge.used = true;
      m_path.push_back(step);
      const int head = edge.end[0] == top.copy ? edge.end[1] : edge.end[0];
      stack.push_back(Frame{head, 0, m_copies[head].current[0]});
    } else {
      c.deadEnd = true;
      stack.pop_back();
      if (!stack.empty()) {
        m_netEdges[m_path.back()].used = false;
        m_path.pop_back();
      }
    }
  }
  return false;
}

void CDinic::Augment() {
  for (int e : m_path) {
    const int arc = m_netEdges[e].arc;
    ++m_flowOut[arc];
    --m_flowOut[m_arcs.reverse[arc]];
    RemoveNetEdge(e);
  }
}
