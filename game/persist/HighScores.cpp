#include "game/persist/HighScores.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <utility>

#include "game/persist/SaveFile.h"
#include "game/persist/TextLines.h"
#include "media/Platform/Paths.h"

namespace {

constexpr int TableSize = 10;
constexpr int CandidateSlot = 11;
constexpr int LinesPerEntry = 4;
const char* const DefaultName = "\xC2\xE0\xED\xFF";  // "Ваня"

unsigned char Mix(unsigned char a, unsigned char b) { return (a + b) % 224 + 32; }

}  // namespace

bool FileReadable(const std::string& gamePath) {
  if (gamePath.empty()) return false;
  const auto path = Platform::NativePath(gamePath);
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return false;
  return std::ifstream(path, std::ios::binary).is_open();
}

void ResetHighScores(THighScoreTable& table) {
  for (int i = 1; i <= TableSize; ++i) table.HighScores[i] = {DefaultName, 5500 - 500 * i, 0, 0};
}

void LoadHighScores(THighScoreTable& table, const std::string& gamePath) {
  if (!FileReadable(gamePath)) return ResetHighScores(table);
  const auto lines = ReadTextLines(gamePath, TableSize * LinesPerEntry);
  if (!lines) return ResetHighScores(table);
  std::array<THighScore, TableSize + 1> read;
  for (int i = 1; i <= TableSize; ++i) {
    const std::string* entry = &(*lines)[size_t((i - 1) * LinesPerEntry)];
    const auto points = ParseDecimalLine(entry[1]);
    const auto extra1 = ParseDecimalLine(entry[2]);
    const auto extra2 = ParseDecimalLine(entry[3]);
    // A damaged table is dropped whole; the signature check would reject it anyway.
    if (!points || !extra1 || !extra2) return ResetHighScores(table);
    read[i] = {entry[0], *points, *extra1, *extra2};
  }
  for (int i = 1; i <= TableSize; ++i) table.HighScores[i] = std::move(read[i]);
}

void SaveHighScores(const THighScoreTable& table, const std::string& gamePath) {
  std::string text;
  for (int i = 1; i <= TableSize; ++i) {
    const THighScore& e = table.HighScores[i];
    AppendLine(text, e.Name);
    AppendLine(text, std::to_string(e.Points));
    AppendLine(text, std::to_string(e.Extra1));
    AppendLine(text, std::to_string(e.Extra2));
  }
  WriteFileAtomically(gamePath, text);
}

std::string HighScoreSignature(const THighScoreTable& table) {
  size_t longest = 0;
  for (int i = 1; i <= TableSize; ++i) longest = std::max(longest, table.HighScores[i].Name.size());
  std::string s(longest, ' ');
  for (int i = 1; i <= TableSize; ++i) {
    const THighScore& e = table.HighScores[i];
    for (size_t k = 0; k < e.Name.size(); ++k) s[k] = char(Mix(s[k], e.Name[k]));
    const std::string digits = std::to_string(e.Points);
    for (size_t k = 0; k < digits.size() && k < longest; ++k) s[k] = char(Mix(s[k], digits[k]));
  }
  return s;
}

bool HighScoresValid(const THighScoreTable& table) {
  return HighScoreSignature(table) == table.StoredSignature;
}

bool QualifiesForHighScore(const THighScoreTable& table, int32_t score) {
  for (int i = 1; i <= TableSize; ++i)
    if (score > table.HighScores[i].Points) return true;
  return false;
}

void InsertHighScore(THighScoreTable& table, const std::string& playerName, int32_t score) {
  // The file could not hold those bytes, and the signature must match what is saved.
  table.HighScores[CandidateSlot].Name = WithoutLineBreaks(playerName);
  table.HighScores[CandidateSlot].Points = score;
  SortHighScores(table);
}

void SortHighScores(THighScoreTable& table) {
  auto& h = table.HighScores;
  for (int pass = 1; pass <= 10; ++pass)
    for (int j = 1; j <= CandidateSlot - pass; ++j)
      if (h[j].Points < h[j + 1].Points) std::swap(h[j], h[j + 1]);
}
