// The program manager: parameters file, similarity measure, analysis log
// and the order of one clustering run.
#include "vandrel/run/ProgramManager.h"

#include <cstring>
#include <fstream>
#include <iostream>
#include <limits>

#include "vandrel/data/Fingerprint.h"
#include "vandrel/data/SimHandler.h"
#include "vandrel/engine/SuperZelk.h"
#include "vandrel/run/AnalysisFile.h"
#include "vandrel/run/StageTimer.h"
#include "vandrel/solution/Solution.h"

namespace {

constexpr double kNoHomogeneity = -10000000.0;
constexpr double kFPThreshold = -3000000.0;

std::unique_ptr<char[]> HeapCopy(const std::string& text) {
  auto copy = std::make_unique<char[]>(text.size() + 1);
  std::memcpy(copy.get(), text.c_str(), text.size() + 1);
  return copy;
}

}  // namespace

CProgramManager::CProgramManager()
    : m_dataType(0),
      m_clustersNum(0),
      m_homogeneity(0.0),
      m_adoptTh(0.0),
      m_rejectTh(0.0),
      m_mergeTh(0.0) {}

CProgramManager::~CProgramManager() { Reset(); }

void CProgramManager::Reset() {
  m_outputPrefix.reset();
  m_inputPrefix.reset();
  // The process-wide pointer installed from this handler is deliberately
  // left as it is: a handler may be installed once per process.
  m_simHandler.reset();
  m_clustersNum = 0;
  m_homogeneity = 0.0;
  m_adoptTh = 0.0;
  m_rejectTh = 0.0;
  m_mergeTh = 0.0;
}

void CProgramManager::Run(const char* parametersFile) {
  CAnalysisFile::SetAnalysis(true);
  std::cout << "Initializing program parameters ..." << parametersFile << std::endl;
  InitParms(parametersFile);
  const std::string resultName = std::string(m_outputPrefix.get()) + ".res";

  auto zelk = std::make_unique<CSuperZelk>(m_dataType, m_inputPrefix.get());
  zelk->Run(m_adoptTh, m_rejectTh, m_mergeTh, m_homogeneity, m_clustersNum);
  std::cout << "Saving clustering solution ..." << std::endl;
  vandrel::ScopedStage stage("saving solution");
  // Save appends ".sol": the file is <output prefix>.res.sol.
  zelk->GetSolution()->Save(resultName);

  if (CAnalysisFile::IsAnalysis()) CAnalysisFile::CloseFile();
  zelk.reset();
}

void CProgramManager::InitParms(const char* parametersFile) {
  Reset();
  m_clustersNum = 0;
  m_homogeneity = kNoHomogeneity;

  std::ifstream in(parametersFile);
  if (!in.is_open()) throw "CProgramManager::InitParms - can't open parameters file";

  const std::string dataType = ReadParm(in, "DATA_TYPE");
  if (dataType == "SD") {
    m_dataType = 0;
    m_adoptTh = m_rejectTh = m_mergeTh = 0.0;
  } else if (dataType == "FP") {
    m_dataType = 1;
    m_adoptTh = m_rejectTh = m_mergeTh = kFPThreshold;
  } else {
    std::cerr << "illegal data type name" << std::endl;
    throw "CProgramManager::InitParms - illegal data type (not SD or FP)";
  }
  m_inputPrefix = HeapCopy(ReadParm(in, "INPUT_FILES_PREFIX"));
  m_outputPrefix = HeapCopy(ReadParm(in, "OUTPUT_FILE_PREFIX"));

  if (m_dataType == 1) {
    InitSimHandler(ReadParm(in, "SIMILARITY_TYPE"));
    try {
      if (!in.eof()) {
        std::string word;
        in >> word;
        if (!word.empty()) {
          if (word != "HOMOGENEITY") throw "format error";
          double homogeneity = 0.0;
          if (!(in >> homogeneity)) throw "format error";
          m_homogeneity = homogeneity;
          in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
        }
      }
    } catch (...) {
      in.close();
      throw "CProgramManager::InitParms - illegal file format";
    }
  }
  in.close();

  if (CAnalysisFile::IsAnalysis()) {
    CAnalysisFile::CloseFile();
    CAnalysisFile::SetFile(m_outputPrefix.get());
  }
}

std::string CProgramManager::ReadParm(std::istream& in, const char* key) {
  try {
    std::string word;
    in >> word;
    if (word != key) throw "format error";
    std::string line;
    std::getline(in, line);  // the rest of the key's line is ignored
    if (!std::getline(in, line)) throw "format error";
    // Every value line carries one trailing character beyond the value.
    if (!line.empty()) line.pop_back();
    return line;
  } catch (...) {
    throw "CProgramManager::ReadParm - illegal file format";
  }
}

void CProgramManager::InitSimHandler(const std::string& similarityType) {
  std::unique_ptr<CSimilarityHandler> handler;
  try {
    if (similarityType == "DOTPRODUCT") {
      auto evaluator = std::make_unique<CDotProductSim>();
      auto normalizer = std::make_unique<CMeanSqNorm>(0);
      handler = std::make_unique<CDotProductSimHandler>(normalizer.get(), evaluator.get());
      normalizer.release();
      evaluator.release();
    } else if (similarityType == "CORRELATION") {
      auto evaluator = std::make_unique<CFisherTransSim>();
      auto normalizer = std::make_unique<CVecStandardizer>();
      handler = std::make_unique<CFisherTransSimHandler>(normalizer.get(), evaluator.get());
      normalizer.release();
      evaluator.release();
    } else {
      std::cerr << "Illegal similarity type name - exiting program" << std::endl;
      throw "CProgramManager::InitSimHandler - illegal similarity type name";
    }
  } catch (const std::bad_alloc&) {
    throw "CProgramManager::InitSimHandler - memory problem";
  }
  m_simHandler = std::move(handler);
  CNormFP::SetSimilarityHandler(m_simHandler.get());
}
