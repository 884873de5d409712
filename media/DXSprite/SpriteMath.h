#pragma once
// Small integer helpers shared by the sprite classes.
#include <cmath>
#include <cstdint>

namespace SpriteMath {

// Truncation toward zero of a position; far-off or broken positions are held to a range
// where adding a sprite's size cannot overflow.
inline int32_t Trunc(double v) {
  constexpr double kLimit = 1e9;
  if (!(v == v)) return 0;
  if (v > kLimit) return int32_t(kLimit);
  if (v < -kLimit) return -int32_t(kLimit);
  return int32_t(v);
}

// a + b held to the 32-bit range (sizes are free fields the game may set).
inline int32_t Add(int32_t a, int32_t b) {
  const int64_t r = int64_t(a) + b;
  return r > INT32_MAX ? INT32_MAX : r < INT32_MIN ? INT32_MIN : int32_t(r);
}

// A modulo that is never negative (b > 0).
inline int32_t Mod(int32_t a, int32_t b) {
  const int32_t r = a % b;
  return r < 0 ? r + b : r;
}

}  // namespace SpriteMath
