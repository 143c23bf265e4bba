#pragma once
// Scores every TF against every target-set with the enabled tests, applies
// the Bonferroni fix, prints the pairs below the p-value threshold and
// writes the result file (one HG line per pair, TF-major).  Cost: one HG
// and/or empirical score per (TF, target-set) pair.
#include <string>

#include "tfenrich/Fingerprints.h"
#include "tfenrich/StringHash.h"
#include "tfenrich/TargetSets.h"

namespace tfenrich {

struct TestSettings {
  bool enabled = false;
  int limit = 0;
};

// p *= tests (at most 1) when the fix is on and tests > 0.
void applyBonferroni(bool bonferroni, double& pValue, int tests);

bool findEnrichedTFs(const NamedIdSet& tfs, const NamedIdSet& promoters,
                     const TargetSets& targetSets, const FingerprintMatrix& fingerprints,
                     double pValueThreshold, bool bonferroni, const std::string& resultPath,
                     const TestSettings* hgTest, const TestSettings* empTest);

}  // namespace tfenrich
