// Fuzz target: tfenrich's BG-set file (one name per line).
#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzUtil.h"
#include "fuzz/TfFuzzUtil.h"
#include "tfenrich/SetFiles.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzutil::SilenceTfStreams();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = fuzzutil::WriteFile("bg.txt", data, size);
  tfenrich::StringHash set;
  set.setCapacity(tfenrich::kMaxPromoters);
  if (tfenrich::readBGSet(path.c_str(), set) && set.stringCount() > tfenrich::kMaxPromoters)
    __builtin_trap();
  return 0;
}
