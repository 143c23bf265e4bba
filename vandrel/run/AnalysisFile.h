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
  // On a thread with a capture (below), the pieces go to its buffer instead.
  template <class... Pieces>
  static void Write(const Pieces&... pieces) {
    if (!s_analysis) return;
    if (s_log == nullptr) throw "CAnalysisFile::Write - no log file is available";
    std::ostream& out = s_capture != nullptr ? *s_capture : *s_log;
    (WritePiece(out, pieces), ...);
  }

  // While it lives, the records written on the constructing thread go to
  // `buffer`, formatted exactly as the log stream formats them; a later
  // WriteCaptured(buffer's text) puts them into the log as if written there
  // directly.  Work on other threads keeps its records this way until they
  // can be written in the run's order.  Captures do not nest.
  class CCapture {
   public:
    explicit CCapture(std::ostream& buffer);
    ~CCapture();
    CCapture(const CCapture&) = delete;
    CCapture& operator=(const CCapture&) = delete;
  };

  // Writes captured records to the log stream (same switch and failure as
  // Write).
  static void WriteCaptured(const std::string& text);

 private:
  template <class T>
  static void WritePiece(std::ostream& out, const T& piece) {
    out << piece;
    out.flush();
  }

  static bool s_analysis;
  static std::ostream* s_log;
  static thread_local std::ostream* s_capture;
};
