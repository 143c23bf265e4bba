#pragma once
// The two process-wide output streams of tfenrich (messages and errors) and
// the printf-style helpers that write to them.  Messages go to standard
// output unless redirected; "ERROR: " and "WARNING: " lines go to the error
// stream.  Also the "%.2e" formatting with a three-digit exponent used by the
// screen lines and the result file.
#include <cstdio>
#include <string>

namespace tfenrich {

FILE* msgStream();
FILE* errStream();
void setMsgStream(FILE* stream);
void setErrStream(FILE* stream);

void msg(const char* format, ...) __attribute__((format(printf, 1, 2)));
void err(const char* format, ...) __attribute__((format(printf, 1, 2)));

// printf's "%.2e" with the exponent padded to at least three digits
// (1.20e-004), the way the result files have always been written.
std::string formatExp2(double value);

}  // namespace tfenrich
