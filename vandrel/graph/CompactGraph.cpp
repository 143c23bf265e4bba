// Compact adjacency arrays of a subgraph: induced construction from a CGraph
// or from another compact graph, vertex deletion with swap-with-last removal
// and renumbering.  See CompactGraph.h for the orders kept and the costs.

#include "vandrel/graph/CompactGraph.h"

#include <new>
#include <type_traits>

#include "vandrel/graph/Graph.h"

template <class T>
void CShrinkableArray<T>::Assign(std::size_t size) {
  static_assert(std::is_trivially_copyable<T>::value, "elements are moved by realloc");
  std::free(m_data);
  m_data = nullptr;
  m_size = 0;
  if (size == 0) return;
  m_data = static_cast<T*>(std::calloc(size, sizeof(T)));
  if (m_data == nullptr) throw std::bad_alloc();
  m_size = size;
}

template <class T>
void CShrinkableArray<T>::ShrinkTo(std::size_t size) {
  if (size >= m_size) return;
  if (size == 0) {
    std::free(m_data);
    m_data = nullptr;
    m_size = 0;
    return;
  }
  // Shrinking keeps the block where it is or remaps its pages; a failure
  // leaves the longer block, which is still valid.
  T* shorter = static_cast<T*>(std::realloc(m_data, size * sizeof(T)));
  if (shorter != nullptr) m_data = shorter;
  m_size = size;
}

void CCompactGraph::Allocate(const std::vector<int>& size0, const std::vector<int>& size1) {
  const std::size_t n = size0.size();
  std::size_t total = 0;
  for (int list = 0; list < 2; ++list) {
    m_begin[list].assign(n, 0);
    m_size[list].assign(n, 0);
  }
  for (std::size_t k = 0; k < n; ++k) {
    m_begin[0][k] = total;
    total += static_cast<std::size_t>(size0[k]);
    m_begin[1][k] = total;
    total += static_cast<std::size_t>(size1[k]);
  }
  m_entries.Assign(total);
  m_weightSum.assign(n, 0.0);
  m_posEdgeCount.assign(n, 0);
}

void CCompactGraph::AddEdge(int v, int w, double weight) {
  const int slot0 = m_size[0][v]++;
  const int slot1 = m_size[1][w]++;
  m_entries[m_begin[0][v] + slot0] = Entry{w, slot1, weight};
  m_entries[m_begin[1][w] + slot1] = Entry{v, slot0, weight};
  m_weightSum[v] += weight;
  if (weight > 0) ++m_posEdgeCount[v];
  m_weightSum[w] += weight;
  if (weight > 0) ++m_posEdgeCount[w];
}

CCompactGraph CCompactGraph::FromGraph(const CGraph& source, const std::vector<int>& indices) {
  CCompactGraph g;
  const int n = static_cast<int>(indices.size());
  // Only the listed vertices are marked (and given their marks back); the
  // id check below tells any other vertex's mark apart.
  const std::vector<CVertex*> listed = source.ListedVertices(indices);
  CWorkMarksKeeper keeper(listed);
  g.m_origin.reserve(indices.size());
  for (int k = 0; k < n; ++k) {
    // A vertex listed twice keeps its last position, as in the induced
    // construction's marks.
    listed[k]->m_work = k;
    g.m_origin.push_back(indices[k]);
  }
  // The far end of a kept edge: its mark, checked against the id so that a
  // vertex listed twice is only reached at its marked position.
  auto keptEnd = [&](const CEdge* e) -> int {
    const int other = e->m_v2->m_work;
    if (other < 0 || other >= n || source.m_vertices[indices[other]]->m_id != e->m_v2->m_id) return -1;
    return other;
  };
  std::vector<int> size0(indices.size(), 0), size1(indices.size(), 0);
  for (int k = 0; k < n; ++k)
    for (const CEdge* e : source.m_vertices[indices[k]]->m_edges[0]) {
      const int other = keptEnd(e);
      if (other < 0) continue;
      ++size0[k];
      ++size1[other];
    }
  g.Allocate(size0, size1);
  for (int k = 0; k < n; ++k)
    for (const CEdge* e : source.m_vertices[indices[k]]->m_edges[0]) {
      const int other = keptEnd(e);
      if (other >= 0) g.AddEdge(k, other, e->m_weight);
    }
  return g;
}

CCompactGraph CCompactGraph::FromOwnLists(const CGraph& graph) {
  CCompactGraph g;
  const int n = graph.GetVerticesNum();
  CWorkMarksKeeper keeper(graph.m_vertices);
  std::vector<int> size0(static_cast<std::size_t>(n)), size1(static_cast<std::size_t>(n));
  g.m_origin.reserve(static_cast<std::size_t>(n));
  for (int k = 0; k < n; ++k) {
    CVertex* v = graph.GetVByIndex(k);
    if (v == nullptr) throw "CGraph::GetVByIndex - index is out of scope";
    v->m_work = k;
    g.m_origin.push_back(k);
    size0[k] = static_cast<int>(v->m_edges[0].size());
    size1[k] = static_cast<int>(v->m_edges[1].size());
  }
  g.Allocate(size0, size1);
  for (int k = 0; k < n; ++k) {
    const CVertex* v = graph.m_vertices[k];
    for (int list = 0; list < 2; ++list) {
      Entry* entries = g.m_entries.data() + g.m_begin[list][k];
      const std::vector<CEdge*>& edges = v->m_edges[list];
      // An edge's remembered slot in the far end's other list is its mirror.
      for (std::size_t s = 0; s < edges.size(); ++s) {
        const CEdge* e = edges[s];
        entries[s] = Entry{e->GetOther(v)->m_work, e->GetSlot(1 - list), e->m_weight};
      }
      g.m_size[list][k] = static_cast<int>(edges.size());
    }
    g.m_weightSum[k] = v->m_weightSum;
    g.m_posEdgeCount[k] = v->m_posEdgeCount;
  }
  return g;
}

CCompactGraph CCompactGraph::Induced(const std::vector<int>& indices) const {
  CCompactGraph g;
  const int n = static_cast<int>(indices.size());
  std::vector<int> local(m_origin.size(), -1);
  g.m_origin.reserve(indices.size());
  for (int k = 0; k < n; ++k) {
    local[indices[k]] = k;
    g.m_origin.push_back(m_origin[indices[k]]);
  }
  // A vertex listed twice: its edges go to its last position.
  auto keptEnd = [&](int w) { return local[w]; };
  std::vector<int> size0(indices.size(), 0), size1(indices.size(), 0);
  for (int k = 0; k < n; ++k) {
    const Entry* list = List(indices[k], 0);
    for (int s = 0; s < m_size[0][indices[k]]; ++s) {
      const int other = keptEnd(list[s].neighbour);
      if (other < 0) continue;
      ++size0[k];
      ++size1[other];
    }
  }
  g.Allocate(size0, size1);
  for (int k = 0; k < n; ++k) {
    const Entry* list = List(indices[k], 0);
    for (int s = 0; s < m_size[0][indices[k]]; ++s) {
      const int other = keptEnd(list[s].neighbour);
      if (other >= 0) g.AddEdge(k, other, list[s].weight);
    }
  }
  return g;
}

void CCompactGraph::RemoveSlot(int v, int list, int slot) {
  Entry* entries = m_entries.data() + m_begin[list][v];
  const int last = --m_size[list][v];
  const Entry moved = entries[last];
  entries[slot] = moved;
  // The moved edge's entry in its other endpoint's other list learns the
  // new slot.
  m_entries[m_begin[1 - list][moved.neighbour] + moved.mirror].mirror = slot;
}

void CCompactGraph::DeleteAndCompact(const std::vector<int>& indices) {
  const int n = GetVerticesNum();
  std::vector<char> deleted(m_origin.size(), 0);
  for (int v : indices) {
    if (v < 0 || v >= n) throw "CGraph::GetVByIndex - index is out of scope";
    if (deleted[v]) continue;
    deleted[v] = 1;
    for (int list = 0; list < 2; ++list) {
      while (m_size[list][v] > 0) {
        const Entry e = m_entries[m_begin[list][v] + m_size[list][v] - 1];
        // The edge leaves the neighbour's other list; v's own entry is the
        // last of its list and simply goes.
        m_weightSum[e.neighbour] -= e.weight;
        if (e.weight > 0) --m_posEdgeCount[e.neighbour];
        RemoveSlot(e.neighbour, 1 - list, e.mirror);
        --m_size[list][v];
      }
    }
  }
  std::vector<int> renumber(m_origin.size(), -1);
  int kept = 0;
  for (int v = 0; v < n; ++v)
    if (!deleted[v]) renumber[v] = kept++;
  // The survivors' lists move to the front in their order (regions only
  // ever move down, so the copy can run forward in place), then the tail is
  // given back.
  std::size_t end = 0;
  Entry* const data = m_entries.data();
  for (int v = 0; v < n; ++v) {
    const int to = renumber[v];
    if (to < 0) continue;
    for (int list = 0; list < 2; ++list) {
      const Entry* from = data + m_begin[list][v];
      Entry* into = data + end;
      const int size = m_size[list][v];
      for (int s = 0; s < size; ++s) {
        const Entry e = from[s];
        into[s] = Entry{renumber[e.neighbour], e.mirror, e.weight};
      }
      m_begin[list][to] = end;
      m_size[list][to] = size;
      end += static_cast<std::size_t>(size);
    }
    m_origin[to] = m_origin[v];
    m_weightSum[to] = m_weightSum[v];
    m_posEdgeCount[to] = m_posEdgeCount[v];
  }
  for (int list = 0; list < 2; ++list) {
    m_begin[list].resize(kept);
    m_size[list].resize(kept);
  }
  m_origin.resize(kept);
  m_weightSum.resize(kept);
  m_posEdgeCount.resize(kept);
  m_entries.ShrinkTo(end);
}

long long CCompactGraph::GetEdgesNum() const {
  long long count = 0;
  for (int s : m_size[0]) count += s;
  return count;
}

template class CShrinkableArray<CCompactGraph::Entry>;
