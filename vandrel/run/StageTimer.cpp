// Accumulates stage times and prints them to standard error at process end
// when VANDREL_TIMING=1.
#include "vandrel/run/StageTimer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace vandrel {
namespace {

struct Stage {
  std::string name;
  double wall;
  double cpu;
};

struct StageTable {
  std::vector<Stage> stages;
  ~StageTable() {
    if (!stages.empty()) std::fprintf(stderr, "[timing] %-30s %10s %10s\n", "stage", "wall s", "cpu s");
    for (const Stage& s : stages)
      std::fprintf(stderr, "[timing] %-30s %10.3f %10.3f\n", s.name.c_str(), s.wall, s.cpu);
  }
};

StageTable& Table() {
  static StageTable table;
  return table;
}

}  // namespace

bool StageTimingEnabled() {
  static const bool enabled = [] {
    const char* v = std::getenv("VANDREL_TIMING");
    return v != nullptr && std::strcmp(v, "1") == 0;
  }();
  return enabled;
}

void AddStageTime(const char* name, double wallSeconds, double cpuSeconds) {
  for (Stage& s : Table().stages)
    if (s.name == name) {
      s.wall += wallSeconds;
      s.cpu += cpuSeconds;
      return;
    }
  Table().stages.push_back(Stage{name, wallSeconds, cpuSeconds});
}

double ProcessCpuSeconds() {
  timespec t{};
  if (clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t) != 0) return 0.0;
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

}  // namespace vandrel
