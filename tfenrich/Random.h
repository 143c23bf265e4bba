#pragma once
// tfenrich's own pseudo-random generator: the platform runtime's linear
// congruential generator (state * 214013 + 2531011 mod 2^32, output bits
// 16..30).  The program seeds it with 34, so every run is reproducible.
#include <cstdint>

namespace tfenrich {

constexpr int kRandMax = 32767;
constexpr std::uint32_t kRunSeed = 34;

void Srand(std::uint32_t seed);
int Rand();

// The names the enrichment code uses for the same generator.
inline void seedRandom(std::uint32_t seed) { Srand(seed); }
inline int nextRandom() { return Rand(); }

}  // namespace tfenrich
