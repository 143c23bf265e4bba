// Prints every p-value of a tfenrich run in full precision, so that two
// builds can be compared bit for bit (the result file and the screen lines
// round them to three digits):
//
//   tf_pvalue_bits FP_FILE TARGET_FILE [PWM_FILE BG_FILE] > bits.txt
//
// One line per (TF, target-set) pair in the program's loop order: TF id,
// set id, the hyper-geometric p-value and its six statistics, and the
// empirical p-value, the p-values in C99 hex form (%a).  The settings are
// the program's defaults (hits anywhere, at most 9 per promoter, HG limit 3,
// at most 100,000 random subsets, generator seeded with 34 before reading).
//
// It uses only the scoring interface that every build of tfenrich has, so it
// also compiles against an older tree:
//   c++ -std=c++17 -O2 -I TREE bench/tf_pvalue_bits.cpp
//       TREE/build/tfenrich/libtfenrich_core.a -o tf_pvalue_bits
// (one command line).
#include <cstdio>
#include <string>

#include "tfenrich/Fingerprints.h"
#include "tfenrich/Location.h"
#include "tfenrich/Random.h"
#include "tfenrich/Scores.h"
#include "tfenrich/SetFiles.h"
#include "tfenrich/StringHash.h"
#include "tfenrich/TargetSets.h"

int main(int argc, char** argv) {
  if (argc != 3 && argc != 5) {
    std::fprintf(stderr, "usage: %s FP_FILE TARGET_FILE [PWM_FILE BG_FILE]\n", argv[0]);
    return 2;
  }
  using namespace tfenrich;
  seedRandom(kRunSeed);
  LocationInfo location;
  std::string regions = "+all";
  if (!setLocationInfo(location, -999999, 999999, regions.data())) return 1;
  StringHash pwmSet, bgSet;
  pwmSet.setCapacity(kMaxTFs);
  bgSet.setCapacity(kMaxPromoters);
  const bool filtered = argc == 5;
  if (filtered && (!readPWMSet(argv[3], pwmSet) || !readBGSet(argv[4], bgSet))) return 1;
  NamedIdSet tfs, promoters;
  FingerprintMatrix fingerprints;
  if (!readFingerprints(argv[1], filtered ? &pwmSet : nullptr, filtered ? &bgSet : nullptr, tfs,
                        promoters, fingerprints, location, 9)) {
    return 1;
  }
  TargetSets targetSets;
  if (!readTargetSets(argv[2], promoters, targetSets)) return 1;

  HyperGeometricScore hg;
  if (!hg.setMaxHits(3)) return 1;
  hg.setData(&tfs, &promoters, &targetSets, &fingerprints);
  EmpiricalScore emp(100000);
  emp.setData(&tfs, &promoters, &targetSets, &fingerprints);
  for (int t = 0; t < tfs.count(); ++t) {
    for (int s = 0; s < targetSets.count(); ++s) {
      double hgP = 1.0, empP = 1.0;
      ScoreStatistics st;
      if (!hg.computeScore(s, t, &hgP, &st) || !emp.computeScore(s, t, &empP, nullptr)) {
        std::fprintf(stderr, "scoring failed for TF %d, target-set %d\n", t, targetSets.id(s));
        return 1;
      }
      std::printf("%d %d %a %d,%d,%d %d,%d,%d %a\n", t, targetSets.id(s), hgP, st.targetHits,
                  st.targetCoverage, st.targetSize, st.bgHits, st.bgCoverage, st.bgSize, empP);
    }
  }
  return 0;
}
