#pragma once
// The process-wide pseudo-random generator of vandrel.
//
// A linear congruential generator with the classic platform runtime
// constants: state = state * 214013 + 2531011 (mod 2^32), and each draw
// returns bits 16..30 of the new state (0..32767).  Every random draw of the
// program goes through here, so a run on the same input gives the same
// result on every machine.  Never use std::rand or <random> in vandrel.
// A draw costs O(1); CRandCursor makes the draws of a tight loop inline.
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

// One step of the generator: the state after `state`.
inline std::uint32_t RandNextState(std::uint32_t state) { return state * 214013u + 2531011u; }

// The draw (0..kRandMax) that a state yields.
inline int RandOfState(std::uint32_t state) { return static_cast<int>((state >> 16) & 0x7FFFu); }

// The process-wide sequence drawn inline in a loop: the cursor starts at
// the generator's current state, Next() gives exactly what Rand() would,
// and the destructor hands the advanced state back to the generator.
// Nothing else may draw while a cursor is alive.
class CRandCursor {
 public:
  CRandCursor() : m_state(RandState()) {}
  ~CRandCursor() { Srand(m_state); }
  CRandCursor(const CRandCursor&) = delete;
  CRandCursor& operator=(const CRandCursor&) = delete;

  int Next() {
    m_state = RandNextState(m_state);
    return RandOfState(m_state);
  }

 private:
  std::uint32_t m_state;
};

}  // namespace vandrel
