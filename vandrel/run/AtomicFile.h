#pragma once
// Output files that are never seen half-written: the content goes to a
// temporary file in the same directory (so that the final rename stays on
// one file system), and only a complete, successfully flushed file is
// renamed onto the target path.  A failure or a kill in the middle leaves
// the old file (or none) under the target name; an uncommitted temporary
// file is removed when the object dies.
#include <fstream>
#include <string>

namespace vandrel {

class CAtomicFile {
 public:
  // Opens "<path>.tmp<pid>.<n>" for writing (truncating), with `mode`
  // added to std::ios::out.
  explicit CAtomicFile(const std::string& path,
                       std::ios::openmode mode = std::ios::openmode());
  CAtomicFile(const CAtomicFile&) = delete;
  CAtomicFile& operator=(const CAtomicFile&) = delete;
  ~CAtomicFile();

  // Whether the temporary file could be created.
  bool IsOpen() const { return m_out.is_open(); }
  std::ofstream& Stream() { return m_out; }

  // Closes the temporary file and renames it onto the target path.  False
  // (and the temporary file removed, the target untouched) when any write,
  // the close or the rename failed.
  bool Commit();

  const std::string& TempPath() const { return m_tempPath; }

 private:
  std::string m_path;
  std::string m_tempPath;
  std::ofstream m_out;
  bool m_done = false;  // committed, or removed after a failed commit
};

}  // namespace vandrel
