#include "game/replay/Decimal.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// An unsigned whole number of any size, 32 bits a limb, lowest first.
using TBig = std::vector<uint32_t>;

void MultiplySmall(TBig& n, uint32_t factor) {
  uint64_t carry = 0;
  for (uint32_t& limb : n) {
    carry += uint64_t(limb) * factor;
    limb = uint32_t(carry);
    carry >>= 32;
  }
  if (carry) n.push_back(uint32_t(carry));
}

bool Bit(const TBig& n, size_t bit) {
  return bit / 32 < n.size() && (n[bit / 32] >> (bit % 32) & 1);
}

bool AnyBitBelow(const TBig& n, size_t bit) {
  for (size_t i = 0; i < bit / 32 && i < n.size(); ++i)
    if (n[i]) return true;
  return bit / 32 < n.size() && (n[bit / 32] & ((uint32_t(1) << (bit % 32)) - 1));
}

void ShiftRight(TBig& n, size_t bits) {
  const size_t limbs = bits / 32, rest = bits % 32;
  if (limbs >= n.size()) {
    n.clear();
    return;
  }
  n.erase(n.begin(), n.begin() + std::ptrdiff_t(limbs));
  if (rest) {
    for (size_t i = 0; i < n.size(); ++i)
      n[i] = n[i] >> rest | (i + 1 < n.size() ? n[i + 1] << (32 - rest) : 0);
  }
}

void ShiftLeft(TBig& n, size_t bits) {
  const size_t rest = bits % 32;
  if (rest) {
    n.push_back(0);
    for (size_t i = n.size(); i-- > 0;) n[i] = n[i] << rest | (i ? n[i - 1] >> (32 - rest) : 0);
  }
  n.insert(n.begin(), bits / 32, 0);
}

void AddOne(TBig& n) {
  for (uint32_t& limb : n)
    if (++limb != 0) return;
  n.push_back(1);
}

std::string Digits(TBig n) {
  std::string out;
  while (!n.empty()) {
    uint64_t rest = 0;
    for (size_t i = n.size(); i-- > 0;) {
      const uint64_t part = rest << 32 | n[i];
      n[i] = uint32_t(part / 10);
      rest = part % 10;
    }
    out += char('0' + rest);
    while (!n.empty() && n.back() == 0) n.pop_back();
  }
  std::reverse(out.begin(), out.end());
  return out.empty() ? "0" : out;
}

}  // namespace

std::string FixedSixDecimals(double v) {
  uint64_t bits = 0;
  std::memcpy(&bits, &v, sizeof bits);
  const bool negative = bits >> 63;
  const int biased = int(bits >> 52 & 0x7FF);
  uint64_t mantissa = bits & ((uint64_t(1) << 52) - 1);
  if (biased == 0x7FF) return mantissa ? (negative ? "-nan" : "nan") : (negative ? "-inf" : "inf");
  int exponent = biased - 1075;
  if (biased == 0)
    exponent = -1074;
  else
    mantissa |= uint64_t(1) << 52;

  // |v| * 10^6 = mantissa * 10^6 * 2^exponent, rounded to a whole number.
  TBig n{uint32_t(mantissa), uint32_t(mantissa >> 32)};
  MultiplySmall(n, 1000000);
  if (exponent >= 0) {
    ShiftLeft(n, size_t(exponent));
  } else {
    const size_t shift = size_t(-exponent);
    const bool half = Bit(n, shift - 1), beyondHalf = AnyBitBelow(n, shift - 1);
    ShiftRight(n, shift);
    if (half && (beyondHalf || Bit(n, 0))) AddOne(n);
  }
  while (!n.empty() && n.back() == 0) n.pop_back();

  std::string digits = Digits(n);
  if (digits.size() < 7) digits.insert(0, 7 - digits.size(), '0');
  digits.insert(digits.size() - 6, 1, '.');
  return negative ? "-" + digits : digits;
}
