// Radix sort of doubles; see SortDoubles.h.
#include "vandrel/stats/SortDoubles.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace vandrel {

void SortDoubles(std::vector<double>& values) {
  const std::size_t n = values.size();
  if (n < 64) {
    std::sort(values.begin(), values.end());
    return;
  }
  // Keys whose unsigned order is the numeric order: negative values have all
  // bits flipped, the others only the sign bit.
  std::vector<std::uint64_t> keys(n), tmp(n);
  for (std::size_t i = 0; i < n; ++i) {
    const double v = values[i];
    if (v == 0.0 || std::isnan(v)) {
      std::sort(values.begin(), values.end());
      return;
    }
    std::uint64_t u;
    std::memcpy(&u, &v, sizeof u);
    keys[i] = (u >> 63) ? ~u : (u | (std::uint64_t{1} << 63));
  }
  for (int shift = 0; shift < 64; shift += 8) {
    std::size_t count[257] = {0};
    for (std::size_t i = 0; i < n; ++i) ++count[((keys[i] >> shift) & 0xFF) + 1];
    if (count[((keys[0] >> shift) & 0xFF) + 1] == n) continue;  // one digit value: no move
    for (int d = 0; d < 256; ++d) count[d + 1] += count[d];
    for (std::size_t i = 0; i < n; ++i) tmp[count[(keys[i] >> shift) & 0xFF]++] = keys[i];
    keys.swap(tmp);
  }
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint64_t k = keys[i];
    const std::uint64_t u = (k >> 63) ? (k & ~(std::uint64_t{1} << 63)) : ~k;
    std::memcpy(&values[i], &u, sizeof u);
  }
}

}  // namespace vandrel
