#pragma once
// The program manager: reads the parameters file and drives one clustering
// run (read parameters, install the similarity measure, open the analysis
// log, run the engine, save the solution, close the log).
//
// Parameters file: key line, value line, in the fixed order DATA_TYPE,
// INPUT_FILES_PREFIX, OUTPUT_FILE_PREFIX, and for FP data SIMILARITY_TYPE
// and an optional HOMOGENEITY (key, then a number).  Each value line carries
// one trailing character that is not part of the value.
#include <istream>
#include <memory>
#include <string>

class CSimilarityHandler;

class CProgramManager {
 public:
  CProgramManager();
  CProgramManager(const CProgramManager&) = delete;
  CProgramManager& operator=(const CProgramManager&) = delete;
  virtual ~CProgramManager();

  // The whole run.
  void Run(const char* parametersFile);
  // Resets the manager, reads the parameters file, opens the analysis log.
  void InitParms(const char* parametersFile);
  // Reads one key/value entry and returns the value.
  std::string ReadParm(std::istream& in, const char* key);
  // Creates the handler of "DOTPRODUCT" or "CORRELATION" and installs it
  // process-wide (the manager keeps ownership).
  void InitSimHandler(const std::string& similarityType);
  // Frees the prefixes and the handler; zeroes the numbers.
  void Reset();

  int GetDataType() const { return m_dataType; }
  int GetClustersNum() const { return m_clustersNum; }
  double GetHomogeneity() const { return m_homogeneity; }
  double GetAdoptTh() const { return m_adoptTh; }
  double GetRejectTh() const { return m_rejectTh; }
  double GetMergeTh() const { return m_mergeTh; }
  // Null until read.
  const char* GetOutputPrefix() const { return m_outputPrefix.get(); }
  const char* GetInputPrefix() const { return m_inputPrefix.get(); }
  const CSimilarityHandler* GetSimHandler() const { return m_simHandler.get(); }

 private:
  int m_dataType;
  int m_clustersNum;
  double m_homogeneity;
  double m_adoptTh;
  double m_rejectTh;
  double m_mergeTh;
  std::unique_ptr<char[]> m_outputPrefix;
  std::unique_ptr<char[]> m_inputPrefix;
  std::unique_ptr<CSimilarityHandler> m_simHandler;
};
