// Data-file analyzers and the graph threshold analyzer: input errors, the
// value-line estimate, element start positions, the model sample (replayed
// from the generator), the similarity threshold for k values, the
// missing-edge weight against independently integrated probabilities, and
// the weight of pairs a similarity file does not list.
#include "vandrel/stats/DataFileAnalyzer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

#include "tests/vandrel/data/SimDataTestUtil.h"
#include "vandrel/data/FPData.h"
#include "vandrel/data/SimilarityData.h"
#include "vandrel/stats/Random.h"
#include "vandrel/stats/SimDistrib.h"

namespace {

using simdata_test::TempDir;
using simdata_test::ThrownMessage;
using simdata_test::WriteFile;

// Two models hold the same parameters and simulated weights, bit for bit.
void ExpectSameModel(const CSimDistrib& got, const CSimDistrib& want) {
  EXPECT_EQ(got.GetPMates(), want.GetPMates());
  for (int c = 0; c < 2; ++c) {
    EXPECT_EQ(got.GetDistrib(c)->GetExp(), want.GetDistrib(c)->GetExp());
    EXPECT_EQ(got.GetDistrib(c)->GetStd(), want.GetDistrib(c)->GetStd());
    EXPECT_EQ(got.GetSimWeights(c), want.GetSimWeights(c));
  }
  EXPECT_EQ(got.GetWeightTh(), want.GetWeightTh());
}

// Expected number of values above t under a two-normal model, with the
// normal tail from std::erfc.
double ExpectedAbove(double n, double pM, double muT, double sT, double muF, double sF,
                     double t) {
  auto tail = [](double x, double mu, double s) {
    return 0.5 * std::erfc((x - mu) / (s * std::sqrt(2.0)));
  };
  return n * (pM * tail(t, muT, sT) + (1 - pM) * tail(t, muF, sF));
}

// ---------------------------------------------------------------------------
// Fingerprint analyzer

TEST(FPDataFileAnalyzer, MissingInputWritesTheExitLineAndFails) {
  TempDir dir;
  simdata_test::HandlerScope handler(true);
  testing::internal::CaptureStderr();
  const std::string msg = ThrownMessage([&] { CFPDataFileAnalyzer a(dir / "none"); });
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "no .orig file available at given prefix - exiting program\n");
  EXPECT_EQ(msg, "CFPDataFileAnalyzer constructor - no input file at given prefix");
}

TEST(FPDataFileAnalyzer, SamplesOneDrawPerPairAndFitsTheModel) {
  // 260 elements: 33670 pairs, q = 30000/33670; replayed here.
  TempDir dir;
  simdata_test::HandlerScope handler(true);
  simdata_test::WriteOrig(dir / "fp", simdata_test::MakeProfiles(260, 6, 17));
  vandrel::Srand(99);
  CFPDataFileAnalyzer analyzer(dir / "fp");
  const std::uint32_t analyzerState = vandrel::RandState();
  EXPECT_EQ(analyzer.GetElementsNum(), 260u);
  EXPECT_EQ(analyzer.GetSimValsNum(), 33670u);

  const CNormFPMtx& fps = analyzer.GetFPData().GetNormFPMtx();
  const double q = 30000.0 / 33670.0;
  vandrel::Srand(99);
  std::vector<double> sample;
  double lo = 1e300, hi = -1e300;
  for (unsigned i = 0; i < 260; ++i)
    for (unsigned j = i + 1; j < 260; ++j)
      if (vandrel::Rand() * (1.0 / 32767.0) < q) {
        const double s = fps[i].Similarity(fps[j]);
        sample.push_back(s);
        lo = std::min(lo, s);
        hi = std::max(hi, s);
      }
  // The model is the fit as a run that finds its saved file reads it: no
  // sample drawn, so its simulated weights come from the generator as it
  // stood before the sample, and the value range keeps its defaults.
  CSimDistrib replay(sample, nullptr);
  replay.Save(dir / "replay", false);
  vandrel::Srand(99);
  const CSimDistrib cached(dir / "replay");
  const CSimDistrib& got = *analyzer.GetSimDistrib();
  ExpectSameModel(got, cached);
  EXPECT_EQ(analyzerState, vandrel::RandState());
  EXPECT_EQ(analyzer.GetMinSimVal(), -1000000.0);
  EXPECT_EQ(analyzer.GetMaxSimVal(), 1000000.0);
  EXPECT_LT(-1000000.0, lo);
  EXPECT_GT(1000000.0, hi);
}

TEST(FPDataFileAnalyzer, ExistingModelFileIsReadWithoutSamplingAndCountsAre64Bit) {
  // 100000 elements: n(n-1)/2 = 4999950000 does not fit 32 bits.
  TempDir dir;
  simdata_test::HandlerScope handler(false);
  {
    std::ostringstream s;
    s << "100000\t1\n";
    for (int i = 0; i < 100000; ++i) s << "e" << i << "\t" << (1 + i % 7) << "\n";
    WriteFile(dir / "big.orig", s.str());
  }
  simdata_test::WriteDistrib(dir / "big.dp", 0.05, 0.8, 0.05, 0.3, 0.15);
  vandrel::Srand(4);
  CFPDataFileAnalyzer analyzer(dir / "big");
  // Only the model's own weight simulation drew numbers.
  const std::uint32_t after = vandrel::RandState();
  vandrel::Srand(4);
  CSimDistrib direct(dir / "big.dp");
  EXPECT_EQ(vandrel::RandState(), after);
  EXPECT_EQ(analyzer.GetSimDistrib()->GetPMates(), 0.05);
  EXPECT_EQ(analyzer.GetMinSimVal(), -1000000.0);
  EXPECT_EQ(analyzer.GetMaxSimVal(), 1000000.0);

  const std::uint64_t n = analyzer.GetSimValsNum();
  EXPECT_EQ(n, 4999950000ull);
  EXPECT_EQ(analyzer.CalcSimTh(n), -1000000.0);
  EXPECT_EQ(analyzer.CalcSimTh(n + 1), -1000000.0);
  for (std::uint64_t k : {std::uint64_t(1000), std::uint64_t(1000000), std::uint64_t(4000000000)}) {
    const double t = analyzer.CalcSimTh(k);
    const double e = ExpectedAbove(static_cast<double>(n), 0.05, 0.8, 0.05, 0.3, 0.15, t);
    EXPECT_NEAR(e, static_cast<double>(k), 0.02 * static_cast<double>(k) + 2000.0) << "k " << k;
  }
}

// ---------------------------------------------------------------------------
// Similarity-file analyzer

TEST(SDDataFileAnalyzer, InputErrors) {
  struct Case {
    const char* name;
    const char* content;  // null: no file
    const char* message;
    const char* errLine;
  };
  const Case cases[] = {
      {"missing", nullptr, "CSDDataFileAnalyzer constructor - no input file at given prefix",
       "no .sim file available at given prefix - exiting program\n"},
      {"no NAMES", "NAME:\na b\nVALUES:\n0 1 0.5\n",
       "CSDDataFileAnalyzer constructor - illegal file format", ""},
      {"empty file", "", "CSDDataFileAnalyzer constructor - illegal file format", ""},
      {"no VALUES", "NAMES:\na b c\n", "CSDDataFileAnalyzer constructor - no values in file", ""},
      {"two runs", "NAMES:\na b c d e\nVALUES:\n3 4 0.5\n1 2 0.5\n3 2 0.1\n",
       "CSDDataFileAnalyzer constructor - an element with more than one starting points in file",
       ""},
      {"index beyond names", "NAMES:\na b\nVALUES:\n0 2 0.5\n",
       "CSDDataFileAnalyzer constructor - name index is out of scope",
       "illegal element index in similarity data file\n"},
      {"letter index", "NAMES:\na b\nVALUES:\n0 1 0.5\nx 1 0.5\n",
       "CSDDataFileAnalyzer constructor - illegal file format", ""},
      {"comment line", "NAMES:\na b\nVALUES:\n# pairs\n0 1 0.5\n",
       "CSDDataFileAnalyzer constructor - illegal file format", ""},
      {"value not a number", "NAMES:\na b\nVALUES:\n0 1 high\n",
       "CSDDataFileAnalyzer constructor - illegal file format", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    if (c.content) WriteFile(dir / "s.sim", c.content);
    simdata_test::WriteDistrib(dir / "s", 0.1, 0.8, 0.1, 0.2, 0.2);
    testing::internal::CaptureStderr();
    const std::string msg = ThrownMessage([&] { CSDDataFileAnalyzer a(dir / "s"); });
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.errLine);
    EXPECT_EQ(msg, c.message);
  }
}

TEST(SDDataFileAnalyzer, EmptyValuesSectionGivesNoValuesAndNoThreshold) {
  TempDir dir;
  WriteFile(dir / "e.sim", "NAMES:\na b c\nVALUES:\n");
  simdata_test::WriteDistrib(dir / "e", 0.1, 0.8, 0.1, 0.2, 0.2);
  CSDDataFileAnalyzer a(dir / "e");
  EXPECT_EQ(a.GetSimValsNum(), 0u);
  EXPECT_EQ(a.CalcSimTh(1000000), -1000000.0);
  EXPECT_EQ(a.CalcSimTh(0), -1000000.0);
  EXPECT_EQ(a.GetNames(), (std::vector<std::string>{"a", "b", "c"}));
}

// A values section where element i (firstGroup <= i < lastGroup) has lines
// to the next `per` indices, values of varying printed length.
struct SimFileInfo {
  std::vector<std::string> firstLines;  // per element, "" without a group
  std::vector<double> values;           // as written, in file order
  double minValue = 1e300;
  double maxValue = -1e300;
};

std::string MakeSimFile(unsigned names, unsigned per, const std::string& eol, SimFileInfo* info,
                        unsigned firstGroup = 0, unsigned lastGroup = ~0u) {
  info->firstLines.assign(names, "");
  std::ostringstream s;
  s << "NAMES:" << eol;
  for (unsigned i = 0; i < names; ++i) s << "n" << i << eol;
  s << "VALUES:" << eol;
  for (unsigned i = firstGroup; i < names && i < lastGroup; ++i) {
    bool first = true;
    for (unsigned j = i + 1; j < names && j <= i + per; ++j) {
      std::ostringstream line;
      const double v = std::fmod(i * 0.37 + j * 0.11, 1.0) - 0.2;
      line << i << "\t" << j << "\t" << v;
      if (first) info->firstLines[i] = line.str();
      first = false;
      s << line.str() << eol;
      std::ostringstream printed;
      printed << v;
      const double back = std::stod(printed.str());
      info->values.push_back(back);
      info->minValue = std::min(info->minValue, back);
      info->maxValue = std::max(info->maxValue, back);
    }
  }
  return s.str();
}

TEST(SDDataFileAnalyzer, EstimatesTheLineCountAndFindsEveryGroupWithLfAndCrlf) {
  for (const std::string eol : {"\n", "\r\n"}) {
    SCOPED_TRACE(eol == "\n" ? "LF" : "CRLF");
    TempDir dir;
    // Lines of equal length: the estimate is exact.
    {
      std::ostringstream s;
      s << "NAMES:" << eol;
      for (int i = 0; i < 1000; ++i) s << "n" << i << eol;
      s << "VALUES:" << eol;
      for (int i = 100; i < 900; ++i) s << i << "\t" << i + 1 << "\t0.5" << eol;
      WriteFile(dir / "eq.sim", s.str());
      simdata_test::WriteDistrib(dir / "eq", 0.1, 0.8, 0.1, 0.2, 0.2);
      CSDDataFileAnalyzer a(dir / "eq");
      EXPECT_EQ(a.GetSimValsNum(), 800u);
    }
    // Indices of three digits, values of varying length: within 3 %.
    const unsigned names = 1000;
    SimFileInfo info;
    WriteFile(dir / "s.sim", MakeSimFile(names, 60, eol, &info, 100));
    const std::vector<std::string>& firstLines = info.firstLines;
    const double lines = static_cast<double>(info.values.size());
    simdata_test::WriteDistrib(dir / "s", 0.1, 0.8, 0.1, 0.2, 0.2);
    CSDDataFileAnalyzer a(dir / "s");
    ASSERT_EQ(a.GetNames().size(), names);
    EXPECT_EQ(a.GetNames()[7], "n7");
    const double estimate = static_cast<double>(a.GetSimValsNum());
    EXPECT_NEAR(estimate, lines, 0.03 * lines);
    EXPECT_EQ(a.GetMinSimVal(), info.minValue);
    EXPECT_EQ(a.GetMaxSimVal(), info.maxValue);
    // Every element with lines: skipping the rest of the line at its start
    // position lands on its first line.  The last element has no group.
    for (unsigned id : {100u, 101u, 250u, names - 2, 103u}) {
      std::istream& in = a.GetElementStream(id);
      std::string line;
      std::getline(in, line);
      std::getline(in, line);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      EXPECT_EQ(line, firstLines[id]) << "id " << id;
    }
    EXPECT_FALSE(a.HasElementLines(names - 1));
    EXPECT_FALSE(a.HasElementLines(99));
    // After reading to the end the stream is reopened for the next element.
    std::istream& in = a.GetElementStream(names - 2);
    std::string rest;
    while (std::getline(in, rest)) {
    }
    std::istream& again = a.GetElementStream(101);
    std::getline(again, rest);
    std::getline(again, rest);
    if (!rest.empty() && rest.back() == '\r') rest.pop_back();
    EXPECT_EQ(rest, firstLines[101]);
    EXPECT_EQ(ThrownMessage([&] { a.GetElementStream(names); }),
              "CSDDataFileAnalyzer::GetElementStream - element id is out of scope");
  }
}

TEST(SDDataFileAnalyzer, SamplesEveryValueLineWithOneDrawAndFitsTheModel) {
  TempDir dir;
  SimFileInfo info;
  WriteFile(dir / "s.sim", MakeSimFile(600, 60, "\n", &info));
  vandrel::Srand(1234);
  CSDDataFileAnalyzer a(dir / "s");
  const std::uint32_t analyzerState = vandrel::RandState();
  const double q = 30000.0 / static_cast<double>(a.GetSimValsNum());
  ASSERT_LT(q, 1.0);
  vandrel::Srand(1234);
  std::vector<double> sample;
  for (double v : info.values)
    if (vandrel::Rand() * (1.0 / 32767.0) < q) sample.push_back(v);
  // The model is the fit as a run that finds its saved file reads it,
  // after drawing the same sample.
  const std::uint32_t afterSample = vandrel::RandState();
  CSimDistrib replay(sample, nullptr);
  replay.Save(dir / "s", false);
  vandrel::Srand(afterSample);
  const CSimDistrib cached(dir / "s");
  const CSimDistrib& got = *a.GetSimDistrib();
  ExpectSameModel(got, cached);
  EXPECT_EQ(analyzerState, vandrel::RandState());

  // The threshold for k values: expected count under the model close to k.
  const double n = static_cast<double>(a.GetSimValsNum());
  for (std::uint64_t k : {std::uint64_t(500), std::uint64_t(5000), std::uint64_t(20000)}) {
    const double t = a.CalcSimTh(k);
    const double e = ExpectedAbove(n, got.GetPMates(), got.GetDistrib(0)->GetExp(),
                                   got.GetDistrib(0)->GetStd(), got.GetDistrib(1)->GetExp(),
                                   got.GetDistrib(1)->GetStd(), t);
    // The bisection stops once a pass moves the expected count by at most 100.
    EXPECT_NEAR(e, static_cast<double>(k), 0.05 * static_cast<double>(k) + 250.0) << "k " << k;
  }
}

// ---------------------------------------------------------------------------
// Threshold analyzer

// Log-likelihood ratio of x between two normals, from the textbook densities.
double LogRatio(double x, double muT, double sT, double muF, double sF) {
  const double zt = (x - muT) / sT, zf = (x - muF) / sF;
  return (-std::log(sT) - 0.5 * zt * zt) - (-std::log(sF) - 0.5 * zf * zf);
}

// P(no edge) under N(mu, s): the no-edge set {x : LR(x) <= w} is found by
// scanning for sign changes and bisecting; each of its pieces that meets the
// open range (minSim, maxSim) counts with its ends beyond the range taken
// as unbounded.
double NoEdgeProb(double muT, double sT, double muF, double sF, double w, double mu, double s,
                  double minSim, double maxSim) {
  const double lo = std::min(muT, muF) - 60 * std::max(sT, sF);
  const double hi = std::max(muT, muF) + 60 * std::max(sT, sF);
  auto f = [&](double x) { return LogRatio(x, muT, sT, muF, sF) - w; };
  std::vector<double> cuts = {-std::numeric_limits<double>::infinity()};
  const int steps = 200000;
  double prevX = lo, prevF = f(lo);
  for (int i = 1; i <= steps; ++i) {
    const double x = lo + (hi - lo) * i / steps;
    const double fx = f(x);
    if ((prevF <= 0) != (fx <= 0)) {
      double a = prevX, b = x;
      for (int k = 0; k < 200; ++k) {
        const double m = 0.5 * (a + b);
        if ((f(m) <= 0) == (prevF <= 0))
          a = m;
        else
          b = m;
      }
      cuts.push_back(0.5 * (a + b));
    }
    prevX = x;
    prevF = fx;
  }
  cuts.push_back(std::numeric_limits<double>::infinity());
  auto phi = [&](double x) { return 0.5 * std::erfc(-(x - mu) / (s * std::sqrt(2.0))); };
  double p = 0.0;
  for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
    double a = cuts[i], b = cuts[i + 1];
    const double probe = std::isinf(a) ? b - 1.0 : (std::isinf(b) ? a + 1.0 : 0.5 * (a + b));
    if (f(probe) > 0) continue;  // an edge piece
    if (!(a < maxSim && b > minSim)) continue;
    if (a <= minSim) a = -std::numeric_limits<double>::infinity();
    if (b >= maxSim) b = std::numeric_limits<double>::infinity();
    p += phi(b) - phi(a);
  }
  return p;
}

struct ThCase {
  const char* name;
  double muT, sT, muF, sF, w;
  int handler;  // 0 none (range +-1e8), 1 CORRELATION (-1..1), 2 DOTPRODUCT (0..1)
};

TEST(ThDistribAnalyzer, MissingEdgeWeightAndWeightStatisticsPerCase) {
  const ThCase cases[] = {
      // sigmaT > sigmaF: no-edge set between the roots
      {"wide T, both roots inside", 0.6, 0.3, 0.1, 0.1, 0.0, 0},
      {"wide T, lower root below range", 0.5, 0.3, 0.05, 0.1, 0.0, 2},
      {"wide T, upper root above range", 0.5, 0.3, 0.95, 0.1, 0.0, 2},
      {"wide T, range inside the roots", 0.5, 1.0, 0.5, 0.1, 12.0, 2},
      {"wide T, high threshold", 0.6, 0.3, 0.1, 0.1, 3.0, 1},
      {"wide T, no root (no pair lacks an edge: L = 0)", 0.6, 0.3, 0.1, 0.1, -5.0, 0},
      // sigmaT < sigmaF: no-edge set outside the roots
      {"narrow T, both roots inside", 0.8, 0.1, 0.1, 0.3, 0.0, 0},
      {"narrow T, upper root above range", 0.8, 0.1, 0.1, 0.3, 0.0, 2},
      {"narrow T, lower root below range", 0.05, 0.1, 0.5, 0.4, 0.0, 2},
      {"narrow T, no root", 0.8, 0.1, 0.1, 0.3, 10.0, 0},
      {"narrow T, correlation range", 0.9, 0.05, 0.2, 0.4, 1.0, 1},
      {"narrow T, range between the roots", 0.5, 0.3, 0.4, 0.6, -1.0, 2},
      // sigmaT = sigmaF: one root, no-edge below it
      {"equal, root inside", 0.7, 0.2, 0.1, 0.2, 0.0, 0},
      {"equal, root above range", 0.7, 0.2, 0.1, 0.2, 30.0, 1},
      {"equal, root far but inside", 0.7, 0.2, 0.1, 0.2, 30.0, 0},
      {"equal, root below range", 0.7, 0.2, 0.1, 0.2, -30.0, 1},
  };
  for (const ThCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    std::unique_ptr<simdata_test::HandlerScope> handler;
    double minSim = -100000000.0, maxSim = 100000000.0;
    if (c.handler != 0) {
      handler = std::make_unique<simdata_test::HandlerScope>(c.handler == 1);
      minSim = c.handler == 1 ? -1.0 : 0.0;
      maxSim = 1.0;
    } else {
      ResetFingerprintStateForTests();
    }
    simdata_test::WriteDistrib(dir / "m", 0.1, c.muT, c.sT, c.muF, c.sF);
    vandrel::Srand(77);
    CSimDistrib model(dir / "m");
    CThDistribAnalyzer th;
    th.Init(&model);
    EXPECT_EQ(th.GetWeightTh(), -100000000.0);
    EXPECT_EQ(th.GetMissingEdgeWeight(), 0.0);
    EXPECT_EQ(th.GetWeightMean(0), model.GetWeightMean(0));
    EXPECT_EQ(th.GetWeightStd(1), model.GetWeightStd(1));

    th.SetWeightTh(c.w);
    EXPECT_EQ(th.GetWeightTh(), c.w);
    const double p0 = NoEdgeProb(c.muT, c.sT, c.muF, c.sF, c.w, c.muT, c.sT, minSim, maxSim);
    const double p1 = NoEdgeProb(c.muT, c.sT, c.muF, c.sF, c.w, c.muF, c.sF, minSim, maxSim);
    // Where no pair can lack an edge (both 0) a missing edge weighs 0
    // rather than the undefined ln(0/0).
    const double expectedL = (p0 == 0.0 && p1 == 0.0) ? 0.0 : std::log(p0 / p1);
    EXPECT_FALSE(std::isnan(th.GetMissingEdgeWeight()));
    EXPECT_NEAR(th.GetMissingEdgeWeight(), expectedL, 1e-5 + 1e-5 * std::fabs(expectedL))
        << "p0 " << p0 << " p1 " << p1;

    // Weight statistics: simulated weights at or below w stand for L.
    for (int comp = 0; comp < 2; ++comp) {
      const std::vector<double>& ws = model.GetSimWeights(comp);
      if (c.w > ws.back()) {
        EXPECT_EQ(th.GetWeightMean(comp), model.GetWeightMean(comp));
        continue;
      }
      double sum = 0;
      for (double x : ws) sum += x > c.w ? x : th.GetMissingEdgeWeight();
      const double mean = sum / ws.size();
      double ss = 0;
      for (double x : ws) {
        const double v = (x > c.w ? x : th.GetMissingEdgeWeight()) - mean;
        ss += v * v;
      }
      const double sd = std::sqrt(ss / (ws.size() - 1));
      EXPECT_NEAR(th.GetWeightMean(comp), mean, 1e-9 * (1 + std::fabs(mean))) << comp;
      EXPECT_NEAR(th.GetWeightStd(comp), sd, 1e-6 * (1 + sd)) << comp;
    }

    // The same threshold again changes nothing, even after the model moved on.
    const double L = th.GetMissingEdgeWeight();
    const double m0 = th.GetWeightMean(0), s1 = th.GetWeightStd(1);
    th.SetWeightTh(c.w);
    EXPECT_EQ(th.GetMissingEdgeWeight(), L);
    EXPECT_EQ(th.GetWeightMean(0), m0);
    EXPECT_EQ(th.GetWeightStd(1), s1);
  }
}

TEST(ThDistribAnalyzer, ThresholdAboveEverySimulatedWeightKeepsTheStatistics) {
  TempDir dir;
  ResetFingerprintStateForTests();
  simdata_test::WriteDistrib(dir / "m", 0.1, 0.8, 0.1, 0.1, 0.3);
  CSimDistrib model(dir / "m");
  CThDistribAnalyzer th;
  th.Init(&model);
  th.SetWeightTh(0.5);
  const double means[2] = {th.GetWeightMean(0), th.GetWeightMean(1)};
  const double stds[2] = {th.GetWeightStd(0), th.GetWeightStd(1)};
  const double above = std::max(model.GetSimWeights(0).back(), model.GetSimWeights(1).back()) + 1;
  th.SetWeightTh(above);
  EXPECT_EQ(th.GetWeightTh(), above);
  for (int c = 0; c < 2; ++c) {
    EXPECT_EQ(th.GetWeightMean(c), means[c]);
    EXPECT_EQ(th.GetWeightStd(c), stds[c]);
  }
  // A copy carries the whole state.
  CThDistribAnalyzer copy = th;
  EXPECT_EQ(copy.GetWeightTh(), above);
  EXPECT_EQ(copy.GetSimDistrib(), &model);
  EXPECT_EQ(copy.GetMissingEdgeWeight(), th.GetMissingEdgeWeight());
}

// ln Phi in long double: erfcl stays above 0 far beyond where the double
// tail underflows.
double LogCdfLong(double x, double mu, double s) {
  const long double z = (static_cast<long double>(x) - mu) / s;
  return static_cast<double>(std::log(0.5L * std::erfc(-z / std::sqrt(2.0L))));
}

struct UnlistedCase {
  const char* name;
  double muT, sT, muF, sF, smallest;
  bool fallsBack;  // the tail ratio is not negative: the non-mates mean weight
};

// A pair a sparse file does not list weighs ln(P_T(s < smallest) /
// P_F(s < smallest)), also where both tails underflow in double; a mates
// tail that is heavier there would make it favour mates, so the non-mates'
// mean weight takes its place.  L, the threshold and the statistics stay.
TEST(ThDistribAnalyzer, UnlistedPairWeightIsTheLogRatioOfTheTailsBelowTheSmallestValue) {
  const UnlistedCase cases[] = {
      {"moderate tails", 0.8, 0.1, 0.2, 0.2, 0.4, false},
      {"smallest value above both means", 0.8, 0.1, 0.2, 0.2, 0.9, false},
      {"z = -9.99 on the mates side", 0.8, 0.01, 0.2, 0.2, 0.8 - 9.99 * 0.01, false},
      {"z = -10.01 on the mates side", 0.8, 0.01, 0.2, 0.2, 0.8 - 10.01 * 0.01, false},
      {"mates tail underflows in double (z = -87.5)", 0.85, 0.02, 0.0, 0.2, -0.9, false},
      {"both tails underflow in double (z = -121, -40)", 0.85, 0.0145, 0.0, 0.0225, -0.9, false},
      {"heavier mates tail", 0.5, 0.5, 0.3, 0.05, 0.1, true},
  };
  for (const UnlistedCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    ResetFingerprintStateForTests();
    simdata_test::WriteDistrib(dir / "m", 0.1, c.muT, c.sT, c.muF, c.sF);
    vandrel::Srand(77);
    CSimDistrib model(dir / "m");
    CThDistribAnalyzer th;
    th.Init(&model);
    th.SetWeightTh(0.5);
    const double L = th.GetMissingEdgeWeight();
    const double m1 = th.GetWeightMean(1), s0 = th.GetWeightStd(0);
    EXPECT_EQ(th.GetUnlistedPairWeight(), L);  // not set: the missing-edge weight

    th.SetUnlistedPairWeight(c.smallest);
    const double tails = LogCdfLong(c.smallest, c.muT, c.sT) - LogCdfLong(c.smallest, c.muF, c.sF);
    ASSERT_TRUE(std::isfinite(tails));
    ASSERT_EQ(tails >= 0.0, c.fallsBack) << tails;
    const double u = th.GetUnlistedPairWeight();
    if (c.fallsBack) {
      EXPECT_EQ(u, model.GetWeightMean(1));
      EXPECT_LT(u, 0.0);
    } else {
      EXPECT_NEAR(u, tails, 1e-6 * (1.0 + std::fabs(tails)));
    }
    EXPECT_EQ(th.GetMissingEdgeWeight(), L);
    EXPECT_EQ(th.GetWeightTh(), 0.5);
    EXPECT_EQ(th.GetWeightMean(1), m1);
    EXPECT_EQ(th.GetWeightStd(0), s0);
    // A copy carries it; binding a model again clears it.
    CThDistribAnalyzer copy = th;
    EXPECT_EQ(copy.GetUnlistedPairWeight(), u);
    th.Init(&model);
    EXPECT_EQ(th.GetUnlistedPairWeight(), th.GetMissingEdgeWeight());
  }
  CThDistribAnalyzer unbound;
  EXPECT_EQ(ThrownMessage([&] { unbound.SetUnlistedPairWeight(0.0); }),
            "CThDistribAnalyzer::SetUnlistedPairWeight - simDistrib was not set");
}

}  // namespace
