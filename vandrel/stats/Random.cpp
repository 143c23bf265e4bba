// The process-wide generator: one 32-bit state, O(1) per draw.
#include "vandrel/stats/Random.h"

namespace vandrel {

namespace {
std::uint32_t g_state = 1;  // the runtime's generator starts as if seeded with 1
}

void Srand(std::uint32_t seed) { g_state = seed; }

int Rand() {
  g_state = RandNextState(g_state);
  return RandOfState(g_state);
}

double RandUniform() { return Rand() * (1.0 / 32767.0); }

std::uint32_t RandState() { return g_state; }

}  // namespace vandrel
