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

// The name is typed in the game, at most 10 printable characters.
constexpr size_t MaxNameBytes = 10;
// The free text comes from a line of the options file, which the game reads up to 4096
// bytes; whatever it holds is taken, and kept clipped to StoredAddInfoBytes with control
// bytes shown as spaces, so a hand-edited options file costs no result.
constexpr size_t MaxSentAddInfoBytes = 4096;
constexpr size_t StoredAddInfoBytes = 32;
// The longest code a valid record can give: 36 fixed bytes, the name, ten digits and the
// longest free text, padded to whole five-byte groups of eight letters each.
constexpr size_t MaxRecordBytes = (36 + MaxNameBytes + 10 + MaxSentAddInfoBytes + 4) / 5 * 5;
constexpr size_t MaxCodeLength = MaxRecordBytes / 5 * 8;

// At most limit bytes, none of them a control byte (DEL included): a name the game lets a
// player type fits in MaxNameBytes.
bool PlainText(std::string_view text, size_t limit);

// The free text as the table keeps it: its first StoredAddInfoBytes, control bytes below
// the space as spaces.
std::string KeptAddInfo(std::string_view text);

// The record's bytes, or nothing when the code has a letter outside the alphabet, is
// empty, too long, or does not fill whole bytes of whole five-byte groups.
std::optional<std::string> DecodeCode(std::string_view code);

// Reads "type=0|name=N|score=D|key=S|p=|add=A|z=" plus its "0" padding. Name and free
// text may hold "|", so the record is taken apart from both ends: the fixed head from the
// front; from the back the padding and the last "|z="; between them the first
// "|key=S|p=|add=" ends the score (the name cannot hold it in 10 bytes; the free text
// comes after it), the score is the digits after the last "|score=" before it, and the
// name is what lies before that. Nothing when any part is missing or out of bounds (a
// name over 10 bytes or with control bytes, a free text over MaxSentAddInfoBytes, a score
// that is not a plain decimal 0..2147483647, wrong padding); the reason goes to *why when
// given. The free text comes back as it is kept (see StoredAddInfoBytes).
std::optional<TSubmission> ParseRecord(std::string_view record, std::string* why = nullptr);

}  // namespace Scores
