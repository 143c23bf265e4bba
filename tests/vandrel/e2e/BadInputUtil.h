#pragma once
// Helpers of the bad-input matrices: a scratch directory holding one row's
// files, and a bounded run of a built program in it (wall-clock limit,
// optional address-space limit) that collects exit status and both
// standard streams.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "vandrel/e2e/RunUtil.h"

namespace badinput {

namespace fs = std::filesystem;

// True in builds with AddressSanitizer, whose shadow memory cannot live
// under an address-space limit; such builds run the rows without one.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

// Exit status of `timeout` when it had to stop the program.
constexpr int kTimedOut = 124;

inline std::string Slurp(const fs::path& path) { return e2e::ReadFile(path); }

inline void Spit(const fs::path& path, const std::string& text) { e2e::WriteFile(path, text); }

// A fresh directory under the system's temporary folder, removed at the end.
class Scratch {
 public:
  explicit Scratch(const std::string& tag) {
    std::string tmpl = (fs::temp_directory_path() / ("badinput_" + tag + "_XXXXXX")).string();
    if (mkdtemp(&tmpl[0]) != nullptr) m_path = tmpl;
  }
  ~Scratch() {
    std::error_code ec;
    if (!m_path.empty()) fs::remove_all(m_path, ec);
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  bool Ok() const { return !m_path.empty(); }
  const fs::path& Path() const { return m_path; }
  fs::path operator/(const std::string& name) const { return m_path / name; }

 private:
  fs::path m_path;
};

using Outcome = e2e::RunResult;

// Runs `program args` with `dir` as working directory, stopped after
// `seconds`; with `memoryKb` > 0 under an address-space limit of that many
// KiB (skipped in AddressSanitizer builds).  `env` is prefixed as is
// (for instance "VANDREL_VERBOSE=1").
inline Outcome RunBounded(const fs::path& dir, const std::string& program, const std::string& args,
                          long memoryKb = 0, int seconds = 10, const std::string& env = "") {
  std::string limit;
  if (memoryKb > 0 && !kAddressSanitizer) limit = "ulimit -v " + std::to_string(memoryKb) + "; ";
  return e2e::RunCommandIn(dir, limit + "exec env " + env + " timeout -k 2 " + std::to_string(seconds) +
                               " '" + program + "' " + args);
}

// Names of the files in `dir` other than those listed (the row's inputs).
inline std::vector<std::string> NewFiles(const fs::path& dir, const std::vector<std::string>& inputs) {
  std::vector<std::string> found;
  for (const auto& e : fs::directory_iterator(dir)) {
    const std::string name = e.path().filename().string();
    bool known = false;
    for (const auto& i : inputs) known = known || i == name;
    if (!known) found.push_back(name);
  }
  return found;
}

}  // namespace badinput
