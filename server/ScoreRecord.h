#pragma once
// What the game sends: a letter code that holds a short text record of one result.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace Scores {

// One result as the game sent it; texts are Windows-1251 bytes.
struct TSubmission {
  std::string Name;
  int32_t Score = 0;
  std::string AddInfo;
};

// The longest code a valid record can give: 36 fixed bytes, a 10-byte name, ten digits
// and a 10-byte free text, padded to 70 bytes, make 112 letters.
constexpr size_t MaxCodeLength = 112;
constexpr size_t MaxNameBytes = 10;
constexpr size_t MaxAddInfoBytes = 10;

// The record's bytes, or nothing when the code has a letter outside the alphabet, is
// empty, too long, or does not fill whole bytes of whole five-byte groups.
std::optional<std::string> DecodeCode(std::string_view code);

// Reads "type=0|name=N|score=D|key=S|p=|add=A|z=" plus its "0" padding. Name and free
// text may hold "|", so the record is taken apart from both ends: the fixed head from the
// front; from the back the padding and the last "|z="; between them the first
// "|key=S|p=|add=" ends the score (neither text can hold it in 10 bytes), the score is the
// digits after the last "|score=" before it, and the name is what lies before that.
// Nothing when any part is missing or out of bounds (a text over 10 bytes or with control
// bytes, a score that is not a plain decimal 0..2147483647, wrong padding); the reason
// goes to *why when given.
std::optional<TSubmission> ParseRecord(std::string_view record, std::string* why = nullptr);

}  // namespace Scores
