#pragma once
// Kernels and adoption.
//
// CKernels<T> keeps the kernels of one graph: each kernel is a cluster with
// a kernel index that is never reused, plus the set of ids it held when it
// was inserted.  It also records, per graph vertex, which kernel holds the
// element.  Adoption moves unassigned elements into kernels; the adopter
// strategies decide which candidate adoptions of a pass are carried out.
//
// Costs: Insert is O(members); Adopt is O(1) plus, for fingerprints, one
// weighted mean; a plain adoption pass costs (unassigned) x (kernels)
// evaluator calls.  The adopters keep the best score of every unassigned
// element between passes and re-score an element only against the kernels
// that changed since it was last scored, which yields exactly the decisions
// of the plain pass (same winner, same tie order) as long as the evaluator's
// score depends only on the kernel and the element.

#include <cstdint>
#include <list>
#include <unordered_map>
#include <vector>

#include "vandrel/engine/TypeTags.h"
#include "vandrel/graph/IDHash.h"
#include "vandrel/solution/Cluster.h"

template <class T>
class CKernels {
 public:
  using Graph = typename T::Graph;
  using Cluster = typename T::Cluster;
  using IDList = std::list<unsigned int>;

  // "No kernel" in the element table and for kernel indices.
  static constexpr unsigned int kNoKernel = 0xFFFFFFFFu;

  // One kernel.
  class CElement {
   public:
    CElement(unsigned int index, const Cluster& cluster);
    CElement(const CElement&) = default;
    CElement& operator=(const CElement&) = default;
    virtual ~CElement() = default;

    unsigned int GetIndex() const { return m_index; }
    const Cluster& GetCluster() const { return m_cluster; }
    unsigned int Size() const { return m_cluster.GetSize(); }
    const IDList& Members() const { return m_cluster.GetMembers(); }
    // Whether the id belonged to the kernel when it was inserted.
    bool InMemberSet(unsigned int id) const;

    unsigned int m_index;
    Cluster m_cluster;
    CIDHash<bool> m_memberSet;
    // Value of the container's change counter when this kernel last changed
    // (insertion, adoption, merge, rejection); used by the score caches.
    std::uint64_t m_changeStamp = 0;
  };

  using KernelList = std::list<CElement>;

  explicit CKernels(Graph* graph);
  CKernels(const CKernels& other);
  CKernels& operator=(const CKernels& other);
  virtual ~CKernels() = default;

  // Adds a kernel made of a copy of the cluster (the centroid is copied, not
  // recomputed).  Throws when a member already belongs to a kernel.
  void Insert(const Cluster& cluster);
  // Adds a kernel made of the listed ids; for fingerprint data its centroid
  // is the mean of the members' normalized fingerprints.
  void InsertIDs(const IDList& ids);

  // Moves the element at position `element` of the unassigned list into
  // `kernel` and erases it from the list.
  void Adopt(CElement& kernel, IDList& unassigned, IDList::iterator element);
  // Moves the member at position `member` of the kernel's member list back
  // to the end of the unassigned list.
  void Reject(CElement& kernel, IDList::const_iterator member, IDList& unassigned);
  // Merges kernel `b` into kernel `a`: b's members follow a's, b's elements
  // map to a's index, b is removed from the list and destroyed.
  void Merge(CElement& a, CElement& b);

  // Removes every kernel; indices handed out so far stay used.
  void Clear();

  Graph* GetGraph() const { return m_graph; }
  KernelList& GetKernelList() { return m_kernelList; }
  const KernelList& GetKernelList() const { return m_kernelList; }
  unsigned int GetKernelsNum() const { return m_kernelsNum; }
  unsigned int GetNextIndex() const { return m_nextIndex; }
  // Kernel index of the kernel holding the vertex with this index, or
  // kNoKernel.  An index outside the graph throws.
  unsigned int GetElementKernel(unsigned int vertexIndex) const;
  // The live kernel with this kernel index, or null.
  CElement* GetKernelByIndex(unsigned int kernelIndex);
  const CElement* GetKernelByIndex(unsigned int kernelIndex) const;
  // The members of every kernel, in kernel-list order.
  std::list<IDList> GetKernelIDsLists() const;
  // The kernels' clusters, in kernel-list order (valid while the kernels
  // are unchanged); the input of the clustering solution.
  std::vector<const CCluster*> GetClusters() const;
  // Counter that grows whenever a kernel changes, and whenever kernels are
  // inserted or removed (structure stamp).
  std::uint64_t GetChangeCounter() const { return m_changeCounter; }
  std::uint64_t GetStructureStamp() const { return m_structureStamp; }

  // Owner table of the member sets, for scoring one element against many
  // kernels in one walk of its edges.  While MemberSetOwnersKnown() holds,
  // every id lies in the member set of at most one live kernel and
  // MemberSetOwner(id) names it by kernel index; it may also name a kernel
  // that is no longer live (then no live kernel holds the id), or kNoKernel.
  // The table is given up (false) when a member id is so large that a table
  // by id would waste memory, or when an id enters the member set of a
  // second live kernel (possible only after a rejection); callers then score
  // kernel by kernel.
  bool MemberSetOwnersKnown() const { return m_ownersKnown; }
  unsigned int MemberSetOwner(unsigned int id) const {
    return id < m_setOwner.size() ? m_setOwner[id] : kNoKernel;
  }

  Graph* m_graph;
  KernelList m_kernelList;
  unsigned int m_kernelsNum;
  std::vector<unsigned int> m_elementKernel;
  unsigned int m_nextIndex;

 private:
  void Touch(CElement& kernel);
  void RebuildPositions();
  // Enters the members of the kernel being inserted (index m_nextIndex).
  void RecordMemberSetOwner(const Cluster& cluster);
  // Gives the owner table up: callers then score kernel by kernel.
  void ForgetMemberSetOwners();

  // Kernel index -> position in m_kernelList (valid while m_live is set).
  std::vector<typename KernelList::iterator> m_position;
  std::vector<bool> m_live;
  std::uint64_t m_changeCounter = 0;
  std::uint64_t m_structureStamp = 0;
  // Id -> kernel index of the member set holding it (see MemberSetOwner).
  std::vector<unsigned int> m_setOwner;
  bool m_ownersKnown = true;
};

// Running best of one row of scores: the kernel (or kernel pair partner)
// with the highest score that reaches the threshold, the later one on ties.
namespace vandrel {
struct CBestRow {
  static constexpr unsigned int kNone = 0xFFFFFFFFu;
  double m_best = 0.0;
  unsigned int m_column = kNone;  // the best column, or none
  bool m_valid = false;           // false: must be computed anew
  std::uint64_t m_stamp = 0;      // change counter when last brought up to date
  bool HasBest() const { return m_column != kNone; }
};
}  // namespace vandrel

// Base of the adoption strategies.
template <class T>
class CAdopter {
 public:
  using Kernels = CKernels<T>;
  using Kernel = typename Kernels::CElement;
  using IDList = std::list<unsigned int>;

  explicit CAdopter(CAdoptEvaluator<T>* evaluator);
  virtual ~CAdopter() = default;

  // A candidate adoption found by the pass loop.
  virtual void Offer(Kernel* kernel, IDList::iterator element, double score) = 0;
  virtual void StartPass() = 0;
  virtual void FinishPass() = 0;

  // Runs adoption passes until one adopts nothing.
  void AdoptAll(Kernels& kernels, IDList& unassigned, double threshold);

  // Keeps each element's best score between passes and re-scores only
  // against changed kernels (on by default; off gives the plain passes).
  void SetScoreCache(bool on) { m_useCache = on; }

 protected:
  CAdoptEvaluator<T>* m_evaluator;
  Kernels* m_kernels = nullptr;
  IDList* m_unassigned = nullptr;

 private:
  void PlainPass(double theta);
  void CachedPass(double theta);

  bool m_useCache = true;
  // Score cache of the running AdoptAll, keyed by element id.
  std::unordered_map<unsigned int, vandrel::CBestRow> m_rows;
  std::vector<Kernel*> m_columns;
  std::vector<double> m_scores;  // one full row of scores, reused
  std::vector<unsigned int> m_changed;  // columns changed since a row was scored
  std::uint64_t m_columnsStamp = 0;
};

// Adopts every offered candidate at once.
template <class T>
class CAdoptEvery : public CAdopter<T> {
 public:
  using typename CAdopter<T>::Kernel;
  explicit CAdoptEvery(CAdoptEvaluator<T>* evaluator) : CAdopter<T>(evaluator) {}
  void Offer(Kernel* kernel, std::list<unsigned int>::iterator element, double score) override;
  void StartPass() override {}
  void FinishPass() override {}
};

// Adopts, per pass, only the best candidate (the first one on ties).
template <class T>
class CAdoptBest : public CAdopter<T> {
 public:
  using typename CAdopter<T>::Kernel;
  explicit CAdoptBest(CAdoptEvaluator<T>* evaluator) : CAdopter<T>(evaluator) {}
  void Offer(Kernel* kernel, std::list<unsigned int>::iterator element, double score) override;
  void StartPass() override { m_bestKernel = nullptr; }
  void FinishPass() override;

 protected:
  Kernel* m_bestKernel = nullptr;
  std::list<unsigned int>::iterator m_bestElement{};
  double m_bestScore = 0.0;
};

extern template class CKernels<CSDTypeTags>;
extern template class CKernels<CFPTypeTags>;
extern template class CAdopter<CSDTypeTags>;
extern template class CAdopter<CFPTypeTags>;
extern template class CAdoptEvery<CSDTypeTags>;
extern template class CAdoptEvery<CFPTypeTags>;
extern template class CAdoptBest<CSDTypeTags>;
extern template class CAdoptBest<CFPTypeTags>;
