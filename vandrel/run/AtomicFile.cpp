// Write-then-rename output files; see AtomicFile.h.  Costs one extra
// rename per file.
#include "vandrel/run/AtomicFile.h"

#include <unistd.h>

#include <cstdio>

namespace vandrel {

namespace {

unsigned long s_tempCounter = 0;

}  // namespace

CAtomicFile::CAtomicFile(const std::string& path, std::ios::openmode mode)
    : m_path(path),
      m_tempPath(path + ".tmp" + std::to_string(static_cast<long>(::getpid())) + "." +
                 std::to_string(++s_tempCounter)) {
  m_out.open(m_tempPath, std::ios::out | std::ios::trunc | mode);
}

CAtomicFile::~CAtomicFile() {
  if (m_done) return;
  if (m_out.is_open()) m_out.close();
  std::remove(m_tempPath.c_str());
}

bool CAtomicFile::Commit() {
  if (!m_out.is_open()) return false;
  m_out.flush();
  m_out.close();
  if (m_out.fail() || std::rename(m_tempPath.c_str(), m_path.c_str()) != 0) {
    std::remove(m_tempPath.c_str());
    m_done = true;
    return false;
  }
  m_done = true;
  return true;
}

}  // namespace vandrel
