#include "game/replay/ReplayStore.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

#include "game/persist/HighScores.h"
#include "game/persist/SaveFile.h"
#include "game/persist/TextLines.h"
#include "game/replay/ReplayFile.h"
#include "media/Platform/MainLoop.h"
#include "media/Platform/Paths.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t NameLength = 25;  // "YYYYMMDD-HHMMSS-NN.replay"

std::string GamePath(const std::string& name, const char* folder = ReplayFolder) {
  return std::string(folder) + "\\" + name;
}

std::string StampOf(int64_t startedAt) {
  using namespace std::chrono;
  const sys_seconds t{seconds(startedAt)};
  const sys_days day = floor<days>(t);
  const year_month_day ymd{day};
  const hh_mm_ss hms{t - day};
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d%02u%02u-%02d%02d%02d", int(ymd.year()), unsigned(ymd.month()),
                unsigned(ymd.day()), int(hms.hours().count()), int(hms.minutes().count()),
                int(hms.seconds().count()));
  return stamp;
}

struct TCandidate {
  std::string Path, Name;
  int32_t Score = 0;
};

// The game path of a new replay of a game that started then: the first name not taken.
std::string FreePath(const char* folder, int64_t startedAt) {
  const std::string stamp = StampOf(startedAt);
  std::error_code ec;
  for (int n = 1; n <= 99; ++n) {
    char name[NameLength + 1];
    std::snprintf(name, sizeof name, "%s-%02d.replay", stamp.c_str(), n);
    if (!fs::exists(Platform::NativePath(GamePath(name, folder)), ec)) return GamePath(name, folder);
  }
  return {};
}

// The replays named the game's way in a folder, oldest first.
std::vector<std::string> FilesIn(const char* folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(Platform::NativePath(folder), ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = Platform::PathToUtf8(it->path().filename());
    if (IsReplayFileName(name) && it->is_regular_file(ec)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  std::vector<std::string> paths;
  for (const std::string& name : names) paths.push_back(GamePath(name, folder));
  return paths;
}

const std::string RetryAfterFile = std::string(UnsentFolder) + "\\retry-after";

}  // namespace

bool IsReplayFileName(const std::string& name) {
  if (name.size() != NameLength || name.substr(18) != ".replay") return false;
  for (size_t i = 0; i < 18; ++i) {
    const bool dash = i == 8 || i == 15;
    if (dash ? name[i] != '-' : (name[i] < '0' || name[i] > '9')) return false;
  }
  return true;
}

std::vector<std::string> ReplayFiles() { return FilesIn(ReplayFolder); }

std::vector<std::string> UnsentReplays() { return FilesIn(UnsentFolder); }

void KeepUnsentReplay(const std::vector<uint8_t>& bytes, int64_t startedAt) {
  try {
    if (const std::string path = FreePath(UnsentFolder, startedAt); !path.empty() && !bytes.empty())
      WriteFileAtomically(path, std::string(bytes.begin(), bytes.end()));
  } catch (const std::exception&) {
    // A full disk: this replay's proof is lost, nothing else.
  }
}

void DropUnsentReplay(const std::string& gamePath) {
  std::error_code ec;
  if (fs::remove(Platform::NativePath(gamePath), ec)) Platform::PlayerFilesChanged();
}

int64_t UnsentRetryAfter() {
  std::ifstream in(Platform::NativePath(RetryAfterFile));
  int64_t until = 0;
  return in >> until ? until : 0;
}

void SetUnsentRetryAfter(int64_t until) {
  try {
    WriteFileAtomically(RetryAfterFile, std::to_string(until) + "\r\n");
  } catch (const std::exception&) {
    // Then the next try comes sooner than asked; the server says so again.
  }
}

std::optional<std::vector<uint8_t>> ReadReplayFile(const std::string& gamePath) {
  std::ifstream in(Platform::NativePath(gamePath), std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<uint8_t> bytes = ReadReplayBytes(in);
  if (bytes.size() > MaxReplayBytes || in.bad()) return std::nullopt;
  return bytes;
}

std::array<std::string, 11> EntryReplays(const THighScoreTable& table, const std::vector<std::string>& files) {
  std::vector<TCandidate> candidates;
  for (const std::string& path : files) {
    const auto bytes = ReadReplayFile(path);
    if (!bytes) continue;
    try {
      const TReplay replay = DecodeReplay(*bytes);
      if (replay.Result.EnteredTable)
        candidates.push_back({path, WithoutLineBreaks(replay.Result.PlayerName), replay.Result.Score});
    } catch (const std::exception&) {
      // Not one of ours after all, or damaged: it stands behind no entry.
    }
  }
  std::array<std::string, 11> found;
  for (size_t r = 1; r <= 10; ++r) {
    const THighScore& entry = table.HighScores[r];
    for (TCandidate& c : candidates)
      if (!c.Path.empty() && c.Name == entry.Name && c.Score == entry.Points) {
        found[r] = c.Path;
        c.Path.clear();
        break;
      }
  }
  return found;
}

void KeepReplay(const std::vector<uint8_t>& bytes, int64_t startedAt, const THighScoreTable& table) {
  if (bytes.empty()) return;
  try {
    const std::string path = FreePath(ReplayFolder, startedAt);
    if (path.empty()) return;
    std::error_code ec;
    WriteFileAtomically(path, std::string(bytes.begin(), bytes.end()));

    const std::vector<std::string> files = ReplayFiles();
    std::set<std::string> kept(files.end() - std::ptrdiff_t(std::min(files.size(), KeptRecentReplays)),
                               files.end());
    for (const std::string& behind : EntryReplays(table, files))
      if (!behind.empty()) kept.insert(behind);
    for (const std::string& file : files)
      if (!kept.count(file)) fs::remove(Platform::NativePath(file), ec);
  } catch (const std::exception&) {
    // A full disk or a folder that cannot be written: the game goes on without this replay.
  }
}
