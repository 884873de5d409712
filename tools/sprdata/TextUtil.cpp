#include "tools/sprdata/TextUtil.h"

#include <cstdio>

std::string LowerCase(std::string_view text) {
  std::string out(text);
  for (auto& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::optional<uint32_t> ParseHexColor(std::string_view text) {
  if (text.size() != 7 || text[0] != '#') return std::nullopt;
  uint32_t v = 0;
  for (char c : text.substr(1)) {
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return std::nullopt;
    v = v * 16 + static_cast<uint32_t>(d);
  }
  return v;
}

std::string HexColor(uint32_t rgb) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%06X", rgb & 0xFFFFFFu);
  return buf;
}
