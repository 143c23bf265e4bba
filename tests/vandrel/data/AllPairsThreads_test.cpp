// The all-pairs similarity pass on several threads: blocks handed over in
// order whatever the number of threads, bounded memory, exceptions of any
// thread carried to the caller, similarity rows equal bit for bit to dot
// products computed here, and similarity tables (values, counters, model
// sample and the saved .sim / .distrib bytes) identical for 1, 2, 3 and 7
// threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/vandrel/data/SimDataTestUtil.h"
#include "vandrel/data/FPData.h"
#include "vandrel/data/Fingerprint.h"
#include "vandrel/data/SimilarityData.h"
#include "vandrel/stats/DataFileAnalyzer.h"
#include "vandrel/stats/Random.h"
#include "vandrel/stats/SimDistrib.h"

namespace {

using simdata_test::TempDir;

std::uint64_t Bits(double v) {
  std::uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

// Sets VANDREL_THREADS for the scope (unset for nullptr) and restores it.
class ThreadsEnv {
 public:
  explicit ThreadsEnv(const char* value) {
    const char* old = std::getenv("VANDREL_THREADS");
    m_had = old != nullptr;
    if (m_had) m_old = old;
    if (value)
      setenv("VANDREL_THREADS", value, 1);
    else
      unsetenv("VANDREL_THREADS");
  }
  ~ThreadsEnv() {
    if (m_had)
      setenv("VANDREL_THREADS", m_old.c_str(), 1);
    else
      unsetenv("VANDREL_THREADS");
  }

 private:
  bool m_had = false;
  std::string m_old;
};

// Values of block b: its size varies with b, its content names b and k.
std::size_t BlockSize(std::size_t b) { return 1 + (b * 7) % 5; }
double BlockValue(std::size_t b, std::size_t k) { return static_cast<double>(b * 1000 + k); }

TEST(RunOrderedBlocks, ConsumesEveryBlockOnceInOrderWithBoundedBlocksHeld) {
  for (std::size_t blocks : {0u, 1u, 2u, 5u, 13u, 40u}) {
    for (unsigned threads : {1u, 2u, 3u, 7u}) {
      SCOPED_TRACE("blocks " + std::to_string(blocks) + ", threads " + std::to_string(threads));
      std::vector<std::atomic<int>> computed(blocks);
      std::atomic<std::size_t> started{0}, consumedCount{0}, maxHeld{0};
      std::mutex idsMutex;
      std::set<std::thread::id> computingThreads;
      std::vector<std::size_t> consumed;
      const std::thread::id caller = std::this_thread::get_id();
      bool consumedOffCaller = false, contentOk = true;
      vandrel::RunOrderedBlocks(
          blocks, 5, threads,
          [&](std::size_t b, double* out) {
            // Held from the start of its computation to the end of its use.
            const std::size_t held = ++started - consumedCount.load();
            std::size_t seen = maxHeld.load();
            while (held > seen && !maxHeld.compare_exchange_weak(seen, held)) {
            }
            ++computed[b];
            {
              std::lock_guard<std::mutex> lock(idsMutex);
              computingThreads.insert(std::this_thread::get_id());
            }
            for (std::size_t k = 0; k < BlockSize(b); ++k) out[k] = BlockValue(b, k);
          },
          [&](std::size_t b, const double* in) {
            consumedOffCaller |= std::this_thread::get_id() != caller;
            consumed.push_back(b);
            for (std::size_t k = 0; k < BlockSize(b); ++k) contentOk &= in[k] == BlockValue(b, k);
            ++consumedCount;
          });
      std::vector<std::size_t> expected(blocks);
      for (std::size_t b = 0; b < blocks; ++b) expected[b] = b;
      EXPECT_EQ(consumed, expected);
      EXPECT_TRUE(contentOk);
      EXPECT_FALSE(consumedOffCaller);
      for (std::size_t b = 0; b < blocks; ++b) EXPECT_EQ(computed[b].load(), 1) << "block " << b;
      EXPECT_LE(computingThreads.size(), threads);
      EXPECT_LE(maxHeld.load(), 2 * threads + 2);
    }
  }
}

TEST(RunOrderedBlocks, AnExceptionOfAnyThreadReachesTheCallerAfterTheBlocksBeforeIt) {
  for (unsigned threads : {1u, 2u, 3u, 7u}) {
    SCOPED_TRACE("threads " + std::to_string(threads));
    // A failing computation: blocks before it are consumed, none after.
    std::vector<std::size_t> consumed;
    std::string message;
    try {
      vandrel::RunOrderedBlocks(
          30, 1, threads,
          [](std::size_t b, double* out) {
            if (b == 6) throw "block 6 failed";
            out[0] = static_cast<double>(b);
          },
          [&](std::size_t b, const double*) { consumed.push_back(b); });
    } catch (const char* m) {
      message = m;
    }
    EXPECT_EQ(message, "block 6 failed");
    EXPECT_EQ(consumed, (std::vector<std::size_t>{0, 1, 2, 3, 4, 5}));

    // A failing consumer: the run ends there.
    std::atomic<std::size_t> computedCount{0};
    message.clear();
    try {
      vandrel::RunOrderedBlocks(
          30, 1, threads, [&](std::size_t, double*) { ++computedCount; },
          [](std::size_t b, const double*) {
            if (b == 3) throw "consumer failed";
          });
    } catch (const char* m) {
      message = m;
    }
    EXPECT_EQ(message, "consumer failed");
    EXPECT_LE(computedCount.load(), 4u + 2 * threads + 2);
  }
}

TEST(ForEachSimilarityRow, RowsArriveInOrderEqualToDotProductsInIndexOrder) {
  simdata_test::HandlerScope handler(true);
  TempDir dir;
  // Sizes 0, 1 and 2, small ones and one that no block size below divides.
  for (unsigned n : {0u, 1u, 2u, 3u, 50u, 201u}) {
    const unsigned length = 13;
    std::vector<std::vector<double>> rows = simdata_test::MakeProfiles(n, length, 17 + n);
    if (n == 0) rows.clear();
    simdata_test::WriteOrig(dir / ("fp" + std::to_string(n)), rows);
    if (n == 0) simdata_test::WriteFile(dir / "fp0.orig", "0\t13\n");
    CFPData data(dir / ("fp" + std::to_string(n)));
    const CNormFPMtx& fps = data.GetNormFPMtx();
    ASSERT_EQ(fps.Size(), n);

    for (unsigned threads : {1u, 2u, 3u, 7u}) {
      for (std::size_t blockPairs : {std::size_t(1), std::size_t(7), std::size_t(100),
                                     std::size_t(1) << 17}) {
        SCOPED_TRACE("n " + std::to_string(n) + ", threads " + std::to_string(threads) +
                     ", block " + std::to_string(blockPairs));
        std::vector<unsigned> order;
        std::size_t mismatches = 0;
        fps.ForEachSimilarityRow(threads, blockPairs, [&](unsigned i, const double* row) {
          order.push_back(i);
          for (unsigned j = i + 1; j < n; ++j) {
            double sum = 0.0;
            for (unsigned c = 0; c < length; ++c)
              sum += static_cast<double>(fps[i][c]) * static_cast<double>(fps[j][c]);
            mismatches += Bits(row[j - i - 1]) != Bits(sum);
          }
        });
        std::vector<unsigned> expected;
        for (unsigned i = 0; i + 1 < n; ++i) expected.push_back(i);
        EXPECT_EQ(order, expected);
        EXPECT_EQ(mismatches, 0u);
      }
    }
  }
}

TEST(ForEachSimilarityRow, FailsWithoutAHandler) {
  simdata_test::HandlerScope handler(true);
  TempDir dir;
  simdata_test::WriteOrig(dir / "fp", simdata_test::MakeProfiles(5, 3, 1));
  CFPData data(dir / "fp");
  ResetFingerprintStateForTests();
  EXPECT_EQ(simdata_test::ThrownMessage([&] {
              data.GetNormFPMtx().ForEachSimilarityRow(2, 1, [](unsigned, const double*) {});
            }),
            "CNormFP::Similarity - similarity handler is not set");
}

TEST(SimilarityThreads, EnvironmentOverridesTheHardwareCount) {
  const unsigned hardware = std::max(1u, std::thread::hardware_concurrency());
  struct Case {
    const char* value;
    unsigned expected;
  };
  const Case cases[] = {{nullptr, hardware}, {"1", 1},       {"3", 3},       {"256", 256},
                        {"1000", 256},       {"99999999999999999999999", 256}, {"0", hardware}, {"", hardware}, {"abc", hardware},
                        {"2x", hardware},    {"-2", hardware}, {" 2", hardware}};
  for (const Case& c : cases) {
    ThreadsEnv env(c.value);
    EXPECT_EQ(vandrel::SimilarityThreads(), c.expected) << (c.value ? c.value : "(unset)");
  }
}

// A subset table computed with a sampled model: 1500 of 1501 elements,
// 1124250 pairs (several blocks, a count that 2, 3 and 7 threads do not
// divide evenly), each joining the sample with probability 30000/1124250.
struct TableRun {
  std::vector<CSimilarityData::CElement> values;
  std::vector<unsigned> counters;
  std::uint32_t stateAfter = 0;
  std::vector<double> weights0, weights1;  // the model's simulated weights
  std::string sim, distrib;
};

TableRun ComputeTable(const std::string& prefix, const char* threads, std::uint32_t seed,
                      std::uint32_t* stateBefore) {
  ThreadsEnv env(threads);
  vandrel::Srand(seed);
  CFPDataFileAnalyzer analyzer(prefix);
  std::vector<unsigned> ids;
  for (unsigned i = 0; i < 1500; ++i) ids.push_back(i);
  *stateBefore = vandrel::RandState();
  CSIMnFPData data(analyzer, 0.9, ids);
  TableRun run;
  run.values = data.GetValues();
  for (const auto& c : data.GetCounters()) {
    run.counters.push_back(c.GetToSmaller());
    run.counters.push_back(c.GetToBigger());
  }
  run.stateAfter = vandrel::RandState();
  run.weights0 = data.GetSimDistrib()->GetSimWeights(0);
  run.weights1 = data.GetSimDistrib()->GetSimWeights(1);
  const std::string out = prefix + "_out_" + threads;
  data.Save(out, true);
  run.sim = simdata_test::ReadFile(out + ".dp.sim");
  run.distrib = simdata_test::ReadFile(out + ".dp.distrib");
  return run;
}

TEST(SIMnFPDataThreads, SameTableAndModelForAnyNumberOfThreads) {
  simdata_test::HandlerScope handler(false);
  TempDir dir;
  simdata_test::WriteOrig(dir / "fp", simdata_test::MakeProfiles(1501, 5, 4));
  std::uint32_t before = 0;
  const TableRun one = ComputeTable(dir / "fp", "1", 99, &before);

  // The single-threaded table against a replay: one draw per pair in
  // i-then-j order, a pair joining the sample when draw / 32767 <= q.
  {
    vandrel::Srand(99);
    CFPDataFileAnalyzer analyzer(dir / "fp");
    const CNormFPMtx& fps = analyzer.GetFPData().GetNormFPMtx();
    vandrel::Srand(before);
    const double q = 30000.0 / 1124250.0;
    std::vector<double> sample;
    std::size_t stored = 0;
    for (unsigned i = 0; i < 1500; ++i)
      for (unsigned j = i + 1; j < 1500; ++j) {
        const double s = fps[i].Similarity(fps[j]);
        if (vandrel::Rand() * (1.0 / 32767.0) <= q) sample.push_back(s);
        if (s > 0.9) {
          ASSERT_LT(stored, one.values.size());
          const auto& e = one.values[stored++];
          EXPECT_EQ(e.GetFirst(), i);
          EXPECT_EQ(e.GetSecond(), j);
          EXPECT_EQ(Bits(e.GetValue()), Bits(s));
        }
      }
    EXPECT_EQ(stored, one.values.size());
    EXPECT_GT(stored, 1000u);
    EXPECT_GT(sample.size(), 29000u);
    EXPECT_LT(sample.size(), 31000u);
    const std::uint32_t afterDraws = vandrel::RandState();
    CSimDistrib replay(sample, analyzer.GetSimDistrib());
    EXPECT_EQ(one.stateAfter, vandrel::RandState());
    EXPECT_NE(afterDraws, before);
    EXPECT_EQ(one.weights0, replay.GetSimWeights(0));
    EXPECT_EQ(one.weights1, replay.GetSimWeights(1));
    const std::string replayPrefix = dir / "replay";
    replay.Save(replayPrefix, true);
    EXPECT_EQ(one.distrib, simdata_test::ReadFile(replayPrefix + ".distrib"));
  }

  for (const char* threads : {"2", "3", "7"}) {
    SCOPED_TRACE(std::string("threads ") + threads);
    std::uint32_t start = 0;
    const TableRun many = ComputeTable(dir / "fp", threads, 99, &start);
    EXPECT_EQ(start, before);
    ASSERT_EQ(many.values.size(), one.values.size());
    std::size_t differing = 0;
    for (std::size_t k = 0; k < one.values.size(); ++k)
      differing += many.values[k].GetFirst() != one.values[k].GetFirst() ||
                   many.values[k].GetSecond() != one.values[k].GetSecond() ||
                   Bits(many.values[k].GetValue()) != Bits(one.values[k].GetValue());
    EXPECT_EQ(differing, 0u);
    EXPECT_EQ(many.counters, one.counters);
    EXPECT_EQ(many.stateAfter, one.stateAfter);
    EXPECT_EQ(many.weights0, one.weights0);
    EXPECT_EQ(many.weights1, one.weights1);
    EXPECT_EQ(many.sim, one.sim);
    EXPECT_EQ(many.distrib, one.distrib);
  }
}

}  // namespace
