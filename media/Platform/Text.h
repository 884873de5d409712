#pragma once
// The game keeps its texts as Windows-1251 bytes; the host speaks UTF-8. These two
// conversions are the edge between them.
#include <cstdint>
#include <string>
#include <string_view>

namespace Platform {

// The code point of one byte; the unassigned byte 0x98 gives U+FFFD.
char32_t Cp1251ToUnicode(uint8_t byte);

// Bytes with no Unicode counterpart (0x98) become U+FFFD.
std::string Cp1251ToUtf8(std::string_view text);

// Characters the code page lacks, and malformed UTF-8, are dropped.
std::string Utf8ToCp1251(std::string_view text);

}  // namespace Platform
