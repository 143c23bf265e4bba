// Placeholder engine facade: the clustering engine is not part of this
// build yet.  Construction announces preprocessing and then fails, so a run
// ends with the program's failure status instead of a made-up result.
#include "vandrel/engine/SuperZelk.h"

#include <iostream>

CSuperZelk::CSuperZelk(int /*dataType*/, const char* /*inputPrefix*/) : m_executer(nullptr) {
  std::cout << "Preprocessing the data ..." << std::endl;
  throw "CSuperZelk constructor - clustering engine not available";
}

// The constructor never completes, so there is never an executer to delete.
CSuperZelk::~CSuperZelk() = default;

void CSuperZelk::Run(double, double, double, double, int) {
  throw "CSuperZelk::Run - clustering engine not available";
}

CSolution* CSuperZelk::GetSolution() {
  throw "CSuperZelk executer - no Run action preformed yet";
}
