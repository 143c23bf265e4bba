#pragma once
// Merging and rejection of kernels.
//
// CMerger<T> runs merge passes over a CKernels<T>: every pass scores the
// pairs (a, b), a before b in the kernel list, offers each a its best
// partner, and lets the strategy (CMergeBest: the single best pair of the
// pass) merge.  A plain pass costs K(K-1)/2 evaluator calls.  The merger
// keeps, between passes, every kernel's best partner and re-scores only the
// pairs of the kernels that changed, which gives exactly the plain passes'
// winners and tie order (the evaluator's score depends only on the pair), at
// O(K) evaluator calls per pass in the common case.
//
// The rejection strategies move members of kernels back to the unassigned
// list (the worst-scoring one per pass, or every offered one).

#include <cstdint>
#include <list>
#include <vector>

#include "vandrel/engine/Kernels.h"

template <class T>
class CMerger {
 public:
  using Kernels = CKernels<T>;
  using Kernel = typename Kernels::CElement;

  explicit CMerger(CMergeEvaluator<T>* evaluator);
  virtual ~CMerger() = default;

  // A candidate pair found by the pass loop; a comes before b in the list.
  virtual void Offer(Kernel* a, Kernel* b, double score) = 0;
  virtual void StartPass() = 0;
  virtual void FinishPass() = 0;
  // True when Offer only records its candidate and leaves the kernels as
  // they are until FinishPass; only then may a pass reuse cached scores.
  virtual bool OfferKeepsKernels() const { return false; }

  // Calibrated form: the threshold is resolved by the evaluator once; passes
  // run until at most one kernel is left or a pass merges nothing.
  void MergeAll(Kernels& kernels, double threshold);
  // Direct form: the threshold is used as given; passes run until at most
  // minCount kernels are left or a pass merges nothing.
  void MergeAll(Kernels& kernels, double threshold, int minCount);

  // Keeps best partners between passes (on by default; off gives the plain
  // passes that score every pair anew).
  void SetScoreCache(bool on) { m_useCache = on; }

 protected:
  CMergeEvaluator<T>* m_evaluator;
  Kernels* m_kernels = nullptr;

 private:
  void Passes(double theta, int minCount);
  void PlainPass(double theta);
  void CachedPass(double theta);
  void ComputeRow(std::size_t pos, double theta);

  bool m_useCache = true;
  // Cache of the running MergeAll, indexed by kernel index.
  std::vector<vandrel::CBestRow> m_rows;
  std::vector<Kernel*> m_order;                 // kernels of the pass, in list order
  std::vector<unsigned int> m_posOf;            // kernel index -> position in m_order
  std::vector<std::uint64_t> m_seenStamp;       // kernel index -> stamp at last pass
  std::vector<bool> m_seenLive;                 // kernel index -> live at last pass
  std::vector<double> m_scores;                 // one row of pair scores, reused
  bool m_cacheValid = false;
};

// Merges, per pass, the pair with the highest score (the first on ties).
template <class T>
class CMergeBest : public CMerger<T> {
 public:
  using typename CMerger<T>::Kernel;
  explicit CMergeBest(CMergeEvaluator<T>* evaluator) : CMerger<T>(evaluator) {}
  void Offer(Kernel* a, Kernel* b, double score) override;
  void StartPass() override { m_bestPair[0] = m_bestPair[1] = nullptr; }
  void FinishPass() override;
  bool OfferKeepsKernels() const override { return true; }

 protected:
  Kernel* m_bestPair[2] = {nullptr, nullptr};
  double m_bestScore = 0.0;
};

// Base of the rejection strategies.  No stage drives a rejection pass; the
// caller attaches the kernels and the unassigned list and offers members.
template <class T>
class CRejector {
 public:
  using Kernels = CKernels<T>;
  using Kernel = typename Kernels::CElement;
  using IDList = std::list<unsigned int>;

  explicit CRejector(CRejectEvaluator<T>* evaluator) : m_evaluator(evaluator) {}
  virtual ~CRejector() = default;

  // A candidate rejection: the member at `member` of the kernel's members.
  virtual void Offer(Kernel* kernel, IDList::const_iterator member, double score) = 0;
  virtual void StartPass() = 0;
  virtual void FinishPass() = 0;

  void Attach(Kernels& kernels, IDList& unassigned) {
    m_kernels = &kernels;
    m_unassigned = &unassigned;
  }
  CRejectEvaluator<T>* GetEvaluator() const { return m_evaluator; }

 protected:
  CRejectEvaluator<T>* m_evaluator;
  Kernels* m_kernels = nullptr;
  IDList* m_unassigned = nullptr;
};

// Rejects every offered member at once.
template <class T>
class CRejectEvery : public CRejector<T> {
 public:
  using typename CRejector<T>::Kernel;
  explicit CRejectEvery(CRejectEvaluator<T>* evaluator) : CRejector<T>(evaluator) {}
  void Offer(Kernel* kernel, std::list<unsigned int>::const_iterator member, double score) override;
  void StartPass() override {}
  void FinishPass() override {}
};

// Rejects, per pass, the offered member with the lowest score (the first on
// ties).
template <class T>
class CRejectWorst : public CRejector<T> {
 public:
  using typename CRejector<T>::Kernel;
  explicit CRejectWorst(CRejectEvaluator<T>* evaluator) : CRejector<T>(evaluator) {}
  void Offer(Kernel* kernel, std::list<unsigned int>::const_iterator member, double score) override;
  void StartPass() override { m_bestKernel = nullptr; }
  void FinishPass() override;

 protected:
  Kernel* m_bestKernel = nullptr;
  std::list<unsigned int>::const_iterator m_bestElement{};
  double m_bestScore = 0.0;
};

extern template class CMerger<CSDTypeTags>;
extern template class CMerger<CFPTypeTags>;
extern template class CMergeBest<CSDTypeTags>;
extern template class CMergeBest<CFPTypeTags>;
extern template class CRejector<CSDTypeTags>;
extern template class CRejector<CFPTypeTags>;
extern template class CRejectEvery<CSDTypeTags>;
extern template class CRejectEvery<CFPTypeTags>;
extern template class CRejectWorst<CSDTypeTags>;
extern template class CRejectWorst<CFPTypeTags>;
