// Hyper-geometric and empirical enrichment scores.
#include "tfenrich/Scores.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <numeric>

#include "tfenrich/Random.h"
#include "tfenrich/SetFiles.h"
#include "tfenrich/Streams.h"

namespace tfenrich {

namespace {

// Position i + r * (N - i) / 32768 of the draw for slot i, r being the
// generator's output for this state.  r * (N - i) is never negative, so the
// division is a shift.
inline int drawPosition(std::uint32_t state, int i, int N) {
  const std::uint64_t r = static_cast<std::uint64_t>(randomOutput(state));
  return i + static_cast<int>((r * static_cast<std::uint64_t>(N - i)) >> 15);
}

// One slot of a draw: swaps slot i with the drawn position, adds the score
// of the row that lands in slot i.
inline void drawSlot(int* permutation, std::uint32_t state, int i, int N, const double* scores,
                     double& sum) {
  const int j = drawPosition(state, i, N);
  const int row = permutation[j];
  permutation[j] = permutation[i];
  permutation[i] = row;
  sum += scores[row];
}

// Draws slots 0 .. n-1 of the next subset, four per round: the generator
// states of a round are computed from one state (the same sequence as one
// step at a time), and slot(state, i, lane) adds slot i's score to one of
// four partial sums, so neither the generator's nor a sum's chain of
// dependent operations holds the round up.  Hands the advanced state back
// to the generator and returns (sum0 + sum1) + (sum2 + sum3).
template <typename Slot>
inline double drawInFourLanes(int n, Slot slot) {
  constexpr RandomJump step1 = randomJump(1), step2 = randomJump(2), step3 = randomJump(3),
                       step4 = randomJump(4);
  std::uint32_t state = randomState();
  double sum0 = 0.0, sum1 = 0.0, sum2 = 0.0, sum3 = 0.0;
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    const std::uint32_t s1 = step1.apply(state), s2 = step2.apply(state),
                        s3 = step3.apply(state), s4 = step4.apply(state);
    slot(s1, i, sum0);
    slot(s2, i + 1, sum1);
    slot(s3, i + 2, sum2);
    slot(s4, i + 3, sum3);
    state = s4;
  }
  for (; i < n; ++i) {
    state = nextRandomState(state);
    slot(state, i, sum0);
  }
  setRandomState(state);
  return (sum0 + sum1) + (sum2 + sum3);
}

// Draws the next subset (drawRandomSubset without initialising) and tells
// whether its score sum, added in slot order, exceeds threshold.
//
// Slot i is final once drawn (later swaps only touch later slots), so the
// scores are added as the draw goes.  Four slots are drawn per round, their
// generator states computed from one state (the same sequence), with four
// partial sums: this keeps neither the generator's nor the sum's chain of
// dependent operations in the way.  The partial sums differ from the
// slot-order sum only by rounding: for n scores that are finite and not
// negative, both are within (n-1) 2^-53 (1 + tiny) of the exact sum, so
// they differ by less than n 2^-51 times the sum.  When the four-lane sum
// is farther than twice that from the threshold it decides like the
// slot-order sum; otherwise (or with other scores) the slot-order sum over
// the drawn slots decides.
inline bool drawSubsetExceeds(int* permutation, int N, int n, const double* scores,
                              bool scoresNonNegative, double threshold) {
  const double sum = drawInFourLanes(n, [&](std::uint32_t state, int i, double& lane) {
    drawSlot(permutation, state, i, N, scores, lane);
  });
  if (scoresNonNegative) {
    const double slack = sum * n * 0x1p-50;
    if (sum - slack > threshold) return true;
    if (sum + slack < threshold) return false;
  }
  double ordered = 0.0;
  for (int k = 0; k < n; ++k) ordered += scores[permutation[k]];
  return ordered > threshold;
}

// One slot of a draw over the scored permutation.
template <typename Entry>
inline void drawScoredSlot(Entry* permutation, std::uint32_t state, int i, int N, double& sum) {
  const int j = drawPosition(state, i, N);
  const Entry drawn = permutation[j];
  permutation[j] = permutation[i];
  permutation[i] = drawn;
  sum += static_cast<double>(drawn.score);
}

// drawSubsetExceeds over a permutation whose entries carry their row's score
// rounded to float: one random memory access per slot instead of two.  Each
// float is within 2^-24 of its score (relatively), so the four-lane sum of
// the floats differs from the slot-order sum of the scores by less than
// (2^-24 + n 2^-52) times the sum; the decision is left to the slot-order
// sum of the exact scores when the lane sum is not farther than twice that
// from the threshold.  Needs scores that are 0 or within 2^-100 .. 2^100.
template <typename Entry>
inline bool drawScoredSubsetExceeds(Entry* permutation, int N, int n, const double* scores,
                                    double threshold) {
  const double sum = drawInFourLanes(n, [&](std::uint32_t state, int i, double& lane) {
    drawScoredSlot(permutation, state, i, N, lane);
  });
  const double slack = sum * (0x1p-23 + n * 0x1p-50);
  if (sum - slack > threshold) return true;
  if (sum + slack < threshold) return false;
  double ordered = 0.0;
  for (int k = 0; k < n; ++k) ordered += scores[permutation[k].row];
  return ordered > threshold;
}

// Draws after which the permutation is switched to scored entries: building
// them reads every row once, which pays off only over many draws.
constexpr int kScoredAfterDraws = 64;

}  // namespace

void EnrichmentScore::reset() {
  tfs_ = nullptr;
  promoters_ = nullptr;
  targetSets_ = nullptr;
  fingerprints_ = nullptr;
}

bool EnrichmentScore::setData(const NamedIdSet* tfs, const NamedIdSet* promoters,
                              const TargetSets* targetSets,
                              const FingerprintMatrix* fingerprints) {
  tfs_ = tfs;
  promoters_ = promoters;
  targetSets_ = targetSets;
  fingerprints_ = fingerprints;
  return true;
}

bool EnrichmentScore::canScore(int setIndex, int tfId) const {
  if (tfs_ == nullptr || promoters_ == nullptr || targetSets_ == nullptr ||
      fingerprints_ == nullptr) {
    return false;
  }
  if (setIndex < 0 || setIndex >= targetSets_->count()) return false;
  if (tfId < 0 || tfId >= tfs_->count()) return false;
  return targetSets_->size(setIndex) > 0;
}

bool HyperGeometricScore::setMaxHits(int limit) {
  if (limit < 1 || limit > 3) {
    err("ERROR: Max. number of hits for hyper-geometric score must be 1-3.\n");
    return false;
  }
  limit_ = limit;
  return true;
}

bool HyperGeometricScore::computeScore(int setIndex, int t, double* pValue,
                                       ScoreStatistics* statistics) {
  if (!canScore(setIndex, t) || pValue == nullptr) return false;
  const FingerprintMatrix& fp = *fingerprints_;
  const std::vector<int>& members = targetSets_->members(setIndex);
  const int n = static_cast<int>(members.size());
  const int N = promoters_->count();

  // Background counts depend only on the TF: they come with its column.
  // Hits of 1, 2 and 3 or more fall into class min(hits, limit).
  const FingerprintColumn& column = fp.column(t, N);
  int classSize[4] = {column.hitClass[0], 0, 0, 0};
  for (int h = 1; h <= 3; ++h) classSize[std::min(h, limit_)] += column.hitClass[h];
  const int bgHits = column.hitSum, bgCoverage = column.covered;
  int x = 0, targetHits = 0, targetCoverage = 0;
  for (int member : members) {
    const int h = (member >= 0 && member < N) ? column.hits[member] : fp.hits(member, t);
    x += std::max(0, std::min(h, limit_));
    targetHits += h;
    if (h > 0) ++targetCoverage;
  }
  const double p = calcHyperGeometricScore(classSize[0], classSize[1], classSize[2],
                                           classSize[3], n, x, logChoose_);
  if (p < 0.0 || p > 1.0) return false;
  *pValue = p;
  if (statistics != nullptr) {
    *statistics = ScoreStatistics{targetHits, targetCoverage, n, bgHits, bgCoverage, N};
  }
  return true;
}

bool EmpiricalScore::computeScore(int setIndex, int t, double* pValue,
                                  ScoreStatistics* statistics) {
  if (!canScore(setIndex, t) || pValue == nullptr) return false;
  const std::vector<int>& members = targetSets_->members(setIndex);
  const int n = static_cast<int>(members.size());
  const double p = calcEmpiricalScore(*fingerprints_, t, members.data(), n);
  if (p < 0.0 || p > 1.0) return false;
  *pValue = p;
  if (statistics != nullptr) {
    *statistics = ScoreStatistics{-1, -1, n, -1, -1, fingerprints_->rowsUsed()};
  }
  return true;
}

double EmpiricalScore::calcEmpiricalScore(const FingerprintMatrix& fp, int t, const int* members,
                                          int n) {
  const int N = fp.rowsUsed();
  if (N > kMaxPromoters) {
    err("ERROR: Fingerprint is too long (%d).\n", N);
    return -1.0;
  }
  if (n > N) {
    err("ERROR: Target-set is larger than number of promoters (%d > %d).\n", n, N);
    return -1.0;
  }
  const int maxDraws = limit_ <= 20 ? 20 : limit_;
  try {
    if (permutation_.size() < static_cast<std::size_t>(N)) {
      permutation_.resize(N);
      identity_.resize(N);
      std::iota(identity_.begin(), identity_.end(), 0);
    }
  } catch (const std::bad_alloc&) {
    err("ERROR: Fingerprint is too long (%d).\n", N);
    return -1.0;
  }
  const FingerprintColumn& column = fp.column(t, N);
  const double* scores = column.scores.data();
  double observed = 0.0;
  for (int i = 0; i < n; ++i) {
    const int m = members[i];
    observed += (m >= 0 && m < N) ? scores[m] : fp.score(m, t);
  }

  const double threshold = observed - 1e-13;
  int exceed = 0, draws = 0;
  int* permutation = permutation_.data();
  std::copy(identity_.begin(), identity_.begin() + N, permutation);
  // Long runs of draws (sets far above random) switch to scored entries:
  // the same permutation, the same draws and the same decisions.
  const int plainDraws = column.scoresFitFloat ? std::min(maxDraws, kScoredAfterDraws) : maxDraws;
  while (exceed < 10 && draws < plainDraws) {
    if (drawSubsetExceeds(permutation, N, n, scores, column.scoresNonNegative, threshold)) {
      ++exceed;
    }
    ++draws;
  }
  if (exceed < 10 && draws < maxDraws) {
    try {
      if (scoredPermutation_.size() < static_cast<std::size_t>(N)) scoredPermutation_.resize(N);
    } catch (const std::bad_alloc&) {
      err("ERROR: Fingerprint is too long (%d).\n", N);
      return -1.0;
    }
    ScoredRow* scored = scoredPermutation_.data();
    for (int i = 0; i < N; ++i) {
      scored[i] = ScoredRow{static_cast<float>(scores[permutation[i]]), permutation[i]};
    }
    while (exceed < 10 && draws < maxDraws) {
      if (drawScoredSubsetExceeds(scored, N, n, scores, threshold)) ++exceed;
      ++draws;
    }
  }
#ifdef TFENRICH_COUNT_DRAWS
  DrawCounts& counts = drawCounts();
  ++counts.pairs;
  counts.subsets += draws;
  counts.slots += static_cast<long long>(draws) * n;
  if (draws == maxDraws && exceed < 10) {
    ++counts.pairsAtLimit;
    counts.slotsAtLimit += static_cast<long long>(draws) * n;
  }
#endif
  return static_cast<double>(exceed) / draws;
}

DrawCounts& drawCounts() {
  static DrawCounts counts;
  return counts;
}

void drawRandomSubset(int* permutation, int N, int n, bool initialise) {
  if (initialise) {
    for (int i = 0; i < N; ++i) permutation[i] = i;
  }
  std::uint32_t state = randomState();
  for (int i = 0; i < n; ++i) {
    state = nextRandomState(state);
    std::swap(permutation[i], permutation[drawPosition(state, i, N)]);
  }
  setRandomState(state);
}

double lchoose(int n, int k) {
  if (k == 0 || k == n) return 0.0;
  if (k < 0 || k > n) {
    err("ERROR: Illegal input to lchoose(): k=%d, n=%d\n", k, n);
    return 0.0;
  }
  if (k <= 20 || n - k <= 20) {
    const int m = k > n / 2 ? n - k : k;
    double result = std::log(static_cast<double>(n));
    for (int i = 2; i <= m; ++i) {
      result += std::log(static_cast<double>(n - i + 1) / static_cast<double>(i));
    }
    return result;
  }
  const double dn = n, dk = k, dnk = n - k;
  return dn * std::log(dn) - dk * std::log(dk) - dnk * std::log(dnk) -
         0.5 * (std::log(dk) + std::log(dnk) - std::log(dn)) - 0.9189385326;
}

namespace {

// Terms that cannot change the sum are not computed, which keeps the result
// bit for bit that of adding every term:
//  - below exp(-800) a term underflows to exactly 0;
//  - a term below exp(-38) times a term already added is below half a unit
//    in the last place of the sum (2^-54 > exp(-38)), so adding it rounds
//    back to the same sum.
constexpr double kNegligibleLog = -800.0;
constexpr double kNegligibleBelowLargest = 38.0;
// Extra distance below the limit before a falling row is cut short; it
// absorbs the small steps of lchoose where it changes branch.
constexpr double kDescentMargin = 10.0;
// A group of terms is skipped when an upper bound of its log terms is this
// far below the limit: far more than the rounding of the bound's sums, which
// add the same log binomials in another order.
constexpr double kBoundMargin = 1e-6;

// The log of a term too small to change sum: with sum in [2^e, 2^(e+1))
// (e read from its exponent bits; e = -1023 for subnormal sums), a term
// below 2^(e-54) is below half a unit in the last place of the sum (2^(e-53),
// at least 2^-1075), so adding it rounds back to the sum.  Terms above the
// mode raise the sum far beyond its largest term; this bound follows the
// sum, not the largest term.  The small margin covers the rounding of the
// product and of exp.
inline double negligibleBelowSum(double sum) {
  std::uint64_t bits;
  std::memcpy(&bits, &sum, sizeof bits);
  const int e = static_cast<int>((bits >> 52) & 0x7FF) - 1023;
  return (e - 54) * 0.69314718055994530942 - 1e-6;
}

}  // namespace

const double* LogChooseRows::row(int slot, int a, int top) {
  Row& r = rows_[slot];
  if (r.a != a) {
    r.a = a;
    r.values.clear();
  }
  for (int i = static_cast<int>(r.values.size()); i <= top; ++i) r.values.push_back(lchoose(a, i));
  return r.values.data();
}

void LogChooseRows::bounds(int a0, int a2, int a3, int top, const double** pairMax,
                           const double** tripleMax) {
  if (boundSizes_[0] != a0 || boundSizes_[1] != a2 || boundSizes_[2] != a3) {
    boundSizes_[0] = a0;
    boundSizes_[1] = a2;
    boundSizes_[2] = a3;
    pairMax_.clear();
    tripleMax_.clear();
  }
  const double* l0 = row(0, a0, std::min(a0, top));
  const double* l2 = row(2, a2, std::min(a2, top));
  const double* l3 = row(3, a3, std::min(a3, top));
  constexpr double kNone = -std::numeric_limits<double>::infinity();
  for (int m = static_cast<int>(pairMax_.size()); m <= top; ++m) {
    double best = kNone;
    for (int l = std::max(0, m - a0); l <= std::min(a3, m); ++l) {
      best = std::max(best, l0[m - l] + l3[l]);
    }
    pairMax_.push_back(best);
  }
  for (int m = static_cast<int>(tripleMax_.size()); m <= top; ++m) {
    double best = kNone;
    for (int k = 0; k <= std::min(a2, m); ++k) best = std::max(best, l2[k] + pairMax_[m - k]);
    tripleMax_.push_back(best);
  }
  *pairMax = pairMax_.data();
  *tripleMax = tripleMax_.data();
}

double calcHyperGeometricScore(int a0, int a1, int a2, int a3, int n, int x) {
  LogChooseRows rows;
  return calcHyperGeometricScore(a0, a1, a2, a3, n, x, rows);
}

double calcHyperGeometricScore(int a0, int a1, int a2, int a3, int n, int x,
                               LogChooseRows& rows) {
  if (a0 < 0 || a1 < 0 || a2 < 0 || a3 < 0 || n < 0) return -1.0;
  const long long total = static_cast<long long>(a0) + a1 + a2 + a3;
  if (total < n) return -1.0;
  if (n == 0 && x > 0) return 0.0;
  const int E = static_cast<int>(total);

  // Largest reachable class-weighted total.
  int F;
  if (a3 >= n) {
    F = 3 * n;
  } else if (a2 >= n - a3) {
    F = 3 * a3 + 2 * (n - a3);
  } else if (a1 < n - a3 - a2) {
    F = 3 * a3 + 2 * a2 + a1;
  } else {
    F = 3 * a3 + 2 * a2 + (n - a3 - a2);
  }
  const double G = lchoose(E, n);

  // The log binomials of every term come from these tables; the terms and
  // their order of summation are those of the direct triple loop.
  const double* pairMax = nullptr;
  const double* tripleMax = nullptr;
  rows.bounds(a0, a2, a3, n, &pairMax, &tripleMax);
  const double* l0 = rows.row(0, a0, std::min(a0, n));
  const double* l1 = rows.row(1, a1, std::min(a1, n));
  const double* l2 = rows.row(2, a2, std::min(a2, n));
  const double* l3 = rows.row(3, a3, std::min(a3, n));

  double sum = 0.0;
  double skipBelow = kNegligibleLog;
  const int jTop = std::min({F, a1, n});
  for (int j = 0; j <= jTop; ++j) {
    // Every term of this j (or j and k) is at most its bound: when the
    // bound is below the limit, the whole group would be skipped.
    if (l1[j] + tripleMax[n - j] - G < skipBelow - kBoundMargin) continue;
    const int kTop = std::min({(F - j) / 2, a2, n - j});
    for (int k = 0; k <= kTop; ++k) {
      if (l1[j] + l2[k] + pairMax[n - j - k] - G < skipBelow - kBoundMargin) continue;
      // Terms below x add nothing; since the total grows with l, the loop
      // starts at the first l that reaches x (same terms, same order).
      const int need = x - j - 2 * k;
      const int lFrom = std::max({0, n - j - k - a0, need > 0 ? (need + 2) / 3 : 0});
      const int lTop = std::min({(F - 2 * k - j) / 3, a3, n - j - k});
      double previous = 0.0;
      for (int l = lFrom; l <= lTop; ++l) {
        const double L = ((l0[n - j - k - l] + l3[l]) + l2[k]) + l1[j];
        const double d = L - G;
#ifdef TFENRICH_COUNT_DRAWS
        ++drawCounts().hgVisited;
#endif
        if (d < skipBelow) {
          // Adding this term would leave the sum unchanged.  L is concave in
          // l (a sum of log binomials), so once it falls well below the
          // limit on its way down, every later term of the row does too.
          if (d < skipBelow - kDescentMargin && l > lFrom && L < previous) break;
          previous = L;
          continue;
        }
        previous = L;
#ifdef TFENRICH_COUNT_DRAWS
        ++drawCounts().hgTerms;
#endif
        sum += std::exp(d);
        skipBelow = std::max({skipBelow, d - kNegligibleBelowLargest, negligibleBelowSum(sum)});
      }
    }
  }
  if (sum > 1.01) err("WARNING: calcHyperGeometricScore prob=%.7f > 1.0\n", sum);
  if (sum < -0.01) err("WARNING: calcHyperGeometricScore prob=%.7f < 0.0\n", sum);
  return std::min(1.0, std::max(0.0, sum));
}

}  // namespace tfenrich
