// The process-wide analysis log: opening, closing and its state.
#include "vandrel/run/AnalysisFile.h"

#include <fstream>
#include <iostream>
#include <memory>

bool CAnalysisFile::s_analysis = false;
std::ostream* CAnalysisFile::s_log = nullptr;

void CAnalysisFile::SetFile(const std::string& outputPrefix) {
  CloseFile();
  auto file = std::make_unique<std::ofstream>(outputPrefix + ".anl",
                                              std::ios::out | std::ios::trunc);
  if (!file->is_open()) throw "CAnalysisFile::SetFile - problems opening file";
  s_log = file.release();
}

void CAnalysisFile::CloseFile() {
  if (s_log != nullptr && s_log != &std::cout) delete s_log;
  s_log = nullptr;
}
