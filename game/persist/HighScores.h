#pragma once
// The local table of the ten best results and its file "Data\Save\hs": 40 CR LF lines,
// four per entry (name, points, two extra numbers), Windows-1251 bytes as they are.
// A signature of the table travels in the options file, so a hand-edited table resets.
#include <array>
#include <cstdint>
#include <string>

struct THighScore {
  std::string Name;  // Windows-1251 bytes
  int32_t Points = 0;
  int32_t Extra1 = 0;
  int32_t Extra2 = 0;
};

struct THighScoreTable {
  // [1..10] the table, best first; [11] the candidate slot that a new result enters
  // before sorting and the dropped entry leaves by. [0] is unused.
  std::array<THighScore, 12> HighScores;
  // The signature read from the options file; empty when that file is absent.
  std::string StoredSignature;
};

constexpr const char* HighScoreFile = "Data\\Save\\hs";

// True when the file can be opened for reading and the path is not empty.
bool FileReadable(const std::string& gamePath);

// Ten entries "Ваня" from 5000 down to 500; slot 11 is left alone.
void ResetHighScores(THighScoreTable& table);
// Reads the table, or the defaults when the file is missing, unreadable or damaged.
void LoadHighScores(THighScoreTable& table, const std::string& gamePath = HighScoreFile);
// Writes the ten entries; the old file stays whole when writing fails (ESaveError).
void SaveHighScores(const THighScoreTable& table, const std::string& gamePath = HighScoreFile);

std::string HighScoreSignature(const THighScoreTable& table);
bool HighScoresValid(const THighScoreTable& table);
// A score beats an entry when it is strictly greater than its points.
bool QualifiesForHighScore(const THighScoreTable& table, int32_t score);
// The result goes into slot 11, then the table is sorted.
void InsertHighScore(THighScoreTable& table, const std::string& playerName, int32_t score);
// Stable, best first, over all eleven slots.
void SortHighScores(THighScoreTable& table);
