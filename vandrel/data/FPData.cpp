// Reader of the fingerprint input file <prefix>.orig: a header "N L", then
// N records "name v1 ... vL" (values may span lines; anything after the
// L-th value on its line is ignored).  O(N L) time.
#include "vandrel/data/FPData.h"

#include <climits>
#include <fstream>
#include <limits>

namespace {

// Reads one non-negative integer that fits in an unsigned int.
bool ReadCount(std::istream& in, unsigned int& count) {
  long long value = 0;
  if (!(in >> value)) return false;
  if (value < 0 || value > static_cast<long long>(UINT_MAX)) return false;
  count = static_cast<unsigned int>(value);
  return true;
}

void SkipLine(std::istream& in) { in.ignore(std::numeric_limits<std::streamsize>::max(), '\n'); }

}  // namespace

CFPData::CFPData(const std::string& prefix) {
  m_normFPMtx.SetInsertionAllowed(true);
  std::ifstream in(prefix + ".orig");
  if (!in.is_open()) throw "CFPData constructor - problems opening file";

  unsigned int declared = 0;
  unsigned int taken = 0;
  try {
    unsigned int length = 0;
    if (!ReadCount(in, declared) || !ReadCount(in, length)) throw "header does not parse";
    SkipLine(in);
    CFingerprint::SetLength(length);

    while (!in.eof() && taken < declared) {
      std::string name;
      in >> name;
      if (name.empty()) {
        // Only the end of the input leaves no name; anything else would be a
        // stream failure that must not keep the loop turning.
        if (!in.eof()) throw "stream failure while reading a name";
        continue;
      }
      CNormFP fp(in);
      m_normFPMtx.Insert(fp);
      m_names.push_back(name);
      SkipLine(in);
      ++taken;
    }
  } catch (...) {
    in.close();
    throw "CFPData constructor - input file format is illegal";
  }
  in.close();
  if (taken < declared) {
    throw "CFPData constructor - number of fingerprints does not match declared number";
  }
  m_normFPMtx.SetInsertionAllowed(false);
}

CFPData::~CFPData() = default;
