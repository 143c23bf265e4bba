// The engine facade seen by the program manager: creates the executer of
// the data type and forwards to it.
#include "vandrel/engine/SuperZelk.h"

#include <new>

#include "vandrel/engine/Executer.h"

CSuperZelk::CSuperZelk(int dataType, const char* inputPrefix) : m_executer(nullptr) {
  try {
    if (dataType == 0)
      m_executer = new CExecuter<CSDExtendedTypeTags>(inputPrefix);
    else
      m_executer = new CExecuter<CFPExtendedTypeTags>(inputPrefix);
  } catch (const std::bad_alloc&) {
    throw "CSuperZelk constructor - memory problem";
  }
}

CSuperZelk::~CSuperZelk() { delete m_executer; }

void CSuperZelk::Run(double adoptTh, double rejectTh, double mergeTh, double homogeneity,
                     int clustersNum) {
  m_executer->Run(adoptTh, rejectTh, mergeTh, homogeneity, clustersNum);
}

CSolution* CSuperZelk::GetSolution() { return m_executer->GetSolution(); }
