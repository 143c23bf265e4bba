#pragma once
// tfenrich's own pseudo-random generator: the platform runtime's linear
// congruential generator (state * 214013 + 2531011 mod 2^32, output bits
// 16..30).  The program seeds it with 34, so every run is reproducible.
// Everything is inline: the empirical test takes billions of draws, and hot
// loops may step a local copy of the state (randomState / setRandomState)
// with nextRandomState and randomOutput, which is the same sequence.
#include <cstdint>

namespace tfenrich {

constexpr int kRandMax = 32767;
constexpr std::uint32_t kRunSeed = 34;

namespace detail {
inline std::uint32_t g_randomState = 1;
}  // namespace detail

constexpr std::uint32_t nextRandomState(std::uint32_t state) { return state * 214013u + 2531011u; }

// The state after `steps` steps is multiplier * state + increment (mod
// 2^32), which lets a loop compute several consecutive states from one.
struct RandomJump {
  std::uint32_t multiplier;
  std::uint32_t increment;
  constexpr std::uint32_t apply(std::uint32_t state) const { return multiplier * state + increment; }
};
constexpr RandomJump randomJump(int steps) {
  std::uint32_t fromZero = 0, fromOne = 1;
  for (int i = 0; i < steps; ++i) {
    fromZero = nextRandomState(fromZero);
    fromOne = nextRandomState(fromOne);
  }
  return RandomJump{fromOne - fromZero, fromZero};
}
inline int randomOutput(std::uint32_t state) { return static_cast<int>((state >> 16) & 0x7FFFu); }

inline std::uint32_t randomState() { return detail::g_randomState; }
inline void setRandomState(std::uint32_t state) { detail::g_randomState = state; }

inline void Srand(std::uint32_t seed) { detail::g_randomState = seed; }
inline int Rand() {
  detail::g_randomState = nextRandomState(detail::g_randomState);
  return randomOutput(detail::g_randomState);
}

// The names the enrichment code uses for the same generator.
inline void seedRandom(std::uint32_t seed) { Srand(seed); }
inline int nextRandom() { return Rand(); }

}  // namespace tfenrich
