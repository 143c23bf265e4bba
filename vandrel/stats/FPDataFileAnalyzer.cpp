// The fingerprint data-file analyzer: reads `.orig`, then loads the model
// from `<prefix><suffix>.distrib` or fits it to a sample of pairs drawn with
// one random number per pair (O(n^2) draws, O(30000 * L) similarity work)
// and installs the fit as its saved text reads back.
#include <iostream>
#include <new>

#include "vandrel/data/FPData.h"
#include "vandrel/data/Fingerprint.h"
#include "vandrel/data/SimFileParsing.h"
#include "vandrel/data/SimHandler.h"
#include "vandrel/run/StageTimer.h"
#include "vandrel/stats/DataFileAnalyzer.h"
#include "vandrel/stats/Random.h"
#include "vandrel/stats/SimDistrib.h"

CFPDataFileAnalyzer::CFPDataFileAnalyzer(const std::string& prefix) : CDataFileAnalyzer(prefix) {
  if (!vandrel::FileExists(prefix + ".orig")) {
    std::cerr << "no .orig file available at given prefix - exiting program" << std::endl;
    throw "CFPDataFileAnalyzer constructor - no input file at given prefix";
  }
  try {
    vandrel::ScopedStage stage("  (of which reading input)");
    m_fpData.reset(new CFPData(prefix));
  } catch (const std::bad_alloc&) {
    throw "CFPDataFileAnalyzer constructor - memory problem";
  }
  const CNormFPMtx& fps = m_fpData->GetNormFPMtx();
  m_elementsNum = static_cast<unsigned int>(fps.Size());

  const std::string p = prefix + CNormFP::GetSimilarityHandler()->GetFileSuffix();
  // A cached `<p>.sim` that lists other elements was written, together with
  // `<p>.distrib`, for other data: that model is not read but fitted anew
  // (and both caches are replaced when the run saves its table).
  const bool staleCache = vandrel::FileExists(p + ".sim") &&
                          !vandrel::SimFileNamesMatch(p + ".sim", m_fpData->GetNames());
  if (!staleCache && vandrel::FileExists(p + ".distrib")) {
    try {
      m_simDistrib.reset(new CSimDistrib(p));
    } catch (const std::bad_alloc&) {
      throw "CDataFileAnalyzer constructor - memory problems";
    }
    return;
  }

  const std::uint64_t n = m_elementsNum;
  const std::uint64_t pairs = n < 2 ? 0 : n * (n - 1) / 2;
  // Not capped at 1: with fewer than 30000 pairs every pair joins.
  const double q = pairs > 0 ? 30000.0 / static_cast<double>(pairs) : 0.0;
  // A pair joins when its draw r gives r * (1/32767) < q; the products grow
  // with r, so that is exactly r below the first draw that fails.  The
  // draws themselves (one per pair, in order) are taken inline.
  int limit = 0;
  while (limit <= vandrel::kRandMax && limit * (1.0 / 32767.0) < q) ++limit;
  // A run that finds the saved `.distrib` draws no sample and keeps the
  // default value range: the model is installed as that run reads it, with
  // the generator where it stands before the sample, and the range of the
  // sample is not used.
  const std::uint32_t randBeforeSample = vandrel::RandState();
  std::vector<double> sample;
  {
    // The cursor hands the generator back when it goes out of scope.
    vandrel::CRandCursor draws;
    for (std::uint64_t i = 0; i < n; ++i) {
      const CNormFP& fi = fps[static_cast<unsigned int>(i)];
      for (std::uint64_t j = i + 1; j < n; ++j)
        if (draws.Next() < limit) sample.push_back(fi.Similarity(fps[static_cast<unsigned int>(j)]));
    }
  }
  try {
    SetModelAsSaved(sample, randBeforeSample);
  } catch (const std::bad_alloc&) {
    throw "CFPDataFileAnalyzer constructor - memory problem";
  }
}

CFPDataFileAnalyzer::~CFPDataFileAnalyzer() = default;

std::uint64_t CFPDataFileAnalyzer::GetSimValsNum() {
  const std::uint64_t n = m_elementsNum;
  return n < 2 ? 0 : n * (n - 1) / 2;
}
