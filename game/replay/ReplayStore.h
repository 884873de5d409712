#pragma once
// The replays the game keeps in "Data\Replays": the last 20 games and the games behind the
// entries of the local high-score table. Only files named the way the game names its
// replays are ever read or removed there.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct THighScoreTable;

constexpr const char* ReplayFolder = "Data\\Replays";
constexpr size_t KeptRecentReplays = 20;

// "YYYYMMDD-HHMMSS-NN.replay" (UTC), NN counting games that began in the same second.
bool IsReplayFileName(const std::string& name);

// Writes a finished game's replay and removes the ones no longer kept; a failure to write
// or remove only costs that replay, never the game.
void KeepReplay(const std::vector<uint8_t>& bytes, int64_t startedAt, const THighScoreTable& table);
// The game paths of the kept replays, oldest first.
std::vector<std::string> ReplayFiles();
// The file image of a replay file; nothing when it cannot be read or is larger than any
// replay.
std::optional<std::vector<uint8_t>> ReadReplayFile(const std::string& gamePath);
// Sent games' replays the score server could not take yet (it was busy or did not answer)
// wait here, beside the kept ones, until they go or a week has passed since their game.
constexpr const char* UnsentFolder = "Data\\Replays\\Unsent";
constexpr int64_t UnsentKeepSeconds = 7 * 24 * 3600;
// Writing one that cannot be written costs only that replay's proof.
void KeepUnsentReplay(const std::vector<uint8_t>& bytes, int64_t startedAt);
// Their game paths, oldest first.
std::vector<std::string> UnsentReplays();
void DropUnsentReplay(const std::string& gamePath);
// Until when the server asked to be left alone (seconds since 1970; 0 when it did not).
int64_t UnsentRetryAfter();
void SetUnsentRetryAfter(int64_t until);

// The game path of the replay behind each table entry 1..10 ("" where there is none): a
// game that entered the table with that name and those points; of several alike, the
// older one belongs to the higher entry, as the table keeps equal results in order.
std::array<std::string, 11> EntryReplays(const THighScoreTable& table, const std::vector<std::string>& files);
