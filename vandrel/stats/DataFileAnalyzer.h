#pragma once
// Data-file analyzers and the graph threshold analyzer.
//
// A data-file analyzer is created once per run for the input prefix.  It
// checks the input file, learns the elements and the range of similarity
// values, and builds the run's first mates/non-mates model: read from an
// existing `.distrib` file or fitted by EM on a random sample of about 30000
// similarity values.  CalcSimTh finds by bisection the similarity threshold
// above which about k values are expected under that model.
//
//   CFPDataFileAnalyzer - fingerprints (`.orig`); sampling costs one random
//                         draw per pair, O(n^2).
//   CSDDataFileAnalyzer - similarity values (`.sim`); reads the file once,
//                         keeps it open and remembers where each element's
//                         group of lines starts, so that later per-element
//                         reads seek straight to it.  The number of value
//                         lines is estimated from at most 300 probed lines.
//
// CThDistribAnalyzer belongs to a similarity graph: for the graph's weight
// threshold it gives the weight that stands for a missing edge and the mean
// and standard deviation of an edge weight per model component
// (O(100000) per threshold change).
//
// A fitted model is used as its `.distrib` text gives it back (6 significant
// digits), never in full precision: see SetModelAsSaved.
//
// Pair counts are 64-bit: n(n-1)/2 exceeds 32 bits above about 92,000
// elements.
#include <cstdint>
#include <fstream>
#include <istream>
#include <memory>
#include <string>
#include <vector>

class CSimDistrib;
class CFPData;

class CDataFileAnalyzer {
 public:
  // Number of similarity values of the data (pairs for fingerprints, the
  // estimated number of value lines for a `.sim` file).
  virtual std::uint64_t GetSimValsNum() = 0;
  virtual ~CDataFileAnalyzer();

  CDataFileAnalyzer(const CDataFileAnalyzer&) = delete;
  CDataFileAnalyzer& operator=(const CDataFileAnalyzer&) = delete;

  // The model; throws
  // "CDataFileAnalyzer::GetSimDistrib - simDistrib was not created".
  const CSimDistrib* GetSimDistrib() const;

  // Similarity threshold above which about k values are expected under the
  // model; -1000000.0 when k is not below the number of values.
  double CalcSimTh(std::uint64_t k);

  const std::string& GetPrefix() const { return m_prefix; }
  unsigned int GetElementsNum() const { return m_elementsNum; }
  double GetMinSimVal() const { return m_minSimVal; }
  double GetMaxSimVal() const { return m_maxSimVal; }

 protected:
  explicit CDataFileAnalyzer(const std::string& prefix);

  // Installs the model fitted to `sample` as a later run, reading the
  // `.distrib` file this run saves, will have it: the model read back from
  // the file's text, its simulated weights drawn from the generator state
  // `randState`, where such a run stands when it reads the file.  The
  // generator is left where that run leaves it.  So a first run goes on
  // exactly as every later run on the same caches, whether or not the file
  // can be written.
  void SetModelAsSaved(const std::vector<double>& sample, std::uint32_t randState);

  std::string m_prefix;
  unsigned int m_elementsNum = 0;
  std::uint64_t m_simValsNum = 0;  // 0 = not yet asked
  std::unique_ptr<CSimDistrib> m_simDistrib;
  double m_minSimVal = -1000000.0;
  double m_maxSimVal = 1000000.0;
};

class CFPDataFileAnalyzer : public CDataFileAnalyzer {
 public:
  explicit CFPDataFileAnalyzer(const std::string& prefix);
  ~CFPDataFileAnalyzer() override;

  // n(n-1)/2.
  std::uint64_t GetSimValsNum() override;
  const CFPData& GetFPData() const { return *m_fpData; }

 private:
  std::unique_ptr<CFPData> m_fpData;
};

class CSDDataFileAnalyzer : public CDataFileAnalyzer {
 public:
  explicit CSDDataFileAnalyzer(const std::string& prefix);
  ~CSDDataFileAnalyzer() override;

  // The estimated number of value lines.
  std::uint64_t GetSimValsNum() override;
  const std::vector<std::string>& GetNames() const { return m_names; }

  // The open `.sim` stream positioned where element `id`'s group of lines
  // starts (at the end of the line before it: skip the rest of the current
  // line to reach the group's first line).  An element without a group of
  // its own gets the stream at end of file.  The file is reopened first
  // when the stream has reached its end.  An id beyond the names throws
  // "CSDDataFileAnalyzer::GetElementStream - element id is out of scope".
  std::istream& GetElementStream(unsigned int id);

  // Whether element `id` has a group of lines of its own.
  bool HasElementLines(unsigned int id) const;

 private:
  static constexpr std::int64_t kUnset = -1;

  void OpenStream(const char* openFailure);

  std::ifstream m_in;
  std::vector<std::string> m_names;
  std::int64_t m_valuesPos = 0;        // just after the "VALUES:" token
  std::vector<std::int64_t> m_starts;  // per element, or kUnset
  std::uint64_t m_estimatedLines = 0;
};

class CThDistribAnalyzer {
 public:
  CThDistribAnalyzer() = default;
  virtual ~CThDistribAnalyzer() = default;

  // Binds the model: w = -100000000.0, L = 0, per-component weight means
  // and standard deviations copied from the model's simulated weights.
  void Init(const CSimDistrib* model);
  // Re-evaluates L and the per-component weight statistics for a new weight
  // threshold; nothing happens when w equals the current threshold.
  void SetWeightTh(double w);
  // For a graph over a similarity file that does not list every pair: a pair
  // without a value stands for a similarity below the smallest listed value
  // `smallestListed`, so its weight U becomes ln(P_mates(s < smallestListed)
  // / P_non-mates(s < smallestListed)).  When that is not negative (a mates
  // tail heavier than the non-mates one) or not finite, U becomes the
  // non-mates' mean simulated weight instead (an estimate of minus the
  // divergence of the two components, so negative).  L, the weight threshold
  // and the per-component statistics stay as they are.
  void SetUnlistedPairWeight(double smallestListed);

  const CSimDistrib* GetSimDistrib() const { return m_simDistrib; }
  double GetWeightTh() const { return m_weightTh; }
  // Weight standing for a missing edge (L).
  double GetMissingEdgeWeight() const { return m_missingEdgeWeight; }
  // Weight standing for a pair without an edge of which the similarity file
  // holds no value (U): L unless SetUnlistedPairWeight set it.
  double GetUnlistedPairWeight() const {
    return m_hasUnlistedWeight ? m_unlistedPairWeight : m_missingEdgeWeight;
  }
  // Similarity values whose log-likelihood ratio equals the threshold.
  const std::vector<double>& GetRoots() const { return m_roots; }
  // Index 0 mates, 1 non-mates.
  double GetWeightMean(int component) const { return m_weightMeans[component]; }
  double GetWeightStd(int component) const { return m_weightStds[component]; }
  const std::vector<double>& GetWeightMeans() const { return m_weightMeans; }
  const std::vector<double>& GetWeightStds() const { return m_weightStds; }

 private:
  const CSimDistrib* m_simDistrib = nullptr;  // not owned
  double m_weightTh = -100000000.0;
  std::vector<double> m_roots;
  double m_missingEdgeWeight = 0.0;
  bool m_hasUnlistedWeight = false;
  double m_unlistedPairWeight = 0.0;
  std::vector<double> m_weightStds = std::vector<double>(2, 0.0);
  std::vector<double> m_weightMeans = std::vector<double>(2, 0.0);
};
