// Fast text forms of numbers, equal byte for byte to what a default-formatted
// output stream writes (unsigned integers in decimal; doubles like printf
// "%g": 6 significant digits).  Used where millions of numbers are written,
// e.g. the values of a similarity table: std::to_chars avoids the stream's
// per-number locale and printf machinery.  AsWritten gives a double as it
// reads back from that text.
#ifndef VANDREL_DATA_NUMBERTEXT_H
#define VANDREL_DATA_NUMBERTEXT_H

#include <charconv>
#include <cstdlib>
#include <string>

namespace vandrel {

inline void AppendNumber(std::string& out, unsigned int v) {
  char buf[16];
  const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, r.ptr);
}

inline void AppendNumber(std::string& out, double v) {
  char buf[40];
  const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 6);
  out.append(buf, r.ptr);
}

// The value a reader of the text AppendNumber(double) writes gets back: v
// rounded to 6 significant digits, converted as the `.sim` value reader
// converts it (strtod).  Costs one formatting and one conversion.
inline double AsWritten(double v) {
  char buf[40];
  const std::to_chars_result r =
      std::to_chars(buf, buf + sizeof buf - 1, v, std::chars_format::general, 6);
  *r.ptr = '\0';
  return std::strtod(buf, nullptr);
}

}  // namespace vandrel

#endif
