// Fuzz target: the parameters file of the clustering program
// (CProgramManager::InitParms).  A thrown message text is the expected way
// to reject an input; the analysis log stays off, so no file is written.
#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzUtil.h"
#include "vandrel/data/Fingerprint.h"
#include "vandrel/run/AnalysisFile.h"
#include "vandrel/run/ProgramManager.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzutil::SilenceStdStreams();
  CAnalysisFile::SetAnalysis(false);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = fuzzutil::WriteFile("params.txt", data, size);
  // Each input may install a similarity handler; start from none.
  ResetFingerprintStateForTests();
  {
    CProgramManager manager;
    try {
      manager.InitParms(path.c_str());
    } catch (const char*) {
    }
  }
  ResetFingerprintStateForTests();
  return 0;
}
