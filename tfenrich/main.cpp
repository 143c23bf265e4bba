// tfenrich: tests sets of promoters for over-representation of
// transcription-factor hits.  The whole run lives in the library.
#include "tfenrich/Program.h"

int main(int argc, char** argv) { return tfenrich::runProgram(argc, argv); }
