// Ascending sort of an array of doubles in O(n) for the value tables the
// program sorts (simulated weights: 100000 values spread over a range).
// Arrays of finite values are bucket-sorted: one pass finds the range, one
// maps each value to one of n/2 buckets by its position in the range (a map
// that never decreases as the value grows), one scatters, and every bucket
// is sorted on its own (insertion sort, std::sort for crowded buckets).
// Arrays with an infinite value or a range the map cannot scale go to a
// least-significant-digit radix sort with 11-bit digits.  For arrays without
// NaN and without zeros the result is bit for bit the one of std::sort
// (equal values are then equal bit patterns, so every correct sort gives the
// same array); arrays holding a zero (whose signs std::sort may order either
// way) or a NaN are handed to std::sort itself.
#ifndef VANDREL_STATS_SORTDOUBLES_H
#define VANDREL_STATS_SORTDOUBLES_H

#include <vector>

namespace vandrel {

void SortDoubles(std::vector<double>& values);

}  // namespace vandrel

#endif
