#pragma once
// Formatted reading of a text file the way scanf reads it: whitespace runs
// (line breaks included) separate the items, fixed words such as "PWMs:" or
// "LLid=" must match byte for byte, and numbers and words are converted one
// at a time.  The file is read in blocks through the scanner's own buffer,
// so once scanning starts the file's position is the scanner's business.
#include <cstdio>
#include <string>
#include <vector>

namespace tfenrich {

class WordScanner {
 public:
  explicit WordScanner(FILE* file) : file_(file), buffer_(kBlock) {}

  // Skips whitespace, then matches the text exactly.
  bool literal(const char* text);
  // Skips whitespace and reads the next run of non-whitespace characters.
  // False at end of input.  Reading stops after maxLength + 1 characters
  // have been kept (the rest of the word is skipped), so an over-long word
  // shows as a word longer than maxLength.  Names are handed on as C
  // strings, so the text kept ends at a NUL byte.
  bool word(std::string& out, std::size_t maxLength);
  // Skips whitespace; when the next word lies wholly in the buffer, holds
  // no NUL byte and is at most maxLength long, points begin at it, sets its
  // length, consumes it and returns true.  Otherwise it consumes nothing
  // and returns false, and word() reads it.  The text stays valid until
  // the next call.
  bool wordInBuffer(const char*& begin, std::size_t& length, std::size_t maxLength);
  // Skips whitespace and reads a decimal integer (optional sign).  False
  // when no digit follows or the value does not fit in 32 bits.
  bool integer(int& out);
  // Skips whitespace and reads a decimal floating-point number.
  bool real(double& out);

 private:
  static constexpr std::size_t kBlock = 1 << 16;
  // Whitespace as isspace sees it in the C locale.
  static bool isSpace(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
  bool refill();
  // Next character (EOF at the end), consuming it.
  int get() {
    if (next_ == end_ && !refill()) return EOF;
    return static_cast<unsigned char>(buffer_[next_++]);
  }
  // Puts back the character the last get returned.
  void unget() { --next_; }
  int peek() {
    if (next_ == end_ && !refill()) return EOF;
    return static_cast<unsigned char>(buffer_[next_]);
  }
  void skipSpace();
  FILE* file_;
  std::vector<char> buffer_;
  std::size_t next_ = 0;
  std::size_t end_ = 0;
};

// Parses a decimal integer (optional sign, then digits) at the start of
// [text, end) as parseLeadingInt does, without its leading whitespace:
// stops at the first character that is not a digit and returns the end of
// the number, or nullptr when no digit follows the sign or the value does
// not fit in 32 bits.
const char* parseIntPrefix(const char* text, const char* end, int& out);

// Parses a whole decimal integer at the start of text (after optional
// whitespace and sign), as scanf's "%d" does: trailing characters are
// left alone.  False when no digit follows or the value does not fit.
bool parseLeadingInt(const char* text, int& out, const char** end = nullptr);

}  // namespace tfenrich
