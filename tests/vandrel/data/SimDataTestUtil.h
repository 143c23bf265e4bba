#pragma once
// Helpers for the similarity-data and data-file-analyzer tests: a scratch
// directory, file writing, models with chosen parameters, an installed
// similarity handler, and independent Pearson / cosine similarities.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "vandrel/data/Fingerprint.h"
#include "vandrel/data/SimHandler.h"

namespace simdata_test {

// A fresh directory under the system's temporary directory, removed at the end.
class TempDir {
 public:
  TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "simdata_XXXXXX").string();
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) ADD_FAILURE() << "mkdtemp failed";
    m_path = buf.data();
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
  }
  std::string operator/(const std::string& name) const { return m_path + "/" + name; }

 private:
  std::string m_path;
};

inline void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

inline bool Exists(const std::string& path) { return std::filesystem::exists(path); }

inline void WriteDistrib(const std::string& prefix, double pMates, double muT, double sigmaT,
                         double muF, double sigmaF) {
  std::ostringstream s;
  s << "P_MATES\t" << pMates << "\nNormDistrib\nEXP\t" << muT << "\nSTD\t" << sigmaT
    << "\nNormDistrib\nEXP\t" << muF << "\nSTD\t" << sigmaF << "\n";
  WriteFile(prefix + ".distrib", s.str());
}

// The text message of a thrown constant, or "" when nothing was thrown.
template <class F>
std::string ThrownMessage(F&& f) {
  try {
    f();
  } catch (const char* m) {
    return m;
  }
  return "";
}

// Installs the similarity handler of a similarity type for one test and
// forgets it (and the fingerprint length) afterwards.
class HandlerScope {
 public:
  explicit HandlerScope(bool correlation) {
    ResetFingerprintStateForTests();
    if (correlation)
      m_handler = new CFisherTransSimHandler(new CVecStandardizer(), new CFisherTransSim());
    else
      m_handler = new CDotProductSimHandler(new CMeanSqNorm(0), new CDotProductSim());
    CNormFP::SetSimilarityHandler(m_handler);
  }
  ~HandlerScope() {
    ResetFingerprintStateForTests();
    delete m_handler;
  }

 private:
  CSimilarityHandler* m_handler;
};

// Deterministic test fingerprints: n rows of length len with values of three
// decimals, built on a few shared profiles so that some pairs correlate.
inline std::vector<std::vector<double>> MakeProfiles(unsigned n, unsigned len, std::uint32_t seed) {
  std::uint32_t state = seed;
  auto next = [&state]() {
    state = state * 1664525u + 1013904223u;
    return static_cast<double>((state >> 8) & 0xFFFF) / 65535.0;
  };
  std::vector<std::vector<double>> bases(4, std::vector<double>(len));
  for (auto& b : bases)
    for (double& v : b) v = next() * 10.0 - 5.0;
  std::vector<std::vector<double>> rows(n, std::vector<double>(len));
  for (unsigned i = 0; i < n; ++i)
    for (unsigned j = 0; j < len; ++j) {
      const double raw = bases[i % 4][j] + (next() - 0.5) * 4.0;
      rows[i][j] = std::round(raw * 1000.0) / 1000.0;
    }
  return rows;
}

inline void WriteOrig(const std::string& prefix, const std::vector<std::vector<double>>& rows) {
  std::ostringstream s;
  s << rows.size() << "\t" << (rows.empty() ? 0 : rows[0].size()) << "\n";
  char buf[64];
  for (std::size_t i = 0; i < rows.size(); ++i) {
    s << "g" << i;
    for (double v : rows[i]) {
      std::snprintf(buf, sizeof buf, "\t%.3f", v);
      s << buf;
    }
    s << "\n";
  }
  WriteFile(prefix + ".orig", s.str());
}

inline double Pearson(const std::vector<double>& a, const std::vector<double>& b) {
  const double n = static_cast<double>(a.size());
  double ma = 0, mb = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    ma += a[i];
    mb += b[i];
  }
  ma /= n;
  mb /= n;
  double sab = 0, saa = 0, sbb = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    sab += (a[i] - ma) * (b[i] - mb);
    saa += (a[i] - ma) * (a[i] - ma);
    sbb += (b[i] - mb) * (b[i] - mb);
  }
  return sab / std::sqrt(saa * sbb);
}

inline double Cosine(const std::vector<double>& a, const std::vector<double>& b) {
  double sab = 0, saa = 0, sbb = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    sab += a[i] * b[i];
    saa += a[i] * a[i];
    sbb += b[i] * b[i];
  }
  return sab / std::sqrt(saa * sbb);
}

}  // namespace simdata_test
