// Fuzz target: tfenrich's command line.  The input is split into arguments
// at NUL and line-feed bytes; the flag parser runs over them, and when it
// accepts them the region list is parsed as the run would parse it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/FuzzUtil.h"
#include "fuzz/TfFuzzUtil.h"
#include "tfenrich/Flags.h"
#include "tfenrich/Location.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzutil::SilenceTfStreams();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> args(1);
  for (std::size_t i = 0; i < size; ++i) {
    const char c = static_cast<char>(data[i]);
    if (c == '\0' || c == '\n') {
      if (args.size() >= 64) break;
      args.emplace_back();
    } else {
      args.back().push_back(c);
    }
  }
  std::vector<const char*> argv;
  for (const auto& a : args) argv.push_back(a.c_str());

  tfenrich::Settings settings;
  const auto table = tfenrich::makeFlagTable(settings);
  if (tfenrich::parseFlags(static_cast<int>(argv.size()), argv.data(), table)) {
    tfenrich::LocationInfo location;
    std::string regions = settings.hitsRegions;  // parsed in place
    (void)tfenrich::setLocationInfo(location, settings.hitsFrom, settings.hitsTo,
                                    regions.c_str());
  }
  return 0;
}
