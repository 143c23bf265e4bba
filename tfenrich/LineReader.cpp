// Line pieces of at most 199 characters, CRLF read like LF.
#include "tfenrich/LineReader.h"

#include <algorithm>
#include <cctype>

namespace tfenrich {

bool LineReader::next(std::string& line) {
  if (!hasPending_) {
    pending_.clear();
    int c;
    bool any = false;
    while ((c = std::getc(file_)) != EOF) {
      any = true;
      if (c == '\n') break;
      pending_.push_back(static_cast<char>(c));
    }
    if (c == EOF && std::ferror(file_)) {
      failed_ = true;
      return false;
    }
    if (!any) return false;
    if (!pending_.empty() && pending_.back() == '\r') pending_.pop_back();
    hasPending_ = true;
  }
  if (pending_.size() > static_cast<std::string::size_type>(kLinePieceLength)) {
    line = pending_.substr(0, kLinePieceLength);
    pending_.erase(0, kLinePieceLength);
  } else {
    line.swap(pending_);
    pending_.clear();
    hasPending_ = false;
  }
  return true;
}

bool firstWord(const std::string& text, std::string& word, std::string::size_type* end) {
  // A line is text up to its first NUL byte: a name never holds one (it is
  // passed on as a C string), so binary input cannot yield an empty name.
  const std::string::size_type size = std::min(text.size(), text.find('\0'));
  std::string::size_type i = 0;
  while (i < size && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  std::string::size_type j = i;
  while (j < size && !std::isspace(static_cast<unsigned char>(text[j]))) ++j;
  if (end != nullptr) *end = j;
  if (j == i) return false;
  word = text.substr(i, j - i);
  return true;
}

}  // namespace tfenrich
