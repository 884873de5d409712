#include "app/Random.h"

#include <chrono>

void TRandom::Randomize() {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  RandSeed = uint32_t(std::chrono::duration_cast<std::chrono::microseconds>(now).count());
}

int32_t TRandom::Random(int32_t range) {
  const uint32_t r = Next();
  if (range <= 0) return 0;
  // The high bits of an LCG are the random ones; scale instead of taking a remainder.
  return int32_t((uint64_t(r) * uint32_t(range)) >> 32);
}

double TRandom::Random() { return Next() * (1.0 / 4294967296.0); }
