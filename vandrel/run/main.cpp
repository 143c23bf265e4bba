// Program entry of the clustering program.  One argument, the parameters
// file.  Without it the program does nothing and exits with 0; "--help" (or
// "-h") and "--version" print the usage or the version and exit with 0, and
// any other first argument names the parameters file.  Any failure
// of the run ends with a single line on standard error and exit status 1;
// with VANDREL_VERBOSE=1 a second line gives the failure's own text.
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <memory>

#include "vandrel/run/ProgramManager.h"
#include "vandrel/stats/Random.h"

#ifndef VANDREL_VERSION
#define VANDREL_VERSION "unknown"
#endif

namespace {

const char kUsage[] =
    "Usage: vandrel PARAMETERS_FILE\n"
    "       vandrel --help | -h | --version\n"
    "\n"
    "Clusters the genes of an expression matrix (FP) or of a table of pairwise\n"
    "similarities (SD).  The parameters file names the data type, the input and\n"
    "output path prefixes, for FP the similarity type and optionally the\n"
    "homogeneity; see vandrel(1).  Results: <output prefix>.res.sol and\n"
    "<output prefix>.anl.  Exit status 0 on success, 1 on failure\n"
    "(VANDREL_VERBOSE=1 prints the reason).  From a plain matrix: vandrel-run(1).\n";

void ReportFailure(const char* detail) {
  std::cerr << "Zelk running failed due to an algorithm internal error" << std::endl;
  const char* verbose = std::getenv("VANDREL_VERBOSE");
  if (verbose != nullptr && std::strcmp(verbose, "1") == 0) {
    std::cerr << detail << std::endl;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 0;
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    std::cout << kUsage;
    return 0;
  }
  if (std::strcmp(argv[1], "--version") == 0) {
    std::cout << "vandrel " << VANDREL_VERSION << "\n";
    return 0;
  }
  try {
    vandrel::Srand(vandrel::kStartupSeed);
    auto manager = std::make_unique<CProgramManager>();
    manager->Run(argv[1]);
  } catch (const char* message) {
    ReportFailure(message != nullptr ? message : "(no message)");
    return 1;
  } catch (const std::exception& e) {
    ReportFailure(e.what());
    return 1;
  } catch (...) {
    ReportFailure("unknown failure");
    return 1;
  }
  return 0;
}
