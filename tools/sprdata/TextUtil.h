#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

std::string LowerCase(std::string_view text);
// "#RRGGBB" to 0xRRGGBB.
std::optional<uint32_t> ParseHexColor(std::string_view text);
std::string HexColor(uint32_t rgb);
