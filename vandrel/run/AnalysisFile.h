#pragma once
// The analysis log of one clustering run: <output prefix>.anl.
//
// Process-wide state: a switch (off at program start) and an owned log
// stream.  Records are written piece by piece with Write(...); every piece
// is flushed at once, so the file is complete up to the last piece even if
// the run ends by an error.  While the switch is off, Write does nothing.
#include <ostream>
#include <string>

class CAnalysisFile {
 public:
  // The switch.
  static void SetAnalysis(bool on) { s_analysis = on; }
  static bool IsAnalysis() { return s_analysis; }

  // Opens <outputPrefix>.anl for writing (truncating) and makes it the log
  // stream.  A stream left from before is closed first.  Fails with
  // "CAnalysisFile::SetFile - problems opening file".
  static void SetFile(const std::string& outputPrefix);

  // Closes and deletes the log stream unless it is the standard output
  // stream; in any case no stream is left.
  static void CloseFile();

  // The current log stream, or null.
  static std::ostream* GetStream() { return s_log; }

  // Writes each piece (texts, numbers) with the stream's default formatting,
  // flushing after every piece.  While the switch is on and no stream is
  // open, fails with "CAnalysisFile::Write - no log file is available".
  template <class... Pieces>
  static void Write(const Pieces&... pieces) {
    if (!s_analysis) return;
    if (s_log == nullptr) throw "CAnalysisFile::Write - no log file is available";
    (WritePiece(pieces), ...);
  }

 private:
  template <class T>
  static void WritePiece(const T& piece) {
    *s_log << piece;
    s_log->flush();
  }

  static bool s_analysis;
  static std::ostream* s_log;
};
