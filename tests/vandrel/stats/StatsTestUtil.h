#pragma once
// Helpers shared by the statistics tests: a sample generator that does not
// touch vandrel's generator (splitmix64 + Box-Muller), direct normal-density
// formulas, and a scratch folder for model files.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace statstest {

const double kPi = 3.14159265358979323846;

class SampleGen {
 public:
  explicit SampleGen(std::uint64_t seed) : m_state(seed) {}
  // Uniform in (0, 1).
  double Uniform() {
    std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return ((z >> 11) + 0.5) * (1.0 / 9007199254740992.0);
  }
  double Normal(double mean, double sd) {
    const double r = std::sqrt(-2.0 * std::log(Uniform()));
    return mean + sd * r * std::cos(2.0 * kPi * Uniform());
  }
  // n values of the mixture pT * N(muT, sdT) + (1 - pT) * N(muF, sdF).
  std::vector<double> Mixture(std::size_t n, double pT, double muT, double sdT, double muF, double sdF) {
    std::vector<double> v;
    v.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
      v.push_back(Uniform() < pT ? Normal(muT, sdT) : Normal(muF, sdF));
    return v;
  }

 private:
  std::uint64_t m_state;
};

// ln of the normal density, written out directly.
inline double NormalLogDensity(double x, double mean, double sd) {
  const double z = (x - mean) / sd;
  return -0.5 * z * z - std::log(sd) - 0.5 * std::log(2.0 * kPi);
}

// Normal cumulative probability through the library's erfc.
inline double NormalCdf(double x, double mean, double sd) {
  return 0.5 * std::erfc(-(x - mean) / (sd * std::sqrt(2.0)));
}

// A fresh folder under the system temp dir, removed with its files.
class ScratchDir {
 public:
  ScratchDir() {
    char tmpl[] = "/tmp/vandrel_stats_XXXXXX";
    const char* made = mkdtemp(tmpl);
    m_path = made ? made : "";
  }
  ~ScratchDir() {
    for (const std::string& f : m_files) std::remove(f.c_str());
    rmdir(m_path.c_str());
  }
  const std::string& Path() const { return m_path; }
  // Path of prefix name inside the folder; the ".distrib" file of it is
  // removed with the folder.
  std::string Prefix(const std::string& name) {
    m_files.push_back(m_path + "/" + name + ".distrib");
    return m_path + "/" + name;
  }
  std::string WriteDistrib(const std::string& name, const std::string& text) {
    const std::string prefix = Prefix(name);
    std::ofstream(prefix + ".distrib", std::ios::binary) << text;
    return prefix;
  }

 private:
  std::string m_path;
  std::vector<std::string> m_files;
};

// The message text thrown by f, or "<nothing thrown>".
template <typename F>
std::string ThrownText(F f) {
  try {
    f();
  } catch (const char* message) {
    return message;
  }
  return "<nothing thrown>";
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace statstest
