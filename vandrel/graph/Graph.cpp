// Graph, vertices and edges: adjacency bookkeeping with swap-with-last
// removal, labels, layered breadth-first search, induced subgraphs and
// re-indexing over shared vertices.  See Graph.h for the costs.

#include "vandrel/graph/Graph.h"

#include <algorithm>
#include <cstddef>
#include <mutex>
#include <new>
#include <vector>

// ---------------------------------------------------------------- edge pool

namespace vandrel {
namespace {

// Free-list allocator for edge objects: dense components hold millions of
// edges, and they are created and destroyed in bulk.  Chunks are kept for
// reuse for the life of the process; each thread keeps a list of its own.
// Sanitizer builds use the global heap so that use-after-free of an edge is
// still detected.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kPoolEdges = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kPoolEdges = false;
#else
constexpr bool kPoolEdges = true;
#endif
#else
constexpr bool kPoolEdges = true;
#endif

struct FreeBlock {
  FreeBlock* next;
};

// A chain of free blocks handed between threads.
struct FreeChain {
  FreeBlock* head;
  size_t count;
};

// Free blocks that threads gave back: an edge may be freed by another thread
// than the one that allocated it (a graph built on one thread is worked on
// and destroyed on another), and the blocks must flow back to the threads
// that allocate.  Never destroyed: edges may outlive static destruction order.
class EdgeDepot {
public:
  void Put(FreeChain chain) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_chains.push_back(chain);
  }
  bool Take(FreeChain* chain) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_chains.empty()) return false;
    *chain = m_chains.back();
    m_chains.pop_back();
    return true;
  }

private:
  std::mutex m_mutex;
  std::vector<FreeChain> m_chains;
};

EdgeDepot& Depot() {
  static EdgeDepot* depot = new EdgeDepot();
  return *depot;
}

// One thread's free list.  Allocation and release touch only the thread's
// own list; a list that grows past kSpillCount blocks goes to the depot
// whole, and an empty list takes a chain from the depot before it cuts a new
// chunk.  Constant-initialized and trivially destructible, so that a
// thread's access needs no initialization check.
class EdgePool {
public:
  void* Allocate() {
    if (m_free == nullptr) Refill();
    FreeBlock* block = m_free;
    m_free = block->next;
    --m_count;
    // Freed blocks are scattered: fetch the next one while this is built.
    if (m_free != nullptr) __builtin_prefetch(m_free, 1);
    return block;
  }
  void Release(void* p) {
    FreeBlock* block = static_cast<FreeBlock*>(p);
    block->next = m_free;
    m_free = block;
    if (++m_count >= kSpillCount) Spill();
  }
  // Gives the whole list to the depot.
  void Spill() {
    if (m_free != nullptr) Depot().Put(FreeChain{m_free, m_count});
    m_free = nullptr;
    m_count = 0;
  }

private:
  static constexpr size_t kBlock =
      (sizeof(CEdge) + alignof(std::max_align_t) - 1) / alignof(std::max_align_t) * alignof(std::max_align_t);
  static constexpr size_t kPerChunk = 4096;
  static constexpr size_t kSpillCount = 4 * kPerChunk;

  void Refill();

  FreeBlock* m_free = nullptr;
  size_t m_count = 0;
};

thread_local EdgePool t_pool;

// Gives a thread's free list to the depot when the thread ends.  Touched
// only when the thread's list is refilled, off the fast path.
struct SpillAtThreadEnd {
  ~SpillAtThreadEnd() { t_pool.Spill(); }
};

void EdgePool::Refill() {
  static thread_local SpillAtThreadEnd spillAtEnd;
  (void)spillAtEnd;
  FreeChain chain;
  if (Depot().Take(&chain)) {
    m_free = chain.head;
    m_count = chain.count;
    return;
  }
  char* chunk = static_cast<char*>(::operator new(kBlock * kPerChunk));
  for (size_t i = kPerChunk; i-- > 0;) {
    FreeBlock* block = reinterpret_cast<FreeBlock*>(chunk + i * kBlock);
    block->next = m_free;
    m_free = block;
  }
  m_count = kPerChunk;
}

EdgePool& Pool() { return t_pool; }

}  // namespace
}  // namespace vandrel

void* CEdge::operator new(size_t size) {
  if (!vandrel::kPoolEdges || size != sizeof(CEdge)) return ::operator new(size);
  return vandrel::Pool().Allocate();
}

void CEdge::operator delete(void* p, size_t size) {
  if (p == nullptr) return;
  if (!vandrel::kPoolEdges || size != sizeof(CEdge)) {
    ::operator delete(p);
    return;
  }
  vandrel::Pool().Release(p);
}

// ---------------------------------------------------------------- CEdge

CEdge::CEdge(CVertex* a, CVertex* b, double weight) : m_v1(nullptr), m_v2(nullptr), m_weight(weight), m_flow(0.0) {
  m_slot[0] = m_slot[1] = -1;
  if (a == nullptr || b == nullptr) throw "CEdge constructor - one (or two) vertex empty";
  if (a == b) throw "CEdge constructor - self edge is illegal";
  if (a->m_id >= b->m_id) {
    m_v1 = b;
    m_v2 = a;
  } else {
    m_v1 = a;
    m_v2 = b;
  }
  m_v1->AddEdge(this);
  try {
    m_v2->AddEdge(this);
  } catch (...) {
    m_v1->RemoveEdge(this);
    throw;
  }
}

CEdge::~CEdge() {
  if (m_v1 != nullptr) m_v1->RemoveEdge(this);
  if (m_v2 != nullptr) m_v2->RemoveEdge(this);
  m_v1 = nullptr;
  m_v2 = nullptr;
}

// ---------------------------------------------------------------- CVertex

CVertex::CVertex(const std::string* data, unsigned int id, size_t reserve0, size_t reserve1)
    : m_data(data), m_id(id), m_weightSum(0.0), m_posEdgeCount(0), m_label(-1), m_work(-1) {
  m_edges[0].reserve(reserve0);
  m_edges[1].reserve(reserve1);
}

CVertex::~CVertex() { DeleteEdges(); }

void CVertex::SetLabel(int label) {
  if (m_label != -1 && m_label != label) throw "CVertex::SetLabel - vertex already labeled differently";
  if (label < 0) throw "CVertex::SetLabel - illegal label";
  m_label = label;
}

void CVertex::AddEdge(CEdge* e) {
  if (e == nullptr) throw "CVertex::AddEdge - No edge to add.";
  // The endpoint is recognised by identity: with distinct ids this is the
  // same as comparing ids, and two vertices sharing an id still get the edge
  // in opposite lists.
  const int list = (e->m_v1 == this) ? 0 : 1;
  try {
    m_edges[list].push_back(e);
  } catch (const std::bad_alloc&) {
    throw "CVertex::AddEdge - memory problem";
  }
  e->m_slot[list] = static_cast<int>(m_edges[list].size()) - 1;
  m_weightSum += e->m_weight;
  if (e->m_weight > 0) ++m_posEdgeCount;
}

CEdge* CVertex::FindEdge(const CVertex* other) const {
  if (other == nullptr) throw "CVertex::FindEdge - one vertex is empty";
  if (m_id < other->m_id) {
    for (CEdge* e : m_edges[0])
      if (e->m_v2 == other) return e;
  } else {
    for (CEdge* e : m_edges[1])
      if (e->m_v1 == other) return e;
  }
  return nullptr;
}

int CVertex::LocateEdge(const CEdge* e, int list) const {
  const std::vector<CEdge*>& edges = m_edges[list];
  const int slot = e->m_slot[list];
  if (slot >= 0 && slot < static_cast<int>(edges.size()) && edges[slot] == e) return slot;
  // The remembered slot is stale only if the list was edited directly.
  for (size_t k = 0; k < edges.size(); ++k)
    if (edges[k] == e) return static_cast<int>(k);
  return -1;
}

void CVertex::RemoveSlot(int list, int slot) {
  std::vector<CEdge*>& edges = m_edges[list];
  CEdge* last = edges.back();
  edges[slot] = last;
  last->m_slot[list] = slot;
  edges.pop_back();
}

void CVertex::RemoveEdge(CEdge* e) {
  if (e == nullptr) return;
  const int list = (e->m_v1 == this) ? 0 : 1;
  const int slot = LocateEdge(e, list);
  if (slot < 0) return;
  m_weightSum -= e->m_weight;
  if (e->m_weight > 0) --m_posEdgeCount;
  RemoveSlot(list, slot);
  e->m_slot[list] = -1;
}

void CVertex::DeleteEdges() {
  for (int list = 0; list < 2; ++list)
    while (!m_edges[list].empty()) delete m_edges[list].back();
  m_weightSum = 0.0;
  m_posEdgeCount = 0;
}

void CVertex::DeleteEdgesUpTo(int list, double threshold) {
  if (list != 0 && list != 1) throw "CVertex::DeleteEdgesUpTo - illegal list";
  std::vector<CEdge*>& edges = m_edges[list];
  size_t k = 0;
  while (k < edges.size()) {
    if (edges[k]->m_weight <= threshold)
      delete edges[k];  // the list's last entry moves into slot k
    else
      ++k;
  }
}

void CVertex::SetListOrder(int list, const std::vector<CEdge*>& edges) {
  if (list != 0 && list != 1) throw "CVertex::SetListOrder - illegal list";
  if (edges.size() != m_edges[list].size()) throw "CVertex::SetListOrder - not the same edges";
  m_edges[list].assign(edges.begin(), edges.end());
  for (size_t k = 0; k < edges.size(); ++k) edges[k]->m_slot[list] = static_cast<int>(k);
}

// ---------------------------------------------------------------- CGraph

CGraph::CGraph() : m_ownsVertices(true) {}

CGraph::CGraph(const CGraph& source, const std::vector<int>& indices) : m_ownsVertices(true) {
  BuildInduced(source, indices);
}

CGraph::CGraph(const CGraph& source, const std::list<int>& indices) : m_ownsVertices(true) {
  BuildInduced(source, std::vector<int>(indices.begin(), indices.end()));
}


CWorkMarksKeeper::CWorkMarksKeeper(const std::vector<CVertex*>& vertices) : m_vertices(vertices) {
  m_saved.reserve(vertices.size());
  for (const CVertex* v : vertices) m_saved.push_back(v != nullptr ? v->m_work : 0);
}

CWorkMarksKeeper::~CWorkMarksKeeper() {
  for (size_t i = 0; i < m_vertices.size(); ++i)
    if (m_vertices[i] != nullptr) m_vertices[i]->m_work = m_saved[i];
}

void CGraph::BuildInduced(const CGraph& source, const std::vector<int>& indices) {
  try {
    const size_t n = indices.size();
    m_vertices.reserve(n);
    // The kept source vertices' m_work marks them with their new index, so
    // that an edge's far end is looked up in its vertex; the other vertices
    // are not touched (their marks may hold anything: the id check below
    // tells them apart), so a small subgraph of a large graph costs only its
    // own size.  The earlier values come back when the copy is done.
    const std::vector<CVertex*> listed = source.ListedVertices(indices);
    CWorkMarksKeeper keeper(listed);
    for (CVertex* src : listed) {
      CVertex* v = new CVertex(src->m_data, src->m_id, std::min(src->m_edges[0].size(), n),
                               std::min(src->m_edges[1].size(), n));
      m_vertices.push_back(v);
      const int k = static_cast<int>(m_vertices.size()) - 1;
      m_idToIndex[v->m_id] = k;
      src->m_work = k;
    }
    for (size_t k = 0; k < n; ++k) {
      const CVertex* src = source.m_vertices[indices[k]];
      CVertex* v = m_vertices[k];
      for (const CEdge* e : src->m_edges[0]) {
        const int other = e->m_v2->m_work;
        // The id check keeps the mark of a vertex that is not kept out.
        if (other < 0 || static_cast<size_t>(other) >= n || m_vertices[other]->m_id != e->m_v2->m_id) continue;
        new CEdge(v, m_vertices[other], e->m_weight);
      }
    }
  } catch (const std::bad_alloc&) {
    DestroyOwned();
    throw "CGraph constructor - Memory problems";
  } catch (...) {
    DestroyOwned();
    throw;
  }
}

CGraph::CGraph(CGraph& source) : m_ownsVertices(source.m_ownsVertices) {
  try {
    m_vertices.reserve(source.m_vertices.size());
    for (CVertex* v : source.m_vertices) {
      if (v == nullptr) continue;
      m_vertices.push_back(v);
      m_idToIndex[v->m_id] = static_cast<int>(m_vertices.size()) - 1;
    }
  } catch (const std::bad_alloc&) {
    m_ownsVertices = false;
    throw "CGraph constructor - Memory problems";
  }
  if (m_ownsVertices) {
    source.m_ownsVertices = false;
    ClearLabels();
  }
}

CGraph::~CGraph() { DestroyOwned(); }

void CGraph::DestroyOwned() {
  if (!m_ownsVertices) return;
  // Unlink every edge first so that deleting it needs no list search.
  std::vector<CEdge*> edges;
  edges.reserve(static_cast<size_t>(GetEdgesNum()));
  for (CVertex* v : m_vertices) {
    if (v == nullptr) continue;
    edges.insert(edges.end(), v->m_edges[0].begin(), v->m_edges[0].end());
  }
  for (CVertex* v : m_vertices) {
    if (v == nullptr) continue;
    v->m_edges[0].clear();
    v->m_edges[1].clear();
  }
  for (CEdge* e : edges) {
    e->m_v1 = nullptr;
    e->m_v2 = nullptr;
    delete e;
  }
  for (CVertex* v : m_vertices) delete v;
  m_vertices.clear();
  m_idToIndex.Clear();
}

CVertex* CGraph::PushBackV(const std::string* data, unsigned int id) {
  if (m_idToIndex.Contains(id)) throw "CGraph::PushBackV - id is already in graph";
  try {
    CVertex* v = new CVertex(data, id, 4, 4);
    try {
      m_vertices.push_back(v);
    } catch (...) {
      delete v;
      throw;
    }
    m_idToIndex[id] = static_cast<int>(m_vertices.size()) - 1;
    return v;
  } catch (const std::bad_alloc&) {
    throw "CGraph::PushBackV - Memory problems";
  }
}

int CGraph::ID2Index(unsigned int id) const {
  CHashIter<int> it = m_idToIndex.Find(id);
  if (it == m_idToIndex.End()) throw "CGraph::ID2Index - id is not in graph";
  return it.GetConstPointed().second;
}

CVertex* CGraph::GetVByIndex(int index) const {
  if (static_cast<unsigned int>(index) >= m_vertices.size()) throw "CGraph::GetVByIndex - index is out of scope";
  return m_vertices[index];
}

std::vector<CVertex*> CGraph::ListedVertices(const std::vector<int>& indices) const {
  std::vector<CVertex*> listed;
  listed.reserve(indices.size());
  for (int index : indices) {
    CVertex* v = GetVByIndex(index);
    if (v == nullptr) throw "CGraph::GetVByIndex - index is out of scope";
    listed.push_back(v);
  }
  return listed;
}

long long CGraph::GetEdgesNum() const {
  long long count = 0;
  for (const CVertex* v : m_vertices)
    if (v != nullptr) count += static_cast<long long>(v->m_edges[0].size());
  return count;
}

void CGraph::ClearLabels() {
  for (CVertex* v : m_vertices)
    if (v != nullptr) v->m_label = -1;
}

void CGraph::ClearFlows() {
  for (CVertex* v : m_vertices) {
    if (v == nullptr) continue;
    for (CEdge* e : v->m_edges[0]) e->m_flow = 0.0;
  }
}

CGraph::BFSResult CGraph::BFS(CVertex* start, int label, double minWeight, int maxDepth) {
  if (start == nullptr) throw "CGraph::BFS - no start vertex";
  try {
    std::vector<CVertex*> current;
    std::vector<CVertex*> next;
    current.push_back(start);
    start->SetLabel(label);
    int depth = 0;
    CVertex* lastLayerVertex = start;
    size_t head = 0;
    while (head < current.size()) {
      CVertex* v = current[head];
      for (CEdge* e : v->m_edges[0]) {
        if (e->m_weight >= minWeight && e->m_v2->m_label != label) {
          e->m_v2->SetLabel(label);
          next.push_back(e->m_v2);
        }
      }
      for (CEdge* e : v->m_edges[1]) {
        if (e->m_weight >= minWeight && e->m_v1->m_label != label) {
          e->m_v1->SetLabel(label);
          next.push_back(e->m_v1);
        }
      }
      ++head;
      if (head == current.size() && !next.empty()) {
        current.swap(next);
        next.clear();
        head = 0;
        ++depth;
        lastLayerVertex = current.front();
        if (maxDepth > 0 && depth > maxDepth) break;
      }
    }
    return BFSResult(depth, lastLayerVertex);
  } catch (const std::bad_alloc&) {
    throw "CGraph::BFS - Memory problems";
  }
}

std::list<unsigned int> CGraph::GetIDsList() const {
  std::list<unsigned int> ids;
  for (const CVertex* v : m_vertices)
    if (v != nullptr) ids.push_back(v->m_id);
  return ids;
}

std::vector<unsigned int> CGraph::GetIDsVector() const {
  std::vector<unsigned int> ids;
  ids.reserve(m_vertices.size());
  for (const CVertex* v : m_vertices)
    if (v != nullptr) ids.push_back(v->m_id);
  return ids;
}

void CGraph::RebuildIDHash() {
  m_idToIndex = CIDHash<int>();
  for (size_t k = 0; k < m_vertices.size(); ++k)
    if (m_vertices[k] != nullptr) m_idToIndex[m_vertices[k]->m_id] = static_cast<int>(k);
}

std::list<unsigned int> CGraph::RemoveIsolatedVertices() {
  std::list<unsigned int> removed;
  std::vector<CVertex*> kept;
  kept.reserve(m_vertices.size());
  for (CVertex* v : m_vertices) {
    if (v == nullptr) continue;
    if (v->GetDegree() == 0) {
      removed.push_back(v->m_id);
      if (m_ownsVertices) delete v;
    } else {
      kept.push_back(v);
    }
  }
  m_vertices.swap(kept);
  RebuildIDHash();
  return removed;
}

void CGraph::DeleteVertices(const std::list<int>& indices) {
  DeleteVertices(std::vector<int>(indices.begin(), indices.end()));
}

void CGraph::DeleteVertices(const std::vector<int>& indices) {
  for (int index : indices) {
    CVertex* v = GetVByIndex(index);
    if (v == nullptr) continue;
    v->DeleteEdges();
    m_idToIndex.Erase(v->m_id);
    if (m_ownsVertices) delete v;
    m_vertices[index] = nullptr;
  }
}

CEdge* CGraph::MinWeightEdge() const {
  CEdge* best = nullptr;
  double bound = 1e8;
  for (const CVertex* v : m_vertices) {
    if (v == nullptr) continue;
    for (CEdge* e : v->m_edges[0]) {
      if (e->m_weight < bound) {
        bound = e->m_weight;
        best = e;
      }
    }
  }
  return best;
}
