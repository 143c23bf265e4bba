// Kernels container and adoption passes (see Kernels.h for the costs).
#include "vandrel/engine/Kernels.h"

#include <algorithm>
#include <iterator>

#include "vandrel/data/Fingerprint.h"
#include "vandrel/engine/Evaluators.h"
#include "vandrel/graph/SimilarityGraph.h"

// ---------------------------------------------------------------------------
// CKernels<T>::CElement

template <class T>
CKernels<T>::CElement::CElement(unsigned int index, const Cluster& cluster)
    : m_index(index), m_cluster(cluster) {
  for (unsigned int id : m_cluster.GetMembers()) m_memberSet[id] = true;
}

template <class T>
bool CKernels<T>::CElement::InMemberSet(unsigned int id) const {
  return m_memberSet.Contains(id);
}

// ---------------------------------------------------------------------------
// CKernels<T>

template <class T>
CKernels<T>::CKernels(Graph* graph)
    : m_graph(graph),
      m_kernelsNum(0),
      m_elementKernel(graph ? static_cast<std::size_t>(graph->GetVerticesNum()) : 0, kNoKernel),
      m_nextIndex(0) {}

template <class T>
CKernels<T>::CKernels(const CKernels& other)
    : m_graph(other.m_graph),
      m_kernelList(other.m_kernelList),
      m_kernelsNum(other.m_kernelsNum),
      m_elementKernel(other.m_elementKernel),
      m_nextIndex(other.m_nextIndex),
      m_changeCounter(other.m_changeCounter),
      m_structureStamp(other.m_structureStamp),
      m_setOwner(other.m_setOwner),
      m_ownersKnown(other.m_ownersKnown) {
  RebuildPositions();
}

template <class T>
CKernels<T>& CKernels<T>::operator=(const CKernels& other) {
  if (this != &other) {
    m_graph = other.m_graph;
    m_kernelList = other.m_kernelList;
    m_kernelsNum = other.m_kernelsNum;
    m_elementKernel = other.m_elementKernel;
    m_nextIndex = other.m_nextIndex;
    // Keep both counters moving forward so that nothing cached against this
    // container's earlier state can look current.
    m_changeCounter = std::max(m_changeCounter, other.m_changeCounter) + 1;
    m_structureStamp = std::max(m_structureStamp, other.m_structureStamp) + 1;
    m_setOwner = other.m_setOwner;
    m_ownersKnown = other.m_ownersKnown;
    RebuildPositions();
  }
  return *this;
}

template <class T>
void CKernels<T>::RebuildPositions() {
  m_position.assign(m_nextIndex, m_kernelList.end());
  m_live.assign(m_nextIndex, false);
  for (auto it = m_kernelList.begin(); it != m_kernelList.end(); ++it) {
    m_position[it->m_index] = it;
    m_live[it->m_index] = true;
  }
}

template <class T>
void CKernels<T>::Touch(CElement& kernel) {
  kernel.m_changeStamp = ++m_changeCounter;
}

template <class T>
void CKernels<T>::Insert(const Cluster& cluster) {
  // Claim every member for the new kernel; on a conflict undo the claims made
  // so far, so that a failed insertion leaves the table as it was.
  std::vector<int> claimed;
  claimed.reserve(cluster.GetSize());
  try {
    for (unsigned int id : cluster.GetMembers()) {
      const int i = m_graph->ID2Index(id);
      if (m_elementKernel[i] != kNoKernel)
        throw "CKernels::Insert - new kernel contains element that already appears in kernels";
      m_elementKernel[i] = m_nextIndex;
      claimed.push_back(i);
    }
  } catch (...) {
    for (int i : claimed) m_elementKernel[i] = kNoKernel;
    throw;
  }
  m_kernelList.emplace_back(m_nextIndex, cluster);
  RecordMemberSetOwner(cluster);
  m_position.push_back(std::prev(m_kernelList.end()));
  m_live.push_back(true);
  Touch(m_kernelList.back());
  ++m_structureStamp;
  ++m_kernelsNum;
  ++m_nextIndex;
}

namespace {
// Largest id the member-set owner table is kept for: a table by id costs
// 4 bytes per id up to the largest one, so ids far beyond the number of
// vertices (never the case in a run, where ids are input positions) make
// the callers score kernel by kernel instead.
std::size_t OwnerTableLimit(std::size_t vertices) { return 64 * vertices + 65536; }
}  // namespace

template <class T>
void CKernels<T>::ForgetMemberSetOwners() {
  m_ownersKnown = false;
  m_setOwner.clear();
  m_setOwner.shrink_to_fit();
}

template <class T>
void CKernels<T>::RecordMemberSetOwner(const Cluster& cluster) {
  if (!m_ownersKnown) return;
  const std::size_t vertices = m_graph ? static_cast<std::size_t>(m_graph->GetVerticesNum()) : 0;
  for (unsigned int id : cluster.GetMembers()) {
    if (id >= m_setOwner.size()) {
      if (id >= OwnerTableLimit(vertices)) {
        ForgetMemberSetOwners();
        return;
      }
      m_setOwner.resize(static_cast<std::size_t>(id) + 1, kNoKernel);
    }
    const unsigned int owner = m_setOwner[id];
    if (owner != kNoKernel && owner != m_nextIndex && owner < m_live.size() && m_live[owner]) {
      ForgetMemberSetOwners();  // a second live member set holds this id
      return;
    }
    m_setOwner[id] = m_nextIndex;
  }
}

template <class T>
void CKernels<T>::InsertIDs(const IDList& ids) {
  if (ids.empty()) throw "CKernels::InsertIDs - kernel has no members";
  if constexpr (T::kIsFP) {
    CNormFPConstPtrVec group;
    for (unsigned int id : ids)
      group.push_back(m_graph->GetNormFP(m_graph->ID2Index(id)));
    const CNormFP centroid(group);
    Insert(Cluster(ids, centroid));
  } else {
    Insert(Cluster(ids));
  }
}

template <class T>
void CKernels<T>::Adopt(CElement& kernel, IDList& unassigned, IDList::iterator element) {
  const unsigned int id = *element;
  const int i = m_graph->ID2Index(id);
  if (m_elementKernel[i] != kNoKernel) throw "CKernels::Adopt - adoptee already contained in a kernel";
  if constexpr (T::kIsFP) {
    const CNormFP& fp = *m_graph->GetNormFP(i);
    const CNormFP centroid(kernel.m_cluster.GetCentroid(), static_cast<int>(kernel.Size()), fp, 1);
    kernel.m_cluster.SetCentroid(centroid);
  }
  m_elementKernel[i] = kernel.m_index;
  kernel.m_cluster.AddMember(id);
  unassigned.erase(element);
  Touch(kernel);
}

template <class T>
void CKernels<T>::Reject(CElement& kernel, IDList::const_iterator member, IDList& unassigned) {
  const unsigned int id = *member;
  const int i = m_graph->ID2Index(id);
  if (m_elementKernel[i] != kernel.m_index)
    throw "CKernels::Reject - rejected element is not contained in the rejecting kernel";
  if constexpr (T::kIsFP) {
    const CNormFP& fp = *m_graph->GetNormFP(i);
    // Removing the last member leaves no members to average: the centroid is
    // kept rather than divided by a zero weight.
    if (kernel.Size() > 1) {
      const CNormFP centroid(kernel.m_cluster.GetCentroid(), static_cast<int>(kernel.Size()), fp, -1);
      kernel.m_cluster.SetCentroid(centroid);
    }
  }
  m_elementKernel[i] = kNoKernel;
  kernel.m_cluster.RemoveMember(id);
  unassigned.push_back(id);
  Touch(kernel);
}

template <class T>
void CKernels<T>::Merge(CElement& a, CElement& b) {
  if (&a == &b) throw "CKernels::Merge - a kernel cannot be merged with itself";
  if (GetKernelByIndex(a.m_index) != &a || GetKernelByIndex(b.m_index) != &b)
    throw "CKernels::Merge - kernel is not in this container";
  std::vector<int> indices;
  indices.reserve(b.Size());
  for (unsigned int id : b.Members()) indices.push_back(m_graph->ID2Index(id));
  for (int i : indices) m_elementKernel[i] = a.m_index;
  a.m_cluster.Unite(b.m_cluster);
  const unsigned int bIndex = b.m_index;
  m_kernelList.erase(m_position[bIndex]);
  m_position[bIndex] = m_kernelList.end();
  m_live[bIndex] = false;
  --m_kernelsNum;
  Touch(a);
  ++m_structureStamp;
}

template <class T>
void CKernels<T>::Clear() {
  m_kernelList.clear();
  m_kernelsNum = 0;
  m_elementKernel.assign(m_elementKernel.size(), kNoKernel);
  m_position.assign(m_nextIndex, m_kernelList.end());
  m_live.assign(m_nextIndex, false);
  m_setOwner.clear();
  m_ownersKnown = true;
  ++m_changeCounter;
  ++m_structureStamp;
}

template <class T>
unsigned int CKernels<T>::GetElementKernel(unsigned int vertexIndex) const {
  if (vertexIndex >= m_elementKernel.size()) throw "CKernels::GetElementKernel - index is out of scope";
  return m_elementKernel[vertexIndex];
}

template <class T>
typename CKernels<T>::CElement* CKernels<T>::GetKernelByIndex(unsigned int kernelIndex) {
  if (kernelIndex >= m_live.size() || !m_live[kernelIndex]) return nullptr;
  return &*m_position[kernelIndex];
}

template <class T>
const typename CKernels<T>::CElement* CKernels<T>::GetKernelByIndex(unsigned int kernelIndex) const {
  if (kernelIndex >= m_live.size() || !m_live[kernelIndex]) return nullptr;
  return &*m_position[kernelIndex];
}

template <class T>
std::list<typename CKernels<T>::IDList> CKernels<T>::GetKernelIDsLists() const {
  std::list<IDList> lists;
  for (const CElement& k : m_kernelList) lists.push_back(k.Members());
  return lists;
}

template <class T>
std::vector<const CCluster*> CKernels<T>::GetClusters() const {
  std::vector<const CCluster*> clusters;
  clusters.reserve(m_kernelsNum);
  for (const CElement& k : m_kernelList) clusters.push_back(&k.m_cluster);
  return clusters;
}

// ---------------------------------------------------------------------------
// Adoption passes

namespace {
constexpr unsigned int kNoColumn = vandrel::CBestRow::kNone;
// Changed kernels from which a cheap batch re-scores the whole row instead.
constexpr std::size_t kFewChangedKernels = 4;

// Folds one (column, score) into a row whose other columns are up to date:
// the higher score wins, an equal score goes to the later column, and a
// score reaching the threshold qualifies while the row has no best yet.
inline void FoldScore(vandrel::CBestRow& row, unsigned int column, unsigned int columnRank,
                      unsigned int bestRank, double s) {
  if (s > row.m_best || (s == row.m_best && (!row.HasBest() || columnRank > bestRank))) {
    row.m_best = s;
    row.m_column = column;
  }
}
}  // namespace

template <class T>
CAdopter<T>::CAdopter(CAdoptEvaluator<T>* evaluator) : m_evaluator(evaluator) {}

template <class T>
void CAdopter<T>::AdoptAll(Kernels& kernels, IDList& unassigned, double threshold) {
  m_kernels = &kernels;
  m_unassigned = &unassigned;
  const double theta = m_evaluator->ResolveThreshold(kernels, threshold);
  m_rows.clear();
  m_columns.clear();
  m_columnsStamp = kernels.GetStructureStamp();
  for (Kernel& k : kernels.GetKernelList()) m_columns.push_back(&k);
  std::size_t before;
  do {
    before = unassigned.size();
    StartPass();
    if (m_useCache)
      CachedPass(theta);
    else
      PlainPass(theta);
    FinishPass();
  } while (unassigned.size() != before);
  m_rows.clear();
}

template <class T>
void CAdopter<T>::PlainPass(double theta) {
  IDList& list = *m_unassigned;
  for (auto it = list.begin(); it != list.end();) {
    const auto current = it++;
    double best = theta;
    Kernel* bestKernel = nullptr;
    for (Kernel& k : m_kernels->GetKernelList()) {
      const double s = m_evaluator->Evaluate(k, *current);
      if (s >= best) {
        best = s;
        bestKernel = &k;
      }
    }
    if (bestKernel) Offer(bestKernel, current, best);
  }
}

template <class T>
void CAdopter<T>::CachedPass(double theta) {
  IDList& list = *m_unassigned;
  for (auto it = list.begin(); it != list.end();) {
    const auto current = it++;
    const unsigned int id = *current;
    if (m_kernels->GetStructureStamp() != m_columnsStamp) {
      // Kernels were added or removed: the columns and every row are stale.
      m_columns.clear();
      for (Kernel& k : m_kernels->GetKernelList()) m_columns.push_back(&k);
      m_columnsStamp = m_kernels->GetStructureStamp();
      m_rows.clear();
    }
    const std::uint64_t now = m_kernels->GetChangeCounter();
    vandrel::CBestRow& row = m_rows[id];
    bool full = !row.m_valid;
    if (!full && row.m_stamp != now) {
      // Re-score only the kernels that changed since the row was computed;
      // when scoring the whole row costs about as much as a few single
      // scores and more kernels than that changed, score the row anew (it
      // is the plain pass's row either way).
      m_changed.clear();
      for (unsigned int r = 0; r < m_columns.size(); ++r)
        if (m_columns[r]->m_changeStamp > row.m_stamp) m_changed.push_back(r);
      if (m_evaluator->BatchIsCheap() && m_changed.size() >= kFewChangedKernels) full = true;
      for (std::size_t c = 0; !full && c < m_changed.size(); ++c) {
        const unsigned int r = m_changed[c];
        Kernel& k = *m_columns[r];
        const double s = m_evaluator->Evaluate(k, id);
        if (r == row.m_column) {
          if (s >= row.m_best) {
            row.m_best = s;  // still the best, and still the last of the best
          } else {
            full = true;  // the best kernel fell back: any kernel may lead now
            break;
          }
        } else {
          FoldScore(row, r, r, row.m_column, s);
        }
      }
    }
    if (full) {
      row.m_best = theta;
      row.m_column = kNoColumn;
      m_scores.resize(m_columns.size());
      m_evaluator->EvaluateAll(*m_kernels, m_columns, id, m_scores.data());
      for (unsigned int r = 0; r < m_columns.size(); ++r) {
        const double s = m_scores[r];
        if (s >= row.m_best) {
          row.m_best = s;
          row.m_column = r;
        }
      }
      row.m_valid = true;
    }
    row.m_stamp = now;
    if (row.HasBest()) Offer(m_columns[row.m_column], current, row.m_best);
  }
}

template <class T>
void CAdoptEvery<T>::Offer(Kernel* kernel, std::list<unsigned int>::iterator element, double) {
  this->m_kernels->Adopt(*kernel, *this->m_unassigned, element);
}

template <class T>
void CAdoptBest<T>::Offer(Kernel* kernel, std::list<unsigned int>::iterator element, double score) {
  if (!m_bestKernel || score > m_bestScore) {
    m_bestKernel = kernel;
    m_bestElement = element;
    m_bestScore = score;
  }
}

template <class T>
void CAdoptBest<T>::FinishPass() {
  if (!m_bestKernel) return;
  Kernel* kernel = m_bestKernel;
  m_bestKernel = nullptr;
  this->m_kernels->Adopt(*kernel, *this->m_unassigned, m_bestElement);
}

template class CKernels<CSDTypeTags>;
template class CKernels<CFPTypeTags>;
template class CAdopter<CSDTypeTags>;
template class CAdopter<CFPTypeTags>;
template class CAdoptEvery<CSDTypeTags>;
template class CAdoptEvery<CFPTypeTags>;
template class CAdoptBest<CSDTypeTags>;
template class CAdoptBest<CFPTypeTags>;
