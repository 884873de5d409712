#include "game/persist/TextLines.h"

#include <fstream>

#include "media/Platform/Paths.h"

std::optional<std::vector<std::string>> ReadTextLines(const std::string& gamePath, size_t count) {
  std::ifstream in(Platform::NativePath(gamePath), std::ios::binary);
  if (!in) return std::nullopt;
  std::streambuf& buf = *in.rdbuf();
  std::vector<std::string> lines;
  std::string line;
  while (lines.size() < count) {
    const int c = buf.sbumpc();
    const bool atEnd = c == std::char_traits<char>::eof();
    if (atEnd || c == '\n') {
      // A last line without its line end still counts.
      if (atEnd && line.empty()) break;
      if (!atEnd && !line.empty() && line.back() == '\r') line.pop_back();
      if (line.size() > MaxLineBytes) return std::nullopt;
      lines.push_back(std::move(line));
      line.clear();
      if (atEnd) break;
      continue;
    }
    // One byte of slack for the CR of the line end.
    if (line.size() > MaxLineBytes) return std::nullopt;
    line.push_back(char(c));
  }
  if (lines.size() < count) return std::nullopt;
  return lines;
}

std::optional<int32_t> ParseDecimalLine(std::string_view line) {
  size_t i = 0;
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  bool negative = false;
  if (i < line.size() && (line[i] == '-' || line[i] == '+')) negative = line[i++] == '-';
  const size_t first = i;
  int64_t value = 0;
  for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i) {
    value = value * 10 + (line[i] - '0');
    if (value > int64_t(INT32_MAX) + 1) return std::nullopt;
  }
  if (i == first) return std::nullopt;
  if (negative) value = -value;
  if (value > INT32_MAX) return std::nullopt;
  return int32_t(value);
}

std::string WithoutLineBreaks(std::string_view text) {
  std::string out;
  for (char c : text)
    if (c != '\r' && c != '\n') out.push_back(c);
  return out;
}

void AppendLine(std::string& out, std::string_view text) {
  out += WithoutLineBreaks(text);
  out += "\r\n";
}
