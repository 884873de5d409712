#pragma once
// Re-playing the replays sent to the table with the game's own simulation: each one in a
// process of the game's headless runner (sprayrush-run --verify), limited in CPU time,
// memory and wall time, on a small pool of workers of its own with a bounded queue. A
// replay that crashes or loops costs its own process only, and a flood of them waits in
// the queue (or is turned away) while pages and submissions go on beside it.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
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
  // Replays waiting for a worker; a few minutes' worth at most.
  size_t MaxWaiting = 16;
  // Four hours of play re-play in a few seconds; a replay needing more is not one the game made.
  int CpuSeconds = 30;
  int WallSeconds = 120;
  // The runner with the game's pictures needs about 100 MB.
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
};

// The runner's exit status and output as a verdict (the --verify line, its message).
TVerdict ReadVerdict(int status, const std::string& out, const std::string& err);

class TReplayChecker {
 public:
  explicit TReplayChecker(TReplaySettings settings);
  ~TReplayChecker();
  TReplayChecker(const TReplayChecker&) = delete;
  TReplayChecker& operator=(const TReplayChecker&) = delete;

  // done runs once, on a worker, and gets the replay back. False, without calling it, when
  // the queue is full or stopped.
  using TDone = std::function<void(TVerdict, std::string replay)>;
  bool Check(std::string replay, TDone done);
  // Ends the re-plays under way and answers those waiting as Unavailable.
  void Stop();

 private:
  void Work();
  TVerdict Run(const std::string& replay);

  TReplaySettings Settings;
  std::mutex Lock;
  std::condition_variable Wake;
  bool Stopping = false;
  std::deque<std::pair<std::string, TDone>> Waiting;
  std::set<pid_t> Running;
  std::vector<std::thread> Workers;
};

}  // namespace Scores
