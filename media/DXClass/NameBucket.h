#pragma once
// Case-insensitive names of library items (pictures, waves) and the 256-bucket index
// both libraries hash them into. Names are Windows-1251 bytes: Latin and Cyrillic
// letters compare without regard to case.
#include <cstdint>
#include <string_view>

inline uint8_t LowerNameChar(uint8_t c) {
  if (c >= 'A' && c <= 'Z') return uint8_t(c + 32);
  if (c >= 0xC0 && c <= 0xDF) return uint8_t(c + 32);  // А..Я
  if (c == 0xA8) return 0xB8;                          // Ё
  return c;
}

inline bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerNameChar(uint8_t(a[i])) != LowerNameChar(uint8_t(b[i]))) return false;
  return true;
}

// The index bucket of a name: mixes its length with its first and second-to-last letters.
inline uint8_t NameBucket(std::string_view name) {
  const uint32_t n = uint32_t(name.size());
  if (n <= 1) return uint8_t(16 * n);
  return uint8_t(16 * n + LowerNameChar(uint8_t(name[n - 2])) + LowerNameChar(uint8_t(name[0])));
}
