// The scoring loop, screen lines and result file.
#include "tfenrich/Enrichment.h"

#include <cstdio>

#include "tfenrich/Scores.h"
#include "tfenrich/Streams.h"

namespace tfenrich {

void applyBonferroni(bool bonferroni, double& pValue, int tests) {
  if (!bonferroni || tests <= 0) return;
  pValue *= tests;
  if (pValue > 1.0) pValue = 1.0;
}

namespace {

// Owns the result file; a failed write or close is reported as a failure.
class ResultFile {
 public:
  ~ResultFile() {
    if (file_ != nullptr) std::fclose(file_);
  }
  bool open(const std::string& path) {
    path_ = path;
    file_ = std::fopen(path.c_str(), "w");
    return file_ != nullptr;
  }
  FILE* get() const { return file_; }
  bool close() {
    if (file_ == nullptr) return true;
    const bool ok = !std::ferror(file_) && std::fclose(file_) == 0;
    file_ = nullptr;
    if (!ok) err("ERROR: Can't write to output file '%s'.\n", path_.c_str());
    return ok;
  }

 private:
  FILE* file_ = nullptr;
  std::string path_;
};

}  // namespace

bool findEnrichedTFs(const NamedIdSet& tfs, const NamedIdSet& promoters,
                     const TargetSets& targetSets, const FingerprintMatrix& fingerprints,
                     double pValueThreshold, bool bonferroni, const std::string& resultPath,
                     const TestSettings* hgTest, const TestSettings* empTest) {
  if (hgTest == nullptr || empTest == nullptr) return false;
  // The HG limit is checked before the result file is opened, so that a bad
  // limit does not leave a truncated result file behind.
  HyperGeometricScore hg;
  if (hgTest->enabled) {
    if (!hg.setMaxHits(hgTest->limit)) {
      err("ERROR: Problems setting max-hits for hyper-geometric score.\n");
      return false;
    }
    hg.setData(&tfs, &promoters, &targetSets, &fingerprints);
  }
  ResultFile result;
  if (!resultPath.empty()) {
    if (!result.open(resultPath)) {
      err("ERROR: Can't write to output file '%s'.\n", resultPath.c_str());
      return false;
    }
    std::fprintf(result.get(),
                 "<target-set> <PWM> <p-value> <target-set-stats: hits,coverage,size> "
                 "<BG-set-stats: hits,coverage,size>\n");
  }
  EmpiricalScore emp(empTest->limit);
  if (empTest->enabled) emp.setData(&tfs, &promoters, &targetSets, &fingerprints);

  const int tests = tfs.count() * targetSets.count();
  for (int t = 0; t < tfs.count(); ++t) {
    const char* tfName = tfs.nameOf(t);
    msg("=> TF #%d: %s\n", t, tfName);
    for (int s = 0; s < targetSets.count(); ++s) {
      const int setId = targetSets.id(s);
      double hgP = 1.0, empP = 1.0;
      if (hgTest->enabled) {
        ScoreStatistics stats;
        if (!hg.computeScore(s, t, &hgP, &stats)) {
          err("ERROR: Problems computing hyper-geometric enrichment score for target-set %d and "
              "TF %s.\n",
              setId, tfName);
          return false;
        }
        applyBonferroni(bonferroni, hgP, tests);
        if (FILE* f = result.get()) {
          std::fprintf(f, "%d\t%-20s\t%s\t%d,%d,%d\t%d,%d,%d", setId, tfName,
                       formatExp2(hgP).c_str(), stats.targetHits, stats.targetCoverage,
                       stats.targetSize, stats.bgHits, stats.bgCoverage, stats.bgSize);
          if (hgP < pValueThreshold) {
            std::fprintf(f, "\t");
            for (int member : targetSets.members(s)) {
              if (fingerprints.hits(member, t) > 0) {
                std::fprintf(f, "%s ", promoters.nameOf(member));
              }
            }
          }
          std::fprintf(f, "\n");
        }
      }
      if (empTest->enabled) {
        if (!emp.computeScore(s, t, &empP, nullptr)) {
          err("ERROR: Problems computing empirical enrichment score for target-set %d and TF "
              "%s.\n",
              setId, tfName);
          return false;
        }
        applyBonferroni(bonferroni, empP, tests);
      }
      if (hgP < pValueThreshold || empP < pValueThreshold) {
        msg("   TF %s , Target-set %d:", tfName, setId);
        if (hgTest->enabled) msg(" HG = %s ;", formatExp2(hgP).c_str());
        if (empTest->enabled) msg(" Emp = %s ;", formatExp2(empP).c_str());
        msg("\n");
      }
    }
  }
#ifdef TFENRICH_COUNT_DRAWS
  const DrawCounts& c = drawCounts();
  std::fprintf(stderr,
               "[draws] pairs %lld, at the limit %lld; subsets %lld; generator calls = swaps = "
               "gathered scores %lld, of which at the limit %lld; HG terms added %lld, "
               "computed %lld\n",
               c.pairs, c.pairsAtLimit, c.subsets, c.slots, c.slotsAtLimit, c.hgTerms,
               c.hgVisited);
#endif
  return result.close();
}

}  // namespace tfenrich
