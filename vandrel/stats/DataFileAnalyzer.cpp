// Data-file analyzers (common part and `.sim` input) and the graph threshold
// analyzer.  See DataFileAnalyzer.h for what each computes and costs.
#include "vandrel/stats/DataFileAnalyzer.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <limits>

#include "vandrel/data/SimHandler.h"
#include "vandrel/data/Fingerprint.h"
#include "vandrel/data/SimFileParsing.h"
#include "vandrel/stats/Random.h"
#include "vandrel/stats/SimDistrib.h"

namespace {

// Expected size of the sample the first model is fitted to.
constexpr double kSampleSize = 30000.0;
// Lines read at each probe of the values-section estimate.
constexpr int kProbeLines = 100;

}  // namespace

// ---------------------------------------------------------------------------
// CDataFileAnalyzer

CDataFileAnalyzer::CDataFileAnalyzer(const std::string& prefix) : m_prefix(prefix) {}

CDataFileAnalyzer::~CDataFileAnalyzer() = default;

void CDataFileAnalyzer::SetModelAsSaved(const std::vector<double>& sample, std::uint32_t randState) {
  const std::string text = CSimDistrib::FitText(sample);
  vandrel::Srand(randState);
  m_simDistrib = CSimDistrib::FromText(text);
}

const CSimDistrib* CDataFileAnalyzer::GetSimDistrib() const {
  if (!m_simDistrib) throw "CDataFileAnalyzer::GetSimDistrib - simDistrib was not created";
  return m_simDistrib.get();
}

double CDataFileAnalyzer::CalcSimTh(std::uint64_t k) {
  if (!m_simDistrib) throw "CDataFileAnalyzer::CalcSimTh - simDistrib was not created";
  if (m_simValsNum == 0) m_simValsNum = GetSimValsNum();
  const std::uint64_t n = m_simValsNum;
  if (k >= n) return -1000000.0;

  const CDistrib& mates = *m_simDistrib->GetDistrib(0);
  const CDistrib& nonMates = *m_simDistrib->GetDistrib(1);
  const double pM = m_simDistrib->GetPMates();
  const double tol = 0.05 * std::min(mates.GetStd(), nonMates.GetStd());
  const double total = static_cast<double>(n);
  const double target = static_cast<double>(k);

  // a: the high end (few values above), b: the low end.
  double a = m_maxSimVal;
  double b = m_minSimVal;
  double mid = 0.0;
  double prevExpected = 0.0;
  double delta = 0.0;
  // The interval halves every pass, so the loop ends after at most a few
  // hundred passes even for degenerate models; the cap only guards NaN input.
  for (int pass = 0; pass < 100000; ++pass) {
    mid = (a + b) / 2;
    const double expected =
        total * (pM * (1 - mates.Phi(mid)) + (1 - pM) * (1 - nonMates.Phi(mid)));
    delta = std::fabs(expected - prevExpected);
    prevExpected = expected;
    if (expected <= target)
      a = mid;
    else
      b = mid;
    if (!(std::fabs((a + b) / 2 - mid) > tol || delta > 100)) break;
  }
  return mid;
}

// ---------------------------------------------------------------------------
// CSDDataFileAnalyzer

namespace {

// Parses an unsigned index token: digits only, at most 32 bits.
bool ParseIndexToken(const std::string& tok, std::uint64_t& out) {
  if (tok.empty() || tok.size() > 12) return false;
  std::uint64_t v = 0;
  for (char c : tok) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<std::uint64_t>(c - '0');
  }
  out = v;
  return true;
}

}  // namespace

CSDDataFileAnalyzer::CSDDataFileAnalyzer(const std::string& prefix) : CDataFileAnalyzer(prefix) {
  const std::string path = prefix + ".sim";
  if (!vandrel::FileExists(path)) {
    std::cerr << "no .sim file available at given prefix - exiting program" << std::endl;
    throw "CSDDataFileAnalyzer constructor - no input file at given prefix";
  }
  OpenStream("CSDDataFileAnalyzer constructor - problems opening file");

  // Names section.
  std::int64_t fileSize = 0;
  {
    vandrel::CTokenReader reader(m_in, 0);
    std::string tok;
    if (!reader.Next(tok) || tok != "NAMES:")
      throw "CSDDataFileAnalyzer constructor - illegal file format";
    bool sawValues = false;
    while (reader.Next(tok)) {
      if (tok == "VALUES:") {
        sawValues = true;
        break;
      }
      m_names.push_back(tok);
    }
    if (reader.Failed()) throw "CSDDataFileAnalyzer constructor - problems reading file";
    if (!sawValues) throw "CSDDataFileAnalyzer constructor - no values in file";
    m_valuesPos = reader.Offset();
    if (m_names.size() > std::numeric_limits<unsigned int>::max())
      throw "CSDDataFileAnalyzer constructor - illegal file format";
    m_elementsNum = static_cast<unsigned int>(m_names.size());
  }
  m_in.clear();
  m_in.seekg(0, std::ios::end);
  fileSize = static_cast<std::int64_t>(m_in.tellg());
  if (fileSize < m_valuesPos) throw "CSDDataFileAnalyzer constructor - problems reading file";

  // Estimate of the number of value lines from three probes.
  {
    const std::int64_t s = fileSize - m_valuesPos;
    std::uint64_t bytes = 0;
    std::uint64_t lines = 0;
    const std::int64_t offsets[3] = {0, s / 3, 2 * s / 3};
    std::string line;
    for (std::int64_t off : offsets) {
      if (off >= s) continue;
      m_in.clear();
      m_in.seekg(m_valuesPos + off);
      std::getline(m_in, line);  // the partial line at the offset
      for (int i = 0; i < kProbeLines; ++i) {
        std::getline(m_in, line);
        if (m_in.fail()) break;  // nothing left to read
        const bool ended = !m_in.eof();  // the line had its line end
        bytes += line.size() + (ended ? 1 : 0);
        lines += 1;
        if (!ended) break;
      }
    }
    if (lines > 0 && bytes > 0) {
      const double meanLine = static_cast<double>(bytes) / static_cast<double>(lines);
      m_estimatedLines = static_cast<std::uint64_t>(std::floor(static_cast<double>(s) / meanLine));
    }
  }

  // One pass over the values: element start positions, value range, sample.
  const double q = m_estimatedLines > 0 ? kSampleSize / static_cast<double>(m_estimatedLines)
                                        : std::numeric_limits<double>::infinity();
  m_minSimVal = 1000000.0;
  m_maxSimVal = -1000000.0;
  m_starts.assign(m_names.size(), kUnset);
  std::vector<double> sample;
  {
    vandrel::CTokenReader reader(m_in, m_valuesPos);
    std::string t1, t2, t3;
    bool first = true;
    std::uint64_t prevFirst = 0;
    for (;;) {
      const std::int64_t before = reader.Offset();
      if (!reader.Next(t1) || !reader.Next(t2) || !reader.Next(t3)) break;
      std::uint64_t a = 0, b = 0;
      if (!ParseIndexToken(t1, a) || !ParseIndexToken(t2, b))
        throw "CSDDataFileAnalyzer constructor - illegal file format";
      char* end = nullptr;
      const double v = std::strtod(t3.c_str(), &end);
      if (end == t3.c_str() || *end != '\0' || !std::isfinite(v))
        throw "CSDDataFileAnalyzer constructor - illegal file format";
      if (a >= m_names.size() || b >= m_names.size()) {
        std::cerr << "illegal element index in similarity data file" << std::endl;
        throw "CSDDataFileAnalyzer constructor - name index is out of scope";
      }
      if (first || a != prevFirst) {
        if (m_starts[a] != kUnset)
          throw "CSDDataFileAnalyzer constructor - an element with more than one starting points in file";
        m_starts[a] = before;
        prevFirst = a;
        first = false;
      }
      if (v < m_minSimVal) m_minSimVal = v;
      if (v > m_maxSimVal) m_maxSimVal = v;
      if (vandrel::RandUniform() < q) sample.push_back(v);
    }
    if (reader.Failed()) throw "CSDDataFileAnalyzer constructor - problems reading file";
  }

  // The model: from `<prefix>.distrib` when present, else fitted.
  if (vandrel::FileExists(prefix + ".distrib")) {
    try {
      m_simDistrib.reset(new CSimDistrib(prefix));
    } catch (const std::bad_alloc&) {
      throw "CDataFileAnalyzer constructor - memory problems";
    }
  } else {
    // A run that finds the saved file has drawn the same sample before
    // reading it: its generator stands here.
    try {
      SetModelAsSaved(sample, vandrel::RandState());
    } catch (const std::bad_alloc&) {
      throw "CSDDataFileAnalyzer constructor - memory problem";
    }
  }
}

CSDDataFileAnalyzer::~CSDDataFileAnalyzer() = default;

void CSDDataFileAnalyzer::OpenStream(const char* openFailure) {
  m_in.close();
  m_in.clear();
  m_in.open(m_prefix + ".sim", std::ios::in | std::ios::binary);
  if (!m_in.is_open()) throw openFailure;
}

std::uint64_t CSDDataFileAnalyzer::GetSimValsNum() { return m_estimatedLines; }

bool CSDDataFileAnalyzer::HasElementLines(unsigned int id) const {
  return id < m_starts.size() && m_starts[id] != kUnset;
}

std::istream& CSDDataFileAnalyzer::GetElementStream(unsigned int id) {
  if (id >= m_starts.size()) throw "CSDDataFileAnalyzer::GetElementStream - element id is out of scope";
  if (!m_in.good()) OpenStream("CSDDataFileAnalyzer::GetElementStream - problems opening file");
  if (m_starts[id] == kUnset)
    m_in.seekg(0, std::ios::end);
  else
    m_in.seekg(m_starts[id]);
  return m_in;
}

// ---------------------------------------------------------------------------
// CThDistribAnalyzer

void CThDistribAnalyzer::Init(const CSimDistrib* model) {
  m_simDistrib = model;
  m_weightTh = -100000000.0;
  m_roots.clear();
  m_missingEdgeWeight = 0.0;
  m_hasUnlistedWeight = false;
  m_unlistedPairWeight = 0.0;
  for (int c = 0; c < 2; ++c) {
    m_weightMeans[c] = model->GetWeightMean(c);
    m_weightStds[c] = model->GetWeightStd(c);
  }
}

namespace {

// Probability under `d` that a pair gets no edge, for the no-edge set
// between (betweenRoots) or outside the two roots r < R, over the similarity
// range [minSim, maxSim].  A range wholly inside the no-edge set gives 1, one
// wholly outside gives 0; otherwise each no-edge piece that meets the range
// is integrated over its whole extent.
double NoEdgeProbTwoRoots(const CDistrib& d, bool betweenRoots, const std::vector<double>& roots,
                          double minSim, double maxSim) {
  const double inside = betweenRoots ? 1.0 : 0.0;   // P when the range lies in [r, R]
  const double outside = 1.0 - inside;               // P when the range misses [r, R]
  if (roots.size() < 2) return outside;
  const double r = std::min(roots[0], roots[1]);
  const double R = std::max(roots[0], roots[1]);
  if (R <= minSim || r >= maxSim) return outside;
  if (r <= minSim && R >= maxSim) return inside;
  if (r <= minSim) {  // minSim < R < maxSim
    return betweenRoots ? d.Phi(R) : 1 - d.Phi(R);
  }
  if (R >= maxSim) {  // minSim < r < maxSim
    return betweenRoots ? 1 - d.Phi(r) : d.Phi(r);
  }
  // minSim < r < R < maxSim
  return betweenRoots ? d.Phi(R) - d.Phi(r) : d.Phi(r) + 1 - d.Phi(R);
}

double NoEdgeProbOneRoot(const CDistrib& d, const std::vector<double>& roots, double minSim,
                         double maxSim) {
  if (roots.empty()) return 0.0;
  const double x0 = roots[0];
  if (x0 <= minSim) return 0.0;
  if (x0 >= maxSim) return 1.0;
  return d.Phi(x0);
}

// ln Phi(x) of a normal distribution, also far in the lower tail where Phi
// itself underflows: below z = -10 the asymptotic expansion
// ln phi(z) - ln(-z) + ln(1 - 1/z^2 + 3/z^4), whose relative error there is
// below 1e-6.
double LogLowerTail(const CDistrib& d, double x) {
  const double z = (x - d.GetExp()) / d.GetStd();
  if (z > -10.0) return std::log(d.Phi(x));
  const double z2 = z * z;
  constexpr double kLogSqrtTwoPi = 0.91893853320467274178;
  const double logPhiDensity = -0.5 * z2 - kLogSqrtTwoPi;
  return logPhiDensity - std::log(-z) + std::log(1.0 - 1.0 / z2 + 3.0 / (z2 * z2));
}

}  // namespace

void CThDistribAnalyzer::SetUnlistedPairWeight(double smallestListed) {
  if (!m_simDistrib) throw "CThDistribAnalyzer::SetUnlistedPairWeight - simDistrib was not set";
  const CSimDistrib& model = *m_simDistrib;
  const double w = LogLowerTail(*model.GetDistrib(0), smallestListed) -
                   LogLowerTail(*model.GetDistrib(1), smallestListed);
  m_unlistedPairWeight = (std::isfinite(w) && w < 0.0) ? w : model.GetWeightMean(1);
  m_hasUnlistedWeight = true;
}

void CThDistribAnalyzer::SetWeightTh(double w) {
  if (w == m_weightTh) return;
  if (!m_simDistrib) throw "CThDistribAnalyzer::SetWeightTh - simDistrib was not set";
  m_weightTh = w;
  const CSimDistrib& model = *m_simDistrib;
  m_roots = model.SolveLogRatio(w);

  double minSim = -100000000.0;
  double maxSim = 100000000.0;
  if (const CSimilarityHandler* handler = CNormFP::GetSimilarityHandler()) {
    minSim = handler->GetMinSim();
    maxSim = handler->GetMaxSim();
  }

  const double sigmaT = model.GetDistrib(0)->GetStd();
  const double sigmaF = model.GetDistrib(1)->GetStd();
  double p[2];
  for (int c = 0; c < 2; ++c) {
    const CDistrib& d = *model.GetDistrib(c);
    if (sigmaT > sigmaF)
      p[c] = NoEdgeProbTwoRoots(d, true, m_roots, minSim, maxSim);
    else if (sigmaT < sigmaF)
      p[c] = NoEdgeProbTwoRoots(d, false, m_roots, minSim, maxSim);
    else
      p[c] = NoEdgeProbOneRoot(d, m_roots, minSim, maxSim);
  }
  // When neither component can lack an edge, a missing edge carries no
  // evidence: 0 instead of the undefined ln(0/0).
  m_missingEdgeWeight = (p[0] == 0.0 && p[1] == 0.0) ? 0.0 : std::log(p[0] / p[1]);

  for (int c = 0; c < 2; ++c) {
    const std::size_t count = model.GetSimWeightsNum(c);
    if (count == 0 || w > model.GetMaxSimWeight(c)) continue;
    const double n = static_cast<double>(count);
    // The weights in ascending order, those not above w replaced by the
    // missing-edge weight.
    double sum = 0.0;
    double sumSq = 0.0;
    model.ThresholdedSums(c, w, m_missingEdgeWeight, sum, sumSq);
    const double mean = sum / n;
    m_weightMeans[c] = mean;
    m_weightStds[c] = std::sqrt((sumSq - mean * mean * n) / (n - 1));
  }
}
