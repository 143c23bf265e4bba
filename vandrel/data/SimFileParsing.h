#pragma once
// Reading helpers for similarity (`.sim`) files, shared by the similarity
// tables and the SD data-file analyzer.
//
//   FileExists     - whether a path names an existing file.
//   CTokenReader   - whitespace-delimited tokens from a stream, read in
//                    large blocks, with the byte offset of the read position
//                    (O(1) per byte; no per-token seek or allocation).
//   ParseValueLine - one line of the values section by its reading rules.
#include <cstdint>
#include <istream>
#include <string>
#include <vector>

namespace vandrel {

bool FileExists(const std::string& path);

// Whether the `.sim` file at `path` lists exactly `names` (same count, same
// order) in its names section.  A cached table that does not belongs to
// other data.  Reads only up to the "VALUES:" token.
bool SimFileNamesMatch(const std::string& path, const std::vector<std::string>& names);

class CTokenReader {
 public:
  // Reads `in` from byte offset `start` on (the stream is repositioned).
  CTokenReader(std::istream& in, std::int64_t start);

  // Next token (skipping blanks, tabs, line ends, CR, VT, FF); false at end
  // of input.
  bool Next(std::string& token);
  // Byte offset just after the last character consumed.
  std::int64_t Offset() const { return m_base + static_cast<std::int64_t>(m_pos); }
  // True when the stream reported an error other than end of file.
  bool Failed() const { return m_failed; }

 private:
  bool Fill();

  std::istream& m_in;
  std::vector<char> m_buf;
  std::size_t m_pos = 0;
  std::size_t m_len = 0;
  std::int64_t m_base = 0;  // offset of m_buf[0]
  bool m_eof = false;
  bool m_failed = false;
};

// Outcome of reading one line of a values section.
enum class EValueLine {
  kSkipped,  // first character is not a decimal digit
  kValue,    // first, second and value were read
  kBad       // starts with a digit but does not hold two indices and a number
};

// Reads "first second value" from the start of a line; the rest of the
// line is ignored.  Indices wider than 32 bits come back as 2^32 and above,
// so that callers' range checks reject them.  Values must be finite.
EValueLine ParseValueLine(const std::string& line, std::uint64_t& first, std::uint64_t& second,
                          double& value);

}  // namespace vandrel
