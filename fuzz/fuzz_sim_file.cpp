// Fuzz target: the whole-file reader of the similarity file `.sim`
// (CSimilarityData::ReadValsFile), keeping every value and then only those
// above a threshold.
#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzUtil.h"
#include "vandrel/data/SimilarityData.h"

namespace {

void ReadOnce(const std::string& prefix, double threshold) {
  try {
    CSimilarityData table;
    table.ReadValsFile(prefix, threshold);
    // Every stored value must name two read elements and be counted.
    const std::size_t n = table.GetNames().size();
    if (table.GetCounters().size() != n) __builtin_trap();
    for (const auto& v : table.GetValues()) {
      if (v.GetFirst() >= n || v.GetSecond() >= n) __builtin_trap();
      if (!(v.GetValue() > threshold)) __builtin_trap();
    }
  } catch (const char*) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzutil::SilenceStdStreams();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = fuzzutil::WriteFile("f.sim", data, size);
  const std::string prefix = path.substr(0, path.size() - 4);
  ReadOnce(prefix, -1000000.0);
  ReadOnce(prefix, 0.5);
  return 0;
}
