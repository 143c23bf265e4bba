#pragma once
// Similarity measures between fingerprints.
//
// A similarity handler bundles a vector normalizer, applied once to every
// fingerprint when it is read, and a similarity evaluator, applied to two
// normalized fingerprints.  Both measures of the program reduce to a dot
// product of normalized vectors:
//   CORRELATION: centre and scale to unit length   -> Pearson correlation
//   DOTPRODUCT:  scale to unit length               -> cosine of the angle
// Normalizing costs O(L) per fingerprint; a similarity costs O(L).
//
// Dot products are reproducible everywhere: each product of two 32-bit
// floats is formed exactly in a 64-bit double and the products are summed
// in 64-bit doubles in index order (never reordered, never fused).
#include <cstddef>
#include <string>
#include <vector>

class CFingerprint;

namespace vandrel {

// Sum over j < n of double(a[j]) * double(b[j]), accumulated in index order.
inline double DotProduct(const float* a, const float* b, unsigned int n) {
  double sum = 0.0;
  for (unsigned int j = 0; j < n; ++j) {
    sum += static_cast<double>(a[j]) * static_cast<double>(b[j]);
  }
  return sum;
}

// out[k] = DotProduct(a, rows[k], n) for k < count, bit for bit.  Several
// rows are processed together (independent sums, each in index order), which
// hides the latency of the additions on the all-pairs path; on processors
// with AVX2, sixteen rows at a time in vector lanes.
void DotProductMany(const float* a, const float* const* rows, std::size_t count,
                    unsigned int n, double* out);
// The same in plain code, four rows at a time: what DotProductMany does
// without AVX2 (tests and benchmarks compare the two).
void DotProductManyPortable(const float* a, const float* const* rows, std::size_t count,
                            unsigned int n, double* out);

}  // namespace vandrel

// Rewrites a vector in place and returns its normalization factor.
class CVecNormalizer {
 public:
  virtual ~CVecNormalizer();
  virtual double Normalize(std::vector<float>& values) const = 0;
};

// Divides a vector by a factor derived from its sum of squares S:
// mode 0: sqrt(S) (Euclidean length), mode 1: sqrt(S / n) (root mean
// square), any other mode: S.  A zero factor (all values 0, or no values)
// leaves the vector as it is and returns 0.0, so no NaN or infinity arises.
class CMeanSqNorm : public CVecNormalizer {
 public:
  explicit CMeanSqNorm(int mode);
  ~CMeanSqNorm() override;
  double Normalize(std::vector<float>& values) const override;
  int GetMode() const { return m_mode; }

 private:
  int m_mode;
};

// Subtracts the mean and scales the centred vector to unit length; returns
// the Euclidean length of the centred vector.  A constant vector becomes all
// zeros with factor 0.0 (its correlation with anything is then 0.0).
class CVecStandardizer : public CVecNormalizer {
 public:
  CVecStandardizer();
  ~CVecStandardizer() override;
  double Normalize(std::vector<float>& values) const override;

 private:
  CMeanSqNorm m_meanSqNorm;
};

// Similarity of two normalized fingerprints.  Evaluate and operator() are
// the same operation.
class CSimEvaluator {
 public:
  virtual ~CSimEvaluator();
  virtual double Evaluate(const CFingerprint& a, const CFingerprint& b) const = 0;
  virtual double operator()(const CFingerprint& a, const CFingerprint& b) const = 0;
  // out[k] = similarity of the values a and rows[k] (each of the process-wide
  // fingerprint length), equal bit for bit to Evaluate.
  virtual void EvaluateMany(const float* a, const float* const* rows, std::size_t count,
                            double* out) const = 0;
};

// Dot product over the process-wide fingerprint length (0.0 for length 0).
class CDotProductSim : public CSimEvaluator {
 public:
  CDotProductSim();
  ~CDotProductSim() override;
  double Evaluate(const CFingerprint& a, const CFingerprint& b) const override;
  double operator()(const CFingerprint& a, const CFingerprint& b) const override;
  void EvaluateMany(const float* a, const float* const* rows, std::size_t count,
                    double* out) const override;
};

// Correlation of standardized fingerprints: the plain dot product.
class CFisherTransSim : public CSimEvaluator {
 public:
  CFisherTransSim();
  ~CFisherTransSim() override;
  double Evaluate(const CFingerprint& a, const CFingerprint& b) const override;
  double operator()(const CFingerprint& a, const CFingerprint& b) const override;
  void EvaluateMany(const float* a, const float* const* rows, std::size_t count,
                    double* out) const override;

 private:
  CDotProductSim m_dotProduct;
};

// The normalizer and evaluator of one measure, its value range and the
// suffix that marks files computed with it.  The base class owns nothing;
// the two concrete handlers own (and delete) their normalizer and evaluator.
class CSimilarityHandler {
 public:
  CSimilarityHandler(CVecNormalizer* normalizer, CSimEvaluator* evaluator);
  CSimilarityHandler(const CSimilarityHandler&) = delete;
  CSimilarityHandler& operator=(const CSimilarityHandler&) = delete;
  virtual ~CSimilarityHandler();
  virtual double GetMinSim() const = 0;
  virtual double GetMaxSim() const = 0;
  // 1.0 for both measures.
  virtual double GetUnitSim() const = 0;
  virtual std::string GetFileSuffix() const = 0;

  const CVecNormalizer* GetNormalizer() const { return m_normalizer; }
  const CSimEvaluator* GetEvaluator() const { return m_evaluator; }

 protected:
  CVecNormalizer* m_normalizer;
  CSimEvaluator* m_evaluator;
};

// CORRELATION: range -1.0 ... 1.0, suffix ".co".
class CFisherTransSimHandler : public CSimilarityHandler {
 public:
  CFisherTransSimHandler(CVecNormalizer* normalizer, CSimEvaluator* evaluator);
  ~CFisherTransSimHandler() override;
  double GetMinSim() const override;
  double GetMaxSim() const override;
  double GetUnitSim() const override;
  std::string GetFileSuffix() const override;
};

// DOTPRODUCT: range 0.0 ... 1.0, suffix ".dp".
class CDotProductSimHandler : public CSimilarityHandler {
 public:
  CDotProductSimHandler(CVecNormalizer* normalizer, CSimEvaluator* evaluator);
  ~CDotProductSimHandler() override;
  double GetMinSim() const override;
  double GetMaxSim() const override;
  double GetUnitSim() const override;
  std::string GetFileSuffix() const override;
};
