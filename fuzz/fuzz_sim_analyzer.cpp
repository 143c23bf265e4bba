// Fuzz target: the SD data-file analyzer over a `.sim` file (names, per
// element start positions, value-line estimate, first model) and the
// per-element reader CSimilarityData::ReadElementVals that seeks to those
// positions, for all elements and for a subset.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/FuzzUtil.h"
#include "vandrel/data/SimilarityData.h"
#include "vandrel/stats/DataFileAnalyzer.h"
#include "vandrel/stats/NormDistrib.h"

namespace {

void CheckTable(const CSimilarityData& table, std::size_t listed) {
  if (table.GetNames().size() != listed) __builtin_trap();
  for (const auto& v : table.GetValues())
    if (v.GetFirst() >= listed || v.GetSecond() >= listed) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzutil::SilenceStdStreams();
  CNormDistrib::InitManyDraws();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = fuzzutil::WriteFile("a.sim", data, size);
  const std::string prefix = path.substr(0, path.size() - 4);
  try {
    CSDDataFileAnalyzer analyzer(prefix);
    (void)analyzer.CalcSimTh(100);
    const unsigned int n = analyzer.GetElementsNum();
    std::vector<unsigned int> all, odd;
    for (unsigned int id = 0; id < n; ++id) {
      all.push_back(id);
      if (id % 2 == 1) odd.push_back(id);
    }
    try {
      CSimilarityData whole(analyzer, -1000000.0, all);
      CheckTable(whole, all.size());
    } catch (const char*) {
    }
    try {
      CSimilarityData part(analyzer, 0.0, odd);
      CheckTable(part, odd.size());
    } catch (const char*) {
    }
  } catch (const char*) {
  }
  return 0;
}
