// Fuzz target: tfenrich's target-sets file ("<promoter> [<set id>]" per
// line) against a fixed promoter set.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz/FuzzUtil.h"
#include "fuzz/TfFuzzUtil.h"
#include "tfenrich/StringHash.h"
#include "tfenrich/TargetSets.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzutil::SilenceTfStreams();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static tfenrich::NamedIdSet* promoters = [] {
    auto* set = new tfenrich::NamedIdSet;
    if (!set->init(40000)) __builtin_trap();
    char name[16];
    for (int i = 1; i <= 150; ++i) {
      std::snprintf(name, sizeof name, "GENE%03d", i);
      set->add(name);
    }
    for (const char* extra : {"geneA", "geneB", "p1", "p2"}) set->add(extra);
    return set;
  }();
  const std::string path = fuzzutil::WriteFile("targets.txt", data, size);
  tfenrich::TargetSets sets;
  if (!tfenrich::readTargetSets(path.c_str(), *promoters, sets)) return 0;
  for (int s = 0; s < sets.count(); ++s) {
    if (sets.size(s) > sets.maxSetSize()) __builtin_trap();
    for (int id : sets.members(s))
      if (id < 0 || id >= promoters->count()) __builtin_trap();
  }
  return 0;
}
