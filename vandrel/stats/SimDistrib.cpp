// Mates/non-mates model: reading and writing "<prefix>.distrib", the EM fit,
// the log-likelihood ratio and its closed-form inverse, and the simulated
// weight distributions (2 x 100000 draws and one O(n log n) sort each).
#include "vandrel/stats/SimDistrib.h"

#include <emmintrin.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <new>
#include <sstream>
#include <typeinfo>

#include "vandrel/run/AtomicFile.h"
#include "vandrel/stats/EM.h"
#include "vandrel/stats/Random.h"
#include "vandrel/stats/SortDoubles.h"

namespace {

std::string DistribPath(const std::string& prefix) { return prefix + ".distrib"; }

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

CSimDistrib::CSimDistrib() = default;

CSimDistrib::CSimDistrib(const std::string& prefix) {
  std::ifstream in(DistribPath(prefix));
  if (!in.is_open()) throw "CSimDistrib constructor - problems reading file";
  Read(in);
  in.close();
  CalcEvalPart();
  SimulateWeights();
}

std::string CSimDistrib::FitText(const std::vector<double>& sample) {
  CSimDistrib fitted;
  CEM em;
  em.Run(sample, fitted.m_distribs[0], fitted.m_distribs[1], fitted.m_pMates);
  // A fit that the fitting constructor rejects fails here the same way.
  fitted.CalcEvalPart();
  std::ostringstream text;
  fitted.Write(text);
  return text.str();
}

std::unique_ptr<CSimDistrib> CSimDistrib::FromText(const std::string& text) {
  std::unique_ptr<CSimDistrib> model(new CSimDistrib());
  std::istringstream in(text);
  model->Read(in);
  model->CalcEvalPart();
  model->SimulateWeights();
  return model;
}

void CSimDistrib::Read(std::istream& in) {
  std::string token;
  if (!(in >> token)) throw "CSimDistrib constructor - problems reading file";
  if (token != "P_MATES") throw "CSimDistrib constructor - illegal file format";
  if (!(in >> m_pMates)) throw "CSimDistrib constructor - problems reading file";
  in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
  AllocateDistrib(in, 0);
  AllocateDistrib(in, 1);
}

CSimDistrib::CSimDistrib(const std::vector<double>& sample, const CSimDistrib* start) {
  if (start) {
    m_pMates = start->m_pMates;
    AllocateDistrib(*start->m_distribs[0], 0);
    AllocateDistrib(*start->m_distribs[1], 1);
  }
  CEM em;
  em.Run(sample, m_distribs[0], m_distribs[1], m_pMates);
  CalcEvalPart();
  SimulateWeights();
}

CSimDistrib::CSimDistrib(const CSimDistrib& other) { CopyFrom(other); }

CSimDistrib& CSimDistrib::operator=(const CSimDistrib& other) {
  if (this != &other) CopyFrom(other);
  return *this;
}

CSimDistrib::~CSimDistrib() = default;

void CSimDistrib::CopyFrom(const CSimDistrib& other) {
  m_pMates = other.m_pMates;
  for (int i = 0; i < 2; ++i) {
    if (other.m_distribs[i])
      AllocateDistrib(*other.m_distribs[i], i);
    else
      m_distribs[i].reset();
    m_simWeights[i] = other.m_simWeights[i];
    m_sorted[i] = other.m_sorted[i];
    m_sumsMemo[i] = other.m_sumsMemo[i];
    m_maxWeights[i] = other.m_maxWeights[i];
    m_weightStds[i] = other.m_weightStds[i];
    m_weightMeans[i] = other.m_weightMeans[i];
  }
  m_priorLogOdds = other.m_priorLogOdds;
  m_c1 = other.m_c1;
  m_c2 = other.m_c2;
  m_c3 = other.m_c3;
  m_c4 = other.m_c4;
  m_c5 = other.m_c5;
  m_weightTh = other.m_weightTh;
}

void CSimDistrib::AllocateDistrib(std::istream& in, int index) {
  std::string type;
  if (!(in >> type)) throw "CSimDistrib::AllocateDistrib - problems reading from file";
  if (type != "NormDistrib") throw "CSimDistrib::AllocateDistrib - unknown distrib type";
  try {
    m_distribs[index].reset(new CNormDistrib(in));
  } catch (const std::bad_alloc&) {
    throw "CSimDistrib::AllocateDistrib - memory problems";
  } catch (...) {
    throw "CSimDistrib::AllocateDistrib - problems reading from file";
  }
}

void CSimDistrib::AllocateDistrib(const CDistrib& source, int index) {
  const CNormDistrib* norm = dynamic_cast<const CNormDistrib*>(&source);
  if (!norm) throw "CSimDistrib::AllocateDistrib - unknown distrib type";
  try {
    m_distribs[index].reset(new CNormDistrib(*norm));
  } catch (const std::bad_alloc&) {
    throw "CSimDistrib::AllocateDistrib - memory problems";
  }
}

void CSimDistrib::CalcEvalPart() {
  if (!(m_pMates > 0.0 && m_pMates < 1.0)) throw "CSimDistrib::CalcEvalPart - illegal value for mates prob";
  const double muT = m_distribs[0]->GetExp();
  const double sdT = m_distribs[0]->GetStd();
  const double muF = m_distribs[1]->GetExp();
  const double sdF = m_distribs[1]->GetStd();
  m_priorLogOdds = std::log(m_pMates / (1.0 - m_pMates));
  m_c1 = std::log(sdF / sdT);
  const double prodSd = sdT * sdF;
  m_c2 = prodSd * prodSd;
  const double muFsdT = muF * sdT;
  const double muTsdF = muT * sdF;
  m_c3 = muFsdT * muFsdT - muTsdF * muTsdF;
  m_c4 = sdT * sdT - sdF * sdF;
  m_c5 = -2.0 * (muF * (sdT * sdT) - muT * (sdF * sdF));
}

double CSimDistrib::CalcLogRatio(double x) const {
  return m_distribs[0]->LogPdf(x) - m_distribs[1]->LogPdf(x);
}

std::vector<double> CSimDistrib::SolveLogRatio(double w) const {
  std::vector<double> roots;
  const double K = m_c3 - 2.0 * m_c2 * (w - m_c1);
  if (m_c4 == 0) {
    // Equal standard deviations: the ratio is linear in x.  With equal means
    // too it is constant and no single value solves it.
    if (m_c5 != 0) roots.push_back(-K / m_c5);
    return roots;
  }
  const double D = m_c5 * m_c5 - 4.0 * m_c4 * K;
  if (D == 0) {
    roots.push_back(-m_c5 / (2.0 * m_c4));
  } else if (D > 0) {
    const double sqrtD = std::sqrt(D);
    roots.push_back((sqrtD - m_c5) / (2.0 * m_c4));
    roots.push_back((-m_c5 - sqrtD) / (2.0 * m_c4));
  }
  return roots;
}

void CSimDistrib::SimulateWeights() {
  const double x0 = m_distribs[0]->GetExp() + 0.5 * m_distribs[0]->GetStd();
  double sums[2] = {0.0, 0.0};
  double sumsSq[2] = {0.0, 0.0};
  for (int c = 0; c < 2; ++c) {
    m_simWeights[c].clear();
    m_simWeights[c].reserve(kSimDrawsNum);
  }
  // Draws alternate mates, non-mates, mates, ... from the one generator.
  const CDistrib& mates = *m_distribs[0];
  const CDistrib& nonMates = *m_distribs[1];
  if (typeid(mates) == typeid(CNormDistrib) && typeid(nonMates) == typeid(CNormDistrib)) {
    const auto* n0 = static_cast<const CNormDistrib*>(&mates);
    const auto* n1 = static_cast<const CNormDistrib*>(&nonMates);
    // Two normal components (the model's usual form): the same draws and
    // log-ratios in two passes.  The first runs the generator and the polar
    // method's accept test for all 2 x N values, without a branch on the
    // test (a rejected pair is overwritten by the next one); the second does
    // the logarithms, roots and densities, which then wait neither on the
    // generator's chain of steps nor on mispredicted branches.  Value i of
    // the sequence belongs to round i / 2, component i % 2.
    const std::size_t total = 2 * static_cast<std::size_t>(kSimDrawsNum);
    thread_local std::vector<double> us, ss;
    us.resize(total);
    ss.resize(total);
    {
      vandrel::CRandCursor cursor;
      std::size_t k = 0;
      while (k < total) {
        const double u = CNormDistrib::PolarCoordinate(cursor.Next());
        const double v = CNormDistrib::PolarCoordinate(cursor.Next());
        const double s = u * u + v * v;
        us[k] = u;
        ss[k] = s;
        k += s < 1.0 ? 1 : 0;
      }
    }
    // One round per step, mates in the low lane and non-mates in the high
    // one: the operations of PolarValue, FromStdNormal and LogPdfInline in
    // their order, each of which rounds in a lane exactly as on its own, so
    // the weights and the per-component sums are those of the one-by-one
    // loop; only the logarithms are taken one by one.
    const __m128d minusTwo = _mm_set1_pd(-2.0);
    const __m128d mean = _mm_set_pd(n1->GetExp(), n0->GetExp());
    const __m128d sd = _mm_set_pd(n1->GetStd(), n0->GetStd());
    const __m128d exp0 = _mm_set1_pd(n0->GetExp()), exp1 = _mm_set1_pd(n1->GetExp());
    const __m128d minusLogNorm0 = _mm_set1_pd(-n0->GetLogNorm());
    const __m128d minusLogNorm1 = _mm_set1_pd(-n1->GetLogNorm());
    const __m128d twoVar0 = _mm_set1_pd(n0->GetTwoVar()), twoVar1 = _mm_set1_pd(n1->GetTwoVar());
    __m128d sum = _mm_setzero_pd(), sumSq = _mm_setzero_pd();
    for (int round = 0; round < kSimDrawsNum; ++round) {
      const std::size_t i = 2 * static_cast<std::size_t>(round);
      const __m128d s = _mm_loadu_pd(&ss[i]);
      const __m128d logs = _mm_set_pd(std::log(ss[i + 1]), std::log(ss[i]));
      const __m128d g = _mm_mul_pd(_mm_loadu_pd(&us[i]), _mm_sqrt_pd(_mm_div_pd(_mm_mul_pd(minusTwo, logs), s)));
      const __m128d x = _mm_add_pd(mean, _mm_mul_pd(sd, g));
      const __m128d d0 = _mm_sub_pd(exp0, x);
      const __m128d d1 = _mm_sub_pd(exp1, x);
      const __m128d lp0 = _mm_sub_pd(minusLogNorm0, _mm_div_pd(_mm_mul_pd(d0, d0), twoVar0));
      const __m128d lp1 = _mm_sub_pd(minusLogNorm1, _mm_div_pd(_mm_mul_pd(d1, d1), twoVar1));
      const __m128d w = _mm_sub_pd(lp0, lp1);
      sum = _mm_add_pd(sum, w);
      sumSq = _mm_add_pd(sumSq, _mm_mul_pd(w, w));
      double lanes[2];
      _mm_storeu_pd(lanes, w);
      m_simWeights[0].push_back(lanes[0]);
      m_simWeights[1].push_back(lanes[1]);
    }
    _mm_storeu_pd(sums, sum);
    _mm_storeu_pd(sumsSq, sumSq);
  } else {
    for (int round = 0; round < kSimDrawsNum; ++round) {
      for (int c = 0; c < 2; ++c) {
        const double w = CalcLogRatio(m_distribs[c]->Draw());
        m_simWeights[c].push_back(w);
        sums[c] += w;
        sumsSq[c] += w * w;
      }
    }
  }
  for (int c = 0; c < 2; ++c) {
    const double mean = sums[c] * 0.00001;
    m_weightMeans[c] = mean;
    m_weightStds[c] = std::sqrt((sumsSq[c] - mean * mean * 100000.0) * 1.000010000100001e-5);
    const std::vector<double>& weights = m_simWeights[c];
    m_maxWeights[c] = weights.empty() ? 0.0 : *std::max_element(weights.begin(), weights.end());
    m_sorted[c] = false;
    m_sumsMemo[c].valid = false;
  }
  m_weightTh = (m_priorLogOdds + CalcLogRatio(x0) < 0) ? -m_weightMeans[0] : m_priorLogOdds;
}

void CSimDistrib::Write(std::ostream& out) const {
  out << "P_MATES\t" << m_pMates << "\n";
  for (int c = 0; c < 2; ++c) {
    m_distribs[c]->WriteName(out);
    m_distribs[c]->SaveParms(out);
  }
}

const std::vector<double>& CSimDistrib::GetSimWeights(int index) const {
  if (!m_sorted[index]) {
    vandrel::SortDoubles(m_simWeights[index]);
    m_sorted[index] = true;
  }
  return m_simWeights[index];
}

void CSimDistrib::ThresholdedSums(int index, double w, double replacement, double& sum,
                                  double& sumSq) const {
  CSumsMemo& memo = m_sumsMemo[index];
  if (memo.valid && SameBits(memo.w, w) && SameBits(memo.replacement, replacement)) {
    sum = memo.sum;
    sumSq = memo.sumSq;
    return;
  }
  WalkThresholded(index, w, replacement, sum, sumSq);
  memo.valid = true;
  memo.w = w;
  memo.replacement = replacement;
  memo.sum = sum;
  memo.sumSq = sumSq;
}

void CSimDistrib::WalkThresholded(int index, double w, double replacement, double& sum,
                                  double& sumSq) const {
  sum = 0.0;
  sumSq = 0.0;
  auto add = [&sum, &sumSq](double v) {
    sum += v;
    sumSq += v * v;
  };
  if (!m_sorted[index]) {
    // The weights above w, sorted apart.  A zero among them would leave the
    // order of +0 and -0 to the sort, so that case sorts the whole table.
    const std::vector<double>& weights = m_simWeights[index];
    thread_local std::vector<double> above;
    above.clear();
    bool zero = false;
    for (double x : weights) {
      if (x > w) {
        above.push_back(x);
        zero = zero || x == 0.0;
      }
    }
    // A large part is sorted as the whole table, which later calls reuse.
    if (!zero && above.size() * 4 <= weights.size()) {
      vandrel::SortDoubles(above);
      for (std::size_t i = above.size(); i < weights.size(); ++i) add(replacement);
      for (double x : above) add(x);
      return;
    }
  }
  for (double x : GetSimWeights(index)) add(x > w ? x : replacement);
}

void CSimDistrib::Save(const std::string& prefix, bool overwrite) const {
  const std::string path = DistribPath(prefix);
  if (!overwrite && access(path.c_str(), F_OK) == 0) return;
  // Written beside the target and renamed into place when complete; a
  // write that did not reach the disk is a failure, not a saved model.
  vandrel::CAtomicFile file(path);
  if (!file.IsOpen()) throw "CSimDistrib::Save - problems with outFile";
  Write(file.Stream());
  if (!file.Commit()) throw "CSimDistrib::Save - problems with outFile";
}
