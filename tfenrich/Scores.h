#pragma once
// Enrichment scores of one TF in one target-set against the background of
// all kept promoters:
//  - the hyper-geometric (HG) test on hit counts capped at 1..3: the exact
//    probability that a random subset of the set's size reaches the set's
//    class-weighted hit total, summed over class combinations with
//    closed-form bounds (at most (a1+1)(a2+1)(a3+1) terms, each O(1) after
//    tabulating the log binomials);
//  - the empirical test on length-normalised scores: the share of random
//    subsets (partial Fisher-Yates shuffles) whose score sum reaches the
//    observed one, stopping after 10 such subsets.
#include <vector>

#include "tfenrich/Fingerprints.h"
#include "tfenrich/StringHash.h"
#include "tfenrich/TargetSets.h"

namespace tfenrich {

// Counts filled by the HG test, in this order.  The empirical test fills
// only the two sizes and sets the rest to -1.
struct ScoreStatistics {
  int targetHits = 0;
  int targetCoverage = 0;
  int targetSize = 0;
  int bgHits = 0;
  int bgCoverage = 0;
  int bgSize = 0;
};

class EnrichmentScore {
 public:
  explicit EnrichmentScore(int limit) : limit_(limit) {}
  virtual ~EnrichmentScore() { reset(); }
  virtual void reset();
  virtual bool setData(const NamedIdSet* tfs, const NamedIdSet* promoters,
                       const TargetSets* targetSets, const FingerprintMatrix* fingerprints);
  // setIndex is the target-set's position in creation order; statistics may
  // be nullptr.
  virtual bool computeScore(int setIndex, int tfId, double* pValue,
                            ScoreStatistics* statistics) = 0;
  int limit() const { return limit_; }

 protected:
  // True when the data is attached, the indices are in range and the set is
  // not empty.
  bool canScore(int setIndex, int tfId) const;
  const NamedIdSet* tfs_ = nullptr;
  const NamedIdSet* promoters_ = nullptr;
  const TargetSets* targetSets_ = nullptr;
  const FingerprintMatrix* fingerprints_ = nullptr;
  int limit_;
};

// lchoose(a, i) for i = 0 .. top, for up to four class sizes a (one per
// slot), kept between calls: the class sizes of a TF are the same for every
// target-set, so its rows are computed once and only lengthened for larger
// sets.
class LogChooseRows {
 public:
  const double* row(int slot, int a, int top);
  // For m = 0 .. top, the largest lchoose(a0, m - l) + lchoose(a3, l) over
  // all l (pairMax), and the largest lchoose(a2, k) + pairMax[m - k] over
  // all k (tripleMax): upper bounds of the log terms of the HG sum that give
  // m promoters to classes 0 and 3, or to classes 0, 2 and 3 (minus infinity
  // where no split exists).  Fills rows 0, 2 and 3 up to min(a, top); kept
  // while a0, a2 and a3 stay the same.
  void bounds(int a0, int a2, int a3, int top, const double** pairMax, const double** tripleMax);

 private:
  struct Row {
    int a = -1;
    std::vector<double> values;
  };
  Row rows_[4];
  int boundSizes_[3] = {-1, -1, -1};
  std::vector<double> pairMax_, tripleMax_;
};

class HyperGeometricScore : public EnrichmentScore {
 public:
  HyperGeometricScore() : EnrichmentScore(2) {}
  bool setMaxHits(int limit);
  bool computeScore(int setIndex, int tfId, double* pValue,
                    ScoreStatistics* statistics) override;

 private:
  LogChooseRows logChoose_;
};

class EmpiricalScore : public EnrichmentScore {
 public:
  explicit EmpiricalScore(int maxSubsets) : EnrichmentScore(maxSubsets) {}
  bool computeScore(int setIndex, int tfId, double* pValue,
                    ScoreStatistics* statistics) override;
  // -1 on bad sizes (with a message).
  double calcEmpiricalScore(const FingerprintMatrix& fingerprints, int tfId, const int* members,
                            int n);

 private:
  std::vector<int> permutation_;
  // 0, 1, 2, ...: each score starts from the identity permutation, copied
  // (a block copy) rather than rewritten entry by entry.
  std::vector<int> identity_;
  // The permutation with each row's score (as a float) beside it, used by
  // long runs of draws; see calcEmpiricalScore.
  struct ScoredRow {
    float score;
    int row;
  };
  std::vector<ScoredRow> scoredPermutation_;
};

// Work of the empirical test since the start of the run, and the HG terms
// added, kept only by a counting build (TFENRICH_COUNT_DRAWS); each slot of
// a subset is one generator call, one swap and one gathered score.
struct DrawCounts {
  long long pairs = 0;
  long long pairsAtLimit = 0;  // pairs that drew all their subsets
  long long subsets = 0;
  long long slots = 0;
  long long slotsAtLimit = 0;
  long long hgTerms = 0;  // terms added by the HG sums (exp calls)
  long long hgVisited = 0;  // terms whose log the HG sums computed, added or not
};
DrawCounts& drawCounts();

// Natural log of the binomial coefficient C(n, k); exact sum of logs when k
// or n - k is at most 20, Stirling's formula otherwise.
double lchoose(int n, int k);

// Probability that n promoters drawn without replacement from a background
// with a0..a3 promoters in hit classes 0..3 reach a total of at least x
// (class c counts c).  -1 on impossible sizes.
double calcHyperGeometricScore(int a0, int a1, int a2, int a3, int n, int x);
// The same, taking the log binomials from (and adding them to) rows.
double calcHyperGeometricScore(int a0, int a1, int a2, int a3, int n, int x, LogChooseRows& rows);

// Moves a random subset of size n of permutation[0..N) to its first n
// entries (restarting from the identity when initialise is set).
void drawRandomSubset(int* permutation, int N, int n, bool initialise);

}  // namespace tfenrich
