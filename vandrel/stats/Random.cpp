#include "vandrel/stats/Random.h"

namespace vandrel {

namespace {
std::uint32_t g_state = 1;  // the runtime's generator starts as if seeded with 1
}

void Srand(std::uint32_t seed) { g_state = seed; }

int Rand() {
  g_state = g_state * 214013u + 2531011u;
  return static_cast<int>((g_state >> 16) & 0x7FFFu);
}

double RandUniform() { return Rand() * (1.0 / 32767.0); }

std::uint32_t RandState() { return g_state; }

}  // namespace vandrel
