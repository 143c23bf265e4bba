// Splitting a large component into super components over rising edge-weight
// thresholds, with one maximum spanning forest answering every level.  See
// SuperCompSplitter.h for the costs.
#include "vandrel/engine/SuperCompSplitter.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <new>

#include "vandrel/graph/SimilarityGraph.h"
#include "vandrel/stats/NormDistrib.h"
#include "vandrel/stats/SimDistrib.h"

namespace {

// Drop level of a forest edge that every level keeps, and the split level of
// a piece without such an edge.
constexpr int kNever = std::numeric_limits<int>::max();
// Split level not known yet: the next level searches the piece.
constexpr int kUnknown = -2;
// The level whose threshold is -1.0: what is still too large is screened.
constexpr int kScreenLevel = -1;
constexpr double kScreenThreshold = -1.0;
// More pieces than this share of the parent's elements send the pieces that
// are still too large to screening.
constexpr double kTooManyPiecesShare = 0.2;

// Union-find over dense vertex numbers (path halving, union by size).
class CDisjointSets {
 public:
  explicit CDisjointSets(int n) : m_parent(n), m_size(n, 1) {
    for (int i = 0; i < n; ++i) m_parent[i] = i;
  }
  int Find(int x) {
    while (m_parent[x] != x) {
      m_parent[x] = m_parent[m_parent[x]];
      x = m_parent[x];
    }
    return x;
  }
  // Joins the sets of a and b; false when they were one set already.
  bool Unite(int a, int b) {
    a = Find(a);
    b = Find(b);
    if (a == b) return false;
    if (m_size[a] < m_size[b]) std::swap(a, b);
    m_parent[b] = a;
    m_size[a] += m_size[b];
    return true;
  }

 private:
  std::vector<int> m_parent;
  std::vector<int> m_size;
};

}  // namespace

template <class T>
CSuperCompSplitter<T>::CSuperCompSplitter(unsigned int minPieceSize,
                                          unsigned int maxSuperCompSize)
    : m_minPieceSize(minPieceSize), m_maxSuperCompSize(maxSuperCompSize) {}

template <class T>
void CSuperCompSplitter<T>::Split(const COwningHandle<Component>& handle, double t, double d,
                                  std::vector<std::vector<unsigned int>>* superComps,
                                  IDList* remained) {
  COwningHandle<Component> component(handle);
  m_superComps = superComps;
  m_remained = remained;
  m_step = d;
  m_thresholds.assign(1, t);
  try {
    if (static_cast<unsigned int>(component->GetVerticesNum()) > m_maxSuperCompSize)
      BuildForest(*component, t, d);
  } catch (const std::bad_alloc&) {
    throw "CSuperZelk executer :: CreateSuperCompsIDsLists - memory problem";
  }
  SplitPiece(component, 0, kUnknown);
}

template <class T>
int CSuperCompSplitter<T>::DropLevel(double weight) const {
  // The first level whose threshold the weight does not reach (a NaN weight
  // reaches none).
  return static_cast<int>(
      std::partition_point(m_thresholds.begin(), m_thresholds.end(),
                           [weight](double threshold) { return weight >= threshold; }) -
      m_thresholds.begin());
}

template <class T>
double CSuperCompSplitter<T>::Threshold(int level) {
  while (m_thresholds.size() <= static_cast<std::size_t>(level))
    m_thresholds.push_back(m_thresholds.back() + m_step);
  return m_thresholds[level];
}

template <class T>
void CSuperCompSplitter<T>::BuildForest(Component& component, double t, double d) {
  int n = 0;
  double maxWeight = -std::numeric_limits<double>::infinity();
  for (CVertex* v : component.m_vertices) {
    if (v == nullptr) continue;
    v->m_work = n++;
    for (const CEdge* e : v->m_edges[0])
      if (std::isfinite(e->m_weight) && e->m_weight > maxWeight) maxWeight = e->m_weight;
  }
  // Thresholds up to the first one above every finite weight (or until they
  // stop rising); a weight that reaches them all is kept at every level.
  m_thresholds.assign(1, t);
  while (m_thresholds.back() <= maxWeight) {
    const double next = m_thresholds.back() + d;
    if (!(next > m_thresholds.back())) break;
    m_thresholds.push_back(next);
  }
  const int never = static_cast<int>(m_thresholds.size());

  // Edges bucketed by drop level; those dropped at level 0 never count.
  std::vector<int> bucketStart(never + 2, 0);
  for (const CVertex* v : component.m_vertices) {
    if (v == nullptr) continue;
    for (const CEdge* e : v->m_edges[0]) ++bucketStart[DropLevel(e->m_weight) + 1];
  }
  for (int b = 0; b <= never; ++b) bucketStart[b + 1] += bucketStart[b];
  std::vector<int> from(bucketStart[never + 1]);
  std::vector<int> to(from.size());
  {
    std::vector<int> fill(bucketStart.begin(), bucketStart.end() - 1);
    for (const CVertex* v : component.m_vertices) {
      if (v == nullptr) continue;
      for (const CEdge* e : v->m_edges[0]) {
        const int slot = fill[DropLevel(e->m_weight)]++;
        from[slot] = v->m_work;
        to[slot] = e->m_v2->m_work;
      }
    }
  }

  // Kruskal from the edges kept longest down to those dropped at level 1.
  CDisjointSets sets(n);
  std::vector<int> treeFrom, treeTo, treeDrop;
  treeFrom.reserve(n > 0 ? n - 1 : 0);
  treeTo.reserve(treeFrom.capacity());
  treeDrop.reserve(treeFrom.capacity());
  for (int b = never; b >= 1; --b) {
    for (int k = bucketStart[b]; k < bucketStart[b + 1]; ++k) {
      if (!sets.Unite(from[k], to[k])) continue;
      treeFrom.push_back(from[k]);
      treeTo.push_back(to[k]);
      treeDrop.push_back(b == never ? kNever : b);
    }
  }

  m_forestStart.assign(n + 1, 0);
  for (std::size_t k = 0; k < treeFrom.size(); ++k) {
    ++m_forestStart[treeFrom[k] + 1];
    ++m_forestStart[treeTo[k] + 1];
  }
  for (int u = 0; u < n; ++u) m_forestStart[u + 1] += m_forestStart[u];
  m_forestTo.assign(2 * treeFrom.size(), 0);
  m_forestDrop.assign(m_forestTo.size(), 0);
  std::vector<int> fill(m_forestStart.begin(), m_forestStart.end() - 1);
  for (std::size_t k = 0; k < treeFrom.size(); ++k) {
    int slot = fill[treeFrom[k]]++;
    m_forestTo[slot] = treeTo[k];
    m_forestDrop[slot] = treeDrop[k];
    slot = fill[treeTo[k]]++;
    m_forestTo[slot] = treeFrom[k];
    m_forestDrop[slot] = treeDrop[k];
  }
  m_label.assign(n, -1);
  m_queue.clear();
  m_queue.reserve(n);
}

template <class T>
void CSuperCompSplitter<T>::FindPieces(const Component& piece, int level, CLevelPieces* out) {
  out->m_lists.clear();
  out->m_splitLevel.clear();
  const int m = piece.GetVerticesNum();
  for (int i = 0; i < m; ++i)
    if (piece.m_vertices[i] != nullptr) m_label[piece.m_vertices[i]->m_work] = -1;
  // Lists by first vertex, each in index order, as CGraph2Components makes
  // them; the forest edges kept at this level never leave the piece.
  for (int i = 0; i < m; ++i) {
    const CVertex* v = piece.m_vertices[i];
    if (v == nullptr) continue;
    const int u = v->m_work;
    if (m_label[u] >= 0) {
      out->m_lists[m_label[u]].push_back(i);
      continue;
    }
    const int k = static_cast<int>(out->m_lists.size());
    out->m_lists.emplace_back(1, i);
    int split = kNever;
    m_label[u] = k;
    m_queue.clear();
    m_queue.push_back(u);
    for (std::size_t head = 0; head < m_queue.size(); ++head) {
      const int x = m_queue[head];
      for (int p = m_forestStart[x]; p < m_forestStart[x + 1]; ++p) {
        const int drop = m_forestDrop[p];
        if (drop <= level) continue;
        if (drop < split) split = drop;
        const int y = m_forestTo[p];
        if (m_label[y] != k) {
          m_label[y] = k;
          m_queue.push_back(y);
        }
      }
    }
    out->m_splitLevel.push_back(split);
  }
}

template <class T>
void CSuperCompSplitter<T>::Screen(const COwningHandle<Component>& piece) {
  try {
    CComp2Screened<T> screened(piece);
    IDList out = screened.GetScreenedIDs();
    m_remained->splice(m_remained->end(), out);
    COwningHandle<Graph> core = screened.TakeScreenedGraph();
    m_superComps->push_back(core->GetIDsVector());
  } catch (const std::bad_alloc&) {
    throw "CSuperZelk executer :: CreateSuperCompsIDsLists - memory problem";
  }
}

template <class T>
void CSuperCompSplitter<T>::SplitPiece(const COwningHandle<Component>& handle, int level,
                                       int splitLevel) {
  COwningHandle<Component> piece(handle);
  // The largest piece of a split goes on in this loop, the others recurse;
  // a level that splits nothing off only moves to the next level.
  for (;;) {
    const unsigned int n = static_cast<unsigned int>(piece->GetVerticesNum());
    try {
      if (n < m_minPieceSize) {
        IDList ids = piece->GetIDsList();
        m_remained->splice(m_remained->end(), ids);
        return;
      }
      if (n <= m_maxSuperCompSize) {
        m_superComps->push_back(piece->GetIDsVector());
        return;
      }
    } catch (const std::bad_alloc&) {
      throw "CExecuter::CreateSuperCompsIDsLists - memory problems";
    }

    const double t = level == kScreenLevel ? kScreenThreshold : Threshold(level);
    const CSimDistrib& model = *piece->GetSimDistrib();
    const double r = model.GetDistrib(0)->LogPdf(t) - model.GetDistrib(1)->LogPdf(t);
    // A piece that no level splits would go from level to level for ever;
    // screening, which does not depend on the level, is where it can end.
    if (t < 0.0 || r < piece->GetWeightTh() || splitLevel == kNever) {
      Screen(piece);
      return;
    }
    if (splitLevel != kUnknown && level < splitLevel) {
      ++level;
      continue;
    }

    CLevelPieces found;
    std::vector<std::vector<int>> ordered;
    std::vector<int> splits;
    std::vector<std::vector<int>> dense;  // of copies that are split further
    try {
      FindPieces(*piece, level, &found);
      if (found.m_lists.size() == 1) {
        splitLevel = found.m_splitLevel[0];
        ++level;
        continue;
      }
      for (std::size_t k : SmallestFirstOrder(found.m_lists)) {
        ordered.push_back(std::move(found.m_lists[k]));
        splits.push_back(found.m_splitLevel[k]);
      }
      dense.resize(ordered.size());
      for (std::size_t i = 0; i + 1 < ordered.size(); ++i) {
        if (ordered[i].size() <= m_maxSuperCompSize) continue;
        for (int index : ordered[i]) dense[i].push_back(piece->m_vertices[index]->m_work);
      }
    } catch (const std::bad_alloc&) {
      throw "CSuperZelk executer :: CreateSuperCompsIDsLists - memory problem";
    }
    const unsigned int num = static_cast<unsigned int>(ordered.size());
    const int next = num > kTooManyPiecesShare * n ? kScreenLevel : level + 1;

    std::unique_ptr<CGraph2Components<T>> pieces;
    try {
      pieces.reset(new CGraph2Components<T>(COwningHandle<Graph>(piece), ordered));
    } catch (const std::bad_alloc&) {
      throw "CSuperZelk executer :: CreateSuperCompsIDsLists - memory problem";
    }
    for (unsigned int i = 0; i + 1 < num; ++i) {
      COwningHandle<Component> smaller = pieces->TakeComponent(i);
      // A copy has new vertex objects: give them the forest's numbers.
      for (std::size_t k = 0; k < dense[i].size(); ++k) smaller->m_vertices[k]->m_work = dense[i][k];
      SplitPiece(smaller, next, splits[i]);
    }
    piece = pieces->TakeComponent(num - 1);
    // The emptied input graph goes now, not when the recursion returns.
    pieces.reset();
    level = next;
    splitLevel = splits[num - 1];
  }
}

template class CSuperCompSplitter<CSDTypeTags>;
template class CSuperCompSplitter<CFPTypeTags>;
