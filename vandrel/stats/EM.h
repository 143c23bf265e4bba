#pragma once
// Fit of a two-normal mixture (mates "T", non-mates "F", prior pMates) to a
// sample of similarity values.
//
// InitParms either takes the parameters of given distributions or finds
// starting values by a grid search over 20 separations x 20 priors that
// matches the sample's mean, variance and three tail fractions (O(n) for the
// moments plus 400 grid points).  Run then refines them by expectation
// maximisation, O(n) per iteration, until an iteration raises the
// log-likelihood by less than 0.5.
#include <memory>
#include <vector>

#include "vandrel/stats/NormDistrib.h"

class CMathematics {
 public:
  // Mean and standard deviation of a sample in one pass over the sums of the
  // values and of their squares: m = sum/n, s = sqrt((sumSq - m*m*n)/(n-1)).
  class CMoments {
   public:
    explicit CMoments(const std::vector<double>& values);
    virtual ~CMoments();
    double GetMean() const { return m_mean; }
    double GetStd() const { return m_std; }

   private:
    double m_mean;
    double m_std;
  };
};

class CEM {
 public:
  CEM();
  virtual ~CEM();

  // Sets the initial parameters (pMates, muT, sigmaT, muF, sigmaF).  When T
  // and F are both given they are taken from them and nothing else changes;
  // otherwise they come from the grid search and T, F and pMates are
  // replaced by them.  Throws "CNormDistrib::CalcEvalParts - std must be
  // positive" when no grid pair could be accepted (e.g. a constant sample)
  // and "CEM::InitParms - memory problems" when allocation fails.
  void InitParms(const std::vector<double>& values, std::unique_ptr<CDistrib>& T,
                 std::unique_ptr<CDistrib>& F, double& pMates);

  // InitParms, then EM iterations when there are at least 5000 values.
  // pMates ends capped at 0.25.  A failure inside the iterations restores
  // the initial parameters.  Throws "CEM::Run - illegal value of initial
  // mates prob" when the starting pMates is not in (0, 1).
  void Run(const std::vector<double>& values, std::unique_ptr<CDistrib>& T,
           std::unique_ptr<CDistrib>& F, double& pMates);

  // The initial parameters: pMates, muT, sigmaT, muF, sigmaF.
  const double* GetInitParms() const { return m_initParms; }

  // Fewer values than this run no EM iteration.
  static constexpr std::size_t kMinValuesForEM = 5000;

 private:
  double m_initParms[5];
};
