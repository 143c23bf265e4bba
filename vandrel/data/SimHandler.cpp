// Normalizers, evaluators and handlers of the two similarity measures.
// Normalizing is O(L) per fingerprint, a similarity O(L).
#include "vandrel/data/SimHandler.h"

#include <cmath>

#include "vandrel/data/Fingerprint.h"

namespace vandrel {

void DotProductMany(const float* a, const float* const* rows, std::size_t count,
                    unsigned int n, double* out) {
  std::size_t k = 0;
  // Four independent sums side by side; each one still adds its products in
  // index order, so every result equals DotProduct bit for bit.
  for (; k + 4 <= count; k += 4) {
    const float* b0 = rows[k];
    const float* b1 = rows[k + 1];
    const float* b2 = rows[k + 2];
    const float* b3 = rows[k + 3];
    double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
    for (unsigned int j = 0; j < n; ++j) {
      const double x = static_cast<double>(a[j]);
      s0 += x * static_cast<double>(b0[j]);
      s1 += x * static_cast<double>(b1[j]);
      s2 += x * static_cast<double>(b2[j]);
      s3 += x * static_cast<double>(b3[j]);
    }
    out[k] = s0;
    out[k + 1] = s1;
    out[k + 2] = s2;
    out[k + 3] = s3;
  }
  for (; k < count; ++k) out[k] = DotProduct(a, rows[k], n);
}

}  // namespace vandrel

CVecNormalizer::~CVecNormalizer() = default;

CMeanSqNorm::CMeanSqNorm(int mode) : m_mode(mode) {}
CMeanSqNorm::~CMeanSqNorm() = default;

double CMeanSqNorm::Normalize(std::vector<float>& values) const {
  double sumSq = 0.0;
  for (float v : values) sumSq += std::pow(static_cast<double>(v), 2.0);
  double factor;
  if (m_mode == 0) {
    factor = std::sqrt(sumSq);
  } else if (m_mode == 1) {
    factor = values.empty() ? 0.0 : std::sqrt(sumSq / static_cast<double>(values.size()));
  } else {
    factor = sumSq;
  }
  // A zero vector (or no values) has no direction: dividing would give NaN.
  // It stays all zeros, and every similarity with it is 0.0.
  if (factor == 0.0) return 0.0;
  for (float& v : values) v = static_cast<float>(static_cast<double>(v) / factor);
  return factor;
}

CVecStandardizer::CVecStandardizer() : m_meanSqNorm(0) {}
CVecStandardizer::~CVecStandardizer() = default;

double CVecStandardizer::Normalize(std::vector<float>& values) const {
  if (values.empty()) return 0.0;
  double sum = 0.0;
  for (float v : values) sum += static_cast<double>(v);
  const double mean = sum / static_cast<double>(values.size());
  for (float& v : values) v = static_cast<float>(static_cast<double>(v) - mean);
  return m_meanSqNorm.Normalize(values);
}

CSimEvaluator::~CSimEvaluator() = default;

CDotProductSim::CDotProductSim() = default;
CDotProductSim::~CDotProductSim() = default;

double CDotProductSim::Evaluate(const CFingerprint& a, const CFingerprint& b) const {
  return vandrel::DotProduct(a.GetValues(), b.GetValues(), CFingerprint::GetLength());
}

double CDotProductSim::operator()(const CFingerprint& a, const CFingerprint& b) const {
  return Evaluate(a, b);
}

void CDotProductSim::EvaluateMany(const float* a, const float* const* rows, std::size_t count,
                                  double* out) const {
  vandrel::DotProductMany(a, rows, count, CFingerprint::GetLength(), out);
}

CFisherTransSim::CFisherTransSim() = default;
CFisherTransSim::~CFisherTransSim() = default;

double CFisherTransSim::Evaluate(const CFingerprint& a, const CFingerprint& b) const {
  return m_dotProduct.Evaluate(a, b);
}

double CFisherTransSim::operator()(const CFingerprint& a, const CFingerprint& b) const {
  return m_dotProduct(a, b);
}

void CFisherTransSim::EvaluateMany(const float* a, const float* const* rows, std::size_t count,
                                   double* out) const {
  m_dotProduct.EvaluateMany(a, rows, count, out);
}

CSimilarityHandler::CSimilarityHandler(CVecNormalizer* normalizer, CSimEvaluator* evaluator)
    : m_normalizer(normalizer), m_evaluator(evaluator) {}
CSimilarityHandler::~CSimilarityHandler() = default;

CFisherTransSimHandler::CFisherTransSimHandler(CVecNormalizer* normalizer,
                                               CSimEvaluator* evaluator)
    : CSimilarityHandler(normalizer, evaluator) {}
CFisherTransSimHandler::~CFisherTransSimHandler() {
  delete m_normalizer;
  delete m_evaluator;
}
double CFisherTransSimHandler::GetMinSim() const { return -1.0; }
double CFisherTransSimHandler::GetMaxSim() const { return 1.0; }
double CFisherTransSimHandler::GetUnitSim() const { return GetMaxSim(); }
std::string CFisherTransSimHandler::GetFileSuffix() const { return ".co"; }

CDotProductSimHandler::CDotProductSimHandler(CVecNormalizer* normalizer,
                                             CSimEvaluator* evaluator)
    : CSimilarityHandler(normalizer, evaluator) {}
CDotProductSimHandler::~CDotProductSimHandler() {
  delete m_normalizer;
  delete m_evaluator;
}
double CDotProductSimHandler::GetMinSim() const { return 0.0; }
double CDotProductSimHandler::GetMaxSim() const { return 1.0; }
double CDotProductSimHandler::GetUnitSim() const { return GetMaxSim(); }
std::string CDotProductSimHandler::GetFileSuffix() const { return ".dp"; }
