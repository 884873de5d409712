#pragma once
// Re-playing the replays sent to the table with the game's own simulation: each one in a
// process of the game's headless runner (sprayrush-run --verify), limited in CPU time by
// its frames, in memory and in wall time, on a small pool of workers of its own. Replays
// wait their turn address by address, a few from each, so one address that floods waits
// behind everyone else instead of in front. A replay that crashes or loops costs its own
// process only.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <sys/types.h>

namespace Scores {

struct TReplaySettings {
  // The game's headless runner, with the game's data where it looks for it.
  std::string Runner;
  // Re-plays at once. Each takes a core while it runs; the rest stay for pages and results.
  size_t Workers = 1;
  // Replays waiting for a worker, in all and from one address: a player sends one a game.
  size_t MaxWaiting = 64;
  size_t MaxWaitingPerAddress = 2;
  // CPU time: the runner's start and its check of the race's proof, then a share for each
  // frame, several times what the busiest race needs (a ten-minute race takes 4 us a
  // frame), twice over (the replay, then its proof).
  double CpuSeconds = 3;
  double CpuMicrosecondsPerFrame = 40;
  // Memory: the runner with the game's pictures needs about 100 MB.
  size_t MemoryBytes = size_t(1) << 30;
};

// What the re-play of a replay came to.
struct TVerdict {
  enum TKind {
    Proven,       // the game's own simulation came to every claim of the file
    Damaged,      // not a replay, cut short, flipped bytes
    Refused,      // another end than it claims, another simulation version, not a sent game
    Unavailable,  // the runner could not run here; nobody's fault but ours
  } Kind = Unavailable;
  std::string Reason;  // for people, in English
  // Proven: what the re-play computed (Windows-1251 texts; the free text as sent).
  std::string Name;
  int32_t Score = 0;
  std::string AddInfo;
  uint64_t Game = 0;  // the game's state checksum after its last frame
  std::optional<uint64_t> Race;  // the race's identity, once it ended
  std::string Proof;  // the replay as far as it proves the race (the whole one without it)
};

// The runner's exit status and output as a verdict (the --verify line, its message).
TVerdict ReadVerdict(int status, const std::string& out, const std::string& err);

// What can be told from a replay's bytes alone, before a process is spent on it: damaged,
// another simulation, a game that did not send its result, more events than a person
// makes. Otherwise nothing, and the claims and frames are filled in.
struct TClaims {
  std::string Name;
  int32_t Score = 0;
  uint32_t Frames = 0;
};
std::optional<TVerdict> Precheck(const std::string& replay, TClaims* claims = nullptr);

class TReplayChecker {
 public:
  explicit TReplayChecker(TReplaySettings settings);
  ~TReplayChecker();
  TReplayChecker(const TReplayChecker&) = delete;
  TReplayChecker& operator=(const TReplayChecker&) = delete;

  // The scratch folder of this server's re-plays; folders left by servers that are gone
  // are removed when the first checker of a process starts.
  const std::string& Scratch() const { return ScratchFolder; }

  // A replay to re-play: Load gives its bytes when its turn comes (nothing: it is gone),
  // Done the verdict with the bytes, on a worker.
  using TDone = std::function<void(TVerdict, std::string replay)>;
  struct TJob {
    std::string Client;
    std::function<std::optional<std::string>()> Load;
    TDone Done;
  };
  // What the bytes alone tell (Precheck), on a thread of its own so that reading a large
  // replay never holds up the event loop; done gets the refusal or the claims, and the
  // bytes back. False, without calling done, when many wait already or it is stopping.
  using TScreened = std::function<void(std::optional<TVerdict>, TClaims, std::string replay)>;
  bool Screen(std::string replay, TScreened done);

  enum TTaken { Taken, Full, AddressFull, Stopped };
  // A job that must wait its turn goes in only while there is room; forced (the replays
  // kept from before a restart) it always does.
  TTaken Check(TJob job, bool forced = false);
  // Ends the re-plays under way; those waiting are answered Unavailable ("stopping").
  void Stop();
  bool Stopping() const;

 private:
  void Work();
  void ScreenLoop();
  TVerdict Run(const std::string& replay);

  TReplaySettings Settings;
  std::string ScratchFolder;
  int ScratchLock = -1;
  mutable std::mutex Lock;
  std::condition_variable Wake;
  bool Ended = false;
  // Jobs by address, and the addresses in the order they are served.
  std::map<std::string, std::deque<TJob>> Waiting;
  std::deque<std::string> Turns;
  size_t WaitingCount = 0;
  std::set<pid_t> Running;
  std::vector<std::thread> Workers;
  std::deque<std::pair<std::string, TScreened>> Screening;
  std::condition_variable ScreenWake;
  std::thread Screener;
};

}  // namespace Scores
