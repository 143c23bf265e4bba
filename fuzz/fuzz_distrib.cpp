// Fuzz target: the mates/non-mates model file `.distrib` (CSimDistrib read
// from a prefix, which also derives its evaluation parts and weights).
#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzUtil.h"
#include "vandrel/stats/NormDistrib.h"
#include "vandrel/stats/SimDistrib.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzutil::SilenceStdStreams();
  CNormDistrib::InitManyDraws();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = fuzzutil::WriteFile("m.distrib", data, size);
  const std::string prefix = path.substr(0, path.size() - 8);
  try {
    CSimDistrib model(prefix);
    // A model that was accepted must answer its basic questions.
    (void)model.CalcLogRatio(0.5);
    (void)model.SolveLogRatio(0.0);
  } catch (const char*) {
  }
  return 0;
}
