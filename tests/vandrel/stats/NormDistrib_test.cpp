#include "vandrel/stats/NormDistrib.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <sstream>

#include "tests/vandrel/stats/StatsTestUtil.h"
#include "vandrel/stats/Random.h"

namespace {

using statstest::ThrownText;

TEST(NormDistrib, PhiAgreesWithTheNormalCdfAndIsRoundedToFloat) {
  const struct { double mean, sd; } params[] = {{0.0, 1.0}, {0.35, 0.07}, {-2.0, 3.5}};
  for (const auto& prm : params) {
    CNormDistrib d(prm.mean, prm.sd);
    for (int k = -700; k <= 700; ++k) {
      const double x = prm.mean + prm.sd * k * 0.01;
      const double phi = d.Phi(x);
      ASSERT_NEAR(phi, statstest::NormalCdf(x, prm.mean, prm.sd), 1.2e-7) << "x=" << x;
      // The result is combined from a 32-bit erfc with 32-bit constants.
      ASSERT_EQ(phi, static_cast<double>(static_cast<float>(phi))) << "x=" << x;
    }
    EXPECT_EQ(d.Phi(prm.mean), 0.5);
  }
  // Far tails saturate without leaving [0, 1].
  CNormDistrib std01(0.0, 1.0);
  EXPECT_EQ(std01.Phi(1e300), 1.0);
  EXPECT_EQ(std01.Phi(-1e300), 0.0);
  EXPECT_EQ(std01.Phi(40.0), 1.0);
}

TEST(NormDistrib, ErfcArgumentRoundedToFloatChangesOnlyTheLastBits) {
  // z/sqrt(2) = 0.1 is not a float; rounding it moves erfc by ~1e-9 at most.
  const double x = 0.1 * std::sqrt(2.0);
  const double exact = statstest::NormalCdf(x, 0.0, 1.0);
  EXPECT_NEAR(vandrel::PhiFloatArg(x, 0.0, 1.0), exact, 1.2e-7);
  EXPECT_EQ(vandrel::PhiFloatArg(0.0, 0.0, 1.0), 0.5);
  EXPECT_EQ(vandrel::PhiFloatArg(1e300, 0.0, 1.0), 1.0);
  EXPECT_EQ(vandrel::PhiFloatArg(-1e300, 0.0, 1.0), 0.0);
}

TEST(NormDistrib, DensitiesMatchTheDirectFormula) {
  CNormDistrib d(0.8, 0.05);
  for (double x : {-1.0, 0.0, 0.7, 0.8, 0.83, 1.0}) {
    const double logDensity = statstest::NormalLogDensity(x, 0.8, 0.05);
    EXPECT_NEAR(d.LogPdf(x), logDensity, 1e-12) << x;
    EXPECT_NEAR(d.Pdf(x), std::exp(logDensity), 1e-12 * std::exp(logDensity)) << x;
  }
  EXPECT_EQ(d.GetExp(), 0.8);
  EXPECT_EQ(d.GetStd(), 0.05);
}

TEST(NormDistrib, NonPositiveStdIsRejected) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (double sd : {0.0, -1.0, nan}) {
    EXPECT_EQ(ThrownText([&] { CNormDistrib d(0.0, sd); }),
              "CNormDistrib::CalcEvalParts - std must be positive")
        << sd;
  }
  CNormDistrib d(1.0, 2.0);
  EXPECT_EQ(ThrownText([&] { d.SetParms(5.0, 0.0); }),
            "CNormDistrib::CalcEvalParts - std must be positive");
  EXPECT_EQ(d.GetExp(), 1.0);  // a failed update leaves the distribution as it was
  EXPECT_EQ(d.GetStd(), 2.0);
  d.SetParms(5.0, 0.5);
  EXPECT_NEAR(d.LogPdf(5.0), statstest::NormalLogDensity(5.0, 5.0, 0.5), 1e-12);
}

TEST(NormDistrib, ReadsParametersFromAStream) {
  std::istringstream in("EXP\t0.25 rest of line ignored\nSTD\t0.125\nNEXT");
  CNormDistrib d(in);
  EXPECT_EQ(d.GetExp(), 0.25);
  EXPECT_EQ(d.GetStd(), 0.125);
  std::string next;
  in >> next;
  EXPECT_EQ(next, "NEXT");  // the STD line was consumed to its end
}

TEST(NormDistrib, BadParameterInputFails) {
  const struct { const char* text; const char* message; } cases[] = {
      {"STD\t1\nEXP\t0\n", "CDistrib::ReadParm - parm name does not match"},
      {"EXP\t0\nSTX\t1\n", "CDistrib::ReadParm - parm name does not match"},
      {"EXP\tabc\nSTD\t1\n", "CDistrib::ReadParm - problems reading from file"},
      {"EXP\t0\nSTD\n", "CDistrib::ReadParm - problems reading from file"},
      {"EXP\t0\n", "CDistrib::ReadParm - problems reading from file"},
      {"", "CDistrib::ReadParm - problems reading from file"},
      {"EXP\t0\nSTD\t0\n", "CNormDistrib::CalcEvalParts - std must be positive"},
      {"EXP\t0\nSTD\t-0.5\n", "CNormDistrib::CalcEvalParts - std must be positive"},
  };
  for (const auto& c : cases) {
    std::istringstream in(c.text);
    EXPECT_EQ(ThrownText([&] { CNormDistrib d(in); }), c.message) << c.text;
  }
}

TEST(NormDistrib, WritesNameAndParameters) {
  CNormDistrib d(0.1234567, 2.0);
  std::ostringstream out;
  d.WriteName(out);
  d.SaveParms(out);
  EXPECT_EQ(out.str(), "NormDistrib\nEXP\t0.123457\nSTD\t2\n");
}

TEST(DistribQuantile, MeanOfTheDrawsAtFloorAndCeil) {
  const std::vector<double> draws = {1.0, 2.0, 4.0, 8.0};
  const struct { double p, expected; } cases[] = {
      {0.5, 4.0},   // n*p = 2: both indices are 2
      {0.3, 3.0},   // n*p = 1.2: indices 1 and 2
      {0.0, 1.0},
      {0.25, 2.0},
      {0.9, 8.0},   // n*p = 3.6: indices 3 and 4 -> the last draw
      {1.0, 8.0},   // n*p = 4 is past the table: the last draw
  };
  for (const auto& c : cases) EXPECT_EQ(CDistrib::ApproxInvPhi(c.p, draws), c.expected) << c.p;
  for (double p : {-0.01, 1.01, std::numeric_limits<double>::quiet_NaN()}) {
    EXPECT_EQ(ThrownText([&] { CDistrib::ApproxInvPhi(p, draws); }),
              "CDistrib::ApproxInvPhi - illegal probability value")
        << p;
  }
}

// One standard-normal value drawn the polar way, written out here: u is drawn
// before v, and u is the coordinate that is returned.
double PolarDraw() {
  for (;;) {
    const double u = vandrel::Rand() * (2.0 / 32767.0) - 1.0;
    const double v = vandrel::Rand() * (2.0 / 32767.0) - 1.0;
    const double s = u * u + v * v;
    if (s < 1.0) return u * std::sqrt(-2.0 * std::log(s) / s);
  }
}

TEST(NormDistrib, DrawTakesUThenVFromTheGenerator) {
  CNormDistrib d(3.0, 0.5);
  vandrel::Srand(12345);
  std::vector<double> drawn;
  for (int i = 0; i < 2000; ++i) drawn.push_back(d.Draw());
  const std::uint32_t stateAfter = vandrel::RandState();
  vandrel::Srand(12345);
  for (int i = 0; i < 2000; ++i) ASSERT_DOUBLE_EQ(drawn[i], 3.0 + 0.5 * PolarDraw()) << i;
  EXPECT_EQ(vandrel::RandState(), stateAfter);  // no extra draws consumed
}

TEST(NormDistrib, QuantilesComeFromTheTableOfSortedDraws) {
  std::vector<double> saved;
  saved.swap(CNormDistrib::m_manyDraws);
  CNormDistrib d(10.0, 2.0);
  EXPECT_EQ(ThrownText([&] { d.ApproxInvPhi(0.5); }), "CNormDistrib::ApproxInvPhi m_manyDraws is empty");

  vandrel::Srand(vandrel::kStartupSeed);
  CNormDistrib::InitManyDraws();
  const std::vector<double>& table = CNormDistrib::m_manyDraws;
  ASSERT_EQ(table.size(), 100000u);
  EXPECT_TRUE(std::is_sorted(table.begin(), table.end()));

  // Same values as 100000 polar draws from the same seed.
  vandrel::Srand(vandrel::kStartupSeed);
  std::vector<double> replay;
  for (int i = 0; i < 100000; ++i) replay.push_back(PolarDraw());
  std::sort(replay.begin(), replay.end());
  EXPECT_EQ(replay, table);

  // Sampling quantiles of N(10, 2): 1.959964 sd at 97.5 %, 0 at 50 %.
  EXPECT_NEAR(d.ApproxInvPhi(0.975), 10.0 + 2.0 * 1.959964, 0.05);
  EXPECT_NEAR(d.ApproxInvPhi(0.5), 10.0, 0.03);
  EXPECT_NEAR(d.ApproxInvPhi(0.025), 10.0 - 2.0 * 1.959964, 0.05);
  EXPECT_EQ(d.ApproxInvPhi(1.0), 10.0 + 2.0 * table.back());
  EXPECT_EQ(d.ApproxInvPhi(0.0), 10.0 + 2.0 * table.front());

  // Filling again starts from an empty table.
  CNormDistrib::InitManyDraws();
  EXPECT_EQ(CNormDistrib::m_manyDraws.size(), 100000u);
  CNormDistrib::m_manyDraws.swap(saved);
}

}  // namespace
