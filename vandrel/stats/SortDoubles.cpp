// Radix sort of doubles; see SortDoubles.h.
#include "vandrel/stats/SortDoubles.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace vandrel {

namespace {

constexpr int kDigitBits = 11;
constexpr int kDigits = (64 + kDigitBits - 1) / kDigitBits;  // 6
constexpr std::uint64_t kDigitMask = (std::uint64_t{1} << kDigitBits) - 1;
constexpr std::size_t kBuckets = std::size_t{1} << kDigitBits;

}  // namespace

void SortDoubles(std::vector<double>& values) {
  const std::size_t n = values.size();
  if (n < 64) {
    std::sort(values.begin(), values.end());
    return;
  }
  // Keys whose unsigned order is the numeric order: negative values have all
  // bits flipped, the others only the sign bit.  One pass makes the keys and
  // counts every digit of every key.
  std::vector<std::uint64_t> keys(n), tmp(n);
  std::vector<std::uint32_t> counts(kDigits * kBuckets, 0);
  for (std::size_t i = 0; i < n; ++i) {
    const double v = values[i];
    if (v == 0.0 || std::isnan(v)) {
      std::sort(values.begin(), values.end());
      return;
    }
    std::uint64_t u;
    std::memcpy(&u, &v, sizeof u);
    const std::uint64_t key = (u >> 63) ? ~u : (u | (std::uint64_t{1} << 63));
    keys[i] = key;
    for (int d = 0; d < kDigits; ++d)
      ++counts[d * kBuckets + ((key >> (d * kDigitBits)) & kDigitMask)];
  }
  for (int d = 0; d < kDigits; ++d) {
    std::uint32_t* count = counts.data() + d * kBuckets;
    const int shift = d * kDigitBits;
    // A digit that is the same in every key moves nothing.
    if (count[(keys[0] >> shift) & kDigitMask] == n) continue;
    std::uint32_t start = 0;
    for (std::size_t b = 0; b < kBuckets; ++b) {
      const std::uint32_t c = count[b];
      count[b] = start;
      start += c;
    }
    for (std::size_t i = 0; i < n; ++i) tmp[count[(keys[i] >> shift) & kDigitMask]++] = keys[i];
    keys.swap(tmp);
  }
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint64_t k = keys[i];
    const std::uint64_t u = (k >> 63) ? (k & ~(std::uint64_t{1} << 63)) : ~k;
    std::memcpy(&values[i], &u, sizeof u);
  }
}

}  // namespace vandrel
