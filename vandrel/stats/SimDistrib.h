#pragma once
// The mates/non-mates model of pairwise similarity values.
//
// A prior pMates and two distributions, [0] mates ("T") and [1] non-mates
// ("F").  The edge weight of a similarity x is the log-likelihood ratio
// LR(x) = ln fT(x) - ln fF(x) = c1 + (c4 x^2 + c5 x + c3) / (2 c2), inverted
// in closed form by SolveLogRatio.  Each model also holds, per component,
// 100000 sorted log-likelihood ratios of simulated draws with their mean and
// standard deviation (2 x 100000 draws from the process-wide generator, taken
// T, F, T, F ...), and the weight threshold derived from them.  The tables
// are sorted when first asked for; thresholded sums over them sort only the
// part they need.
//
// The model is read from or written to "<prefix>.distrib":
//   P_MATES\t<pMates>
//   NormDistrib
//   EXP\t<muT>
//   STD\t<sigmaT>
//   NormDistrib
//   EXP\t<muF>
//   STD\t<sigmaF>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "vandrel/stats/NormDistrib.h"

class CSimDistrib {
 public:
  // Reads "<prefix>.distrib", then computes the evaluation parts and the
  // simulated weights.
  explicit CSimDistrib(const std::string& prefix);
  // Fits the model to the sample by EM.  With a starting model the fit starts
  // from (and, for fewer than 5000 values, keeps) its parameters; with null
  // the starting parameters come from the grid search.
  CSimDistrib(const std::vector<double>& sample, const CSimDistrib* start);
  CSimDistrib(const CSimDistrib& other);
  CSimDistrib& operator=(const CSimDistrib& other);
  virtual ~CSimDistrib();

  // The text of the ".distrib" file of the model that the fitting
  // constructor with no starting model gives for `sample` (EM only: no
  // simulated weights, no random draws; an illegal pMates fails as there).
  static std::string FitText(const std::vector<double>& sample);
  // The model read from the text of a ".distrib" file, exactly as
  // CSimDistrib(prefix) reads that file: same values, same failures, and
  // the same simulated weights drawn from the generator.
  static std::unique_ptr<CSimDistrib> FromText(const std::string& text);

  // Writes "<prefix>.distrib" unless overwrite is false and it exists.
  void Save(const std::string& prefix, bool overwrite) const;
  // Writes the text of the ".distrib" file.
  void Write(std::ostream& out) const;

  // Computes priorLogOdds and c1..c5; throws
  // "CSimDistrib::CalcEvalPart - illegal value for mates prob" unless
  // 0 < pMates < 1.
  void CalcEvalPart();

  // ln fT(x) - ln fF(x), without the prior.
  double CalcLogRatio(double x) const;

  // The similarity values x with LR(x) = w: none, one or two (two in the
  // order (sqrt(D) - c5) / (2 c4), then (-c5 - sqrt(D)) / (2 c4)).
  std::vector<double> SolveLogRatio(double w) const;

  double GetPMates() const { return m_pMates; }
  // index 0 mates, 1 non-mates
  const CDistrib* GetDistrib(int index) const { return m_distribs[index].get(); }
  // Sorted simulated log-likelihood ratios of draws from component index
  // (sorted on the first request).
  const std::vector<double>& GetSimWeights(int index) const;
  // Number of simulated weights of component index (no sort).
  std::size_t GetSimWeightsNum(int index) const { return m_simWeights[index].size(); }
  // The largest simulated weight of component index.
  double GetMaxSimWeight(int index) const { return m_maxWeights[index]; }
  // The sums that a walk over GetSimWeights(index) in ascending order gives
  // when every weight not above w is replaced by `replacement`:
  //   for x in sorted weights: v = x > w ? x : replacement; sum += v;
  //   sumSq += v * v;
  // bit for bit, with sum and sumSq starting at 0.  The weights not above w
  // form the front of the sorted table and all become the same value, so
  // only their number matters: when few weights lie above w only those are
  // sorted (a threshold weight above most of a component's weights is the
  // common case for non-mates).
  void ThresholdedSums(int index, double w, double replacement, double& sum, double& sumSq) const;
  double GetWeightMean(int index) const { return m_weightMeans[index]; }
  double GetWeightStd(int index) const { return m_weightStds[index]; }
  // ln(pMates / (1 - pMates))
  double GetPriorLogOdds() const { return m_priorLogOdds; }
  double GetWeightTh() const { return m_weightTh; }

  // Number of simulated draws per component.
  static constexpr int kSimDrawsNum = 100000;

 private:
  CSimDistrib();
  // Reads pMates and both distributions from the ".distrib" text.
  void Read(std::istream& in);
  void AllocateDistrib(std::istream& in, int index);
  void AllocateDistrib(const CDistrib& source, int index);
  void SimulateWeights();
  // ThresholdedSums without the memo.
  void WalkThresholded(int index, double w, double replacement, double& sum, double& sumSq) const;
  void CopyFrom(const CSimDistrib& other);

  double m_pMates = 0.0;
  std::unique_ptr<CDistrib> m_distribs[2];
  // Unsorted until first needed sorted (m_sorted).
  mutable std::vector<double> m_simWeights[2];
  mutable bool m_sorted[2] = {false, false};
  // The last ThresholdedSums request per component and its result: every
  // part of a super component asks for the same threshold, and the answer
  // is a walk over the whole table.  Like the lazy sort, owned by the one
  // thread that works with this model at a time.
  struct CSumsMemo {
    bool valid = false;
    double w = 0.0;
    double replacement = 0.0;
    double sum = 0.0;
    double sumSq = 0.0;
  };
  mutable CSumsMemo m_sumsMemo[2];
  double m_maxWeights[2] = {0.0, 0.0};
  double m_weightStds[2] = {0.0, 0.0};
  double m_weightMeans[2] = {0.0, 0.0};
  double m_priorLogOdds = 0.0;
  double m_c1 = 0.0;
  double m_c2 = 0.0;
  double m_c3 = 0.0;
  double m_c4 = 0.0;
  double m_c5 = 0.0;
  double m_weightTh = 0.0;
};
