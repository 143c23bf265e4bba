// Two-normal mixture fit: grid-search starting values (moments plus 400 grid
// points, O(n + 400)) refined by EM (O(n) per iteration until the
// log-likelihood gains less than 0.5 in one iteration).
#include "vandrel/stats/EM.h"

#include <cmath>
#include <new>

namespace {

// EM stops once an iteration raises the log-likelihood by less than this.
constexpr double kMinLogLikelihoodGain = 0.5;
// The fitted prior of mates is capped here.
constexpr double kMaxPMates = 0.25;

// Predicted fraction of values >= t under the mixture p*N(muT, sd) +
// (1-p)*N(muF, sd), with the grid search's cumulative probability.
double PredictedUpperTail(double t, double p, double q, double muT, double muF, double sd) {
  return p * (1.0 - vandrel::PhiFloatArg(t, muT, sd)) + q * (1.0 - vandrel::PhiFloatArg(t, muF, sd));
}

// Mixture terms A = p*fT(x), B = (1-p)*fF(x) per value; returns the
// log-likelihood sum of ln(A + B).
double CalcTerms(const std::vector<double>& values, const CDistrib& T, const CDistrib& F,
                 double pMates, std::vector<double>& A, std::vector<double>& B) {
  double logLikelihood = 0.0;
  for (std::size_t i = 0; i < values.size(); ++i) {
    A[i] = pMates * T.Pdf(values[i]);
    B[i] = (1.0 - pMates) * F.Pdf(values[i]);
    logLikelihood += std::log(A[i] + B[i]);
  }
  return logLikelihood;
}

// Weighted mean and standard deviation of the values under responsibilities r.
void WeightedMoments(const std::vector<double>& values, const std::vector<double>& r, double sumR,
                     double& mean, double& sd) {
  double sum = 0.0;
  for (std::size_t i = 0; i < values.size(); ++i) sum += r[i] * values[i];
  mean = sum / sumR;
  double sumSq = 0.0;
  for (std::size_t i = 0; i < values.size(); ++i) {
    const double d = values[i] - mean;
    sumSq += r[i] * (d * d);
  }
  sd = std::sqrt(sumSq / sumR);
}

}  // namespace

CMathematics::CMoments::CMoments(const std::vector<double>& values) {
  const double n = static_cast<double>(values.size());
  double sum = 0.0;
  double sumSq = 0.0;
  for (double x : values) {
    sum += x;
    sumSq += x * x;
  }
  m_mean = sum / n;
  m_std = std::sqrt((sumSq - m_mean * m_mean * n) / (n - 1.0));
}

CMathematics::CMoments::~CMoments() = default;

CEM::CEM() : m_initParms{0.0, 0.0, 0.0, 0.0, 0.0} {}

CEM::~CEM() = default;

void CEM::InitParms(const std::vector<double>& values, std::unique_ptr<CDistrib>& T,
                    std::unique_ptr<CDistrib>& F, double& pMates) {
  for (double& parm : m_initParms) parm = 0.0;

  if (T && F) {
    m_initParms[0] = pMates;
    m_initParms[1] = T->GetExp();
    m_initParms[2] = T->GetStd();
    m_initParms[3] = F->GetExp();
    m_initParms[4] = F->GetStd();
    return;
  }

  const double n = static_cast<double>(values.size());
  const CMathematics::CMoments moments(values);
  const double m = moments.GetMean();
  const double s = moments.GetStd();

  // Observed upper-tail fractions at m, m + s and m - s.
  const double upper = m + s;
  const double lower = m - s;
  std::size_t atMean = 0, atUpper = 0, atLower = 0;
  for (double x : values) {
    if (x >= m) ++atMean;
    if (x >= upper) ++atUpper;
    if (x >= lower) ++atLower;
  }
  const double a = atMean / n;
  const double b = atUpper / n;
  const double c = atLower / n;

  // Grid over the separation d (in units of the shared standard deviation)
  // and the prior p.  The counters accumulate in 64-bit floating point, so
  // the last values visited are 2.4 and 0.24.
  double bestErr = 1000000.0;
  for (double d = 0.5; d <= 2.5; d += 0.1) {
    for (double p = 0.05; p <= 0.25; p += 0.01) {
      const double q = 1.0 - p;
      // Shared standard deviation that keeps the mixture variance at s^2.
      const double sd = std::sqrt(s * s / (1.0 + q * p * d * d));
      if (sd < s / 2.0) continue;
      const double muF = m - sd * p * d;
      const double muT = muF + sd * d;
      const double err = std::fabs(PredictedUpperTail(lower, p, q, muT, muF, sd) - c) +
                         std::fabs(PredictedUpperTail(upper, p, q, muT, muF, sd) - b) +
                         std::fabs(PredictedUpperTail(m, p, q, muT, muF, sd) - a);
      if (err < bestErr) {
        bestErr = err;
        m_initParms[0] = p;
        m_initParms[1] = muT;
        m_initParms[2] = sd;
        m_initParms[3] = muF;
        m_initParms[4] = sd;
      }
    }
  }

  // With no accepted pair the parameters are zero and the construction
  // fails with the distribution's own message.
  try {
    std::unique_ptr<CDistrib> newF(new CNormDistrib(m_initParms[3], m_initParms[4]));
    std::unique_ptr<CDistrib> newT(new CNormDistrib(m_initParms[1], m_initParms[2]));
    F = std::move(newF);
    T = std::move(newT);
  } catch (const std::bad_alloc&) {
    throw "CEM::InitParms - memory problems";
  }
  pMates = m_initParms[0];
}

void CEM::Run(const std::vector<double>& values, std::unique_ptr<CDistrib>& T,
              std::unique_ptr<CDistrib>& F, double& pMates) {
  InitParms(values, T, F, pMates);

  if (values.size() < kMinValuesForEM) {
    if (!T || !F) throw "CEM::Run - not enough values";
    return;
  }
  if (!(pMates > 0.0 && pMates < 1.0)) throw "CEM::Run - illegal value of initial mates prob";

  try {
    const std::size_t n = values.size();
    std::vector<double> A(n), B(n), rT(n), rF(n);
    std::unique_ptr<CNormDistrib> fitT(new CNormDistrib(T->GetExp(), T->GetStd()));
    std::unique_ptr<CNormDistrib> fitF(new CNormDistrib(F->GetExp(), F->GetStd()));
    double p = pMates;
    double logLikelihood = CalcTerms(values, *fitT, *fitF, p, A, B);
    double prevLogLikelihood = 0.0;
    bool first = true;
    for (;;) {
      // A log-likelihood of -inf (both densities underflow at some value)
      // stops here; +inf or NaN continue and end in the fallback below,
      // because the responsibilities of that value are NaN.
      if (!first && logLikelihood - prevLogLikelihood < kMinLogLikelihoodGain) break;
      first = false;
      prevLogLikelihood = logLikelihood;

      double sumT = 0.0;
      double sumF = 0.0;
      for (std::size_t i = 0; i < n; ++i) {
        rT[i] = A[i] / (A[i] + B[i]);
        rF[i] = B[i] / (B[i] + A[i]);
        sumT += rT[i];
        sumF += rF[i];
      }
      if (sumT == 0) throw "sumGTrue == 0";
      if (sumF == 0) throw "sumGFalse == 0";

      double mean, sd;
      WeightedMoments(values, rT, sumT, mean, sd);
      fitT->SetParms(mean, sd);
      WeightedMoments(values, rF, sumF, mean, sd);
      fitF->SetParms(mean, sd);
      p = sumT / (sumF + sumT);

      logLikelihood = CalcTerms(values, *fitT, *fitF, p, A, B);
    }
    if (p > kMaxPMates) p = kMaxPMates;
    T = std::move(fitT);
    F = std::move(fitF);
    pMates = p;
  } catch (...) {
    // Any failure of the iterations returns to the initial parameters.
    T.reset(new CNormDistrib(m_initParms[1], m_initParms[2]));
    F.reset(new CNormDistrib(m_initParms[3], m_initParms[4]));
    pMates = m_initParms[0];
  }
}
