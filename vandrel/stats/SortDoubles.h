// Ascending sort of an array of doubles by a least-significant-digit radix
// sort with 11-bit digits: one pass counts all six digits, then one stable
// scatter per digit that is not the same in every value; O(n) against the
// O(n log n) comparisons of std::sort.  For arrays without NaN and without zeros the
// result is bit for bit the one of std::sort (equal values are then equal bit
// patterns, so every correct sort gives the same array); arrays holding a
// zero (whose signs std::sort may order either way) or a NaN are handed to
// std::sort itself.
#ifndef VANDREL_STATS_SORTDOUBLES_H
#define VANDREL_STATS_SORTDOUBLES_H

#include <vector>

namespace vandrel {

void SortDoubles(std::vector<double>& values);

}  // namespace vandrel

#endif
