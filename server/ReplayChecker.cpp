#include "server/ReplayChecker.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <stdlib.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>

#include "game/replay/ReplayFile.h"

namespace Scores {

namespace {

// The runner's output is one line and a message; more is not listened to.
constexpr size_t MaxOutputBytes = 64 * 1024;

std::string FromHex(const std::string& hex, bool& ok) {
  std::string bytes;
  if (hex.size() % 2) ok = false;
  for (size_t i = 0; ok && i + 1 < hex.size(); i += 2) {
    const auto digit = [&](char c) {
      if (c >= '0' && c <= '9') return c - '0';
      if (c >= 'A' && c <= 'F') return c - 'A' + 10;
      ok = false;
      return 0;
    };
    bytes += char(digit(hex[i]) * 16 + digit(hex[i + 1]));
  }
  return bytes;
}

std::string FirstLine(const std::string& text) {
  std::string line = text.substr(0, text.find('\n'));
  if (line.rfind("sprayrush-run: ", 0) == 0) line.erase(0, 15);
  return line;
}

TVerdict Verdict(TVerdict::TKind kind, std::string reason) {
  TVerdict v;
  v.Kind = kind;
  v.Reason = std::move(reason);
  return v;
}

void CloseQuietly(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// The folder's lock is held by the server that made it as long as that server runs.
bool Locked(int folder) { return ::flock(folder, LOCK_EX | LOCK_NB) == 0; }

// Scratch folders of servers that are gone (killed, or the machine stopped under them);
// one that is only seconds old may still be waiting for its maker's lock.
void RemoveAbandonedScratch(const std::filesystem::path& temp) {
  static std::once_flag once;
  std::call_once(once, [&] {
    std::error_code ec;
    const auto now = std::filesystem::file_time_type::clock::now();
    for (std::filesystem::directory_iterator it(temp, ec), end; !ec && it != end; it.increment(ec)) {
      const std::string name = it->path().filename().string();
      if (name.rfind("sprayrush-scores-", 0) != 0 || !it->is_directory(ec)) continue;
      if (now - it->last_write_time(ec) < std::chrono::seconds(10) || ec) continue;
      const int folder = ::open(it->path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      if (folder < 0) continue;
      if (Locked(folder)) std::filesystem::remove_all(it->path(), ec);
      ::close(folder);
    }
  });
}

}  // namespace

std::optional<TVerdict> Precheck(const std::string& bytes, TClaims* claims) {
  TReplay replay;
  try {
    replay = DecodeReplay({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
    CheckSimulation(replay);
  } catch (const EReplayDamaged& e) {
    std::string reason = e.what();  // the reader says "the replay is damaged (why)"
    if (!reason.empty()) reason[0] = char(std::toupper(static_cast<unsigned char>(reason[0])));
    return Verdict(TVerdict::Damaged, reason);
  } catch (const EReplayVersion& e) {
    return Verdict(TVerdict::Refused, std::string("The replay cannot be re-played here: ") + e.what());
  }
  if (!replay.Result.Sent)
    return Verdict(TVerdict::Refused, "The replay's game did not send its result; only a sent result goes on the table");
  if (const auto why = BeyondAPerson(replay))
    return Verdict(TVerdict::Refused, "The replay is not one a person played: " + *why);
  if (claims) *claims = {replay.Result.PlayerName, replay.Result.Score, replay.Result.Frames};
  return std::nullopt;
}

TVerdict ReadVerdict(int status, const std::string& out, const std::string& err) {
  std::map<std::string, std::string> fields;
  std::istringstream line(out.substr(0, out.find('\n')));
  for (std::string item; line >> item;)
    if (const size_t equals = item.find('='); equals != std::string::npos)
      fields[item.substr(0, equals)] = item.substr(equals + 1);
  const std::string result = fields["result"];
  if (status == 2) return Verdict(TVerdict::Damaged, "The replay is damaged: " + FirstLine(err));
  if (status == 3 && result == "differs") {
    // Only what differs is named: the same numbers twice would tell nobody anything.
    std::string differences;
    const auto differ = [&](const std::string& what, const std::string& computed, const std::string& claimed) {
      if (computed == claimed) return;
      differences += (differences.empty() ? "" : ", ") + what + " " + computed + " where the file claims " + claimed;
    };
    differ("score", fields["score"], fields["claimed_score"]);
    differ("name", fields["name"], fields["claimed_name"]);
    differ("frames", fields["frames"], fields["claimed_frames"]);
    differ("checksum", fields["checksum"], fields["claimed_checksum"]);
    if (fields["sent"] != "1") differences += std::string(differences.empty() ? "" : ", ") + "a game that did not send its result";
    return Verdict(TVerdict::Refused, "The replay does not come to the end it claims: the game's own simulation gives " +
                                          (differences.empty() ? std::string("another end") : differences));
  }
  if (status == 3) return Verdict(TVerdict::Refused, "The replay cannot be re-played here: " + FirstLine(err));
  if (status != 0 || result != "reproduced")
    return Verdict(TVerdict::Unavailable, "The replay checker failed (status " + std::to_string(status) +
                                              "): " + FirstLine(err));
  TVerdict v;
  v.Kind = TVerdict::Proven;
  bool ok = true;
  v.Name = FromHex(fields["name"], ok);
  v.AddInfo = FromHex(fields["add"], ok);
  char* end = nullptr;
  const std::string& score = fields["score"];
  const long long points = std::strtoll(score.c_str(), &end, 10);
  ok = ok && !score.empty() && *end == 0 && points >= INT32_MIN && points <= INT32_MAX;
  v.Score = int32_t(points);
  const std::string& checksum = fields["checksum"];
  v.Game = std::strtoull(checksum.c_str(), &end, 16);
  ok = ok && checksum.size() == 16 && *end == 0 && fields["sent"] == "1";
  // A race that never ended has no identity ("-"); a sent game's always has one.
  const std::string& race = fields["race"];
  if (race.size() == 16) {
    v.Race = std::strtoull(race.c_str(), &end, 16);
    ok = ok && *end == 0;
  }
  if (!ok) return Verdict(TVerdict::Unavailable, "The replay checker's answer cannot be read: " + FirstLine(out));
  return v;
}

TReplayChecker::TReplayChecker(TReplaySettings settings) : Settings(std::move(settings)) {
  std::error_code noTemp;
  const std::filesystem::path temp = std::filesystem::temp_directory_path(noTemp);
  if (!noTemp) {
    RemoveAbandonedScratch(temp);
    std::string folder = (temp / "sprayrush-scores-XXXXXX").string();
    if (::mkdtemp(folder.data())) {
      ScratchLock = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      if (ScratchLock >= 0 && Locked(ScratchLock)) ScratchFolder = folder;
    }
  }
  for (size_t i = 0; i < Settings.Workers; ++i) Workers.emplace_back([this] { Work(); });
  Screener = std::thread([this] { ScreenLoop(); });
}

bool TReplayChecker::Screen(std::string replay, TScreened done) {
  {
    std::lock_guard<std::mutex> hold(Lock);
    // The bodies are held by the server's upload budget already; this only bounds the line.
    if (Ended || Screening.size() >= 256) return false;
    Screening.emplace_back(std::move(replay), std::move(done));
  }
  ScreenWake.notify_one();
  return true;
}

void TReplayChecker::ScreenLoop() {
  for (;;) {
    std::pair<std::string, TScreened> job;
    {
      std::unique_lock<std::mutex> hold(Lock);
      ScreenWake.wait(hold, [this] { return Ended || !Screening.empty(); });
      if (Screening.empty()) return;
      job = std::move(Screening.front());
      Screening.pop_front();
    }
    TClaims claims;
    std::optional<TVerdict> refused = Precheck(job.first, &claims);
    job.second(std::move(refused), std::move(claims), std::move(job.first));
  }
}

TReplayChecker::~TReplayChecker() { Stop(); }

TReplayChecker::TTaken TReplayChecker::Check(TJob job, bool forced) {
  {
    std::lock_guard<std::mutex> hold(Lock);
    if (Ended) return Stopped;
    auto& mine = Waiting[job.Client];
    if (!forced && WaitingCount >= Settings.MaxWaiting) {
      if (mine.empty()) Waiting.erase(job.Client);
      return Full;
    }
    if (!forced && mine.size() >= Settings.MaxWaitingPerAddress) return AddressFull;
    if (mine.empty()) Turns.push_back(job.Client);
    mine.push_back(std::move(job));
    ++WaitingCount;
  }
  Wake.notify_one();
  return Taken;
}

bool TReplayChecker::Stopping() const {
  std::lock_guard<std::mutex> hold(Lock);
  return Ended;
}

void TReplayChecker::Stop() {
  {
    std::lock_guard<std::mutex> hold(Lock);
    Ended = true;
    for (pid_t pid : Running) ::kill(pid, SIGKILL);
  }
  Wake.notify_all();
  ScreenWake.notify_all();
  for (auto& worker : Workers)
    if (worker.joinable()) worker.join();
  Workers.clear();
  if (Screener.joinable()) Screener.join();
  if (ScratchLock >= 0) {
    std::error_code ignored;
    if (!ScratchFolder.empty()) std::filesystem::remove_all(ScratchFolder, ignored);
    ::close(ScratchLock);
    ScratchLock = -1;
  }
}

void TReplayChecker::Work() {
  for (;;) {
    TJob job;
    bool stopping;
    {
      std::unique_lock<std::mutex> hold(Lock);
      Wake.wait(hold, [this] { return Ended || WaitingCount > 0; });
      if (WaitingCount == 0) return;
      // The address whose turn it is gives its oldest; it goes to the back of the line.
      const std::string client = Turns.front();
      Turns.pop_front();
      auto& mine = Waiting[client];
      job = std::move(mine.front());
      mine.pop_front();
      if (mine.empty())
        Waiting.erase(client);
      else
        Turns.push_back(client);
      --WaitingCount;
      stopping = Ended;
    }
    if (stopping) {
      job.Done(Verdict(TVerdict::Unavailable, "The server is stopping"), {});
      continue;
    }
    std::optional<std::string> replay;
    try {
      replay = job.Load();
    } catch (const std::exception& e) {
      std::cerr << "sprayrush-scores: a waiting replay cannot be read: " << e.what() << std::endl;
    }
    if (!replay) {
      job.Done(Verdict(TVerdict::Unavailable, "The replay cannot be read just now"), {});
      continue;
    }
    TVerdict verdict = Run(*replay);
    job.Done(std::move(verdict), std::move(*replay));
  }
}

TVerdict TReplayChecker::Run(const std::string& replay) {
  TClaims claims;
  if (auto early = Precheck(replay, &claims)) return *early;

  // The runner's temporary files go into a folder of this re-play's own, removed here
  // however the runner ends: one killed at its limits cleans up nothing itself.
  std::string scratch = ScratchFolder + "/replay-XXXXXX";
  if (ScratchFolder.empty() || !::mkdtemp(scratch.data())) return Verdict(TVerdict::Unavailable, "no temporary folder");
  std::string proofFile = scratch + "/proof.replay";
  // Everything the child needs is made before it exists: after fork only system calls.
  std::vector<char*> argv = {const_cast<char*>(Settings.Runner.c_str()), const_cast<char*>("--verify"),
                             const_cast<char*>("-"), const_cast<char*>("--proof"), proofFile.data(), nullptr};
  struct TRemove {
    const std::string& Folder;
    ~TRemove() {
      std::error_code ignored;
      std::filesystem::remove_all(Folder, ignored);
    }
  } removeScratch{scratch};
  std::vector<std::string> environment;
  for (char** item = environ; *item; ++item)
    if (std::strncmp(*item, "TMPDIR=", 7) != 0) environment.emplace_back(*item);
  environment.push_back("TMPDIR=" + scratch);
  std::vector<char*> envp;
  for (std::string& item : environment) envp.push_back(item.data());
  envp.push_back(nullptr);
  int in[2], out[2], err[2];
  if (::pipe2(in, O_CLOEXEC) != 0) return Verdict(TVerdict::Unavailable, "no pipe");
  if (::pipe2(out, O_CLOEXEC) != 0) {
    ::close(in[0]), ::close(in[1]);
    return Verdict(TVerdict::Unavailable, "no pipe");
  }
  if (::pipe2(err, O_CLOEXEC) != 0) {
    ::close(in[0]), ::close(in[1]), ::close(out[0]), ::close(out[1]);
    return Verdict(TVerdict::Unavailable, "no pipe");
  }
  // The sanitizers' shadow memory reserves terabytes of address space, and their checks
  // make every frame several times dearer.
#if defined(__SANITIZE_ADDRESS__)
  const bool limitMemory = false;
  const double slower = 10;
#else
  const bool limitMemory = true;
  const double slower = 1;
#endif
  const double cpuSeconds =
      slower * (Settings.CpuSeconds + Settings.CpuMicrosecondsPerFrame * 1e-6 * double(claims.Frames));
  const rlim_t cpuLimit = rlim_t(std::ceil(cpuSeconds));
  const rlimit cpu{cpuLimit, cpuLimit + 1};
  const rlimit memory{Settings.MemoryBytes, Settings.MemoryBytes};
  const rlimit none{0, 0};
  // Behind pages and results on a busy machine a re-play may wait for a core a while.
  const auto wallSeconds = std::chrono::seconds(30 + 3 * cpuLimit);
  std::unique_lock<std::mutex> hold(Lock);
  if (Ended) {
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) ::close(fd);
    return Verdict(TVerdict::Unavailable, "The server is stopping");
  }
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    ::setrlimit(RLIMIT_CPU, &cpu);
    if (limitMemory) ::setrlimit(RLIMIT_AS, &memory);
    ::setrlimit(RLIMIT_CORE, &none);
    // Pages and results come first whenever both want a core.
    ::setpriority(PRIO_PROCESS, 0, 10);
    if (::dup2(in[0], 0) < 0 || ::dup2(out[1], 1) < 0 || ::dup2(err[1], 2) < 0) ::_exit(126);
    ::syscall(SYS_close_range, 3u, ~0u, 0u);
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
  }
  if (pid > 0) Running.insert(pid);
  hold.unlock();
  ::close(in[0]), ::close(out[1]), ::close(err[1]);
  if (pid < 0) {
    ::close(in[1]), ::close(out[0]), ::close(err[0]);
    return Verdict(TVerdict::Unavailable, std::string("cannot start the replay checker: ") + std::strerror(errno));
  }

  // The replay goes in while the answer comes out, until the runner has closed both
  // outputs or its time is up.
  ::fcntl(in[1], F_SETFL, O_NONBLOCK);
  std::string said, complained;
  size_t written = 0;
  const auto deadline = std::chrono::steady_clock::now() + wallSeconds;
  bool late = false;
  while (out[0] >= 0 || err[0] >= 0) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) {
      late = true;
      break;
    }
    pollfd fds[3] = {{in[1], POLLOUT, 0}, {out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    if (::poll(fds, 3, int(std::min<long long>(left, 1000))) < 0 && errno != EINTR) break;
    if (in[1] >= 0 && (fds[0].revents & (POLLOUT | POLLERR | POLLHUP))) {
      const ssize_t n = ::write(in[1], replay.data() + written, replay.size() - written);
      if (n > 0) written += size_t(n);
      if ((n < 0 && errno != EAGAIN) || written == replay.size()) CloseQuietly(in[1]);
    }
    int* reading[2] = {&out[0], &err[0]};
    std::string* into[2] = {&said, &complained};
    for (int i = 0; i < 2; ++i) {
      if (*reading[i] < 0 || !(fds[i + 1].revents & (POLLIN | POLLERR | POLLHUP))) continue;
      char buffer[4096];
      const ssize_t n = ::read(*reading[i], buffer, sizeof buffer);
      if (n > 0 && into[i]->size() < MaxOutputBytes) into[i]->append(buffer, size_t(n));
      if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) CloseQuietly(*reading[i]);
    }
  }
  if (late) ::kill(pid, SIGKILL);
  CloseQuietly(in[1]);
  CloseQuietly(out[0]);
  CloseQuietly(err[0]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  {
    std::lock_guard<std::mutex> relock(Lock);
    Running.erase(pid);
    if (Ended) return Verdict(TVerdict::Unavailable, "The server is stopping");
  }
  if (late) return Verdict(TVerdict::Refused, "The replay took longer to re-play than any game the game records");
  if (WIFSIGNALED(status)) {
    const int signal = WTERMSIG(status);
    if (signal == SIGXCPU || signal == SIGKILL)
      return Verdict(TVerdict::Refused, "The replay took more time to re-play than any game the game records");
    std::cerr << "sprayrush-scores: the replay checker ended by signal " << signal << std::endl;
    return Verdict(TVerdict::Unavailable, "The replay checker failed");
  }
  TVerdict verdict = ReadVerdict(WEXITSTATUS(status), said, complained);
  if (verdict.Kind == TVerdict::Unavailable) std::cerr << "sprayrush-scores: " << verdict.Reason << std::endl;
  if (verdict.Kind == TVerdict::Proven) {
    // The runner writes the proof only once it has re-played it to the same race.
    std::ifstream in(proofFile, std::ios::binary);
    std::vector<uint8_t> bytes = ReadReplayBytes(in);
    if (in.bad() || bytes.empty() || bytes.size() > MaxReplayBytes) {
      if (!complained.empty()) std::cerr << "sprayrush-scores: " << FirstLine(complained) << std::endl;
      verdict.Proof = replay;
    } else {
      verdict.Proof.assign(bytes.begin(), bytes.end());
    }
  }
  return verdict;
}

}  // namespace Scores
