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
  // The buffer holds one more byte than a block: a NUL after the data read,
  // so that a scan for any set of characters without NUL stops at the end.
  explicit WordScanner(FILE* file) : file_(file), buffer_(kBlock + 1, '\0') {}

  // Skips whitespace, then matches the text exactly.
  bool literal(const char* text);
  // Skips whitespace and reads the next run of non-whitespace characters.
  // False at end of input.  Reading stops after maxLength + 1 characters
  // have been kept (the rest of the word is skipped), so an over-long word
  // shows as a word longer than maxLength.  Names are handed on as C
  // strings, so the text kept ends at a NUL byte.
  bool word(std::string& out, std::size_t maxLength);
  // Skips whitespace and returns the unread part of the buffer, ending at
  // `end`, where a NUL byte follows it (*end == '\0').  The part is empty
  // only at the end of input.  A word in it that reaches `end` may go on in
  // the next block.  The text stays valid until the next call.
  const char* unread(const char*& end) {
    const char* p = buffer_.data() + next_;
    const char* stop = buffer_.data() + end_;
    while (p != stop && isSpace(static_cast<unsigned char>(*p))) ++p;
    if (p == stop) {
      skipSpace();
      p = buffer_.data() + next_;
      stop = buffer_.data() + end_;
    }
    next_ = static_cast<std::size_t>(p - buffer_.data());
    end = stop;
    return p;
  }
  // Consumes the first `count` characters of what unread() returned.
  void consume(std::size_t count) { next_ += count; }
  // Skips whitespace and reads a decimal integer (optional sign).  False
  // when no digit follows or the value does not fit in 32 bits.
  bool integer(int& out);
  // Skips whitespace and reads a decimal floating-point number.
  bool real(double& out);

 private:
  // Large blocks: every read is a system call, and those are not cheap on
  // every machine.
  static constexpr std::size_t kBlock = std::size_t{1} << 20;
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
