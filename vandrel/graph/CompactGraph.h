#pragma once
// CCompactGraph: the adjacency of a CGraph subgraph in flat arrays, with no
// vertex or edge objects, for splitting large graphs into parts.  It keeps
// everything of the CGraph it stands for that the splitting can observe:
// per vertex its two lists (m_edges[0]: larger-id neighbours, m_edges[1]:
// smaller-id ones) in their exact orders, its weight sum with the same bits
// (the same additions and subtractions in the same order) and its positive
// edge count.  Each list entry holds the neighbour's index, the weight and
// the slot of the mirror entry in the neighbour's other list, so that an
// edge removal is the same O(1) swap-with-last as CGraph's.
//
// Vertex k also knows its origin: the index, in the graph the first compact
// graph was built from, of the vertex it stands for.
//
// Storage: one entry array; vertex k owns a region holding list 0 then list
// 1 at their initial sizes.  Lists only shrink, so removals work in place;
// DeleteAndCompact closes the gaps and gives the freed tail back, so that a
// graph that loses most of its vertices while its parts are worked on no
// longer holds its first size.
// Costs: building O(V + E) of the source subgraph (or graph); Induced O(V + E);
// DeleteAndCompact O(V + E).

#include <cstddef>
#include <cstdlib>
#include <vector>

class CGraph;

// A malloc'd array of trivially copyable elements that can be shortened in
// place (realloc), so that the released tail goes back to the allocator
// without a second copy of the rest.
template <class T>
class CShrinkableArray {
public:
  CShrinkableArray() = default;
  ~CShrinkableArray() { std::free(m_data); }
  CShrinkableArray(CShrinkableArray&& other) noexcept : m_data(other.m_data), m_size(other.m_size) {
    other.m_data = nullptr;
    other.m_size = 0;
  }
  CShrinkableArray& operator=(CShrinkableArray&& other) noexcept {
    if (this != &other) {
      std::free(m_data);
      m_data = other.m_data;
      m_size = other.m_size;
      other.m_data = nullptr;
      other.m_size = 0;
    }
    return *this;
  }
  CShrinkableArray(const CShrinkableArray&) = delete;
  CShrinkableArray& operator=(const CShrinkableArray&) = delete;

  // size zero-filled elements (the earlier ones are dropped); throws
  // std::bad_alloc.
  void Assign(std::size_t size);
  // Keeps the first `size` elements (size <= Size()).
  void ShrinkTo(std::size_t size);
  T* data() { return m_data; }
  const T* data() const { return m_data; }
  T& operator[](std::size_t k) { return m_data[k]; }
  const T& operator[](std::size_t k) const { return m_data[k]; }
  std::size_t Size() const { return m_size; }

private:
  T* m_data = nullptr;
  std::size_t m_size = 0;
};

class CCompactGraph {
public:
  struct Entry {
    int neighbour;  // vertex index in this graph
    int mirror;     // slot of this edge in the neighbour's other list
    double weight;
  };

  CCompactGraph() = default;
  CCompactGraph(CCompactGraph&&) = default;
  CCompactGraph& operator=(CCompactGraph&&) = default;
  CCompactGraph(const CCompactGraph&) = delete;
  CCompactGraph& operator=(const CCompactGraph&) = delete;

  // The subgraph of source induced by the listed vertex indices, exactly as
  // CGraph's induced construction orders and sums it: vertex k = indices[k];
  // list 0 = the source's list 0 filtered, in order; list 1 and the weight
  // sums in edge-creation order (for k in order, for each kept list-0 edge
  // of k in order, both endpoints).  The source vertices' m_work values are
  // used as marks and given back.
  static CCompactGraph FromGraph(const CGraph& source, const std::vector<int>& indices);

  // Every vertex of `graph` (no empty slots) with its lists exactly as they
  // stand, its weight sum and positive edge count: the graph itself, for
  // algorithms that read it in its own order.  Its m_work values are used as
  // marks and given back.
  static CCompactGraph FromOwnLists(const CGraph& graph);

  // The same induced copy of this graph over `indices` (local vertex
  // indices); origins carry over.
  CCompactGraph Induced(const std::vector<int>& indices) const;

  // What CGraph::DeleteVertices(indices) followed by the re-indexing
  // construction do: every listed vertex's edges are removed (list 0 from
  // its back, then list 1 from its back; each removal subtracts the weight
  // from the neighbour and moves the neighbour's last list entry into the
  // freed slot), then the survivors are renumbered in their order.
  void DeleteAndCompact(const std::vector<int>& indices);

  int GetVerticesNum() const { return static_cast<int>(m_origin.size()); }
  int ListSize(int v, int list) const { return m_size[list][v]; }
  const Entry* List(int v, int list) const { return m_entries.data() + m_begin[list][v]; }
  double GetWeightSum(int v) const { return m_weightSum[v]; }
  int GetPosEdgeCount(int v) const { return m_posEdgeCount[v]; }
  int GetOrigin(int v) const { return m_origin[v]; }
  // Number of edges (each counted once).
  long long GetEdgesNum() const;
  // Entries the graph holds storage for (two per edge after DeleteAndCompact).
  std::size_t StoredEntries() const { return m_entries.Size(); }

private:
  // Lays out regions for lists of the given sizes and sets every list empty.
  void Allocate(const std::vector<int>& size0, const std::vector<int>& size1);
  // Appends the edge between v (smaller id) and w, as edge creation does.
  void AddEdge(int v, int w, double weight);
  // Removes the entry at `slot` of v's list by swap-with-last, keeping the
  // moved entry's mirror up to date.
  void RemoveSlot(int v, int list, int slot);

  std::vector<int> m_origin;
  std::vector<std::size_t> m_begin[2];
  std::vector<int> m_size[2];
  std::vector<double> m_weightSum;
  std::vector<int> m_posEdgeCount;
  CShrinkableArray<Entry> m_entries;
};
