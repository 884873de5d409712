#pragma once
// Line reading and writing shared by the two save files: CR LF lines, bytes as they are.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Our lines are a name, a number or a short text; anything this long is a damaged file,
// and the cap keeps a huge or binary file from eating memory.
constexpr size_t MaxLineBytes = 4096;

// The first `count` lines (without their CR LF or LF ends), or nothing when the file cannot
// be read, has fewer lines or a line longer than MaxLineBytes. Lines after them are ignored.
std::optional<std::vector<std::string>> ReadTextLines(const std::string& gamePath, size_t count);

// The decimal integer a line begins with (blanks and a sign may come first, the rest is
// ignored); nothing when there are no digits or the value does not fit 32 bits.
std::optional<int32_t> ParseDecimalLine(std::string_view line);

// CR or LF inside a text would split it into two lines of the file, so they are dropped.
std::string WithoutLineBreaks(std::string_view text);
// The text without line breaks, then CR LF.
void AppendLine(std::string& out, std::string_view text);
