#pragma once
// Formatted reading of a text file the way scanf reads it: whitespace runs
// (line breaks included) separate the items, fixed words such as "PWMs:" or
// "LLid=" must match byte for byte, and numbers and words are converted one
// at a time.  Only one character of look-ahead is kept.
#include <cstdio>
#include <string>

namespace tfenrich {

class WordScanner {
 public:
  explicit WordScanner(FILE* file) : file_(file) {}

  // Skips whitespace, then matches the text exactly.
  bool literal(const char* text);
  // Skips whitespace and reads the next run of non-whitespace characters.
  // False at end of input.  Reading stops after maxLength + 1 characters
  // have been kept (the rest of the word is skipped), so an over-long word
  // shows as a word longer than maxLength.  Names are handed on as C
  // strings, so the text kept ends at a NUL byte.
  bool word(std::string& out, std::size_t maxLength);
  // Skips whitespace and reads a decimal integer (optional sign).  False
  // when no digit follows or the value does not fit in 32 bits.
  bool integer(int& out);
  // Skips whitespace and reads a decimal floating-point number.
  bool real(double& out);

 private:
  int peek();
  void skipSpace();
  FILE* file_;
};

// Parses a whole decimal integer at the start of text (after optional
// whitespace and sign), as scanf's "%d" does: trailing characters are
// left alone.  False when no digit follows or the value does not fit.
bool parseLeadingInt(const char* text, int& out, const char** end = nullptr);

}  // namespace tfenrich
