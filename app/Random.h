#pragma once
// The uniform generator of the game: a 32-bit linear congruential generator, so a seed
// gives the same sequence on every platform and compiler.
#include <cstdint>

class TRandom {
 public:
  uint32_t RandSeed = 0;

  // Seeds from the clock, so every run plays differently.
  void Randomize();
  // 0 .. range-1; 0 when range is 0 or less.
  int32_t Random(int32_t range);
  // [0, 1)
  double Random();

 private:
  uint32_t Next() { return RandSeed = RandSeed * 134775813u + 1u; }
};
