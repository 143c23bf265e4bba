// Opt-in timing of the stages of one run.  With the environment variable
// VANDREL_TIMING set to 1, every named stage's accumulated wall-clock and
// process CPU time is printed to standard error when the process ends; otherwise the timers cost
// one flag test per stage and print nothing.  Standard output and the
// analysis log are never touched.
#ifndef VANDREL_RUN_STAGETIMER_H
#define VANDREL_RUN_STAGETIMER_H

#include <chrono>
#include <ctime>

namespace vandrel {

// True when VANDREL_TIMING=1 (read once).
bool StageTimingEnabled();

// Adds wall and CPU seconds to the stage `name` (a string literal); stages
// are reported in the order they were first seen.
void AddStageTime(const char* name, double wallSeconds, double cpuSeconds);

// CPU time of the whole process so far, in seconds.
double ProcessCpuSeconds();

// Times the enclosing scope as stage `name`.
class ScopedStage {
 public:
  explicit ScopedStage(const char* name) : m_name(StageTimingEnabled() ? name : nullptr) {
    if (m_name) {
      m_start = std::chrono::steady_clock::now();
      m_cpuStart = ProcessCpuSeconds();
    }
  }
  ~ScopedStage() {
    if (m_name)
      AddStageTime(m_name,
                   std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count(),
                   ProcessCpuSeconds() - m_cpuStart);
  }
  ScopedStage(const ScopedStage&) = delete;
  ScopedStage& operator=(const ScopedStage&) = delete;

 private:
  const char* m_name;
  std::chrono::steady_clock::time_point m_start;
  double m_cpuStart = 0.0;
};

}  // namespace vandrel

#endif
