// Micro-benchmarks of the hot kernels: the machine's rate of float dot
// products summed in double (single pair, and many pairs side by side as in
// the all-pairs similarity kernel: vector lanes, and the plain-code
// fallback), the sort of a model's simulated weights, and
// the text form of a similarity value.  Items per second = multiply-adds
// (dot products) or values (sort, text).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

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

}  // namespace

BENCHMARK_MAIN();
