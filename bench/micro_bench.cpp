// Micro-benchmarks of the hot kernels: the machine's rate of float dot
// products summed in double (single pair, and many pairs side by side as in
// the all-pairs similarity kernel: vector lanes, and the plain-code
// fallback), the sort of a model's simulated weights, and
// the text form of a similarity value; for tfenrich, the empirical test's
// draws against the plain loop of generator step, swap and gathered score,
// and reading a fingerprints file against a plain tokenizer of the same
// bytes.  Items per second = multiply-adds (dot products), values (sort,
// text) or slots of random subsets (draws); bytes per second for reading.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

#include "tfenrich/Fingerprints.h"
#include "tfenrich/Location.h"
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

// Reading a fingerprints file.  The file is generated the way
// bench/make_tf_large.py writes the TF-large set's (same generator, same
// layout: 1,000 TFs, 100 target-sets planting hits, gene layout per
// promoter), with state.range(0) promoters: 20,000 is the TF-large file
// itself (144 MB), 2,000 its first tenth in size.  It is written once per
// size to a temporary file, which the page cache then holds, so both
// readers below see the same bytes at memory speed.
class LcgNumbers {
 public:
  explicit LcgNumbers(std::uint32_t seed) : state_(seed) {}
  std::uint32_t next(std::uint32_t bound) {
    state_ = state_ * 1103515245u + 12345u;
    return (state_ >> 8) % bound;
  }

 private:
  std::uint32_t state_;
};

std::string FingerprintText(int tfs, int promoters, int sets) {
  LcgNumbers rng(4242);
  std::vector<std::set<int>> planted(static_cast<std::size_t>(promoters));
  for (int k = 0; k < sets; ++k) {
    const int size = 20 + static_cast<int>(rng.next(481));
    const int start = static_cast<int>(rng.next(promoters));
    const int step = 1 + static_cast<int>(rng.next(37));
    if (10 * k >= tfs) continue;
    for (int i = 0; i < size; ++i) {
      planted[static_cast<std::size_t>((start + static_cast<long long>(i) * step) % promoters)]
          .insert(10 * k);
    }
  }
  std::string out;
  char line[1024];
  const auto add = [&](int length) { out.append(line, static_cast<std::size_t>(length)); };
  add(std::snprintf(line, sizeof line, "%d PWMs:\n", tfs));
  for (int t = 0; t < tfs; ++t) {
    add(std::snprintf(line, sizeof line, " TF%04d ; threshold: %.2f ; species: human\n", t,
                      0.70 + rng.next(25) / 100.0));
  }
  add(std::snprintf(line, sizeof line, "%d fingerprints:\n", promoters));
  std::vector<int> hits;
  for (int p = 0; p < promoters; ++p) {
    const int upEnd = 900 + static_cast<int>(rng.next(200));
    const int exon1End = upEnd + 80 + static_cast<int>(rng.next(120));
    const int intron1End = exon1End + 300 + static_cast<int>(rng.next(400));
    const int exon2End = intron1End + 60 + static_cast<int>(rng.next(100));
    const int intron2End = exon2End + 200 + static_cast<int>(rng.next(300));
    const int cdsStart = upEnd + 40 + static_cast<int>(rng.next(30));
    const int cdsEnd = intron2End + 150;
    add(std::snprintf(line, sizeof line,
                      "P%05d LLid=%d orgDBsym=G%d TranscriptId=NM_%06d chr=chr%d Location=%d "
                      "Strand=%d GeneLength=%d nExons=%d UpstreamStart=%d UpstreamEnd=%d "
                      "Exon1Start=%d Exon1End=%d Intron1Start=%d Intron1End=%d Exon2Start=%d "
                      "Exon2End=%d Intron2Start=%d Intron2End=%d CdsStart=%d CdsEnd=%d\n",
                      p, 1000 + p, p + 1, 5000 + p, 1 + p % 22, 100000 + 3571 * p,
                      p % 3 ? 1 : -1, cdsEnd, 2 + p % 5, 1, upEnd, upEnd + 1, exon1End,
                      exon1End + 1, intron1End, intron1End + 1, exon2End, exon2End + 1,
                      intron2End, cdsStart, cdsEnd));
    for (int t = 0; t < tfs; ++t) {
      if (t > 0) out.push_back(' ');
      const int r = static_cast<int>(rng.next(1000));
      int count = r < 120 ? 1 + r % 2 : 0;
      if (planted[static_cast<std::size_t>(p)].count(t) != 0) count += 2;
      if (count == 0) {
        add(std::snprintf(line, sizeof line, "-/%d", 300 + r));
        continue;
      }
      hits.clear();
      for (int h = 0; h < count; ++h) hits.push_back(1 + static_cast<int>(rng.next(cdsEnd)));
      std::sort(hits.begin(), hits.end());
      for (int h = 0; h < count; ++h) {
        add(std::snprintf(line, sizeof line, h > 0 ? ",%d" : "%d", hits[h]));
      }
      add(std::snprintf(line, sizeof line, "/%d", 300 + r));
    }
    out.push_back('\n');
  }
  return out;
}

// Removes the generated files at exit.
class TempFiles {
 public:
  ~TempFiles() {
    for (const auto& entry : paths_) std::remove(entry.second.c_str());
  }
  // The path of the fingerprints file with this many promoters, written on
  // first use; its size in bytes goes to `bytes`.
  const std::string& fingerprints(int promoters, std::size_t& bytes) {
    auto it = paths_.find(promoters);
    if (it == paths_.end()) {
      const std::string text = FingerprintText(1000, promoters, 100);
      const char* dir = std::getenv("TMPDIR");
      std::string path = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") +
                         "/tfenrich-bench-fp-XXXXXX";
      const int fd = mkstemp(path.data());
      if (fd < 0) return empty_;
      FILE* f = fdopen(fd, "w");
      const bool ok = f != nullptr && std::fwrite(text.data(), 1, text.size(), f) == text.size();
      if (f != nullptr) std::fclose(f);
      if (!ok) {
        std::remove(path.c_str());
        return empty_;
      }
      it = paths_.emplace(promoters, path).first;
      sizes_[promoters] = text.size();
    }
    bytes = sizes_[promoters];
    return it->second;
  }

 private:
  std::map<int, std::string> paths_;
  std::map<int, std::size_t> sizes_;
  std::string empty_;
};

TempFiles& BenchFiles() {
  static TempFiles files;
  return files;
}

// The fingerprints file with the benchmark's argument as its promoter count
// (its size in *bytes), or null when it cannot be written: the benchmark is
// then skipped with an error.
const std::string* FingerprintsFile(benchmark::State& state, std::size_t* bytes) {
  const std::string& path = BenchFiles().fingerprints(static_cast<int>(state.range(0)), *bytes);
  if (!path.empty()) return &path;
  state.SkipWithError("cannot write the fingerprints file");
  return nullptr;
}

// tfenrich's reader with the program's default location settings (every
// hit within -999999 .. 999999 of the TSS, region list "+all", at most 9
// hits per promoter) and no PWM or BG filter.
void BM_ReadFingerprints(benchmark::State& state) {
  std::size_t bytes = 0;
  const std::string* file = FingerprintsFile(state, &bytes);
  if (file == nullptr) return;
  const std::string& path = *file;
  tfenrich::LocationInfo location;
  std::string regions = "+all";
  if (!tfenrich::setLocationInfo(location, -999999, 999999, regions.data())) {
    state.SkipWithError("bad location settings");
    return;
  }
  tfenrich::FingerprintMatrix matrix;
  for (auto _ : state) {
    tfenrich::NamedIdSet tfs, promoters;
    if (!tfenrich::readFingerprints(path.c_str(), nullptr, nullptr, tfs, promoters, matrix,
                                    location, 9) ||
        tfs.count() != 1000 || matrix.rowsUsed() != state.range(0)) {
      state.SkipWithError("readFingerprints failed");
      return;
    }
    benchmark::DoNotOptimize(matrix.score(matrix.rowsUsed() - 1, tfs.count() - 1));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_ReadFingerprints)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// A plain tokenizer over the same bytes, the baseline for the reader: reads
// the file in 1 MiB blocks and hands every whitespace-separated word to
// `word` (a word cut by the end of a block is moved to the front of the
// buffer and completed by the next block).
template <typename Word>
bool TokenizeFile(const char* path, Word word) {
  FILE* f = std::fopen(path, "rb");
  if (f == nullptr) return false;
  constexpr std::size_t kBlock = std::size_t{1} << 20;
  std::vector<char> buffer(2 * kBlock);
  std::size_t kept = 0;
  for (;;) {
    const std::size_t got = std::fread(buffer.data() + kept, 1, kBlock, f);
    const std::size_t size = kept + got;
    const char* p = buffer.data();
    const char* const end = p + size;
    for (;;) {
      while (p != end && IsBlank(*p)) ++p;
      const char* const start = p;
      while (p != end && !IsBlank(*p)) ++p;
      if (p == end) {
        // The word may go on in the next block, unless the file ended.
        if (got == 0 && start != end) word(start, end);
        kept = static_cast<std::size_t>(end - start);
        std::copy(start, end, buffer.data());
        break;
      }
      word(start, p);
    }
    if (got == 0) break;
    if (kept > kBlock) {  // no word is that long in a fingerprints file
      std::fclose(f);
      return false;
    }
  }
  std::fclose(f);
  return true;
}

// Words only: split and counted.
void BM_TokenizeWords(benchmark::State& state) {
  std::size_t bytes = 0;
  const std::string* file = FingerprintsFile(state, &bytes);
  if (file == nullptr) return;
  const std::string& path = *file;
  for (auto _ : state) {
    long long words = 0;
    if (!TokenizeFile(path.c_str(), [&](const char*, const char*) { ++words; })) {
      state.SkipWithError("cannot read the fingerprints file");
      return;
    }
    benchmark::DoNotOptimize(words);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_TokenizeWords)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

// Words split, and every run of digits in them converted with
// std::from_chars into one vector of all the file's integers (hit
// positions, effective lengths, gene coordinates), which keeps its capacity
// from one pass to the next.
void BM_TokenizeIntegers(benchmark::State& state) {
  std::size_t bytes = 0;
  const std::string* file = FingerprintsFile(state, &bytes);
  if (file == nullptr) return;
  const std::string& path = *file;
  std::vector<int> numbers;
  for (auto _ : state) {
    numbers.clear();
    const bool ok = TokenizeFile(path.c_str(), [&](const char* p, const char* end) {
      while (p != end) {
        if (*p < '0' || *p > '9') {
          ++p;
          continue;
        }
        int value = 0;
        p = std::from_chars(p, end, value).ptr;
        numbers.push_back(value);
      }
    });
    if (!ok) {
      state.SkipWithError("cannot read the fingerprints file");
      return;
    }
    benchmark::DoNotOptimize(numbers.data());
  }
  state.counters["integers"] = static_cast<double>(numbers.size());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_TokenizeIntegers)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
