// Fuzz target: tfenrich's PWM-set file (one name per line).
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
  const std::string path = fuzzutil::WriteFile("pwms.txt", data, size);
  tfenrich::StringHash set;
  set.setCapacity(tfenrich::kMaxTFs);
  if (tfenrich::readPWMSet(path.c_str(), set) && set.stringCount() > tfenrich::kMaxTFs)
    __builtin_trap();
  return 0;
}
