#pragma once
// Undirected weighted graph of elements: CVertex (one element, its incident
// edges split by the neighbour's id), CEdge (weight and flow, oriented from
// the smaller to the larger id) and CGraph (vertices by local index, an id ->
// index hash, breadth-first search, subgraphs and re-indexing).
//
// Adjacency lists keep their specified order: edges are appended on creation
// and removal overwrites the removed slot with the list's last entry.  Each
// edge remembers its slot in both endpoint lists, so removal is O(1) instead
// of a scan; the resulting orders are the same as those of the scan.
// Costs: edge creation/removal O(1); BFS O(V + E); subgraph O(V + E).

#include <list>
#include <string>
#include <utility>
#include <vector>

#include "vandrel/graph/IDHash.h"

class CEdge;
class CGraph;

class CVertex {
public:
  // reserve0 / reserve1: room reserved in m_edges[0] / m_edges[1].
  CVertex(const std::string* data, unsigned int id, size_t reserve0 = 4, size_t reserve1 = 4);
  ~CVertex();
  CVertex(const CVertex&) = delete;
  CVertex& operator=(const CVertex&) = delete;

  unsigned int GetID() const { return m_id; }
  const std::string* GetData() const { return m_data; }
  double GetWeightSum() const { return m_weightSum; }
  int GetPosEdgeCount() const { return m_posEdgeCount; }
  int GetLabel() const { return m_label; }
  // Number of incident edges.
  int GetDegree() const { return static_cast<int>(m_edges[0].size() + m_edges[1].size()); }

  // Accepts a label >= 0 when the vertex is unlabelled or already carries it.
  void SetLabel(int label);

  // Appends e to m_edges[0] when this vertex is e's m_v1, else to m_edges[1].
  void AddEdge(CEdge* e);
  // The edge between this vertex and other, or null.
  CEdge* FindEdge(const CVertex* other) const;
  // Unlinks e from this vertex (the last entry of the list moves into its
  // slot); nothing happens when e is not listed here.
  void RemoveEdge(CEdge* e);
  // Deletes every incident edge (unlinking it from both endpoints).
  void DeleteEdges();
  // Walks m_edges[list] once, deleting every edge of weight <= threshold.
  void DeleteEdgesUpTo(int list, double threshold);
  // Replaces m_edges[list] by `edges`, the same edges in another order; each
  // edge remembers its new slot.  For builders that reproduce a list order
  // that edge creation alone does not give.
  void SetListOrder(int list, const std::vector<CEdge*>& edges);

  const std::string* m_data;  // not owned
  unsigned int m_id;
  double m_weightSum;
  int m_posEdgeCount;
  int m_label;
  // Dense index of the vertex in the graph an algorithm is working on, set
  // by that algorithm at its start so that per-vertex state can live in
  // arrays instead of id hashes; meaningless outside such a run.
  int m_work;
  // [0]: edges to neighbours with a larger id; [1]: to a smaller id.
  std::vector<CEdge*> m_edges[2];

private:
  // Slot of e in m_edges[list], or -1.
  int LocateEdge(const CEdge* e, int list) const;
  void RemoveSlot(int list, int slot);
};

class CEdge {
public:
  CEdge(CVertex* a, CVertex* b, double weight);
  virtual ~CEdge();
  CEdge(const CEdge&) = delete;
  CEdge& operator=(const CEdge&) = delete;

  // direction +1: flow from m_v1 towards m_v2; -1: the reverse.
  void AddFlow(double amount, int direction) { m_flow += direction * amount; }

  CVertex* GetV1() const { return m_v1; }
  CVertex* GetV2() const { return m_v2; }
  double GetWeight() const { return m_weight; }
  double GetFlow() const { return m_flow; }
  // The endpoint that is not v.
  CVertex* GetOther(const CVertex* v) const { return v == m_v1 ? m_v2 : m_v1; }
  // Remembered slot of this edge in m_v1->m_edges[0] (list 0) or
  // m_v2->m_edges[1] (list 1); callers check it against the list.
  int GetSlot(int list) const { return m_slot[list]; }

  // Small fixed-size pool for edges: dense graphs hold millions of them.
  static void* operator new(size_t size);
  static void operator delete(void* p, size_t size);

  CVertex* m_v1;  // smaller id
  CVertex* m_v2;  // larger id
  double m_weight;
  double m_flow;  // from m_v1 towards m_v2

private:
  friend class CVertex;
  friend class CGraph;
  // Slot of this edge in m_v1->m_edges[0] ([0]) and m_v2->m_edges[1] ([1]).
  int m_slot[2];
};

// Keeps the m_work values of a graph's vertices and puts them back when it
// goes out of scope, so that a routine may use them as scratch marks while
// callers that keep their own numbers there (super-component splitting) find
// them unchanged.
class CWorkMarksKeeper {
public:
  explicit CWorkMarksKeeper(const std::vector<CVertex*>& vertices);
  ~CWorkMarksKeeper();
  CWorkMarksKeeper(const CWorkMarksKeeper&) = delete;
  CWorkMarksKeeper& operator=(const CWorkMarksKeeper&) = delete;

private:
  const std::vector<CVertex*>& m_vertices;
  std::vector<int> m_saved;
};

class CGraph {
public:
  typedef std::pair<int, CVertex*> BFSResult;

  // Empty graph that owns its vertices.
  CGraph();
  // Subgraph induced by the listed vertex indices of source (new vertices and
  // edge copies, owned); new index = position in the list.
  CGraph(const CGraph& source, const std::vector<int>& indices);
  CGraph(const CGraph& source, const std::list<int>& indices);
  // Graph over the same vertex objects as source, skipping its null slots;
  // takes over ownership when source owned them (and then clears labels).
  explicit CGraph(CGraph& source);
  CGraph(const CGraph&) = delete;
  CGraph& operator=(const CGraph&) = delete;
  virtual ~CGraph();

  // Appends a new vertex (4 edge slots reserved per list); returns it.
  CVertex* PushBackV(const std::string* data, unsigned int id);
  int ID2Index(unsigned int id) const;
  bool HasID(unsigned int id) const { return m_idToIndex.Contains(id); }
  CVertex* GetVByIndex(int index) const;
  // The vertices at the listed indices, in list order; an index out of
  // range or at an empty slot throws "CGraph::GetVByIndex - index is out of
  // scope".
  std::vector<CVertex*> ListedVertices(const std::vector<int>& indices) const;
  int GetVerticesNum() const { return static_cast<int>(m_vertices.size()); }
  // Number of edges (each counted once).
  long long GetEdgesNum() const;

  void ClearLabels();
  void ClearFlows();
  // Labels every vertex reachable from start through edges of weight >=
  // minWeight, layer by layer; maxDepth <= 0 means unlimited.  Returns the
  // number of layers beyond start's and the first vertex of the last layer.
  BFSResult BFS(CVertex* start, int label, double minWeight, int maxDepth);

  std::list<unsigned int> GetIDsList() const;
  std::vector<unsigned int> GetIDsVector() const;

  // Removes the vertices without any edge (and null slots); the others are
  // renumbered from 0 in their order.  Returns the removed ids in index
  // order.  Virtual so that graphs with per-index data renumber it too.
  virtual std::list<unsigned int> RemoveIsolatedVertices();
  // Deletes the listed vertices with their edges, leaving null slots.
  void DeleteVertices(const std::list<int>& indices);
  void DeleteVertices(const std::vector<int>& indices);

  // Moves the listed vertices of source (indices in list order) into this
  // empty graph.  Both graphs end up as the induced copy CGraph(source,
  // indices) followed by source.DeleteVertices(indices) leaves them; when
  // most of source moves, its vertex and edge objects are taken over instead
  // of copied.  Virtual so that graphs with per-index data take theirs too.
  virtual void TakeInduced(CGraph& source, const std::vector<int>& indices);

  // Lightest edge (first of equal minima), or null when none is below 1e8.
  CEdge* MinWeightEdge() const;

  bool OwnsVertices() const { return m_ownsVertices; }

  std::vector<CVertex*> m_vertices;
  CIDHash<int> m_idToIndex;
  bool m_ownsVertices;

protected:
  // Builds the subgraph of source over the given indices into this (empty)
  // graph.  capReserves: cap adjacency reserves at the new vertex count.
  void BuildInduced(const CGraph& source, const std::vector<int>& indices);
  // TakeInduced without the copy: false (nothing changed) unless source owns
  // its vertices, the indices are valid and distinct, no two edges join the
  // same pair across the split and at most as many vertices stay as move.
  bool MoveInduced(CGraph& source, const std::vector<int>& indices);
  // Rebuilds m_idToIndex from m_vertices (null slots skipped).
  void RebuildIDHash();
  void DestroyOwned();
};
