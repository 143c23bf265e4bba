#pragma once
// Runs the built vandrel program in a scratch directory and collects what it
// printed and wrote.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace e2e {

namespace fs = std::filesystem;

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteFile(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

// A fresh scratch directory, removed when the object dies.
class ScratchDir {
 public:
  explicit ScratchDir(const std::string& name) {
    m_path = fs::temp_directory_path() /
             ("vandrel_e2e_" + std::to_string(::getpid()) + "_" + name);
    fs::remove_all(m_path);
    fs::create_directories(m_path);
  }
  ~ScratchDir() {
    std::error_code ec;
    fs::remove_all(m_path, ec);
  }
  const fs::path& Path() const { return m_path; }

 private:
  fs::path m_path;
};

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs the shell command line `command` with `dir` as working directory;
// its standard output and error go through two scratch files in `dir`,
// removed again, so the folder holds only what the program wrote.
inline RunResult RunCommandIn(const fs::path& dir, const std::string& command) {
  const std::string cmd = "cd '" + dir.string() + "' && (" + command + ") > .stdout 2> .stderr";
  const int raw = std::system(cmd.c_str());
  RunResult r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = ReadFile(dir / ".stdout");
  r.err = ReadFile(dir / ".stderr");
  fs::remove(dir / ".stdout");
  fs::remove(dir / ".stderr");
  return r;
}

// Runs `vandrel <args>` with `dir` as working directory.
inline RunResult RunVandrel(const fs::path& dir, const std::string& args,
                            const std::string& env = "") {
  return RunCommandIn(dir, env + " '" VANDREL_BIN "' " + args);
}

// Parameters file as the suite writes it: Windows line ends, so that each
// value line carries the one trailing character the reader drops.
inline std::string Params(const std::string& type, const std::string& in, const std::string& out,
                          const std::string& simType = "", const std::string& homogeneity = "") {
  std::string p = "DATA_TYPE\r\n" + type + "\r\nINPUT_FILES_PREFIX\r\n" + in +
                  "\r\nOUTPUT_FILE_PREFIX\r\n" + out + "\r\n";
  if (!simType.empty()) p += "SIMILARITY_TYPE\r\n" + simType + "\r\n";
  if (!homogeneity.empty()) p += "HOMOGENEITY\r\n" + homogeneity + "\r\n";
  return p;
}

// name -> cluster index of a .sol file.
inline std::map<std::string, int> ReadSolution(const fs::path& path) {
  std::map<std::string, int> sol;
  std::ifstream in(path);
  std::string name;
  int index = 0;
  while (in >> name >> index) sol[name] = index;
  return sol;
}

// Adjusted Rand index of two labelings of the same items; every item whose
// label in `a` is 0 counts as a cluster of its own (a singleton).
inline double AdjustedRandIndex(const std::vector<int>& a, const std::vector<int>& b) {
  const std::size_t n = a.size();
  std::map<std::pair<long, long>, long> cells;
  std::map<long, long> rows, cols;
  for (std::size_t i = 0; i < n; ++i) {
    const long la = a[i] == 0 ? -static_cast<long>(i) - 1 : a[i];
    const long lb = b[i];
    ++cells[{la, lb}];
    ++rows[la];
    ++cols[lb];
  }
  auto c2 = [](long x) { return static_cast<double>(x) * (x - 1) / 2.0; };
  double sumCells = 0, sumRows = 0, sumCols = 0;
  for (const auto& c : cells) sumCells += c2(c.second);
  for (const auto& r : rows) sumRows += c2(r.second);
  for (const auto& c : cols) sumCols += c2(c.second);
  const double expected = sumRows * sumCols / c2(static_cast<long>(n));
  const double maxIndex = 0.5 * (sumRows + sumCols);
  if (maxIndex == expected) return 1.0;
  return (sumCells - expected) / (maxIndex - expected);
}

}  // namespace e2e
