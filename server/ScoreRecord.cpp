#include "server/ScoreRecord.h"

#include <algorithm>

namespace Scores {

namespace {

constexpr std::string_view Alphabet = "ABCDEFGHJKLMNPQRSTUVWXY123456789";
constexpr std::string_view Head = "type=0|name=";
constexpr std::string_view ScoreMark = "|score=";
constexpr std::string_view Middle = "|key=S|p=|add=";
constexpr std::string_view Trailer = "|z=";

std::optional<TSubmission> Refuse(std::string* why, const char* reason) {
  if (why) *why = reason;
  return std::nullopt;
}


std::optional<int32_t> PlainDecimal(std::string_view digits) {
  if (digits.empty() || digits.size() > 10 || (digits.size() > 1 && digits[0] == '0')) return std::nullopt;
  int64_t value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value > INT32_MAX) return std::nullopt;
  return int32_t(value);
}

// Windows-1251 has its control bytes below the space and at 0x7F (DEL); a name holds none.
bool IsControl(char c) { return uint8_t(c) < 32 || uint8_t(c) == 0x7F; }

}  // namespace

bool PlainText(std::string_view text, size_t limit) {
  return text.size() <= limit && std::none_of(text.begin(), text.end(), IsControl);
}

std::string KeptAddInfo(std::string_view text) {
  std::string kept(text.substr(0, StoredAddInfoBytes));
  std::replace_if(kept.begin(), kept.end(), [](char c) { return uint8_t(c) < 32; }, ' ');
  return kept;
}

std::optional<std::string> DecodeCode(std::string_view code) {
  // Eight letters carry five whole bytes; records always come in such groups.
  if (code.empty() || code.size() > MaxCodeLength || code.size() % 8 != 0) return std::nullopt;
  std::string bytes;
  uint32_t pending = 0;
  int bits = 0;
  for (char c : code) {
    const size_t value = Alphabet.find(c);
    if (value == std::string_view::npos) return std::nullopt;
    pending = (pending << 5) | uint32_t(value);
    bits += 5;
    if (bits >= 8) {
      bits -= 8;
      bytes += char((pending >> bits) & 0xFF);
    }
  }
  return bytes;
}

std::optional<TSubmission> ParseRecord(std::string_view record, std::string* why) {
  if (record.size() % 5 != 0) return Refuse(why, "record is not whole five-byte groups");
  if (record.substr(0, Head.size()) != Head) return Refuse(why, "record does not begin with type 0 and a name");
  const size_t trailer = record.rfind(Trailer);
  if (trailer == std::string_view::npos || trailer < Head.size()) return Refuse(why, "record has no end mark");
  const size_t unpadded = trailer + Trailer.size();
  const std::string_view padding = record.substr(unpadded);
  if (padding.size() != (5 - unpadded % 5) % 5 || padding.find_first_not_of('0') != std::string_view::npos)
    return Refuse(why, "record is padded wrongly");

  const std::string_view body = record.substr(Head.size(), trailer - Head.size());
  const size_t middle = body.find(Middle);
  if (middle == std::string_view::npos) return Refuse(why, "record has no key S or a value in p");
  const std::string_view front = body.substr(0, middle);
  const size_t scoreMark = front.rfind(ScoreMark);
  if (scoreMark == std::string_view::npos) return Refuse(why, "record has no score");

  TSubmission result;
  const auto score = PlainDecimal(front.substr(scoreMark + ScoreMark.size()));
  if (!score) return Refuse(why, "score is not a decimal 0 to 2147483647");
  result.Score = *score;
  result.Name = std::string(front.substr(0, scoreMark));
  result.AddInfo = std::string(body.substr(middle + Middle.size()));
  if (!PlainText(result.Name, MaxNameBytes)) return Refuse(why, "name is longer than 10 bytes or has control bytes");
  if (result.AddInfo.size() > MaxSentAddInfoBytes) return Refuse(why, "free text is longer than the game sends");
  result.AddInfo = KeptAddInfo(result.AddInfo);
  return result;
}

}  // namespace Scores
