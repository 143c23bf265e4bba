#pragma once
// The process-wide pseudo-random generator of vandrel.
//
// A linear congruential generator with the classic platform runtime
// constants: state = state * 214013 + 2531011 (mod 2^32), and each draw
// returns bits 16..30 of the new state (0..32767).  Every random draw of the
// program goes through here, so a run on the same input gives the same
// result on every machine.  Never use std::rand or <random> in vandrel.
#include <cstdint>

namespace vandrel {

constexpr int kRandMax = 32767;

// Seed used by the program at start-up (hexadecimal B5A7914D).
constexpr std::uint32_t kStartupSeed = 3047657805u;

// Sets the generator state (srand semantics).
void Srand(std::uint32_t seed);

// Next value in 0..kRandMax (rand semantics).
int Rand();

// Uniform value in [0, 1]: a draw times 1/32767.
double RandUniform();

// Current state, for tests and for replaying the sequence elsewhere.
std::uint32_t RandState();

}  // namespace vandrel
