#include "vandrel/stats/SimDistrib.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <sstream>

#include "tests/vandrel/stats/StatsTestUtil.h"
#include "vandrel/stats/Random.h"

namespace {

using statstest::ScratchDir;
using statstest::ThrownText;

const std::string kModelPrefix = std::string(TEST_DATA_DIR) + "/stats/model";

std::string ModelText(const std::string& pMates, const std::string& muT, const std::string& sdT,
                      const std::string& muF, const std::string& sdF) {
  return "P_MATES\t" + pMates + "\nNormDistrib\nEXP\t" + muT + "\nSTD\t" + sdT + "\nNormDistrib\nEXP\t" + muF +
         "\nSTD\t" + sdF + "\n";
}

double LogRatio(double x, double muT, double sdT, double muF, double sdF) {
  return statstest::NormalLogDensity(x, muT, sdT) - statstest::NormalLogDensity(x, muF, sdF);
}

// KL divergence of N(m1, s1) from N(m2, s2): the mean log-likelihood ratio of
// draws from the first.
double NormalKL(double m1, double s1, double m2, double s2) {
  return std::log(s2 / s1) + (s1 * s1 + (m1 - m2) * (m1 - m2)) / (2.0 * s2 * s2) - 0.5;
}

TEST(SimDistribFile, ReadsTheModelAndItsLogRatio) {
  CSimDistrib model(kModelPrefix);
  EXPECT_EQ(model.GetPMates(), 0.0423);
  EXPECT_EQ(model.GetDistrib(0)->GetExp(), 0.8125);
  EXPECT_EQ(model.GetDistrib(0)->GetStd(), 0.0625);
  EXPECT_EQ(model.GetDistrib(1)->GetExp(), 0.15);
  EXPECT_EQ(model.GetDistrib(1)->GetStd(), 0.2);
  EXPECT_NEAR(model.GetPriorLogOdds(), std::log(0.0423 / 0.9577), 1e-12);
  for (double x : {-0.5, 0.0, 0.3, 0.8125, 1.0})
    EXPECT_NEAR(model.CalcLogRatio(x), LogRatio(x, 0.8125, 0.0625, 0.15, 0.2), 1e-10) << x;
}

TEST(SimDistribFile, SavedFileHasTheSevenLines) {
  CSimDistrib model(kModelPrefix);
  ScratchDir dir;
  const std::string out = dir.Prefix("saved");
  model.Save(out, true);
  EXPECT_EQ(statstest::ReadFile(out + ".distrib"), statstest::ReadFile(kModelPrefix + ".distrib"));
}

TEST(SimDistribFile, RoundTripKeepsSixSignificantDigits) {
  statstest::SampleGen gen(17);
  const std::vector<double> sample = gen.Mixture(8000, 0.08, 0.731234567, 0.0612345, 0.1234567, 0.1876543);
  CSimDistrib fitted(sample, nullptr);
  ScratchDir dir;
  const std::string prefix = dir.Prefix("fit");
  fitted.Save(prefix, true);
  CSimDistrib read(prefix);
  auto sixDigits = [](double a, double b) { return std::fabs(a - b) <= 5e-6 * std::fabs(a); };
  EXPECT_TRUE(sixDigits(fitted.GetPMates(), read.GetPMates()));
  for (int c = 0; c < 2; ++c) {
    EXPECT_TRUE(sixDigits(fitted.GetDistrib(c)->GetExp(), read.GetDistrib(c)->GetExp())) << c;
    EXPECT_TRUE(sixDigits(fitted.GetDistrib(c)->GetStd(), read.GetDistrib(c)->GetStd())) << c;
  }
}

// FitText is the file the fitted model saves, and FromText reads it as the
// file reader does, drawing the same simulated weights; saving the model
// read back writes the same text again.
TEST(SimDistribFile, FitTextAndFromTextMatchTheSavedFileAndItsReader) {
  statstest::SampleGen gen(23);
  const std::vector<double> sample = gen.Mixture(9000, 0.07, 0.7123456789, 0.0598765, 0.112233, 0.19191919);
  CSimDistrib fitted(sample, nullptr);
  ScratchDir dir;
  const std::string prefix = dir.Prefix("fit");
  fitted.Save(prefix, true);
  const std::string text = CSimDistrib::FitText(sample);
  EXPECT_EQ(text, statstest::ReadFile(prefix + ".distrib"));

  vandrel::Srand(4242);
  const CSimDistrib fromFile(prefix);
  const std::uint32_t afterFile = vandrel::RandState();
  vandrel::Srand(4242);
  const std::unique_ptr<CSimDistrib> fromText = CSimDistrib::FromText(text);
  EXPECT_EQ(vandrel::RandState(), afterFile);
  EXPECT_NE(fromText->GetPMates(), fitted.GetPMates());  // the text rounds
  EXPECT_EQ(fromText->GetPMates(), fromFile.GetPMates());
  for (int c = 0; c < 2; ++c) {
    EXPECT_EQ(fromText->GetDistrib(c)->GetExp(), fromFile.GetDistrib(c)->GetExp());
    EXPECT_EQ(fromText->GetDistrib(c)->GetStd(), fromFile.GetDistrib(c)->GetStd());
    EXPECT_EQ(fromText->GetSimWeights(c), fromFile.GetSimWeights(c));
  }
  EXPECT_EQ(fromText->GetWeightTh(), fromFile.GetWeightTh());

  const std::string again = dir.Prefix("again");
  fromText->Save(again, true);
  EXPECT_EQ(statstest::ReadFile(again + ".distrib"), text);
}

TEST(SimDistribFile, SaveRespectsTheOverwriteFlag) {
  CSimDistrib model(kModelPrefix);
  ScratchDir dir;
  const std::string prefix = dir.WriteDistrib("existing", "old contents\n");
  model.Save(prefix, false);
  EXPECT_EQ(statstest::ReadFile(prefix + ".distrib"), "old contents\n");
  model.Save(prefix, true);
  EXPECT_EQ(statstest::ReadFile(prefix + ".distrib"), statstest::ReadFile(kModelPrefix + ".distrib"));

  const std::string fresh = dir.Prefix("fresh");
  model.Save(fresh, false);  // no file yet: written
  EXPECT_EQ(statstest::ReadFile(fresh + ".distrib"), statstest::ReadFile(kModelPrefix + ".distrib"));

  EXPECT_EQ(ThrownText([&] { model.Save(dir.Path() + "/no/such/folder/x", true); }),
            "CSimDistrib::Save - problems with outFile");
}

TEST(SimDistribFile, BadFilesFailWithTheirMessage) {
  const std::string good = ModelText("0.05", "0.8", "0.05", "0.2", "0.1");
  const std::string readProblem = "CSimDistrib::AllocateDistrib - problems reading from file";
  const struct { std::string text, message; } cases[] = {
      {"", "CSimDistrib constructor - problems reading file"},
      {"P_MATE\t0.05\n" + good.substr(good.find('\n') + 1), "CSimDistrib constructor - illegal file format"},
      {"P_MATES\tabc\n" + good.substr(good.find('\n') + 1), "CSimDistrib constructor - problems reading file"},
      {"P_MATES\n", "CSimDistrib constructor - problems reading file"},
      {"P_MATES\t0.05\n", readProblem},
      {ModelText("0.05", "0.8", "0.05", "0.2", "0.1").replace(good.find("NormDistrib"), 11, "GammaDistrib"),
       "CSimDistrib::AllocateDistrib - unknown distrib type"},
      {good.substr(0, good.rfind("NormDistrib")) + "normdistrib\nEXP\t0.2\nSTD\t0.1\n",
       "CSimDistrib::AllocateDistrib - unknown distrib type"},
      {good.substr(0, good.find("STD")), readProblem},
      {good.substr(0, good.rfind("NormDistrib") + 12), readProblem},
      {ModelText("0.05", "abc", "0.05", "0.2", "0.1"), readProblem},
      {ModelText("0.05", "0.8", "0.05", "0.2", "x0.1"), readProblem},
      {good.substr(0, good.find("STD")) + "SD\t0.05\n", readProblem},
      {ModelText("0.05", "0.8", "0", "0.2", "0.1"), readProblem},
      {ModelText("0.05", "0.8", "0.05", "0.2", "-0.1"), readProblem},
      {ModelText("1", "0.8", "0.05", "0.2", "0.1"), "CSimDistrib::CalcEvalPart - illegal value for mates prob"},
      {ModelText("0", "0.8", "0.05", "0.2", "0.1"), "CSimDistrib::CalcEvalPart - illegal value for mates prob"},
      {ModelText("-0.1", "0.8", "0.05", "0.2", "0.1"), "CSimDistrib::CalcEvalPart - illegal value for mates prob"},
      {ModelText("1.5", "0.8", "0.05", "0.2", "0.1"), "CSimDistrib::CalcEvalPart - illegal value for mates prob"},
  };
  ScratchDir dir;
  int i = 0;
  for (const auto& c : cases) {
    const std::string prefix = dir.WriteDistrib("bad" + std::to_string(i++), c.text);
    EXPECT_EQ(ThrownText([&] { CSimDistrib model(prefix); }), c.message) << c.text;
    EXPECT_EQ(ThrownText([&] { CSimDistrib::FromText(c.text); }), c.message) << c.text;
  }
  EXPECT_EQ(ThrownText([&] { CSimDistrib model(dir.Path() + "/missing"); }),
            "CSimDistrib constructor - problems reading file");
  // The rest of the P_MATES line is not read.
  const std::string tail = dir.WriteDistrib("tail", "P_MATES\t0.05 extra words\n" + good.substr(good.find('\n') + 1));
  EXPECT_EQ(CSimDistrib(tail).GetPMates(), 0.05);
}

// One standard-normal value by the polar method, u drawn before v.
double PolarDraw() {
  for (;;) {
    const double u = vandrel::Rand() * (2.0 / 32767.0) - 1.0;
    const double v = vandrel::Rand() * (2.0 / 32767.0) - 1.0;
    const double s = u * u + v * v;
    if (s < 1.0) return u * std::sqrt(-2.0 * std::log(s) / s);
  }
}

TEST(SimDistribWeights, SimulatedWeightsAlternateMatesAndNonMates) {
  const double muT = 0.8125, sdT = 0.0625, muF = 0.15, sdF = 0.2;
  vandrel::Srand(777);
  CSimDistrib model(kModelPrefix);
  const std::uint32_t stateAfter = vandrel::RandState();

  vandrel::Srand(777);
  std::vector<double> w[2];
  for (int round = 0; round < 100000; ++round) {
    const double xT = muT + sdT * PolarDraw();
    w[0].push_back(LogRatio(xT, muT, sdT, muF, sdF));
    const double xF = muF + sdF * PolarDraw();
    w[1].push_back(LogRatio(xF, muT, sdT, muF, sdF));
  }
  EXPECT_EQ(vandrel::RandState(), stateAfter);
  for (int c = 0; c < 2; ++c) {
    std::sort(w[c].begin(), w[c].end());
    const std::vector<double>& simulated = model.GetSimWeights(c);
    ASSERT_EQ(simulated.size(), 100000u);
    for (std::size_t i = 0; i < simulated.size(); ++i) ASSERT_NEAR(simulated[i], w[c][i], 1e-9) << c << " " << i;
    double mean = 0.0;
    for (double x : w[c]) mean += x;
    mean /= w[c].size();
    double ss = 0.0;
    for (double x : w[c]) ss += (x - mean) * (x - mean);
    const double sd = std::sqrt(ss / (w[c].size() - 1));
    EXPECT_NEAR(model.GetWeightMean(c), mean, 1e-9 * (1 + std::fabs(mean))) << c;
    EXPECT_NEAR(model.GetWeightStd(c), sd, 1e-7 * sd) << c;
  }
  // The mean ratio of mates' draws estimates KL(T||F); of non-mates' -KL(F||T).
  EXPECT_NEAR(model.GetWeightMean(0), NormalKL(muT, sdT, muF, sdF), 5 * model.GetWeightStd(0) / std::sqrt(1e5));
  EXPECT_NEAR(model.GetWeightMean(1), -NormalKL(muF, sdF, muT, sdT), 5 * model.GetWeightStd(1) / std::sqrt(1e5));
}

TEST(SimDistribWeights, WeightsAreTheSequentialDrawsBitForBit) {
  // The weights, their mean and deviation and the generator state after
  // the simulation against draws taken one by one from the generator, with
  // the model's own log-ratio: the same bits for wide and narrow models,
  // either component wider, and one that rejects many polar pairs early.
  ScratchDir dir;
  const struct {
    const char* name;
    std::string text;
    std::uint32_t seed;
  } cases[] = {
      {"scores", ModelText("0.02", "60", "8", "10", "4"), 1},
      {"mates narrower", ModelText("0.05", "0.8125", "0.0625", "0.15", "0.2"), 99},
      {"close components", ModelText("0.3", "0.51", "0.1", "0.5", "0.11"), 0xB5A7914Du},
      {"tiny spread", ModelText("0.1", "1e-3", "1e-7", "-2e-3", "3e-7"), 4242},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string prefix = dir.WriteDistrib(std::to_string(c.seed), c.text);
    vandrel::Srand(c.seed);
    const CSimDistrib model(prefix);
    const std::uint32_t stateAfter = vandrel::RandState();

    vandrel::Srand(c.seed);
    std::vector<double> w[2];
    double sums[2] = {0.0, 0.0}, sumsSq[2] = {0.0, 0.0};
    for (int round = 0; round < CSimDistrib::kSimDrawsNum; ++round) {
      for (int k = 0; k < 2; ++k) {
        const CDistrib& d = *model.GetDistrib(k);
        const double x = d.GetExp() + d.GetStd() * PolarDraw();
        const double weight = model.CalcLogRatio(x);
        w[k].push_back(weight);
        sums[k] += weight;
        sumsSq[k] += weight * weight;
      }
    }
    EXPECT_EQ(vandrel::RandState(), stateAfter);
    for (int k = 0; k < 2; ++k) {
      std::sort(w[k].begin(), w[k].end());
      EXPECT_TRUE(model.GetSimWeights(k) == w[k]) << "component " << k;
      const double mean = sums[k] * 0.00001;
      EXPECT_EQ(model.GetWeightMean(k), mean) << k;
      EXPECT_EQ(model.GetWeightStd(k), std::sqrt((sumsSq[k] - mean * mean * 100000.0) * 1.000010000100001e-5))
          << k;
    }
  }
}

TEST(SimDistribWeights, ThresholdedSumsEqualTheWalkOverTheSortedTable) {
  // Thresholds below every weight, inside each table, above most of it and
  // above the largest, asked of fresh models (tables not sorted yet), in
  // rising and falling order, and of a copy; each against the walk over the
  // sorted table.  Each threshold is asked twice and with a second
  // replacement, so that a remembered answer must match the request.
  ScratchDir dir;
  const std::string prefix = dir.WriteDistrib("sums", ModelText("0.02", "60", "8", "10", "4"));
  vandrel::Srand(31);
  const CSimDistrib reference(prefix);
  auto walk = [&reference](int c, double w, double replacement, double& sum, double& sumSq) {
    sum = 0.0;
    sumSq = 0.0;
    for (double x : reference.GetSimWeights(c)) {
      const double v = x > w ? x : replacement;
      sum += v;
      sumSq += v * v;
    }
  };
  for (int c = 0; c < 2; ++c) {
    const std::vector<double>& sorted = reference.GetSimWeights(c);
    EXPECT_EQ(reference.GetMaxSimWeight(c), sorted.back());
    EXPECT_EQ(reference.GetSimWeightsNum(c), sorted.size());
    const std::vector<double> thresholds = {sorted.front() - 1.0, sorted[1000], sorted[50000],
                                            sorted[90000], sorted[99990], sorted.back() + 1.0,
                                            sorted[99990], sorted[20]};
    for (bool rising : {true, false}) {
      vandrel::Srand(31);
      const CSimDistrib fresh(prefix);
      const CSimDistrib copy(fresh);
      for (std::size_t t = 0; t < thresholds.size(); ++t) {
        const double w = rising ? thresholds[t] : thresholds[thresholds.size() - 1 - t];
        // The same request twice (answered from the last result), then the
        // same threshold with another replacement.
        for (double replacement : {-0.75, -0.75, -0.5}) {
          double want = 0.0, wantSq = 0.0, got = 0.0, gotSq = 0.0, copied = 0.0, copiedSq = 0.0;
          walk(c, w, replacement, want, wantSq);
          fresh.ThresholdedSums(c, w, replacement, got, gotSq);
          copy.ThresholdedSums(c, w, replacement, copied, copiedSq);
          EXPECT_EQ(got, want) << "component " << c << " w " << w << " replacement " << replacement;
          EXPECT_EQ(gotSq, wantSq) << "component " << c << " w " << w << " replacement " << replacement;
          EXPECT_EQ(copied, want) << "component " << c << " w " << w << " replacement " << replacement;
          EXPECT_EQ(copiedSq, wantSq) << "component " << c << " w " << w << " replacement " << replacement;
        }
      }
      EXPECT_TRUE(fresh.GetSimWeights(c) == sorted);
    }
  }
}

TEST(SimDistribWeights, WeightThresholdFollowsTheLogOddsAtMatesMeanPlusHalfSd) {
  ScratchDir dir;
  // Prior log odds -3.12 plus a ratio of about 7 at 0.84375: the prior wins.
  CSimDistrib strong(kModelPrefix);
  EXPECT_EQ(strong.GetWeightTh(), strong.GetPriorLogOdds());
  // Prior log odds -6.9 plus a ratio of 1 at 0.55 stays negative: the
  // threshold is minus the mates' mean weight, which estimates -KL = -0.5.
  CSimDistrib weak(dir.WriteDistrib("weak", ModelText("0.001", "0.5", "0.1", "0.4", "0.1")));
  EXPECT_NEAR(std::log(0.001 / 0.999) + LogRatio(0.55, 0.5, 0.1, 0.4, 0.1), -5.907, 1e-3);
  EXPECT_EQ(weak.GetWeightTh(), -weak.GetWeightMean(0));
  EXPECT_NEAR(weak.GetWeightTh(), -0.5, 0.02);
}

TEST(SimDistribSolve, RootsOfTheLogRatio) {
  ScratchDir dir;
  // Equal sds: LR(x) = 60x - 30, one root (w + 30) / 60.
  CSimDistrib linear(dir.WriteDistrib("linear", ModelText("0.1", "0.8", "0.1", "0.2", "0.1")));
  for (double w : {-30.0, 0.0, 2.5, 17.0}) {
    const std::vector<double> roots = linear.SolveLogRatio(w);
    ASSERT_EQ(roots.size(), 1u) << w;
    EXPECT_NEAR(roots[0], (w + 30.0) / 60.0, 1e-12) << w;
  }
  // Same mean, sds 1 and 2: LR(x) = ln 2 - 3x^2/8 peaks at ln 2 in x = 0.
  CSimDistrib peaked(dir.WriteDistrib("peaked", ModelText("0.1", "0", "1", "0", "2")));
  EXPECT_TRUE(peaked.SolveLogRatio(std::log(2.0) + 0.01).empty());
  const std::vector<double> top = peaked.SolveLogRatio(std::log(2.0));
  ASSERT_EQ(top.size(), 1u);
  EXPECT_EQ(top[0], 0.0);
  const std::vector<double> two = peaked.SolveLogRatio(-1.0);
  ASSERT_EQ(two.size(), 2u);
  const double x = std::sqrt(8.0 * (std::log(2.0) + 1.0) / 3.0);
  EXPECT_NEAR(two[0], -x, 1e-12);
  EXPECT_NEAR(two[1], x, 1e-12);
  // Identical components: the ratio is 0 everywhere and no value solves it.
  CSimDistrib flat(dir.WriteDistrib("flat", ModelText("0.1", "0.5", "0.1", "0.5", "0.1")));
  EXPECT_TRUE(flat.SolveLogRatio(0.0).empty());
  EXPECT_TRUE(flat.SolveLogRatio(1.0).empty());
}

TEST(SimDistribSolve, EveryRootPlugsBackIntoTheLogRatio) {
  ScratchDir dir;
  const char* models[][4] = {
      {"0.8125", "0.0625", "0.15", "0.2"},  // mates narrower: LR has a maximum
      {"0.6", "0.3", "0.1", "0.05"},        // mates wider: LR has a minimum
      {"0.7", "0.099", "0.2", "0.1"},       // nearly equal sds
  };
  int i = 0;
  for (const auto& m : models) {
    CSimDistrib model(dir.WriteDistrib("m" + std::to_string(i++), ModelText("0.05", m[0], m[1], m[2], m[3])));
    int solved = 0;
    for (double w = -40.0; w <= 40.0; w += 0.5) {
      for (double x : model.SolveLogRatio(w)) {
        EXPECT_NEAR(model.CalcLogRatio(x), w, 1e-8 * (1.0 + std::fabs(w))) << m[0] << " w=" << w;
        ++solved;
      }
    }
    EXPECT_GT(solved, 40) << m[0];
  }
}

TEST(SimDistribCopy, CopiesAreDeepAndComplete) {
  std::unique_ptr<CSimDistrib> original(new CSimDistrib(kModelPrefix));
  const double ratio = original->CalcLogRatio(0.5);
  CSimDistrib copy(*original);
  CSimDistrib assigned(kModelPrefix);
  assigned = *original;
  const std::vector<double> weights0 = original->GetSimWeights(0);
  const std::vector<double> weights1 = original->GetSimWeights(1);
  const double means[2] = {original->GetWeightMean(0), original->GetWeightMean(1)};
  const double sds[2] = {original->GetWeightStd(0), original->GetWeightStd(1)};
  const double th = original->GetWeightTh();
  const std::vector<double> roots = original->SolveLogRatio(1.0);
  original.reset();  // the copies own their own distributions

  for (const CSimDistrib* m : {&copy, &assigned}) {
    EXPECT_EQ(m->GetPMates(), 0.0423);
    EXPECT_EQ(m->CalcLogRatio(0.5), ratio);
    EXPECT_EQ(m->GetSimWeights(0), weights0);
    EXPECT_EQ(m->GetSimWeights(1), weights1);
    for (int c = 0; c < 2; ++c) {
      EXPECT_EQ(m->GetWeightMean(c), means[c]);
      EXPECT_EQ(m->GetWeightStd(c), sds[c]);
    }
    EXPECT_EQ(m->GetWeightTh(), th);
    EXPECT_EQ(m->SolveLogRatio(1.0), roots);
  }
}

TEST(SimDistribFit, StartingModelIsKeptForSmallSamplesAndRefinedForLargeOnes) {
  CSimDistrib start(kModelPrefix);
  statstest::SampleGen gen(23);
  const std::vector<double> small = gen.Mixture(4999, 0.1, 0.7, 0.08, 0.1, 0.15);
  CSimDistrib kept(small, &start);
  EXPECT_EQ(kept.GetPMates(), 0.0423);
  EXPECT_EQ(kept.GetDistrib(0)->GetExp(), 0.8125);
  EXPECT_EQ(kept.GetDistrib(1)->GetStd(), 0.2);
  EXPECT_EQ(kept.CalcLogRatio(0.3), start.CalcLogRatio(0.3));
  EXPECT_EQ(kept.GetSimWeights(0).size(), 100000u);

  const std::vector<double> large = gen.Mixture(30000, 0.1, 0.7, 0.08, 0.1, 0.15);
  CSimDistrib refined(large, &start);
  EXPECT_NEAR(refined.GetPMates(), 0.1, 0.01);
  EXPECT_NEAR(refined.GetDistrib(0)->GetExp(), 0.7, 0.01);
  EXPECT_NEAR(refined.GetDistrib(0)->GetStd(), 0.08, 0.008);
  EXPECT_NEAR(refined.GetDistrib(1)->GetExp(), 0.1, 0.01);
  EXPECT_NEAR(refined.GetDistrib(1)->GetStd(), 0.15, 0.01);
  EXPECT_EQ(start.GetPMates(), 0.0423);  // the start model itself is untouched
}

}  // namespace
