// Process-wide message and error streams, and "%.2e" with a three-digit exponent.
#include "tfenrich/Streams.h"

#include <cstdarg>
#include <cstring>

namespace tfenrich {

namespace {
FILE* g_msg = nullptr;
FILE* g_err = nullptr;
}  // namespace

FILE* msgStream() { return g_msg ? g_msg : stdout; }
FILE* errStream() { return g_err ? g_err : stderr; }
void setMsgStream(FILE* stream) { g_msg = stream; }
void setErrStream(FILE* stream) { g_err = stream; }

void msg(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vfprintf(msgStream(), format, args);
  va_end(args);
}

void err(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vfprintf(errStream(), format, args);
  va_end(args);
}

std::string formatExp2(double value) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.2e", value);
  std::string text(buf);
  const std::string::size_type e = text.find('e');
  if (e == std::string::npos || e + 2 > text.size()) return text;  // inf / nan
  // After 'e' comes the sign, then the digits.
  const std::string::size_type digits = e + 2;
  while (text.size() - digits < 3) text.insert(digits, "0");
  return text;
}

}  // namespace tfenrich
