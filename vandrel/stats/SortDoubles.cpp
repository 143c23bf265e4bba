// Bucket and radix sorts of doubles; see SortDoubles.h.
#include "vandrel/stats/SortDoubles.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace vandrel {

namespace {

constexpr int kDigitBits = 11;
constexpr int kDigits = (64 + kDigitBits - 1) / kDigitBits;  // 6
constexpr std::uint64_t kDigitMask = (std::uint64_t{1} << kDigitBits) - 1;
constexpr std::size_t kBuckets = std::size_t{1} << kDigitBits;

}  // namespace

namespace {

// Buckets larger than this are sorted with std::sort, smaller ones by
// insertion.
constexpr std::uint32_t kInsertionMax = 24;

// Bucket sort over [lo, hi] (finite, lo < hi, hi - lo finite): bucket(x) =
// floor((x - lo) * scale) never decreases as x grows (each step rounds
// monotonically), so sorting every bucket sorts the array.
void BucketSort(std::vector<double>& values, double lo, double hi) {
  const std::size_t n = values.size();
  const std::uint32_t buckets = static_cast<std::uint32_t>(n / 2);
  const double scale = static_cast<double>(buckets) / (hi - lo);
  // Scratch kept per thread: the program sorts thousands of tables of the
  // same size.
  thread_local std::vector<std::uint32_t> bucketOf, start, next;
  thread_local std::vector<double> sorted;
  bucketOf.resize(n);
  start.assign(static_cast<std::size_t>(buckets) + 1, 0);
  for (std::size_t i = 0; i < n; ++i) {
    const double pos = (values[i] - lo) * scale;
    std::uint32_t b = pos < static_cast<double>(buckets) ? static_cast<std::uint32_t>(pos) : buckets - 1;
    bucketOf[i] = b;
    ++start[b + 1];
  }
  for (std::uint32_t b = 0; b < buckets; ++b) start[b + 1] += start[b];
  sorted.resize(n);
  next.assign(start.begin(), start.end() - 1);
  for (std::size_t i = 0; i < n; ++i) sorted[next[bucketOf[i]]++] = values[i];
  for (std::uint32_t b = 0; b < buckets; ++b) {
    double* first = sorted.data() + start[b];
    double* last = sorted.data() + start[b + 1];
    const std::uint32_t count = start[b + 1] - start[b];
    if (count < 2) continue;
    if (count > kInsertionMax) {
      std::sort(first, last);
      continue;
    }
    for (double* p = first + 1; p < last; ++p) {
      const double x = *p;
      double* q = p;
      while (q > first && q[-1] > x) {
        *q = q[-1];
        --q;
      }
      *q = x;
    }
  }
  values.swap(sorted);
}

void RadixSort(std::vector<double>& values);

}  // namespace

void SortDoubles(std::vector<double>& values) {
  const std::size_t n = values.size();
  if (n < 64) {
    std::sort(values.begin(), values.end());
    return;
  }
  double lo = values[0];
  double hi = values[0];
  bool plain = true;  // no zero, no NaN
  for (double v : values) {
    plain = plain && v != 0.0 && v == v;
    lo = v < lo ? v : lo;
    hi = v > hi ? v : hi;
  }
  if (!plain) {
    std::sort(values.begin(), values.end());
    return;
  }
  if (lo == hi) return;  // all equal (and equal non-zero values have equal bits)
  // The bucket map needs a finite range and a finite scale (a range among
  // subnormals can make buckets / range overflow).
  const double range = hi - lo;
  const double inf = std::numeric_limits<double>::infinity();
  if (range < inf && static_cast<double>(n / 2) / range < inf) {
    BucketSort(values, lo, hi);
    return;
  }
  RadixSort(values);
}

namespace {

void RadixSort(std::vector<double>& values) {
  const std::size_t n = values.size();
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

}  // namespace

}  // namespace vandrel
