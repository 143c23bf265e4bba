#pragma once
// The clustering engine as the program manager sees it: built from the data
// type (0 = SD, 1 = FP) and the input prefix, run with the five run
// parameters, then asked for its solution (which it keeps owning).
class CSolution;
class CExecuterBase;

class CSuperZelk {
 public:
  CSuperZelk(int dataType, const char* inputPrefix);
  CSuperZelk(const CSuperZelk&) = delete;
  CSuperZelk& operator=(const CSuperZelk&) = delete;
  virtual ~CSuperZelk();

  void Run(double adoptTh, double rejectTh, double mergeTh, double homogeneity,
           int clustersNum);
  CSolution* GetSolution();

 private:
  CExecuterBase* m_executer;
};
