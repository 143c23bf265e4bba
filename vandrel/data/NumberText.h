// Fast text forms of numbers, equal byte for byte to what a default-formatted
// output stream writes (unsigned integers in decimal; doubles like printf
// "%g": 6 significant digits).  Used where millions of numbers are written,
// e.g. the values of a similarity table: std::to_chars avoids the stream's
// per-number locale and printf machinery.  AsWritten gives a double as it
// reads back from that text.
#ifndef VANDREL_DATA_NUMBERTEXT_H
#define VANDREL_DATA_NUMBERTEXT_H

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
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
// converts it (strtod, correctly rounded).
//
// Fast path (a few integer and floating operations): with a = |v| scaled
// by 10^k into [1e5, 1e6), the text's digits are the integer m nearest to a * 10^k, and
// the reader's double is m / 10^k (or m * 10^-k), one correctly rounded
// operation on two exact doubles (m < 2^53, 10^j exact for j <= 22).  The
// scaling itself is off by at most 1.2e-10, so m is taken only when the
// scaled value lies farther than 1e-6 from a rounding tie; values near a
// tie, zero, and magnitudes outside [1e-15, 1e15] go through the text.
inline double AsWrittenByText(double v) {
  char buf[40];
  const std::to_chars_result r =
      std::to_chars(buf, buf + sizeof buf - 1, v, std::chars_format::general, 6);
  *r.ptr = '\0';
  return std::strtod(buf, nullptr);
}

inline double AsWritten(double v) {
  static constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                      1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                      1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  const double a = std::fabs(v);
  if (!(a >= 1e-15 && a <= 1e15)) return AsWrittenByText(v);
  // The decimal exponent from the binary one, off by at most two; the
  // passes below step k until the scaled value lies in [1e5, 1e6).
  std::uint64_t bits = 0;
  std::memcpy(&bits, &a, sizeof bits);
  const int binary = static_cast<int>((bits >> 52) & 0x7FF) - 1023;  // in [-50, 49]
  int k = 5 - (((binary + 1024) * 1233) >> 12) + 308;                 // in [-10, 21]
  for (int pass = 0; pass < 4; ++pass) {
    if (k < -22 || k > 22) break;
    const double scaled = k >= 0 ? a * kPow10[k] : a / kPow10[-k];
    if (scaled < 1e5) {
      ++k;
      continue;
    }
    if (scaled >= 1e6) {
      --k;
      continue;
    }
    // Nearest integer (scaled is positive and below 1e6); a pick that the
    // addition rounded the wrong way lies at a tie and fails the test below.
    const double m = static_cast<double>(static_cast<std::int64_t>(scaled + 0.5));
    if (!(std::fabs(scaled - m) < 0.5 - 1e-6)) break;
    const double r = k >= 0 ? m / kPow10[k] : m * kPow10[-k];
    return v < 0 ? -r : r;
  }
  return AsWrittenByText(v);
}

}  // namespace vandrel

#endif
