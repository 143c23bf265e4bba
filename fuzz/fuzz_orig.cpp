// Fuzz target: the fingerprint input file `.orig` (CFPData), read once
// under each similarity measure (their normalizers differ).
#include <cstddef>
#include <cstdint>
#include <memory>

#include "fuzz/FuzzUtil.h"
#include "vandrel/data/FPData.h"
#include "vandrel/data/Fingerprint.h"
#include "vandrel/run/ProgramManager.h"

namespace {

void ReadOnce(const std::string& prefix, const char* similarityType) {
  ResetFingerprintStateForTests();
  CProgramManager manager;  // owns the handler for this read
  manager.InitSimHandler(similarityType);
  try {
    CFPData data(prefix);
    // Touch every value so that a fingerprint shorter than its declared
    // length would show up.
    const CNormFPMtx& m = data.GetNormFPMtx();
    volatile float sink = 0.0f;
    for (unsigned int i = 0; i < m.Size(); ++i)
      for (unsigned int j = 0; j < CFingerprint::GetLength(); ++j) sink = sink + m[i][j];
    if (data.GetNames().size() != m.Size()) __builtin_trap();
  } catch (const char*) {
  }
  ResetFingerprintStateForTests();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzutil::SilenceStdStreams();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = fuzzutil::WriteFile("in.orig", data, size);
  const std::string prefix = path.substr(0, path.size() - 5);
  ReadOnce(prefix, "CORRELATION");
  ReadOnce(prefix, "DOTPRODUCT");
  return 0;
}
