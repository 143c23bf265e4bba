#pragma once
// Line-by-line reading of the small list files (PWM set, BG set,
// target-sets).  A line is taken without its line end ("\n" or "\r\n"); a
// line longer than 199 characters is handed out in pieces of 199
// characters, each counting as a line of its own.
#include <cstdio>
#include <string>

namespace tfenrich {

constexpr int kLinePieceLength = 199;

class LineReader {
 public:
  explicit LineReader(FILE* file) : file_(file) {}
  // False when no more line can be read: at end of file, or on a read
  // error (then failed() is true).
  bool next(std::string& line);
  bool failed() const { return failed_; }

 private:
  FILE* file_;
  std::string pending_;  // rest of a long line
  bool hasPending_ = false;
  bool failed_ = false;
};

// First whitespace-separated word of a text; false when there is none.
bool firstWord(const std::string& text, std::string& word, std::string::size_type* end = nullptr);

}  // namespace tfenrich
