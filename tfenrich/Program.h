#pragma once
// One whole run of tfenrich: flags, stream redirection, validation,
// settings report, input files, scores and result file.  Returns the exit
// code: 0 after a complete run, 1 otherwise (a usage request included).
namespace tfenrich {

int runProgram(int argc, const char* const* argv);

}  // namespace tfenrich
