// Kernel evaluators: approximate complete weights over the similarity graph
// (SD) and similarities to kernel mean fingerprints (FP), the thresholds they
// derive from the kernel set, and exact fingerprint weight sums.
//
// Costs: an SD element score touches the element's edges once (one hash
// lookup each); a merge score touches the edges of the first kernel's
// members; an FP score is one similarity.  FP derived thresholds cost one
// similarity per kernel-held vertex plus one per kernel pair.
#include "vandrel/engine/Evaluators.h"

#include <algorithm>
#include <new>

#include "vandrel/data/Fingerprint.h"
#include "vandrel/data/SimHandler.h"
#include "vandrel/graph/SimilarityGraph.h"
#include "vandrel/stats/DataFileAnalyzer.h"
#include "vandrel/stats/NormDistrib.h"
#include "vandrel/stats/SimDistrib.h"

namespace {

// Marker values of the threshold parameters.
constexpr double kMatesMeanMarker = -3000000.0;
constexpr double kKernelStatsMarker = -2000000.0;
constexpr double kMidMeansMarker = -1000000.0;

const CSimDistrib& ModelOf(const CSimilarityGraph& graph) {
  return *graph.m_analyzer.GetSimDistrib();
}

template <class Ids>
double ExactWeightOf(const CFPCalcExactCompleteWeight& calc, const Ids& ids,
                     unsigned int x) {
  const CFPGraph& graph = calc.GetGraph();
  const CSimDistrib& model = ModelOf(graph);
  const CSimilarityHandler* handler = CNormFP::GetSimilarityHandler();
  if (handler == nullptr) throw "CNormFP::Similarity - similarity handler is not set";
  const CNormFP& fx = *graph.GetNormFP(graph.m_idToIndex[x]);
  // The similarities to all the others in one batch (the same bits as one
  // by one), then their log-ratios added in the order of the ids.
  std::vector<const float*> others;
  others.reserve(ids.size());
  for (unsigned int y : ids) {
    if (y == x) continue;
    others.push_back(graph.GetNormFP(graph.m_idToIndex[y])->GetValues());
  }
  std::vector<double> sims(others.size());
  handler->GetEvaluator()->EvaluateMany(fx.GetValues(), others.data(), others.size(), sims.data());
  double sum = 0.0;
  for (double s : sims) sum += model.CalcLogRatio(s);
  return sum;
}

}  // namespace

// ---------------------------------------------------------------------------
// Exact complete weight

CFPCalcExactCompleteWeight::CFPCalcExactCompleteWeight(const CFPGraph& graph)
    : CEvalUseGraph<CFPTypeTags>(graph) {}

double CFPCalcExactCompleteWeight::ExactWeight(
    const std::list<unsigned int>& ids, unsigned int x) const {
  return ExactWeightOf(*this, ids, x);
}

double CFPCalcExactCompleteWeight::ExactWeight(
    const std::vector<unsigned int>& ids, unsigned int x) const {
  return ExactWeightOf(*this, ids, x);
}

// ---------------------------------------------------------------------------
// Approximate complete weights (similarity data)

CApproxCompleteWeight<CSDTypeTags>::CApproxCompleteWeight(
    const CSimilarityGraph& graph)
    : CEvalUseGraph<CSDTypeTags>(graph) {}

double CApproxCompleteWeight<CSDTypeTags>::MissingEdgeWeight() const {
  return m_graph->m_analyzer.GetMissingEdgeWeight();
}

double CApproxCompleteWeight<CSDTypeTags>::UnlistedPairWeight() const {
  return m_graph->m_analyzer.GetUnlistedPairWeight();
}

double CApproxCompleteWeight<CSDTypeTags>::ModelWeightThreshold() const {
  return ModelOf(*m_graph).GetWeightTh();
}

void CApproxCompleteWeight<CSDTypeTags>::EdgesInto(
    unsigned int id, const CIDHash<bool>& memberSet, double& sum,
    unsigned long long& count) const {
  const CVertex* v = m_graph->GetVByIndex(m_graph->ID2Index(id));
  for (const CEdge* e : v->m_edges[0]) {
    if (memberSet.Find(e->m_v2->m_id) != memberSet.End()) {
      sum += e->m_weight;
      ++count;
    }
  }
  for (const CEdge* e : v->m_edges[1]) {
    if (memberSet.Find(e->m_v1->m_id) != memberSet.End()) {
      sum += e->m_weight;
      ++count;
    }
  }
}

double CApproxCompleteWeight<CSDTypeTags>::CompleteWeight(double sum, unsigned long long count,
                                                          long long pairs,
                                                          long long insertedPairs) const {
  const long long listed = static_cast<long long>(count);
  return WithMissingPairs(sum, pairs - listed, insertedPairs - listed);
}

double CApproxCompleteWeight<CSDTypeTags>::ElementKernelWeight(
    unsigned int id, const CIDHash<bool>& memberSet,
    unsigned int kernelSize) const {
  double s = 0.0;
  unsigned long long e = 0;
  EdgesInto(id, memberSet, s, e);
  return CompleteWeight(s, e, static_cast<long long>(kernelSize),
                        static_cast<long long>(memberSet.Size()));
}

double CApproxCompleteWeight<CSDTypeTags>::WithMissingPairs(double sum, long long missing,
                                                            long long unlisted) const {
  const double w0 = MissingEdgeWeight();
  // The second term is exactly 0 when the two weights are the same.
  return sum + static_cast<double>(missing) * w0 +
         static_cast<double>(unlisted) * (UnlistedPairWeight() - w0);
}

double CApproxCompleteWeight<CSDTypeTags>::KernelKernelWeight(
    const std::list<unsigned int>& members1, const CIDHash<bool>& memberSet2,
    unsigned int kernelSize2) const {
  double s = 0.0;
  unsigned long long e = 0;
  for (unsigned int id : members1) {
    double memberSum = 0.0;
    EdgesInto(id, memberSet2, memberSum, e);
    s += memberSum;
  }
  const long long pairs = static_cast<long long>(members1.size()) *
                          static_cast<long long>(kernelSize2);
  const long long insertedPairs = static_cast<long long>(members1.size()) *
                                  static_cast<long long>(memberSet2.Size());
  return CompleteWeight(s, e, pairs, insertedPairs);
}

// Batch walks.  Every column gets a stamp mark under its kernel index, so
// that an edge's other endpoint finds its column through the kernel set's
// member-set owner table: one table look-up per edge instead of one hash
// look-up per edge and kernel.

void CApproxCompleteWeight<CSDTypeTags>::MapColumns(
    const CKernels<CSDTypeTags>& set, const std::vector<CKernels<CSDTypeTags>::CElement*>& columns,
    std::size_t begin) const {
  ++m_batchStamp;
  const std::size_t count = columns.size() - begin;
  std::size_t indices = set.GetNextIndex();
  for (std::size_t q = begin; q < columns.size(); ++q)
    indices = std::max<std::size_t>(indices, std::size_t{columns[q]->m_index} + 1);
  if (m_columnOf.size() < indices) {
    m_columnOf.resize(indices, 0);
    m_columnMark.resize(indices, 0);
  }
  for (std::size_t q = begin; q < columns.size(); ++q) {
    const unsigned int k = columns[q]->m_index;
    m_columnOf[k] = static_cast<unsigned int>(q - begin);
    m_columnMark[k] = m_batchStamp;
  }
  m_sums.assign(count, 0.0);
  m_counts.assign(count, 0);
}

void CApproxCompleteWeight<CSDTypeTags>::WalkEdges(const CKernels<CSDTypeTags>& set,
                                                   unsigned int id, bool toMember) const {
  const CVertex* v = m_graph->GetVByIndex(m_graph->ID2Index(id));
  const std::uint64_t stamp = m_batchStamp;
  const std::size_t marks = m_columnMark.size();
  auto add = [&](unsigned int other, double w) {
    const unsigned int k = set.MemberSetOwner(other);
    if (k >= marks || m_columnMark[k] != stamp) return;
    const unsigned int r = m_columnOf[k];
    ++m_counts[r];
    if (!toMember) {
      m_sums[r] += w;
      return;
    }
    if (!m_isTouched[r]) {
      m_isTouched[r] = 1;
      m_touched.push_back(r);
    }
    m_memberSums[r] += w;
  };
  // The order of EdgesInto: larger-id neighbours first, then smaller.
  for (const CEdge* e : v->m_edges[0]) add(e->m_v2->m_id, e->m_weight);
  for (const CEdge* e : v->m_edges[1]) add(e->m_v1->m_id, e->m_weight);
}

void CApproxCompleteWeight<CSDTypeTags>::ElementKernelSums(
    const CKernels<CSDTypeTags>& set, unsigned int id,
    const std::vector<CKernels<CSDTypeTags>::CElement*>& columns, std::size_t begin) const {
  MapColumns(set, columns, begin);
  WalkEdges(set, id, false);
}

void CApproxCompleteWeight<CSDTypeTags>::KernelKernelSums(
    const CKernels<CSDTypeTags>& set, const std::list<unsigned int>& members,
    const std::vector<CKernels<CSDTypeTags>::CElement*>& columns, std::size_t begin) const {
  MapColumns(set, columns, begin);
  const std::size_t count = columns.size() - begin;
  m_memberSums.assign(count, 0.0);
  m_isTouched.assign(count, 0);
  m_touched.clear();
  for (unsigned int id : members) {
    WalkEdges(set, id, true);
    // KernelKernelWeight adds every member's sum to the total; a member
    // without edges into a kernel adds +0.0, which leaves the total's bits
    // as they are (the total is never -0.0), so only touched columns add.
    for (unsigned int r : m_touched) {
      m_sums[r] += m_memberSums[r];
      m_memberSums[r] = 0.0;
      m_isTouched[r] = 0;
    }
    m_touched.clear();
  }
}

// ---------------------------------------------------------------------------
// The kernel-facing evaluators.

namespace {
// |K1| * |K2| as a double (exact far beyond any graph size).
double PairCount(unsigned int a, unsigned int b) {
  return static_cast<double>(a) * static_cast<double>(b);
}
}  // namespace

CSDAApproxCompleteWeight::CSDAApproxCompleteWeight(
    const CSimilarityGraph& graph)
    : CApproxCompleteWeight<CSDTypeTags>(graph),
      m_offset(-ModelWeightThreshold()) {}

double CSDAApproxCompleteWeight::Score(double w, unsigned int size) const {
  return w / static_cast<double>(size) - m_offset;
}

double CSDAApproxCompleteWeight::Evaluate(const Kernel& kernel,
                                          unsigned int id) const {
  const unsigned int size = kernel.m_cluster.m_size;
  return Score(ElementKernelWeight(id, kernel.m_memberSet, size), size);
}

void CSDAApproxCompleteWeight::EvaluateAll(const Kernels& set, const std::vector<Kernel*>& columns,
                                           unsigned int id, double* out) const {
  if (columns.empty()) return;
  if (!set.MemberSetOwnersKnown()) {
    CAdoptEvaluator<CSDTypeTags>::EvaluateAll(set, columns, id, out);
    return;
  }
  ElementKernelSums(set, id, columns, 0);
  for (std::size_t r = 0; r < columns.size(); ++r) {
    const unsigned int size = columns[r]->m_cluster.m_size;
    const long long inserted = static_cast<long long>(columns[r]->m_memberSet.Size());
    out[r] = Score(CompleteWeight(m_sums[r], m_counts[r], static_cast<long long>(size), inserted),
                   size);
  }
}

double CSDAApproxCompleteWeight::ResolveThreshold(const Kernels&,
                                                  double value) const {
  return value;
}

CSDRApproxCompleteWeight::CSDRApproxCompleteWeight(
    const CSimilarityGraph& graph)
    : CApproxCompleteWeight<CSDTypeTags>(graph),
      m_offset(-ModelWeightThreshold()) {}

double CSDRApproxCompleteWeight::Evaluate(const Kernel& kernel,
                                          unsigned int id) const {
  const unsigned int size = kernel.m_cluster.m_size;
  if (size <= 1) return vandrel::kLoneMemberScore;
  const double w = ElementKernelWeight(id, kernel.m_memberSet, size);
  // x's pair with itself has no edge; it counts among the pairs to the
  // inserted members when x is one of them.
  const bool inserted = kernel.m_memberSet.Find(id) != kernel.m_memberSet.End();
  const double self = inserted ? UnlistedPairWeight() : MissingEdgeWeight();
  return (w - self) / static_cast<double>(size - 1) - m_offset;
}

double CSDRApproxCompleteWeight::ResolveThreshold(const Kernels&,
                                                  double value) const {
  return value;
}

CSDMApproxCompleteWeight::CSDMApproxCompleteWeight(
    const CSimilarityGraph& graph)
    : CApproxCompleteWeight<CSDTypeTags>(graph),
      m_offset(-ModelWeightThreshold()) {}

double CSDMApproxCompleteWeight::Score(double w, unsigned int size1, unsigned int size2) const {
  return w - PairCount(size1, size2) * m_offset;
}

double CSDMApproxCompleteWeight::Evaluate(const Kernel& kernel1,
                                          const Kernel& kernel2) const {
  const double w =
      KernelKernelWeight(kernel1.m_cluster.m_members, kernel2.m_memberSet,
                         kernel2.m_cluster.m_size);
  return Score(w, kernel1.m_cluster.m_size, kernel2.m_cluster.m_size);
}

void CSDMApproxCompleteWeight::EvaluateRow(const Kernels& set, const Kernel& first,
                                           const std::vector<Kernel*>& columns, std::size_t begin,
                                           double* out) const {
  if (begin >= columns.size()) return;
  if (!set.MemberSetOwnersKnown()) {
    CMergeEvaluator<CSDTypeTags>::EvaluateRow(set, first, columns, begin, out);
    return;
  }
  const std::list<unsigned int>& members = first.m_cluster.m_members;
  KernelKernelSums(set, members, columns, begin);
  const long long size1 = static_cast<long long>(members.size());
  for (std::size_t q = begin; q < columns.size(); ++q) {
    const std::size_t r = q - begin;
    const unsigned int size2 = columns[q]->m_cluster.m_size;
    const long long inserted = size1 * static_cast<long long>(columns[q]->m_memberSet.Size());
    const double w =
        CompleteWeight(m_sums[r], m_counts[r], size1 * static_cast<long long>(size2), inserted);
    out[r] = Score(w, first.m_cluster.m_size, size2);
  }
}

double CSDMApproxCompleteWeight::ResolveThreshold(const Kernels&,
                                                  double value) const {
  return value;
}

// ---------------------------------------------------------------------------
// Mean-similarity evaluators (fingerprints)

CFPEvalMeanSim::CFPEvalMeanSim(const CFPGraph& graph)
    : CEvalUseGraph<CFPTypeTags>(graph) {}

const CNormFP& CFPEvalMeanSim::FingerprintOf(unsigned int id) const {
  return *m_graph->GetNormFP(m_graph->m_idToIndex[id]);
}

double CFPEvalMeanSim::MatesMean() const {
  return ModelOf(*m_graph).GetDistrib(0)->GetExp();
}

double CFPEvalMeanSim::NonMatesMean() const {
  return ModelOf(*m_graph).GetDistrib(1)->GetExp();
}

double CFPEvalMeanSim::WithinMeanSim(
    const CKernels<CFPTypeTags>& kernels) const {
  const CNormFP& first = *m_graph->GetNormFP(0);
  const double s0 = first.Similarity(first);
  double sum = 0.0;
  unsigned long long divisor = 0;
  const unsigned int n = static_cast<unsigned int>(m_graph->GetVerticesNum());
  for (unsigned int i = 0; i < n; ++i) {
    const unsigned int k = kernels.GetElementKernel(i);
    if (k == CKernels<CFPTypeTags>::kNoKernel) continue;
    const auto* kernel = kernels.GetKernelByIndex(k);
    const unsigned int size = kernel->m_cluster.m_size;
    const double sim =
        kernel->m_cluster.GetCentroid().Similarity(*m_graph->GetNormFP(i));
    sum += static_cast<double>(size) * sim - s0;
    divisor += size - 1;
  }
  if (divisor == 0) return s0;
  return sum / static_cast<double>(divisor);
}

double CFPEvalMeanSim::BetweenMeanSim(
    const CKernels<CFPTypeTags>& kernels) const {
  if (kernels.GetKernelsNum() < 2)
    return CNormFP::GetSimilarityHandler()->GetMinSim();
  const auto& list = kernels.GetKernelList();
  double sum = 0.0;
  double pairs = 0.0;
  for (auto a = list.begin(); a != list.end(); ++a) {
    auto b = a;
    for (++b; b != list.end(); ++b) {
      const double weight = PairCount(a->m_cluster.m_size, b->m_cluster.m_size);
      sum += weight * a->m_cluster.GetCentroid().Similarity(
                          b->m_cluster.GetCentroid());
      pairs += weight;
    }
  }
  return sum / pairs;
}

CFPAEvalMeanSim::CFPAEvalMeanSim(const CFPGraph& graph)
    : CFPEvalMeanSim(graph) {}

double CFPAEvalMeanSim::Evaluate(const Kernel& kernel, unsigned int id) const {
  return kernel.m_cluster.GetCentroid().Similarity(FingerprintOf(id));
}

void CFPAEvalMeanSim::EvaluateAll(const Kernels&, const std::vector<Kernel*>& kernels,
                                  unsigned int id, double* out) const {
  const CSimilarityHandler* handler = CNormFP::GetSimilarityHandler();
  if (handler == nullptr) throw "CNormFP::Similarity - similarity handler is not set";
  const CNormFP& fp = FingerprintOf(id);
  m_centroids.clear();
  for (const Kernel* k : kernels) m_centroids.push_back(k->m_cluster.GetCentroid().GetValues());
  // The similarity is a sum of products in index order, and each product of
  // two floats is exact in double: element-by-centroid gives the same bits
  // as centroid-by-element.
  handler->GetEvaluator()->EvaluateMany(fp.GetValues(), m_centroids.data(), m_centroids.size(),
                                        out);
}

double CFPAEvalMeanSim::ResolveThreshold(const Kernels& kernels,
                                         double value) const {
  if (value == kMatesMeanMarker) return MatesMean();
  if (value != kKernelStatsMarker) return value;
  const double within = WithinMeanSim(kernels);
  if (kernels.GetKernelsNum() >= 2) {
    const double between = BetweenMeanSim(kernels);
    if (between >= 0.0) return 0.5 * (within + between);
  }
  return 0.5 * within;
}

CFPREvalMeanSim::CFPREvalMeanSim(const CFPGraph& graph)
    : CFPEvalMeanSim(graph) {}

double CFPREvalMeanSim::Evaluate(const Kernel& kernel, unsigned int id) const {
  const unsigned int size = kernel.m_cluster.m_size;
  if (size <= 1) return vandrel::kLoneMemberScore;
  const CNormFP& fp = FingerprintOf(id);
  const CNormFP others(kernel.m_cluster.GetCentroid(), static_cast<int>(size),
                       fp, -1);
  return fp.Similarity(others);
}

double CFPREvalMeanSim::ResolveThreshold(const Kernels& kernels,
                                         double value) const {
  if (value == kMatesMeanMarker) return MatesMean();
  if (value != kKernelStatsMarker) return value;
  const double within = WithinMeanSim(kernels);
  const double between = BetweenMeanSim(kernels);
  return 0.9 * within + (1 - 0.9) * between;
}

CFPMEvalMeanSim::CFPMEvalMeanSim(const CFPGraph& graph)
    : CFPEvalMeanSim(graph) {}

double CFPMEvalMeanSim::Evaluate(const Kernel& kernel1,
                                 const Kernel& kernel2) const {
  return kernel1.m_cluster.GetCentroid().Similarity(
      kernel2.m_cluster.GetCentroid());
}

double CFPMEvalMeanSim::ResolveThreshold(const Kernels&, double value) const {
  if (value == kMatesMeanMarker) return MatesMean();
  if (value == kMidMeansMarker) return 0.5 * (MatesMean() + NonMatesMean());
  return value;
}

// ---------------------------------------------------------------------------

template <class T>
CEvaluatorSet<T> CreateEvaluators(const typename T::Graph& graph) {
  CEvaluatorSet<T> set;
  try {
    set.m_adopt.reset(new typename T::AdoptEvaluatorImpl(graph));
    set.m_reject.reset(new typename T::RejectEvaluatorImpl(graph));
    set.m_merge.reset(new typename T::MergeEvaluatorImpl(graph));
  } catch (const std::bad_alloc&) {
    throw "CExecuter::CreateEvaluators - memory problem";
  }
  return set;
}

template CEvaluatorSet<CSDTypeTags> CreateEvaluators<CSDTypeTags>(
    const CSimilarityGraph& graph);
template CEvaluatorSet<CFPTypeTags> CreateEvaluators<CFPTypeTags>(
    const CFPGraph& graph);

