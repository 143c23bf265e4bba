// Program entry of the clustering program.  One argument, the parameters
// file.  Without it the program does nothing and exits with 0.  Any failure
// of the run ends with a single line on standard error and exit status 1;
// with VANDREL_VERBOSE=1 a second line gives the failure's own text.
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <memory>

#include "vandrel/run/ProgramManager.h"
#include "vandrel/stats/Random.h"

namespace {

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
