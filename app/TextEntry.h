#pragma once
// Small helpers of typed text: both return a new string.
#include <string>

// The text with the character appended while it is shorter than the limit.
inline std::string AppendLimited(const std::string& text, char ch, size_t limit) {
  return text.size() < limit ? text + ch : text;
}

// The text without its last character; an empty text stays empty.
inline std::string DropLast(const std::string& text) {
  return text.empty() ? text : text.substr(0, text.size() - 1);
}
