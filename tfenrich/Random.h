#pragma once
// tfenrich's own pseudo-random generator: the platform runtime's linear
// congruential generator (state * 214013 + 2531011 mod 2^32, output bits
// 16..30).  The program seeds it with 34, so every run is reproducible.
#include <cstdint>

namespace tfenrich {

constexpr int kRandMax = 32767;

void Srand(std::uint32_t seed);
int Rand();

}  // namespace tfenrich
