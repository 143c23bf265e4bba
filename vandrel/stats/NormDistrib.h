#pragma once
// Probability distributions of similarity values.
//
// CDistrib is the abstract distribution used by the mates/non-mates model;
// CNormDistrib is the normal distribution, its only concrete kind.  The
// normal keeps its constant parts (norm, log of norm, twice the variance)
// precomputed so that a density costs one exponential (Pdf) or none (LogPdf).
// Phi uses a rational Chebyshev approximation of erfc (fractional error below
// 1.2e-7) whose result is rounded to 32-bit float.  Quantiles come from a
// class-wide table of 100000 sorted standard-normal draws (m_manyDraws).
#include <cmath>
#include <iosfwd>
#include <vector>

class CDistrib {
 public:
  // Cumulative probability P(X <= x).
  virtual double Phi(double x) const = 0;
  // Approximate quantile of probability p.
  virtual double ApproxInvPhi(double p) const = 0;
  // Writes the type name and a line end.
  virtual std::ostream& WriteName(std::ostream& out) const = 0;
  // Writes the parameters, one "NAME\tvalue" line each.
  virtual std::ostream& SaveParms(std::ostream& out) const = 0;
  virtual ~CDistrib();
  // Natural logarithm of the density at x.
  virtual double LogPdf(double x) const = 0;
  // Density at x.
  virtual double Pdf(double x) const = 0;
  // One random value; consumes the process-wide generator.
  virtual double Draw() const = 0;
  // Mean.
  virtual double GetExp() const = 0;
  // Standard deviation.
  virtual double GetStd() const = 0;

  // Reads one "NAME value" parameter: the name token must equal
  // expectedName, the number follows; the rest of the line is discarded.
  // Throws "CDistrib::ReadParm - parm name does not match" or
  // "CDistrib::ReadParm - problems reading from file".
  static double ReadParm(std::istream& in, const char* expectedName);

  // Quantile p over an ascending table of draws of size n: the mean of the
  // draws at floor(n*p) and ceil(n*p), both limited to the last index (so
  // p = 1 gives the largest draw).  Throws
  // "CDistrib::ApproxInvPhi - illegal probability value" for p outside [0,1].
  static double ApproxInvPhi(double p, const std::vector<double>& sortedDraws);
};

class CNormDistrib : public CDistrib {
 public:
  // Throws "CNormDistrib::CalcEvalParts - std must be positive" unless std > 0.
  CNormDistrib(double exp, double std);
  // Reads "EXP value" then "STD value" lines (see CDistrib::ReadParm).
  explicit CNormDistrib(std::istream& in);
  CNormDistrib(const CNormDistrib&) = default;
  CNormDistrib& operator=(const CNormDistrib&) = default;
  ~CNormDistrib() override;

  double Phi(double x) const override;
  double ApproxInvPhi(double p) const override;
  std::ostream& WriteName(std::ostream& out) const override;
  std::ostream& SaveParms(std::ostream& out) const override;
  double LogPdf(double x) const override;
  double Pdf(double x) const override;
  double Draw() const override;
  double GetExp() const override { return m_exp; }
  double GetStd() const override { return m_std; }
  // The evaluation parts of LogPdf: LogPdf(x) = -logNorm - (exp - x)^2 / twoVar.
  double GetLogNorm() const { return m_logNorm; }
  double GetTwoVar() const { return m_twoVar; }

  // Replaces mean and standard deviation and recomputes the evaluation parts.
  // On failure (std not positive) the object is left unchanged.
  void SetParms(double exp, double std);

  // Clears m_manyDraws and fills it with 100000 standard-normal draws
  // (polar method, see Draw), sorted ascending.
  static void InitManyDraws();

  // One standard-normal value by the polar method: u then v, each
  // rand()*(2/32767) - 1, until s = u*u + v*v < 1; returns u*sqrt(-2 ln s / s).
  static double StdNormalDraw();
  // The same draw with the generator's values taken from next() (a
  // CRandCursor in tight loops: same sequence, drawn inline).
  template <class NextRand>
  static double StdNormalDrawWith(NextRand& next) {
    double u, v, s;
    do {
      u = PolarCoordinate(next());
      v = PolarCoordinate(next());
      s = u * u + v * v;
    } while (s >= 1.0);
    return PolarValue(u, s);
  }
  // The parts of the polar method, for loops that take the generator's
  // values and the accept test apart from the arithmetic: a coordinate in
  // [-1, 1] from one draw of the generator, and the standard-normal value of
  // an accepted pair (s = u*u + v*v < 1).
  static double PolarCoordinate(int draw) { return draw * (2.0 / 32767.0) - 1.0; }
  static double PolarValue(double u, double s) { return u * std::sqrt(-2.0 * std::log(s) / s); }
  // mean + std * g: the value of this distribution for a standard-normal g.
  double FromStdNormal(double g) const { return m_exp + m_std * g; }
  // Draw and LogPdf without the virtual call, for loops over many values.
  template <class NextRand>
  double DrawWith(NextRand& next) const { return FromStdNormal(StdNormalDrawWith(next)); }
  double LogPdfInline(double x) const {
    const double d = m_exp - x;
    return -m_logNorm - d * d / m_twoVar;
  }

  // Class-wide ascending table of standard-normal draws; empty until
  // InitManyDraws is called.
  static std::vector<double> m_manyDraws;

  // Number of draws InitManyDraws puts in the table.
  static constexpr int kManyDrawsNum = 100000;

 private:
  void CalcEvalParts();

  double m_exp;
  double m_std;
  double m_norm = 0.0;     // sqrt(6.28318530717958) * std
  double m_logNorm = 0.0;  // ln(m_norm)
  double m_twoVar = 0.0;   // 2 * std * std
};

namespace vandrel {

// The rational Chebyshev approximation of erfc(u) for u >= 0, evaluated in
// 64-bit floating point and rounded to 32-bit float.
float ErfcCheb(double u);

// Normal cumulative probability as Phi computes it, with the argument of
// erfc first rounded to 32-bit float (used by the EM grid search).
double PhiFloatArg(double x, double exp, double std);

}  // namespace vandrel
