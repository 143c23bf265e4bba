#pragma once
// The fingerprint input: reads <prefix>.orig into normalized fingerprints
// and names, in file order (record i is element id i).  O(N L) time.
#include <string>
#include <vector>

#include "vandrel/data/Fingerprint.h"

class CFPData {
 public:
  // Reads <prefix>.orig.  Fails with "CFPData constructor - problems opening
  // file", "CFPData constructor - input file format is illegal" or
  // "CFPData constructor - number of fingerprints does not match declared
  // number".
  explicit CFPData(const std::string& prefix);
  virtual ~CFPData();

  const CNormFPMtx& GetNormFPMtx() const { return m_normFPMtx; }
  const std::vector<std::string>& GetNames() const { return m_names; }

 private:
  CNormFPMtx m_normFPMtx;
  std::vector<std::string> m_names;
};
