#include "vandrel/stats/EM.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "tests/vandrel/stats/StatsTestUtil.h"

namespace {

using statstest::SampleGen;
using statstest::ThrownText;

struct Moments {
  double mean, sd, a, b, c;  // a, b, c: fractions >= mean, mean + sd, mean - sd
};

Moments SampleMoments(const std::vector<double>& v) {
  Moments m{};
  for (double x : v) m.mean += x;
  m.mean /= v.size();
  double ss = 0.0;
  for (double x : v) ss += (x - m.mean) * (x - m.mean);
  m.sd = std::sqrt(ss / (v.size() - 1));
  for (double x : v) {
    m.a += x >= m.mean;
    m.b += x >= m.mean + m.sd;
    m.c += x >= m.mean - m.sd;
  }
  m.a /= v.size();
  m.b /= v.size();
  m.c /= v.size();
  return m;
}

// Tail-fraction error of the mixture with prior p and separation d (in units
// of the shared sd) that keeps the sample's mean and variance.
double GridError(const Moments& m, double p, double d) {
  const double q = 1.0 - p;
  const double sd = m.sd / std::sqrt(1.0 + q * p * d * d);
  const double muF = m.mean - sd * p * d;
  const double muT = muF + sd * d;
  auto pred = [&](double t) {
    return p * (1.0 - statstest::NormalCdf(t, muT, sd)) + q * (1.0 - statstest::NormalCdf(t, muF, sd));
  };
  return std::fabs(pred(m.mean - m.sd) - m.c) + std::fabs(pred(m.mean + m.sd) - m.b) +
         std::fabs(pred(m.mean) - m.a);
}

struct Fit {
  std::unique_ptr<CDistrib> T, F;
  double pMates = 0.0;
};

Fit StartingModel(double pMates, double muT, double sdT, double muF, double sdF) {
  Fit f;
  f.T.reset(new CNormDistrib(muT, sdT));
  f.F.reset(new CNormDistrib(muF, sdF));
  f.pMates = pMates;
  return f;
}

TEST(EMInitParms, GridStartMatchesTheSampleMomentsAndMinimisesTheTailError) {
  SampleGen gen(7);
  const std::vector<double> sample = gen.Mixture(20000, 0.12, 0.75, 0.08, 0.2, 0.12);
  const Moments m = SampleMoments(sample);

  CEM em;
  Fit f;
  em.InitParms(sample, f.T, f.F, f.pMates);
  ASSERT_TRUE(f.T && f.F);
  const double* init = em.GetInitParms();
  EXPECT_EQ(init[0], f.pMates);
  EXPECT_EQ(init[1], f.T->GetExp());
  EXPECT_EQ(init[2], f.T->GetStd());
  EXPECT_EQ(init[3], f.F->GetExp());
  EXPECT_EQ(init[4], f.F->GetStd());
  EXPECT_EQ(f.T->GetStd(), f.F->GetStd());  // both components share one sd

  // Mixture mean and variance equal the sample's.
  const double p = f.pMates, q = 1.0 - p, sd = f.T->GetStd();
  const double d = (f.T->GetExp() - f.F->GetExp()) / sd;
  EXPECT_NEAR(p * f.T->GetExp() + q * f.F->GetExp(), m.mean, 1e-12);
  EXPECT_NEAR(sd * sd * (1.0 + p * q * d * d), m.sd * m.sd, 1e-9);

  // (p, d) is a grid point, and no grid point fits the tails better.
  const double pSteps = (p - 0.05) / 0.01, dSteps = (d - 0.5) / 0.1;
  EXPECT_NEAR(pSteps, std::round(pSteps), 1e-6);
  EXPECT_NEAR(dSteps, std::round(dSteps), 1e-6);
  double best = 1e9;
  for (int i = 0; i < 20; ++i)
    for (int j = 0; j < 20; ++j) best = std::min(best, GridError(m, 0.05 + 0.01 * j, 0.5 + 0.1 * i));
  EXPECT_LE(GridError(m, p, d), best + 1e-6);
}

TEST(EMInitParms, GridStopsBefore025And25) {
  // Widely separated, frequent mates: the tails call for p and d beyond the
  // grid, so the fit sits on its last visited values 0.24 and 2.4 ...
  SampleGen gen(11);
  const std::vector<double> sample = gen.Mixture(20000, 0.4, 3.0, 0.5, 0.0, 0.5);
  const Moments m = SampleMoments(sample);
  // ... while 0.25 and 2.5 would fit better if they were visited.
  ASSERT_LT(GridError(m, 0.25, 2.5), GridError(m, 0.24, 2.4));

  CEM em;
  Fit f;
  em.InitParms(sample, f.T, f.F, f.pMates);
  const double d = (f.T->GetExp() - f.F->GetExp()) / f.T->GetStd();
  EXPECT_NEAR(f.pMates, 0.24, 1e-9);
  EXPECT_NEAR(d, 2.4, 1e-9);
}

TEST(EMInitParms, GivenDistributionsAreKept) {
  SampleGen gen(3);
  const std::vector<double> sample = gen.Mixture(100, 0.2, 0.8, 0.05, 0.1, 0.1);
  Fit f = StartingModel(0.07, 0.9, 0.02, 0.3, 0.2);
  const CDistrib* givenT = f.T.get();
  CEM em;
  em.InitParms(sample, f.T, f.F, f.pMates);
  EXPECT_EQ(f.T.get(), givenT);
  const double* init = em.GetInitParms();
  const double expected[5] = {0.07, 0.9, 0.02, 0.3, 0.2};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(init[i], expected[i]) << i;
}

TEST(EMInitParms, SampleWithoutSpreadHasNoModel) {
  const std::vector<std::vector<double>> samples = {{}, {0.5}, std::vector<double>(6000, 0.5)};
  for (const auto& sample : samples) {
    Fit f;
    CEM em;
    EXPECT_EQ(ThrownText([&] { em.Run(sample, f.T, f.F, f.pMates); }),
              "CNormDistrib::CalcEvalParts - std must be positive")
        << sample.size();
  }
}

TEST(EMRun, RecoversTheParametersOfALargeTwoComponentSample) {
  const struct { double p, muT, sdT, muF, sdF; } truths[] = {
      {0.1, 0.7, 0.08, 0.1, 0.15},
      {0.05, 0.85, 0.05, 0.3, 0.1},
      {0.2, 2.0, 0.5, -1.0, 1.0},
  };
  std::uint64_t seed = 100;
  for (const auto& t : truths) {
    SampleGen gen(seed++);
    const std::vector<double> sample = gen.Mixture(30000, t.p, t.muT, t.sdT, t.muF, t.sdF);
    Fit f;
    CEM em;
    em.Run(sample, f.T, f.F, f.pMates);
    const double scale = t.sdF;
    EXPECT_NEAR(f.pMates, t.p, 0.01) << t.p;
    EXPECT_NEAR(f.T->GetExp(), t.muT, 0.05 * scale) << t.p;
    EXPECT_NEAR(f.F->GetExp(), t.muF, 0.05 * scale) << t.p;
    EXPECT_NEAR(f.T->GetStd(), t.sdT, 0.08 * t.sdT) << t.p;
    EXPECT_NEAR(f.F->GetStd(), t.sdF, 0.05 * t.sdF) << t.p;
    // The iterations moved away from the grid start.
    EXPECT_NE(f.pMates, em.GetInitParms()[0]);
  }
}

TEST(EMRun, FewerThan5000ValuesRunNoIteration) {
  SampleGen gen(21);
  const std::vector<double> all = gen.Mixture(5000, 0.1, 0.7, 0.08, 0.1, 0.15);
  const std::vector<double> fewer(all.begin(), all.end() - 1);

  // Without a start: the grid search result is returned as it is.
  Fit grid, fit;
  CEM emGrid, emRun;
  emGrid.InitParms(fewer, grid.T, grid.F, grid.pMates);
  emRun.Run(fewer, fit.T, fit.F, fit.pMates);
  EXPECT_EQ(fit.pMates, grid.pMates);
  EXPECT_EQ(fit.T->GetExp(), grid.T->GetExp());
  EXPECT_EQ(fit.T->GetStd(), grid.T->GetStd());
  EXPECT_EQ(fit.F->GetExp(), grid.F->GetExp());
  EXPECT_EQ(fit.F->GetStd(), grid.F->GetStd());

  // With a start: the start is kept; 5000 values are enough to move it.
  Fit kept = StartingModel(0.2, 0.6, 0.1, 0.2, 0.2);
  CEM().Run(fewer, kept.T, kept.F, kept.pMates);
  EXPECT_EQ(kept.pMates, 0.2);
  EXPECT_EQ(kept.T->GetExp(), 0.6);
  EXPECT_EQ(kept.F->GetStd(), 0.2);
  Fit moved = StartingModel(0.2, 0.6, 0.1, 0.2, 0.2);
  CEM().Run(all, moved.T, moved.F, moved.pMates);
  EXPECT_NEAR(moved.pMates, 0.1, 0.02);
  EXPECT_NEAR(moved.T->GetExp(), 0.7, 0.01);
}

TEST(EMRun, FittedMatesPriorIsCappedAtAQuarter) {
  SampleGen gen(5);
  const std::vector<double> sample = gen.Mixture(30000, 0.3, 0.8, 0.05, 0.2, 0.1);
  Fit f = StartingModel(0.2, 0.75, 0.1, 0.25, 0.15);
  CEM().Run(sample, f.T, f.F, f.pMates);
  EXPECT_EQ(f.pMates, 0.25);
  // The distributions keep what EM fitted for a prior of about 0.3.
  EXPECT_NEAR(f.T->GetExp(), 0.8, 0.005);
  EXPECT_NEAR(f.T->GetStd(), 0.05, 0.004);
  EXPECT_NEAR(f.F->GetExp(), 0.2, 0.005);
  EXPECT_NEAR(f.F->GetStd(), 0.1, 0.004);
}

TEST(EMRun, FailingIterationsFallBackToTheStart) {
  // A block of identical values pulls the mates component onto one point
  // until its sd collapses: the fit returns to its starting parameters.
  SampleGen gen(9);
  std::vector<double> sample = gen.Mixture(5000, 0.0, 0.0, 1.0, 0.0, 1.0);
  for (int i = 0; i < 1000; ++i) sample[i * 5] = 5.0;
  Fit f = StartingModel(0.2, 5.0, 0.5, 0.0, 1.0);
  CEM().Run(sample, f.T, f.F, f.pMates);
  EXPECT_EQ(f.pMates, 0.2);
  EXPECT_EQ(f.T->GetExp(), 5.0);
  EXPECT_EQ(f.T->GetStd(), 0.5);
  EXPECT_EQ(f.F->GetExp(), 0.0);
  EXPECT_EQ(f.F->GetStd(), 1.0);

  // No value is likely as a mate at all: the mates' weights sum to 0.
  const std::vector<double> far = gen.Mixture(5000, 0.0, 0.0, 1.0, 0.0, 1.0);
  Fit g = StartingModel(0.1, 1000.0, 0.001, 0.0, 1.0);
  CEM().Run(far, g.T, g.F, g.pMates);
  EXPECT_EQ(g.pMates, 0.1);
  EXPECT_EQ(g.T->GetExp(), 1000.0);
  EXPECT_EQ(g.T->GetStd(), 0.001);
}

TEST(EMRun, StartingPriorOutsideTheOpenUnitIntervalFails) {
  SampleGen gen(13);
  const std::vector<double> sample = gen.Mixture(5000, 0.1, 0.7, 0.08, 0.1, 0.15);
  for (double p : {0.0, 1.0, -0.5, 1.5}) {
    Fit f = StartingModel(p, 0.7, 0.08, 0.1, 0.15);
    EXPECT_EQ(ThrownText([&] { CEM().Run(sample, f.T, f.F, f.pMates); }),
              "CEM::Run - illegal value of initial mates prob")
        << p;
  }
}

}  // namespace
