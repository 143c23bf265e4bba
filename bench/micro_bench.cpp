// Micro-benchmarks of the hot kernels: the machine's rate of float dot
// products summed in double (single pair, and many pairs side by side as in
// the all-pairs similarity kernel: vector lanes, and the plain-code
// fallback), the sort of a model's simulated weights, and
// the text form of a similarity value; for tfenrich, the empirical test's
// draws against the plain loop of generator step, swap and gathered score.
// Items per second = multiply-adds (dot products), values (sort, text) or
// slots of random subsets (draws).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "tfenrich/Fingerprints.h"
#include "tfenrich/Random.h"
#include "tfenrich/Scores.h"
#include "vandrel/data/NumberText.h"
#include "vandrel/data/SimHandler.h"
#include "vandrel/stats/SortDoubles.h"

namespace {

std::vector<float> Values(std::size_t n, std::uint64_t seed) {
  std::vector<float> v(n);
  for (float& x : v) {
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    x = static_cast<float>(static_cast<double>(seed >> 11) / 9007199254740992.0 - 0.5);
  }
  return v;
}

constexpr unsigned int kLength = 60;  // conditions per gene in the FP sets
constexpr std::size_t kRows = 2048;

void BM_DotProductSingle(benchmark::State& state) {
  const std::vector<float> a = Values(kLength, 1), m = Values(kLength * kRows, 2);
  for (auto _ : state) {
    double total = 0.0;
    for (std::size_t k = 0; k < kRows; ++k) total += vandrel::DotProduct(a.data(), &m[k * kLength], kLength);
    benchmark::DoNotOptimize(total);
  }
  state.SetItemsProcessed(state.iterations() * kRows * kLength);
}
BENCHMARK(BM_DotProductSingle);

void BM_DotProductMany(benchmark::State& state) {
  const std::vector<float> a = Values(kLength, 1), m = Values(kLength * kRows, 2);
  std::vector<const float*> rows(kRows);
  for (std::size_t k = 0; k < kRows; ++k) rows[k] = &m[k * kLength];
  std::vector<double> out(kRows);
  for (auto _ : state) {
    vandrel::DotProductMany(a.data(), rows.data(), kRows, kLength, out.data());
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * kRows * kLength);
}
BENCHMARK(BM_DotProductMany);

void BM_DotProductManyPortable(benchmark::State& state) {
  const std::vector<float> a = Values(kLength, 1), m = Values(kLength * kRows, 2);
  std::vector<const float*> rows(kRows);
  for (std::size_t k = 0; k < kRows; ++k) rows[k] = &m[k * kLength];
  std::vector<double> out(kRows);
  for (auto _ : state) {
    vandrel::DotProductManyPortable(a.data(), rows.data(), kRows, kLength, out.data());
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * kRows * kLength);
}
BENCHMARK(BM_DotProductManyPortable);

// The all-pairs pass for plain dot products: partners read from the copy in
// doubles, four rows side by side, in chunks of about 400 rows (what stays
// in the core's cache while a block of rows uses them).
void BM_DotProductTransposed(benchmark::State& state) {
  constexpr std::size_t kChunk = 400;
  const std::vector<float> a = Values(kLength, 1), m = Values(kLength * kChunk, 2);
  std::vector<const float*> rows(kChunk);
  for (std::size_t k = 0; k < kChunk; ++k) rows[k] = &m[k * kLength];
  vandrel::CTransposedRows t;
  t.Build(rows.data(), kChunk, kLength);
  std::vector<double> out(kChunk);
  for (auto _ : state) {
    vandrel::DotProductTransposed(a.data(), rows.data(), t, 0, kChunk, out.data());
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * kChunk * kLength);
}
BENCHMARK(BM_DotProductTransposed);

std::vector<double> Weights() {
  std::vector<double> w(100000);
  std::uint64_t s = 3;
  for (double& x : w) {
    s = s * 6364136223846793005ULL + 1442695040888963407ULL;
    x = static_cast<double>(s >> 11) / 9007199254740992.0 * 40.0 - 25.0;
  }
  return w;
}

void BM_SortWeightsStd(benchmark::State& state) {
  const std::vector<double> w = Weights();
  for (auto _ : state) {
    std::vector<double> c = w;
    std::sort(c.begin(), c.end());
    benchmark::DoNotOptimize(c.data());
  }
  state.SetItemsProcessed(state.iterations() * w.size());
}
BENCHMARK(BM_SortWeightsStd);

void BM_SortWeightsRadix(benchmark::State& state) {
  const std::vector<double> w = Weights();
  for (auto _ : state) {
    std::vector<double> c = w;
    vandrel::SortDoubles(c);
    benchmark::DoNotOptimize(c.data());
  }
  state.SetItemsProcessed(state.iterations() * w.size());
}
BENCHMARK(BM_SortWeightsRadix);

void BM_SimValueText(benchmark::State& state) {
  const std::vector<double> w = Weights();
  std::string out;
  for (auto _ : state) {
    out.clear();
    for (double x : w) vandrel::AppendNumber(out, x * 0.01);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * w.size());
}
BENCHMARK(BM_SimValueText);

// tfenrich's empirical test: 20,000 background promoters (the size of the
// TF-large set), scores like those of its fingerprints (most promoters
// without hits, about one in eight with one or two), subsets of state.range(0).
constexpr int kPromoters = 20000;

std::vector<double> PromoterScores() {
  std::vector<double> scores(kPromoters);
  std::uint32_t s = 77;
  for (double& x : scores) {
    s = s * 1103515245u + 12345u;
    const int r = static_cast<int>((s >> 8) % 1000);
    const int hits = r < 120 ? 1 + r % 2 : 0;
    x = (hits + 0.05) / (300 + r + 0.5);
  }
  return scores;
}

// The floor of one slot: one generator step, the drawn position, the swap
// and the gathered score added, one slot after the other.
void BM_DrawTightLoop(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<double> scores = PromoterScores();
  std::vector<int> perm(kPromoters);
  for (int i = 0; i < kPromoters; ++i) perm[i] = i;
  std::uint32_t rng = 34;
  for (auto _ : state) {
    double sum = 0.0;
    for (int i = 0; i < n; ++i) {
      rng = tfenrich::nextRandomState(rng);
      const std::uint64_t r = static_cast<std::uint64_t>(tfenrich::randomOutput(rng));
      const int j = i + static_cast<int>((r * static_cast<std::uint64_t>(kPromoters - i)) >> 15);
      const int row = perm[j];
      perm[j] = perm[i];
      perm[i] = row;
      sum += scores[row];
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_DrawTightLoop)->Arg(40)->Arg(250)->Arg(500);

// The empirical test itself on a set of the top-scored promoters: no random
// subset reaches it, so it draws all of its limit (2,000 subsets here).
void BM_EmpiricalAtLimit(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  constexpr int kSubsets = 2000;
  const std::vector<double> scores = PromoterScores();
  tfenrich::FingerprintMatrix fp;
  fp.init(1, kPromoters);
  for (int r = 0; r < kPromoters; ++r) fp.set(r, 0, scores[r], 0, 1);
  fp.setRowsUsed(kPromoters);
  std::vector<int> members(kPromoters);
  for (int r = 0; r < kPromoters; ++r) members[r] = r;
  std::sort(members.begin(), members.end(), [&](int a, int b) { return scores[a] > scores[b]; });
  members.resize(n);
  tfenrich::EmpiricalScore emp(kSubsets);
  tfenrich::seedRandom(34);
  for (auto _ : state) {
    const double p = emp.calcEmpiricalScore(fp, 0, members.data(), n);
    benchmark::DoNotOptimize(p);
  }
  state.SetItemsProcessed(state.iterations() * kSubsets * n);
}
BENCHMARK(BM_EmpiricalAtLimit)->Arg(40)->Arg(250)->Arg(500);

}  // namespace

BENCHMARK_MAIN();
