// Normalizers, evaluators and handlers of the two similarity measures.
// Normalizing is O(L) per fingerprint, a similarity O(L).
#include "vandrel/data/SimHandler.h"

#include <cmath>
#include <algorithm>
#include <cstdlib>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "vandrel/data/Fingerprint.h"

namespace vandrel {

void DotProductManyPortable(const float* a, const float* const* rows, std::size_t count,
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

namespace {

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define VANDREL_DOT_AVX2 1

// 4*G rows at once with AVX2: lane m of accumulator g is the sum of row
// 4g+m.  Four values of each row are loaded together and transposed, so that
// one vector holds the j-th values of four rows; each lane then adds its
// products one j after the other, exactly the scalar order.  The products
// are formed by a separate multiply (a product of two floats is exact in
// double, so no rounding differs from the scalar code either way).
template <int G>
__attribute__((target("avx2"))) void DotRowsAvx2(const double* ad, const float* const* rows,
                                                 unsigned int n, double* out) {
  __m256d acc[G];
  for (int g = 0; g < G; ++g) acc[g] = _mm256_setzero_pd();
  unsigned int j = 0;
  for (; j + 4 <= n; j += 4) {
    const __m256d x0 = _mm256_broadcast_sd(ad + j);
    const __m256d x1 = _mm256_broadcast_sd(ad + j + 1);
    const __m256d x2 = _mm256_broadcast_sd(ad + j + 2);
    const __m256d x3 = _mm256_broadcast_sd(ad + j + 3);
    for (int g = 0; g < G; ++g) {
      __m128 r0 = _mm_loadu_ps(rows[4 * g] + j);
      __m128 r1 = _mm_loadu_ps(rows[4 * g + 1] + j);
      __m128 r2 = _mm_loadu_ps(rows[4 * g + 2] + j);
      __m128 r3 = _mm_loadu_ps(rows[4 * g + 3] + j);
      _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
      acc[g] = _mm256_add_pd(acc[g], _mm256_mul_pd(x0, _mm256_cvtps_pd(r0)));
      acc[g] = _mm256_add_pd(acc[g], _mm256_mul_pd(x1, _mm256_cvtps_pd(r1)));
      acc[g] = _mm256_add_pd(acc[g], _mm256_mul_pd(x2, _mm256_cvtps_pd(r2)));
      acc[g] = _mm256_add_pd(acc[g], _mm256_mul_pd(x3, _mm256_cvtps_pd(r3)));
    }
  }
  for (; j < n; ++j) {
    const __m256d x = _mm256_broadcast_sd(ad + j);
    for (int g = 0; g < G; ++g) {
      const __m128 r = _mm_set_ps(rows[4 * g + 3][j], rows[4 * g + 2][j], rows[4 * g + 1][j],
                                  rows[4 * g][j]);
      acc[g] = _mm256_add_pd(acc[g], _mm256_mul_pd(x, _mm256_cvtps_pd(r)));
    }
  }
  for (int g = 0; g < G; ++g) _mm256_storeu_pd(out + 4 * g, acc[g]);
}

// The values of a row as doubles, on the stack for the usual lengths.
class RowInDouble {
 public:
  RowInDouble(const float* a, unsigned int n) : m_data(m_small) {
    if (n > kSmall) {
      m_large.resize(n);
      m_data = m_large.data();
    }
    for (unsigned int j = 0; j < n; ++j) m_data[j] = static_cast<double>(a[j]);
  }
  RowInDouble(const RowInDouble&) = delete;
  RowInDouble& operator=(const RowInDouble&) = delete;
  const double* Get() const { return m_data; }

 private:
  static constexpr unsigned int kSmall = 256;
  double m_small[kSmall];
  std::vector<double> m_large;
  double* m_data;
};

bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}

void DotProductManyAvx2(const float* a, const float* const* rows, std::size_t count,
                        unsigned int n, double* out) {
  const RowInDouble row(a, n);  // for the broadcasts
  const double* ad = row.Get();
  std::size_t k = 0;
  for (; k + 16 <= count; k += 16) DotRowsAvx2<4>(ad, rows + k, n, out + k);
  for (; k + 4 <= count; k += 4) DotRowsAvx2<1>(ad, rows + k, n, out + k);
  for (; k < count; ++k) out[k] = DotProduct(a, rows[k], n);
}
#endif

}  // namespace

void CTransposedRows::Build(const float* const* rows, std::size_t count, unsigned int n) {
  m_length = n;
  m_rows = count;
  const std::size_t groups = (count + 3) / 4;
  m_values.assign(groups * n * 4, 0.0);
  for (std::size_t r = 0; r < count; ++r) {
    double* block = m_values.data() + (r / 4) * n * 4 + (r % 4);
    for (unsigned int j = 0; j < n; ++j) block[4 * j] = static_cast<double>(rows[r][j]);
  }
}

namespace {

// Portable: each row of the groups from the float rows.
void DotGroupsPortable(const float* a, const float* const* rows, std::size_t g0, std::size_t g1,
                       unsigned int n, double* out) {
  DotProductManyPortable(a, rows + 4 * g0, 4 * (g1 - g0), n, out);
}

#ifdef VANDREL_DOT_AVX2
// G groups (4G rows) at once: one broadcast of a's j-th value, then per
// group one load of the four rows' j-th values, a multiply and an add; lane
// m of accumulator g adds row 4g+m's products in index order.
template <int G>
__attribute__((target("avx2"))) void DotGroupsT(const double* ad, const double* block,
                                                unsigned int n, double* out) {
  __m256d acc[G];
  for (int g = 0; g < G; ++g) acc[g] = _mm256_setzero_pd();
  const std::size_t stride = static_cast<std::size_t>(n) * 4;
  for (unsigned int j = 0; j < n; ++j) {
    const __m256d x = _mm256_broadcast_sd(ad + j);
    for (int g = 0; g < G; ++g)
      acc[g] = _mm256_add_pd(acc[g], _mm256_mul_pd(x, _mm256_loadu_pd(block + g * stride + 4 * j)));
  }
  for (int g = 0; g < G; ++g) _mm256_storeu_pd(out + 4 * g, acc[g]);
}
#endif

}  // namespace

void DotProductTransposed(const float* a, const float* const* rows, const CTransposedRows& t,
                          std::size_t j0, std::size_t j1, double* out) {
  const unsigned int n = t.m_length;
  std::size_t j = j0;
  // Rows before the first whole group, and after the last, one by one.
  const std::size_t head = std::min(j1, (j0 + 3) / 4 * 4);
  for (; j < head; ++j) out[j - j0] = DotProduct(a, rows[j], n);
  const std::size_t g0 = j / 4, g1 = j1 / 4;
  if (g1 > g0) {
#ifdef VANDREL_DOT_AVX2
    if (HasAvx2()) {
      const RowInDouble row(a, n);
      const double* ad = row.Get();
      const double* values = t.m_values.data();
      const std::size_t stride = static_cast<std::size_t>(n) * 4;
      std::size_t g = g0;
      for (; g + 12 <= g1; g += 12) DotGroupsT<12>(ad, values + g * stride, n, out + (4 * g - j0));
      for (; g + 4 <= g1; g += 4) DotGroupsT<4>(ad, values + g * stride, n, out + (4 * g - j0));
      for (; g < g1; ++g) DotGroupsT<1>(ad, values + g * stride, n, out + (4 * g - j0));
    } else {
      DotGroupsPortable(a, rows, g0, g1, n, out + (4 * g0 - j0));
    }
#else
    DotGroupsPortable(a, rows, g0, g1, n, out + (4 * g0 - j0));
#endif
    j = 4 * g1;
  }
  for (; j < j1; ++j) out[j - j0] = DotProduct(a, rows[j], n);
}

void DotProductMany(const float* a, const float* const* rows, std::size_t count,
                    unsigned int n, double* out) {
#ifdef VANDREL_DOT_AVX2
  if (HasAvx2()) {
    DotProductManyAvx2(a, rows, count, n, out);
    return;
  }
#endif
  DotProductManyPortable(a, rows, count, n, out);
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
