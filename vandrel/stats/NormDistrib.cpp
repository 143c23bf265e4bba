// Normal distribution: density, log density, cumulative probability by a
// rational Chebyshev erfc (32-bit float result), random draws by the polar
// method over the process-wide generator, and quantiles from a sorted table
// of 100000 standard-normal draws (filling it costs O(n log n) once).
#include "vandrel/stats/NormDistrib.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <istream>
#include <limits>
#include <ostream>
#include <string>

#include "vandrel/stats/Random.h"

namespace {

// Stored constant of the normalisation: slightly below 2*pi.
constexpr double kTwoPi = 6.28318530717958;

// Rounds to 32-bit float; values beyond the float range become the largest
// float of that sign (erfc of such an argument is 0 either way).
float ToFloat(double v) {
  if (v > FLT_MAX) return FLT_MAX;
  if (v < -FLT_MAX) return -FLT_MAX;
  return static_cast<float>(v);
}

// Combines erfc values into the cumulative probability of the standardized
// value z; the erfc argument is rounded to float first when floatArg is set.
double PhiOfZ(double z, bool floatArg) {
  if (z == 0) return 0.5;
  if (z > 0) {
    const double u = z / std::sqrt(2.0);
    const float e = vandrel::ErfcCheb(floatArg ? ToFloat(u) : u);
    return 1.0f - 0.5f * e;
  }
  const double u = -z / std::sqrt(2.0);
  const float e = vandrel::ErfcCheb(floatArg ? ToFloat(u) : u);
  return 0.5f * e;
}

}  // namespace

namespace vandrel {

float ErfcCheb(double u) {
  const double t = 1.0 / (1.0 + 0.5 * u);
  const double ans =
      t * std::exp(-u * u - 1.26551223 +
                   t * (1.00002368 +
                        t * (0.37409196 +
                             t * (0.09678418 +
                                  t * (-0.18628806 +
                                       t * (0.27886807 +
                                            t * (-1.13520398 +
                                                 t * (1.48851587 +
                                                      t * (-0.82215223 + t * 0.17087277)))))))));
  return ToFloat(ans);
}

double PhiFloatArg(double x, double exp, double std) {
  return PhiOfZ((x - exp) / std, true);
}

}  // namespace vandrel

// ---------------------------------------------------------------- CDistrib

CDistrib::~CDistrib() = default;

double CDistrib::ReadParm(std::istream& in, const char* expectedName) {
  std::string name;
  if (!(in >> name)) throw "CDistrib::ReadParm - problems reading from file";
  if (name != expectedName) throw "CDistrib::ReadParm - parm name does not match";
  double value = 0.0;
  // A number that does not parse leaves the stream failed: reported as a
  // reading problem rather than taken as some default value.
  if (!(in >> value)) throw "CDistrib::ReadParm - problems reading from file";
  in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
  return value;
}

double CDistrib::ApproxInvPhi(double p, const std::vector<double>& sortedDraws) {
  if (!(p >= 0.0 && p <= 1.0)) throw "CDistrib::ApproxInvPhi - illegal probability value";
  if (sortedDraws.empty()) throw "CDistrib::ApproxInvPhi - no draws";
  const std::size_t n = sortedDraws.size();
  const double pos = static_cast<double>(n) * p;
  // For p = 1 the upper index would be n, one past the table: both indices
  // are limited to the last draw.
  const std::size_t lo = std::min(static_cast<std::size_t>(std::floor(pos)), n - 1);
  const std::size_t hi = std::min(static_cast<std::size_t>(std::ceil(pos)), n - 1);
  return (sortedDraws[lo] + sortedDraws[hi]) / 2.0;
}

// ------------------------------------------------------------ CNormDistrib

std::vector<double> CNormDistrib::m_manyDraws;

CNormDistrib::CNormDistrib(double exp, double std) : m_exp(exp), m_std(std) { CalcEvalParts(); }

CNormDistrib::CNormDistrib(std::istream& in) : m_exp(0.0), m_std(0.0) {
  m_exp = ReadParm(in, "EXP");
  m_std = ReadParm(in, "STD");
  CalcEvalParts();
}

CNormDistrib::~CNormDistrib() = default;

void CNormDistrib::CalcEvalParts() {
  if (!(m_std > 0.0)) throw "CNormDistrib::CalcEvalParts - std must be positive";
  m_norm = std::sqrt(kTwoPi) * m_std;
  m_logNorm = std::log(m_norm);
  m_twoVar = 2.0 * m_std * m_std;
}

void CNormDistrib::SetParms(double exp, double std) {
  CNormDistrib updated(exp, std);
  *this = updated;
}

double CNormDistrib::Phi(double x) const { return PhiOfZ((x - m_exp) / m_std, false); }

double CNormDistrib::ApproxInvPhi(double p) const {
  if (m_manyDraws.empty()) throw "CNormDistrib::ApproxInvPhi m_manyDraws is empty";
  return m_exp + m_std * CDistrib::ApproxInvPhi(p, m_manyDraws);
}

std::ostream& CNormDistrib::WriteName(std::ostream& out) const { return out << "NormDistrib" << "\n"; }

std::ostream& CNormDistrib::SaveParms(std::ostream& out) const {
  return out << "EXP\t" << m_exp << "\n" << "STD\t" << m_std << "\n";
}

double CNormDistrib::Pdf(double x) const {
  const double d = x - m_exp;
  return std::exp(-(d * d) / m_twoVar) / m_norm;
}

double CNormDistrib::LogPdf(double x) const { return LogPdfInline(x); }

double CNormDistrib::StdNormalDraw() {
  int (*next)() = &vandrel::Rand;
  return StdNormalDrawWith(next);
}

double CNormDistrib::Draw() const { return m_exp + m_std * StdNormalDraw(); }

void CNormDistrib::InitManyDraws() {
  m_manyDraws.clear();
  m_manyDraws.reserve(kManyDrawsNum);
  for (int i = 0; i < kManyDrawsNum; ++i) m_manyDraws.push_back(StdNormalDraw());
  std::sort(m_manyDraws.begin(), m_manyDraws.end());
}
