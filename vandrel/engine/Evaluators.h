#pragma once
// Kernel evaluators: the scoring rules behind adoption, rejection and merging.
//
// Similarity data (SD): the score is a log-odds weight between an element (or
// a kernel) and a kernel, summed over the graph's edges into the kernel's
// member set, with the missing-edge weight w0 standing in for every pair that
// has no edge (u instead for a pair to an inserted member of which a sparse
// similarity file lists no value).  Cost: the scored element's edges
// (adopt/reject) or the first kernel's members' edges (merge), each with one
// hash lookup.
//
// Fingerprints (FP): the score is a similarity to a kernel's mean fingerprint
// (centroid); one similarity evaluation per score.
//
// ResolveThreshold turns a threshold parameter into the threshold to compare
// scores with; FP evaluators derive thresholds from the current kernels for
// the marker values -1e6, -2e6 and -3e6 (cost: one similarity per held vertex
// plus one per kernel pair).
//
// CFPCalcExactCompleteWeight computes exact weight sums from fingerprints for
// the fingerprint minimum cut.
#include <cstdint>
#include <list>
#include <memory>
#include <vector>

// Kernels.h needs only the forward declarations of TypeTags.h and must not
// include this header: the interfaces below name CKernels<T>::CElement, so
// CKernels<T> has to be complete before the evaluators are declared.
#include "vandrel/engine/Kernels.h"
#include "vandrel/engine/TypeTags.h"
#include "vandrel/graph/IDHash.h"

// ----------------------------------------------------------------------------
// Interfaces used by the adoption, rejection and merge strategies.
// `kernel` is one kernel of the kernel set; `id` an element id.  A higher
// score favours adopting, keeping or merging.

template <class T>
class CAdoptEvaluator {
 public:
  using Kernels = CKernels<T>;
  using Kernel = typename CKernels<T>::CElement;
  virtual ~CAdoptEvaluator() = default;
  virtual double Evaluate(const Kernel& kernel, unsigned int id) const = 0;
  // out[k] = Evaluate(*columns[k], id) for every k, bit for bit, where the
  // columns are kernels of `set`; evaluators that can score many kernels at
  // once override it.
  virtual void EvaluateAll(const Kernels& set, const std::vector<Kernel*>& columns,
                           unsigned int id, double* out) const {
    (void)set;
    for (std::size_t k = 0; k < columns.size(); ++k) out[k] = Evaluate(*columns[k], id);
  }
  // True when EvaluateAll costs about as much as a few single scores (so
  // that re-scoring many changed kernels one by one is the slower way).
  virtual bool BatchIsCheap() const { return false; }
  virtual double ResolveThreshold(const Kernels& kernels,
                                  double value) const = 0;
};

template <class T>
class CRejectEvaluator {
 public:
  using Kernels = CKernels<T>;
  using Kernel = typename CKernels<T>::CElement;
  virtual ~CRejectEvaluator() = default;
  virtual double Evaluate(const Kernel& kernel, unsigned int id) const = 0;
  virtual double ResolveThreshold(const Kernels& kernels,
                                  double value) const = 0;
};

template <class T>
class CMergeEvaluator {
 public:
  using Kernels = CKernels<T>;
  using Kernel = typename CKernels<T>::CElement;
  virtual ~CMergeEvaluator() = default;
  virtual double Evaluate(const Kernel& kernel1,
                          const Kernel& kernel2) const = 0;
  // out[q - begin] = Evaluate(first, *columns[q]) for q = begin .. end of
  // columns, bit for bit, where first and the columns are kernels of `set`;
  // evaluators that can score many pairs at once override it.
  virtual void EvaluateRow(const Kernels& set, const Kernel& first,
                           const std::vector<Kernel*>& columns, std::size_t begin,
                           double* out) const {
    (void)set;
    for (std::size_t q = begin; q < columns.size(); ++q) out[q - begin] = Evaluate(first, *columns[q]);
  }
  virtual double ResolveThreshold(const Kernels& kernels,
                                  double value) const = 0;
};

// ----------------------------------------------------------------------------
// Common base: the run's similarity graph (not owned).

template <class T>
class CEvalUseGraph {
 public:
  explicit CEvalUseGraph(const typename T::Graph& graph) : m_graph(&graph) {}
  virtual ~CEvalUseGraph() = default;
  const typename T::Graph& GetGraph() const { return *m_graph; }

 protected:
  const typename T::Graph* m_graph;
};

// ----------------------------------------------------------------------------
// Exact complete weights from fingerprints (used by the fingerprint min cut).

class CFPCalcExactCompleteWeight : public CEvalUseGraph<CFPTypeTags> {
 public:
  explicit CFPCalcExactCompleteWeight(const CFPGraph& graph);
  // Sum over every id y of `ids` other than x of the model's log-ratio of
  // the similarity between the normalized fingerprints of x and y.
  double ExactWeight(const std::list<unsigned int>& ids, unsigned int x) const;
  double ExactWeight(const std::vector<unsigned int>& ids,
                     unsigned int x) const;
};

// ----------------------------------------------------------------------------
// Similarity data: approximate complete weights.

template <class T> class CApproxCompleteWeight;

template <>
class CApproxCompleteWeight<CSDTypeTags> : public CEvalUseGraph<CSDTypeTags> {
 public:
  explicit CApproxCompleteWeight(const CSimilarityGraph& graph);

  // The missing-edge weight w0 of the graph's threshold analyzer.
  double MissingEdgeWeight() const;
  // The weight u of a pair that has no edge because the similarity file
  // lists no value for it (the analyzer's unlisted-pair weight; w0 unless
  // the graph was built over a file that does not list every pair).
  double UnlistedPairWeight() const;
  // The weight threshold c of the graph's mates/non-mates model.
  double ModelWeightThreshold() const;

  // W(x, K) = S + (|K| - e) * w0 + (|M| - e) * (u - w0), where S and e are
  // the weight sum and the number of x's edges whose other endpoint is in
  // `memberSet` M, and |K| = `kernelSize`: a pair to an inserted member
  // without an edge weighs u, a pair to a member gained later (not in M,
  // its edges not looked up) weighs w0.  With u = w0 this is
  // S + (|K| - e) * w0, bit for bit.
  double ElementKernelWeight(unsigned int id, const CIDHash<bool>& memberSet,
                             unsigned int kernelSize) const;
  // W(K1, K2) = S + (|K1| * |K2| - e) * w0 + (|K1| * |M2| - e) * (u - w0),
  // S and e summed over the members of K1 (in order) against the member
  // set M2 of K2.
  double KernelKernelWeight(const std::list<unsigned int>& members1,
                            const CIDHash<bool>& memberSet2,
                            unsigned int kernelSize2) const;

  // The same weights against many kernels at once, in one walk of the
  // edges: sums[r] and counts[r] become the S and e of ElementKernelWeight
  // (for the element `id`) or of KernelKernelWeight (for the members of
  // `members`) against the member set of columns[begin + r], r = 0 ..
  // columns.size() - begin - 1.  Each kernel's S takes its edge weights in
  // the order of the single-kernel walk, so the sums are the same bits.
  // Requires set.MemberSetOwnersKnown() and the columns to be kernels of
  // `set`.  Cost: the edges walked plus O(columns).
  void ElementKernelSums(const CKernels<CSDTypeTags>& set, unsigned int id,
                         const std::vector<CKernels<CSDTypeTags>::CElement*>& columns,
                         std::size_t begin) const;
  void KernelKernelSums(const CKernels<CSDTypeTags>& set, const std::list<unsigned int>& members,
                        const std::vector<CKernels<CSDTypeTags>::CElement*>& columns,
                        std::size_t begin) const;
  // W from S, e, the number of pairs and the number of pairs to inserted
  // members: S + (pairs - e) * w0 + (insertedPairs - e) * (u - w0).
  double CompleteWeight(double sum, unsigned long long count, long long pairs,
                        long long insertedPairs) const;

 protected:
  // Results of the batch walks (one entry per scored column), reused.
  mutable std::vector<double> m_sums;
  mutable std::vector<unsigned long long> m_counts;

 private:
  // sum + missing * w0 + unlisted * (u - w0).
  double WithMissingPairs(double sum, long long missing, long long unlisted) const;
  // Adds the weights and the count of id's edges into memberSet.
  void EdgesInto(unsigned int id, const CIDHash<bool>& memberSet, double& sum,
                 unsigned long long& count) const;
  // Maps the kernel indices of columns[begin..] to their positions.
  void MapColumns(const CKernels<CSDTypeTags>& set,
                  const std::vector<CKernels<CSDTypeTags>::CElement*>& columns,
                  std::size_t begin) const;
  // Adds the weights of the edges of `id` into the mapped columns: into
  // m_memberSums (listing each column touched first in m_touched), or
  // straight into m_sums when toMember is false.
  void WalkEdges(const CKernels<CSDTypeTags>& set, unsigned int id, bool toMember) const;

  mutable std::vector<unsigned int> m_columnOf;      // kernel index -> column
  mutable std::vector<std::uint64_t> m_columnMark;   // kernel index -> batch stamp
  mutable std::uint64_t m_batchStamp = 0;
  mutable std::vector<double> m_memberSums;
  mutable std::vector<char> m_isTouched;
  mutable std::vector<unsigned int> m_touched;
};

// ----------------------------------------------------------------------------
// The concrete evaluators.

class CSDAApproxCompleteWeight : public CApproxCompleteWeight<CSDTypeTags>,
                                 public CAdoptEvaluator<CSDTypeTags> {
 public:
  explicit CSDAApproxCompleteWeight(const CSimilarityGraph& graph);
  // W(x, K) / |K| - m_offset
  double Evaluate(const Kernel& kernel, unsigned int id) const override;
  // Every kernel in one walk of the element's edges.
  void EvaluateAll(const Kernels& set, const std::vector<Kernel*>& columns, unsigned int id,
                   double* out) const override;
  bool BatchIsCheap() const override { return true; }
  double ResolveThreshold(const Kernels& kernels, double value) const override;

 private:
  double Score(double w, unsigned int size) const;
  double m_offset;  // -c
};

class CSDRApproxCompleteWeight : public CApproxCompleteWeight<CSDTypeTags>,
                                 public CRejectEvaluator<CSDTypeTags> {
 public:
  explicit CSDRApproxCompleteWeight(const CSimilarityGraph& graph);
  // (W(x, K) - w0) / (|K| - 1) - m_offset; a kernel of one member scores
  // kLoneMemberScore (it has no other members to be compared with).
  double Evaluate(const Kernel& kernel, unsigned int id) const override;
  double ResolveThreshold(const Kernels& kernels, double value) const override;

 private:
  double m_offset;  // -c
};

class CSDMApproxCompleteWeight : public CApproxCompleteWeight<CSDTypeTags>,
                                 public CMergeEvaluator<CSDTypeTags> {
 public:
  explicit CSDMApproxCompleteWeight(const CSimilarityGraph& graph);
  // W(K1, K2) - |K1| * |K2| * m_offset
  double Evaluate(const Kernel& kernel1, const Kernel& kernel2) const override;
  // Every later kernel in one walk of the first kernel's members' edges.
  void EvaluateRow(const Kernels& set, const Kernel& first, const std::vector<Kernel*>& columns,
                   std::size_t begin, double* out) const override;
  double ResolveThreshold(const Kernels& kernels, double value) const override;

 private:
  double Score(double w, unsigned int size1, unsigned int size2) const;
  double m_offset;  // -c
};

// ----------------------------------------------------------------------------
// Fingerprints: similarity to kernel mean fingerprints.

class CFPEvalMeanSim : public CEvalUseGraph<CFPTypeTags> {
 public:
  explicit CFPEvalMeanSim(const CFPGraph& graph);

  // Statistics of the whole kernel set used by the derived thresholds.
  // within: the kernels' mean internal similarity; between: the mean
  // similarity between members of different kernels.
  double WithinMeanSim(const CKernels<CFPTypeTags>& kernels) const;
  double BetweenMeanSim(const CKernels<CFPTypeTags>& kernels) const;
  double MatesMean() const;
  double NonMatesMean() const;
  // The normalized fingerprint of element `id` (through the graph's id hash).
  const CNormFP& FingerprintOf(unsigned int id) const;
};

class CFPAEvalMeanSim : public CFPEvalMeanSim,
                        public CAdoptEvaluator<CFPTypeTags> {
 public:
  explicit CFPAEvalMeanSim(const CFPGraph& graph);
  double Evaluate(const Kernel& kernel, unsigned int id) const override;
  // The element against every centroid in one batch of similarities.
  void EvaluateAll(const Kernels& set, const std::vector<Kernel*>& columns, unsigned int id,
                   double* out) const override;
  double ResolveThreshold(const Kernels& kernels, double value) const override;

 private:
  mutable std::vector<const float*> m_centroids;  // scratch of EvaluateAll
};

class CFPREvalMeanSim : public CFPEvalMeanSim,
                        public CRejectEvaluator<CFPTypeTags> {
 public:
  explicit CFPREvalMeanSim(const CFPGraph& graph);
  // A kernel of one member scores kLoneMemberScore.
  double Evaluate(const Kernel& kernel, unsigned int id) const override;
  double ResolveThreshold(const Kernels& kernels, double value) const override;
};

class CFPMEvalMeanSim : public CFPEvalMeanSim,
                        public CMergeEvaluator<CFPTypeTags> {
 public:
  explicit CFPMEvalMeanSim(const CFPGraph& graph);
  double Evaluate(const Kernel& kernel1, const Kernel& kernel2) const override;
  double ResolveThreshold(const Kernels& kernels, double value) const override;
};


// ----------------------------------------------------------------------------

namespace vandrel {
// Reject score of a kernel that has a single member: there are no other
// members, so keeping it is never worse than any threshold (the unreachable
// upper bound used throughout the engine).
constexpr double kLoneMemberScore = 100000000.0;
}  // namespace vandrel

// The three evaluators of a run, owned by whoever holds the set.
template <class T>
struct CEvaluatorSet {
  std::unique_ptr<CAdoptEvaluator<T>> m_adopt;
  std::unique_ptr<CRejectEvaluator<T>> m_reject;
  std::unique_ptr<CMergeEvaluator<T>> m_merge;
};

// Creates, in this order, the adopt, reject and merge evaluators of T's data
// type over `graph` (T = CSDTypeTags or CFPTypeTags).  An allocation failure
// throws "CExecuter::CreateEvaluators - memory problem".
template <class T>
CEvaluatorSet<T> CreateEvaluators(const typename T::Graph& graph);
