// Fingerprints, normalized fingerprints, their means and the owning matrix
// with its .fpn writer.  Reading and copying cost O(L) per fingerprint.
#include "vandrel/data/Fingerprint.h"

#include <algorithm>
#include <fstream>
#include <new>

#include "vandrel/data/SimHandler.h"
#include "vandrel/run/AtomicFile.h"

namespace {

// Values are appended as they are read instead of allocating the declared
// length up front, so a huge declared length in a short file cannot exhaust
// memory before the read fails.
constexpr unsigned int kReserveCap = 1u << 16;

bool FileExists(const std::string& path) {
  std::ifstream probe(path);
  return probe.is_open();
}

}  // namespace

unsigned int CFingerprint::s_length = 0;
bool CFingerprint::s_lengthSet = false;

CFingerprint::CFingerprint() : m_values(s_length, 0.0f) {}

CFingerprint::CFingerprint(std::istream& in) {
  m_values.reserve(std::min(s_length, kReserveCap));
  for (unsigned int j = 0; j < s_length; ++j) {
    if (in.eof()) throw "CFingerprint constructor - input file format problem";
    float value = 0.0f;
    if (!(in >> value)) throw "CFingerprint constructor - input file format problem";
    m_values.push_back(value);
  }
}

CFingerprint::CFingerprint(const CFingerprint& other) = default;
CFingerprint& CFingerprint::operator=(const CFingerprint& other) = default;
CFingerprint::~CFingerprint() = default;

float CFingerprint::operator[](unsigned int index) const {
  if (index >= s_length || index >= m_values.size()) {
    throw "CFingerprint::operator[] - index is out of scope";
  }
  return m_values[index];
}

void CFingerprint::Save(std::ostream& out) const {
  if (out.fail()) throw "CFingerprint::Save - problems with output file";
  for (float v : m_values) out << v << ' ';
}

void CFingerprint::SetLength(unsigned int length) {
  if (s_lengthSet && length != s_length) {
    throw "CFingerprint::SetLength - length already set, changing is illegal";
  }
  s_length = length;
  s_lengthSet = true;
}

unsigned int CFingerprint::GetLength() { return s_length; }

CSimilarityHandler* CNormFP::s_simHandler = nullptr;

CNormFP::CNormFP(std::istream& in) : CFingerprint(in), m_factor(1.0) {
  if (s_simHandler == nullptr) throw "CNormFP constructor - similarity handler is not set";
  m_factor = s_simHandler->GetNormalizer()->Normalize(m_values);
}

CNormFP::CNormFP(const CNormFPConstPtrVec& group) : CFingerprint(), m_factor(1.0) {
  const std::size_t n = group.size();
  // An empty group has no mean; all zeros keeps every similarity with it 0.
  if (n == 0) return;
  const std::size_t length = m_values.size();
  for (std::size_t k = 0; k < n; ++k) {
    const float* v = group[k]->GetValues();
    for (std::size_t j = 0; j < length; ++j) m_values[j] += v[j];
  }
  const float count = static_cast<float>(n);
  for (float& v : m_values) v /= count;
}

CNormFP::CNormFP(const CFingerprint& a, int wa, const CFingerprint& b, int wb)
    : CFingerprint(), m_factor(1.0) {
  const int total = wa + wb;
  // Zero total weight: nothing is left of the group, so no mean exists.
  if (total == 0) return;
  const float fa = static_cast<float>(wa);
  const float fb = static_cast<float>(wb);
  const float ft = static_cast<float>(total);
  const float* va = a.GetValues();
  const float* vb = b.GetValues();
  for (std::size_t j = 0; j < m_values.size(); ++j) {
    float x = va[j] * fa;
    x = x + vb[j] * fb;
    m_values[j] = x / ft;
  }
}

CNormFP::CNormFP(const CNormFP& other) = default;
CNormFP& CNormFP::operator=(const CNormFP& other) = default;
CNormFP::~CNormFP() = default;

double CNormFP::Similarity(const CNormFP& other) const {
  if (s_simHandler == nullptr) throw "CNormFP::Similarity - similarity handler is not set";
  return s_simHandler->GetEvaluator()->Evaluate(*this, other);
}

void CNormFP::SetSimilarityHandler(CSimilarityHandler* handler) {
  if (s_simHandler != nullptr) {
    throw "CNormFP::SetSimilarityHandler - similarity handler already set, changing is illegal";
  }
  s_simHandler = handler;
}

CSimilarityHandler* CNormFP::GetSimilarityHandler() { return s_simHandler; }

CFPConstPtrVec::CFPConstPtrVec() = default;
CFPConstPtrVec::~CFPConstPtrVec() = default;
CNormFPConstPtrVec::CNormFPConstPtrVec() = default;
CNormFPConstPtrVec::~CNormFPConstPtrVec() = default;

CNormFPMtx::CNormFPMtx() : m_insertionAllowed(true) {}

CNormFPMtx::CNormFPMtx(const CNormFPMtx& other) : m_insertionAllowed(true) {
  try {
    m_fps.reserve(other.m_fps.size());
    m_rows.reserve(other.m_fps.size());
    for (const auto& fp : other.m_fps) {
      m_fps.push_back(std::make_unique<CNormFP>(*fp));
      m_rows.push_back(m_fps.back()->GetValues());
    }
  } catch (const std::bad_alloc&) {
    throw "CNormFPMtx copy constructor - memory problem";
  }
}

CNormFPMtx::~CNormFPMtx() = default;

void CNormFPMtx::Insert(const CNormFP& fp) {
  if (!m_insertionAllowed) throw "CNormFPMtx::Insert - Insertion is illegal";
  try {
    auto copy = std::make_unique<CNormFP>(fp);
    // Geometric growth: reserving exactly one more slot per insertion made
    // reading n fingerprints cost O(n^2) copies.
    if (m_rows.capacity() < m_fps.size() + 1) m_rows.reserve(2 * (m_fps.size() + 1));
    m_fps.push_back(std::move(copy));
    m_rows.push_back(m_fps.back()->GetValues());
  } catch (const std::bad_alloc&) {
    m_rows.resize(m_fps.size());
    throw "CNormFPMtx::Insert - memory problem";
  }
}

const CNormFP& CNormFPMtx::operator[](unsigned int index) const {
  if (index >= m_fps.size()) throw "CNormFPMtx::operator[] - index is out of scope";
  return *m_fps[index];
}

void CNormFPMtx::SimilarityRow(unsigned int i, unsigned int first, double* out) const {
  const CNormFP& a = (*this)[i];
  if (first >= m_rows.size()) return;
  const CSimilarityHandler* handler = CNormFP::GetSimilarityHandler();
  if (handler == nullptr) throw "CNormFP::Similarity - similarity handler is not set";
  handler->GetEvaluator()->EvaluateMany(
      a.GetValues(), m_rows.data() + first, m_rows.size() - first, out);
}

void CNormFPMtx::Save(const std::string& pathPrefix, bool overwrite) const {
  const std::string path = pathPrefix + ".fpn";
  if (!overwrite && FileExists(path)) return;
  // Written beside the target and renamed into place when complete.
  vandrel::CAtomicFile file(path);
  if (!file.IsOpen()) throw "CNormFPMtx::Save - problems opening out file";
  std::ofstream& out = file.Stream();
  out << Size() << '\t' << CFingerprint::GetLength() << '\n';
  for (const auto& fp : m_fps) {
    fp->Save(out);
    out << '\n';
  }
  if (!file.Commit()) throw "CNormFPMtx::Save - problems opening out file";
}

void ResetFingerprintStateForTests() {
  CFingerprint::s_length = 0;
  CFingerprint::s_lengthSet = false;
  CNormFP::s_simHandler = nullptr;
}
