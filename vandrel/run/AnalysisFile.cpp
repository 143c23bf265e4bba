// The process-wide analysis log: opening, closing and its state.
#include "vandrel/run/AnalysisFile.h"

#include <fstream>
#include <iostream>
#include <memory>

bool CAnalysisFile::s_analysis = false;
std::ostream* CAnalysisFile::s_log = nullptr;
thread_local std::ostream* CAnalysisFile::s_capture = nullptr;

CAnalysisFile::CCapture::CCapture(std::ostream& buffer) {
  // The same flags, precision, fill and locale as the log stream.
  if (s_log != nullptr) buffer.copyfmt(*s_log);
  s_capture = &buffer;
}

CAnalysisFile::CCapture::~CCapture() { s_capture = nullptr; }

void CAnalysisFile::WriteCaptured(const std::string& text) {
  if (!s_analysis) return;
  if (s_log == nullptr) throw "CAnalysisFile::Write - no log file is available";
  if (text.empty()) return;
  *s_log << text;
  s_log->flush();
}

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
