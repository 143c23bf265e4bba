// scanf-like item reader over a FILE*.
#include "tfenrich/WordScanner.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace tfenrich {

bool WordScanner::refill() {
  next_ = 0;
  end_ = std::fread(buffer_.data(), 1, kBlock, file_);
  buffer_[end_] = '\0';
  return end_ > 0;
}

void WordScanner::skipSpace() {
  int c;
  while ((c = get()) != EOF) {
    if (!isSpace(c)) {
      unget();
      return;
    }
  }
}

bool WordScanner::literal(const char* text) {
  skipSpace();
  for (const char* p = text; *p != '\0'; ++p) {
    const int c = get();
    if (c == EOF) return false;
    if (c != static_cast<unsigned char>(*p)) {
      unget();
      return false;
    }
  }
  return true;
}

bool WordScanner::word(std::string& out, std::size_t maxLength) {
  out.clear();
  skipSpace();
  int c;
  bool any = false;
  bool ended = false;  // a NUL byte ends the text kept from the word
  while ((c = get()) != EOF) {
    if (isSpace(c)) {
      unget();
      break;
    }
    any = true;
    if (c == '\0') ended = true;
    if (!ended && out.size() <= maxLength) out.push_back(static_cast<char>(c));
  }
  return any;
}

bool WordScanner::integer(int& out) {
  skipSpace();
  std::string text;
  int c = peek();
  if (c == '+' || c == '-') {
    text.push_back(static_cast<char>(get()));
    c = peek();
  }
  while (c != EOF && std::isdigit(c)) {
    text.push_back(static_cast<char>(get()));
    if (text.size() > 32) return false;  // far beyond 32 bits
    c = peek();
  }
  return parseLeadingInt(text.c_str(), out) ;
}

bool WordScanner::real(double& out) {
  skipSpace();
  std::string text;
  int c;
  while ((c = peek()) != EOF &&
         (std::isdigit(c) || c == '+' || c == '-' || c == '.' || c == 'e' || c == 'E')) {
    text.push_back(static_cast<char>(get()));
    if (text.size() > 64) return false;
  }
  if (text.empty()) return false;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (end == text.c_str() || *end != '\0' || !std::isfinite(value)) return false;
  out = value;
  return true;
}

const char* parseIntPrefix(const char* text, const char* end, int& out) {
  const char* p = text;
  bool negative = false;
  if (p != end && (*p == '+' || *p == '-')) {
    negative = *p == '-';
    ++p;
  }
  if (p == end || *p < '0' || *p > '9') return nullptr;
  // Magnitudes up to 2^31 are kept exactly; anything longer than ten digits
  // (after leading zeros) does not fit.
  long long value = 0;
  for (; p != end && *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + (*p - '0');
    if (value > 2147483648LL) return nullptr;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return nullptr;
  out = static_cast<int>(value);
  return p;
}

bool parseLeadingInt(const char* text, int& out, const char** end) {
  const char* p = text;
  while (std::isspace(static_cast<unsigned char>(*p))) ++p;
  const char* digits = p;
  if (*digits == '+' || *digits == '-') ++digits;
  if (!std::isdigit(static_cast<unsigned char>(*digits))) return false;
  char* stop = nullptr;
  errno = 0;
  const long long value = std::strtoll(p, &stop, 10);
  if (errno == ERANGE || value < INT_MIN || value > INT_MAX) return false;
  out = static_cast<int>(value);
  if (end != nullptr) *end = stop;
  return true;
}

}  // namespace tfenrich
