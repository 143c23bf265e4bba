// Merge passes, the merge strategy and the rejection strategies (see
// Merger.h for the costs).
#include "vandrel/engine/Merger.h"

#include "vandrel/engine/Evaluators.h"

namespace {
constexpr unsigned int kNoPartner = vandrel::CBestRow::kNone;
}  // namespace

template <class T>
CMerger<T>::CMerger(CMergeEvaluator<T>* evaluator) : m_evaluator(evaluator) {}

template <class T>
void CMerger<T>::MergeAll(Kernels& kernels, double threshold) {
  m_kernels = &kernels;
  const double theta = m_evaluator->ResolveThreshold(kernels, threshold);
  Passes(theta, 1);
}

template <class T>
void CMerger<T>::MergeAll(Kernels& kernels, double threshold, int minCount) {
  m_kernels = &kernels;
  Passes(threshold, minCount);
}

template <class T>
void CMerger<T>::Passes(double theta, int minCount) {
  const bool cached = m_useCache && OfferKeepsKernels();
  m_cacheValid = false;
  unsigned int before;
  do {
    before = m_kernels->GetKernelsNum();
    StartPass();
    if (cached)
      CachedPass(theta);
    else
      PlainPass(theta);
    FinishPass();
  } while (static_cast<long long>(m_kernels->GetKernelsNum()) > minCount &&
           m_kernels->GetKernelsNum() != before);
  m_cacheValid = false;
  m_rows.clear();
  m_order.clear();
  m_posOf.clear();
  m_seenStamp.clear();
  m_seenLive.clear();
}

template <class T>
void CMerger<T>::PlainPass(double theta) {
  auto& list = m_kernels->GetKernelList();
  for (auto a = list.begin(); a != list.end(); ++a) {
    double best = theta;
    Kernel* partner = nullptr;
    for (auto b = std::next(a); b != list.end(); ++b) {
      const double s = m_evaluator->Evaluate(*a, *b);
      if (s >= best) {
        best = s;
        partner = &*b;
      }
    }
    if (partner) Offer(&*a, partner, best);
  }
}

template <class T>
void CMerger<T>::ComputeRow(std::size_t pos, double theta) {
  Kernel& a = *m_order[pos];
  vandrel::CBestRow& row = m_rows[a.m_index];
  row.m_best = theta;
  row.m_column = kNoPartner;
  // The scores of a against every later kernel, in one batch.
  m_scores.resize(m_order.size() - pos - 1);
  m_evaluator->EvaluateRow(*m_kernels, a, m_order, pos + 1, m_scores.data());
  for (std::size_t q = pos + 1; q < m_order.size(); ++q) {
    const double s = m_scores[q - pos - 1];
    if (s >= row.m_best) {
      row.m_best = s;
      row.m_column = m_order[q]->m_index;
    }
  }
  row.m_valid = true;
}

// Every kernel keeps its row: the best partner among the kernels after it
// (the later one on equal scores) and that score.  Between passes only the
// pairs with a changed kernel are scored again; a row whose partner vanished
// or scores lower than before is computed anew.  The pass offers the rows in
// list order, exactly as the plain pass does.
template <class T>
void CMerger<T>::CachedPass(double theta) {
  Kernels& kernels = *m_kernels;
  const unsigned int n = kernels.GetNextIndex();
  if (m_rows.size() < n) {
    m_rows.resize(n);
    m_posOf.resize(n, 0);
    m_seenStamp.resize(n, 0);
    m_seenLive.resize(n, false);
  }
  m_order.clear();
  for (Kernel& k : kernels.GetKernelList()) {
    m_posOf[k.m_index] = static_cast<unsigned int>(m_order.size());
    m_order.push_back(&k);
  }
  const std::size_t count = m_order.size();

  bool all = !m_cacheValid;
  std::vector<char> isChanged(count, 0);
  std::vector<std::size_t> changed;
  if (!all) {
    for (std::size_t p = 0; p < count; ++p) {
      const Kernel& k = *m_order[p];
      if (!m_seenLive[k.m_index]) {
        all = true;  // a kernel that the cache has never seen
        break;
      }
      if (k.m_changeStamp != m_seenStamp[k.m_index]) {
        isChanged[p] = 1;
        changed.push_back(p);
      }
    }
  }

  for (std::size_t p = 0; p < count; ++p) {
    Kernel& x = *m_order[p];
    vandrel::CBestRow& row = m_rows[x.m_index];
    bool recompute = all || !row.m_valid || isChanged[p];
    std::size_t partnerPos = count;
    if (!recompute && row.HasBest()) {
      Kernel* partner = kernels.GetKernelByIndex(row.m_column);
      if (!partner) {
        recompute = true;  // the partner was merged away
      } else {
        partnerPos = m_posOf[row.m_column];
        if (isChanged[partnerPos]) {
          const double s = m_evaluator->Evaluate(x, *partner);
          if (s >= row.m_best)
            row.m_best = s;
          else
            recompute = true;
        }
      }
    }
    if (!recompute) {
      for (std::size_t c : changed) {
        if (c <= p || c == partnerPos) continue;
        const double s = m_evaluator->Evaluate(x, *m_order[c]);
        const bool later = !row.HasBest() || c > m_posOf[row.m_column];
        if (s > row.m_best || (s == row.m_best && later)) {
          row.m_best = s;
          row.m_column = m_order[c]->m_index;
        }
      }
    } else {
      ComputeRow(p, theta);
    }
    if (row.HasBest()) Offer(&x, m_order[m_posOf[row.m_column]], row.m_best);
  }

  m_seenLive.assign(m_seenLive.size(), false);
  for (const Kernel* k : m_order) {
    m_seenStamp[k->m_index] = k->m_changeStamp;
    m_seenLive[k->m_index] = true;
  }
  m_cacheValid = true;
}

template <class T>
void CMergeBest<T>::Offer(Kernel* a, Kernel* b, double score) {
  if (!m_bestPair[0] || score > m_bestScore) {
    m_bestPair[0] = a;
    m_bestPair[1] = b;
    m_bestScore = score;
  }
}

template <class T>
void CMergeBest<T>::FinishPass() {
  if (!m_bestPair[0]) return;
  Kernel* a = m_bestPair[0];
  Kernel* b = m_bestPair[1];
  m_bestPair[0] = m_bestPair[1] = nullptr;
  this->m_kernels->Merge(*a, *b);
}

template <class T>
void CRejectEvery<T>::Offer(Kernel* kernel, std::list<unsigned int>::const_iterator member, double) {
  if (!this->m_kernels || !this->m_unassigned) throw "CRejectEvery::Offer - no kernels attached";
  this->m_kernels->Reject(*kernel, member, *this->m_unassigned);
}

template <class T>
void CRejectWorst<T>::Offer(Kernel* kernel, std::list<unsigned int>::const_iterator member, double score) {
  if (!m_bestKernel || score < m_bestScore) {
    m_bestKernel = kernel;
    m_bestElement = member;
    m_bestScore = score;
  }
}

template <class T>
void CRejectWorst<T>::FinishPass() {
  if (!m_bestKernel) return;
  if (!this->m_kernels || !this->m_unassigned) throw "CRejectWorst::FinishPass - no kernels attached";
  Kernel* kernel = m_bestKernel;
  m_bestKernel = nullptr;
  this->m_kernels->Reject(*kernel, m_bestElement, *this->m_unassigned);
}

template class CMerger<CSDTypeTags>;
template class CMerger<CFPTypeTags>;
template class CMergeBest<CSDTypeTags>;
template class CMergeBest<CFPTypeTags>;
template class CRejector<CSDTypeTags>;
template class CRejector<CFPTypeTags>;
template class CRejectEvery<CSDTypeTags>;
template class CRejectEvery<CFPTypeTags>;
template class CRejectWorst<CSDTypeTags>;
template class CRejectWorst<CFPTypeTags>;
