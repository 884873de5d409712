// The score server as built, on loopback: submissions a second on SQLite and on
// PostgreSQL with two servers, the page at 100 000 results, and what players see while
// attackers (slow, idle, flooding, from 127.0.1.x and 127.0.2.x) hold the server.
// PostgreSQL 15 is started in a temporary folder, as the tests do. A burst of replays shows
// what re-playing costs and that pages and results do not wait for it.
#include <benchmark/benchmark.h>
#include <poll.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <mutex>
#include <thread>

#include "server/ScoreStore.h"
#include "tests/server/Postgres.h"
#include "tests/server/RawHttp.h"
#include "tests/server/SentGame.h"
#include "tests/server/ServerProcess.h"

namespace {

using namespace ServerTest;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[std::min(values.size() - 1, size_t(p * double(values.size())))];
}

// Players send results as the game does, a connection each, from addresses of their own
// (25 results an address, within the per-address limit). Returns the milliseconds of
// each acknowledged result; ports are taken in turn.
std::vector<double> SendBurst(const std::vector<int>& ports, int players, int each, int addressBase, double& seconds) {
  std::mutex lock;
  std::vector<double> times;
  std::vector<std::thread> threads;
  const auto start = Clock::now();
  for (int p = 0; p < players; ++p) {
    threads.emplace_back([&, p] {
      std::vector<double> mine;
      for (int i = 0; i < each; ++i) {
        const auto answer = Fetch(ports[size_t(i) % ports.size()], SubmitTarget("b" + std::to_string(p), i, "bench"),
                                  Loopback(addressBase + p / 64, (p % 64) * 1000 / 64 + i / 25 + 1));
        if (answer.Status == 200) mine.push_back(answer.Ms);
      }
      std::lock_guard<std::mutex> hold(lock);
      times.insert(times.end(), mine.begin(), mine.end());
    });
  }
  for (auto& t : threads) t.join();
  seconds = Seconds(Clock::now() - start);
  return times;
}

void ReportBurst(benchmark::State& state, const std::vector<double>& times, int sent, double seconds) {
  state.SetIterationTime(seconds);
  state.counters["acknowledged"] = double(times.size());
  state.counters["sent"] = sent;
  state.counters["per_second"] = double(times.size()) / seconds;
  state.counters["median_ms"] = Percentile(times, 0.5);
  state.counters["p99_ms"] = Percentile(times, 0.99);
}

constexpr int Players = 32, Each = 250;

void BM_SubmissionsSqlite(benchmark::State& state) {
  RaiseFileLimit();
  for (auto _ : state) {
    TTempDir dir;
    TServer server(dir.Path / "scores.db");
    double seconds = 0;
    const auto times = SendBurst({server.Port}, Players, Each, 10, seconds);
    ReportBurst(state, times, Players * Each, seconds);
    server.Child.Stop(SIGTERM);
  }
}
BENCHMARK(BM_SubmissionsSqlite)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_SubmissionsPostgresTwoServers(benchmark::State& state) {
  if (!PostgresInstalled()) return state.SkipWithError("PostgreSQL 15 is not installed");
  RaiseFileLimit();
  for (auto _ : state) {
    TTempDir dir;
    TPostgres postgres(dir.Path);
    TServer first(postgres.Uri), second(postgres.Uri);
    double seconds = 0;
    const auto times = SendBurst({first.Port, second.Port}, Players, Each, 20, seconds);
    ReportBurst(state, times, Players * Each, seconds);
    first.Child.Stop(SIGTERM);
    second.Child.Stop(SIGTERM);
  }
}
BENCHMARK(BM_SubmissionsPostgresTwoServers)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// Median and worst of n requests, each on a connection of its own, from addresses that
// stay within the per-address page limit.
std::pair<double, double> TimeRequests(int port, const std::string& target, int n) {
  static int next = 0;
  std::vector<double> times;
  for (int i = 0; i < n; ++i) {
    const auto answer = Fetch(port, target, Loopback(30, 1 + next++ / 40));
    if (answer.Status == 200) times.push_back(answer.Ms);
  }
  return {Percentile(times, 0.5), times.empty() ? 0 : *std::max_element(times.begin(), times.end())};
}

// Arg 0: SQLite, 1: PostgreSQL.
void BM_PageAt100000Results(benchmark::State& state) {
  const bool postgres = state.range(0) == 1;
  if (postgres && !PostgresInstalled()) return state.SkipWithError("PostgreSQL 15 is not installed");
  for (auto _ : state) {
    TTempDir dir;
    std::optional<TPostgres> cluster;
    if (postgres) cluster.emplace(dir.Path);
    const std::string where = postgres ? cluster->Uri : (dir.Path / "scores.db").string();
    {
      auto store = Scores::OpenStore(where);
      std::vector<Scores::TScoreEntry> batch;
      for (int i = 0; i < 100000; ++i) {
        batch.push_back({"n" + std::to_string(i % 977), (i * 7919) % 1000003, "_______", 1700000000 + i});
        if (batch.size() == 5000) {
          store->Add(batch);
          batch.clear();
        }
      }
    }
    TServer server(where);
    const auto first = TimeRequests(server.Port, PageTarget, 50);
    const auto json = TimeRequests(server.Port, PageTarget + "&format=json", 50);
    const auto deep = TimeRequests(server.Port, PageTarget + "&page=1000", 20);
    state.SetIterationTime(first.first / 1000);
    state.counters["page1_median_ms"] = first.first;
    state.counters["page1_worst_ms"] = first.second;
    state.counters["json1_median_ms"] = json.first;
    state.counters["page1000_median_ms"] = deep.first;
    server.Child.Stop(SIGTERM);
  }
}
BENCHMARK(BM_PageAt100000Results)->Arg(0)->Arg(1)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// Connections the bench holds open: count of them from 127.0.1.firstHost on.
std::vector<int> OpenMany(int port, int count, int firstHost, int perAddress, const std::string& hello = {}) {
  std::vector<int> fds;
  for (int i = 0; i < count; ++i) {
    const int fd = ConnectFrom("127.0.1." + std::to_string(firstHost + i / perAddress), port);
    if (fd < 0) continue;
    if (!hello.empty()) SendText(fd, hello);
    fds.push_back(fd);
  }
  return fds;
}

// Seconds until the server has closed all of them (at most 60).
double ClosedAfter(std::vector<int>& fds, Clock::time_point since) {
  std::vector<bool> closed(fds.size(), false);
  size_t left = fds.size();
  while (left > 0 && Seconds(Clock::now() - since) < 60) {
    for (size_t i = 0; i < fds.size(); ++i)
      if (!closed[i] && ClosedByServer(fds[i])) {
        closed[i] = true;
        --left;
      }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return Seconds(Clock::now() - since);
}

// 200 slow-header and 1000 idle connections at once: what a player waits, when the
// server has closed them, how long SIGTERM takes with them open.
void BM_SlowAndIdleConnections(benchmark::State& state) {
  RaiseFileLimit();
  for (auto _ : state) {
    TTempDir dir;
    TServer server(dir.Path / "scores.db");
    const auto start = Clock::now();
    auto idle = OpenMany(server.Port, 1000, 1, 50);
    auto slow = OpenMany(server.Port, 200, 101, 20, "G");
    std::atomic<bool> stop{false};
    std::thread trickle([&] {
      const std::string head = "ET " + PageTarget + " HTTP/1.1\r\nHost: localhost\r\nX-Slow: " + std::string(500, 'a');
      for (size_t at = 0; !stop && at < head.size(); ++at) {
        for (int fd : slow) ::send(fd, &head[at], 1, MSG_NOSIGNAL | MSG_DONTWAIT);
        for (int i = 0; i < 10 && !stop; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
    });
    std::this_thread::sleep_for(std::chrono::seconds(1));
    std::vector<double> submissions, pages;
    for (int i = 0; i < 20; ++i) {
      submissions.push_back(Fetch(server.Port, SubmitTarget("p", i, ""), Loopback(0, 2 + i / 25)).Ms);
      pages.push_back(Fetch(server.Port, PageTarget, "127.0.0.3").Ms);
    }
    const double slowClosed = ClosedAfter(slow, start);
    const double idleClosed = ClosedAfter(idle, start);
    stop = true;
    trickle.join();
    for (int fd : idle) ::close(fd);
    for (int fd : slow) ::close(fd);

    // Stopping with them open again.
    auto again = OpenMany(server.Port, 1000, 1, 50);
    auto slowAgain = OpenMany(server.Port, 200, 101, 20, "GET / HT");
    const double peak = PeakMemoryMb(server.Child.Pid);
    const auto stopping = Clock::now();
    server.Child.Stop(SIGTERM);
    const double stopSeconds = Seconds(Clock::now() - stopping);
    for (int fd : again) ::close(fd);
    for (int fd : slowAgain) ::close(fd);

    state.SetIterationTime(Percentile(submissions, 0.5) / 1000);
    state.counters["submit_median_ms"] = Percentile(submissions, 0.5);
    state.counters["submit_worst_ms"] = *std::max_element(submissions.begin(), submissions.end());
    state.counters["page_median_ms"] = Percentile(pages, 0.5);
    state.counters["page_worst_ms"] = *std::max_element(pages.begin(), pages.end());
    state.counters["slow_closed_s"] = slowClosed;
    state.counters["idle_closed_s"] = idleClosed;
    state.counters["sigterm_s"] = stopSeconds;
    state.counters["peak_mb"] = peak;
  }
}
BENCHMARK(BM_SlowAndIdleConnections)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// As many connections as the server takes in all, each holding 12 KB of a head it never
// finishes: the most memory connections can cost before the deadline cuts them off.
void BM_FullHeads(benchmark::State& state) {
  RaiseFileLimit();
  for (auto _ : state) {
    TTempDir dir;
    TServer server(dir.Path / "scores.db");
    const auto start = Clock::now();
    auto held = OpenMany(server.Port, 3950, 1, 60,
                         "GET " + PageTarget + " HTTP/1.1\r\nHost: x\r\nX-Pad: " + std::string(12000, 'a'));
    std::this_thread::sleep_for(std::chrono::seconds(2));
    std::vector<double> pages;
    for (int i = 0; i < 10; ++i) pages.push_back(Fetch(server.Port, PageTarget, "127.0.0.3").Ms);
    state.SetIterationTime(Seconds(Clock::now() - start));
    state.counters["connections"] = double(held.size());
    state.counters["page_median_ms"] = Percentile(pages, 0.5);
    state.counters["page_worst_ms"] = *std::max_element(pages.begin(), pages.end());
    state.counters["peak_mb"] = PeakMemoryMb(server.Child.Pid);
    for (int fd : held) ::close(fd);
    server.Child.Stop(SIGTERM);
  }
}
BENCHMARK(BM_FullHeads)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// Eight attackers send 8 KB header lines as fast as they can for 10 s, connecting again
// whenever they are cut off; a player asks for the page every 100 ms meanwhile.
void BM_HeaderFlood(benchmark::State& state) {
  for (auto _ : state) {
    TTempDir dir;
    TServer server(dir.Path / "scores.db");
    std::atomic<bool> stop{false};
    std::atomic<long long> sent{0}, cut{0};
    std::vector<std::thread> floods;
    for (int f = 0; f < 8; ++f) {
      floods.emplace_back([&, f] {
        const std::string line = "X-Flood: " + std::string(8192, 'a') + "\r\n";
        while (!stop) {
          const int fd = ConnectFrom("127.0.1." + std::to_string(150 + f), server.Port);
          if (fd < 0) break;
          SendText(fd, "GET " + PageTarget + " HTTP/1.1\r\nHost: x\r\n");
          while (!stop && SendText(fd, line)) {
            sent += long(line.size());
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 0) > 0) break;
          }
          if (ReceiveAll(fd, 1000).rfind("HTTP/1.1 431", 0) == 0) ++cut;
          ::close(fd);
        }
      });
    }
    std::vector<double> pages;
    const auto start = Clock::now();
    while (Seconds(Clock::now() - start) < 10) {
      pages.push_back(Fetch(server.Port, PageTarget, "127.0.0.3").Ms);
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    stop = true;
    for (auto& t : floods) t.join();
    state.SetIterationTime(Percentile(pages, 0.5) / 1000);
    state.counters["flood_mb_sent"] = double(sent) / 1048576.0;
    state.counters["cut_off_431"] = double(cut);
    state.counters["page_median_ms"] = Percentile(pages, 0.5);
    state.counters["page_worst_ms"] = *std::max_element(pages.begin(), pages.end());
    state.counters["peak_mb"] = PeakMemoryMb(server.Child.Pid);
    server.Child.Stop(SIGTERM);
  }
}
BENCHMARK(BM_HeaderFlood)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// 20 bare connections a second that never send anything, for 40 s, from many addresses;
// a player asks for the page every second meanwhile.
void BM_ConnectionStorm(benchmark::State& state) {
  RaiseFileLimit();
  for (auto _ : state) {
    TTempDir dir;
    TServer server(dir.Path / "scores.db");
    std::vector<int> held;
    std::vector<double> pages;
    const auto start = Clock::now();
    for (int second = 0; second < 40; ++second) {
      for (int i = 0; i < 20; ++i) {
        const int fd = ConnectFrom(Loopback(1, 1 + (second * 20 + i) / 40), server.Port);
        if (fd >= 0) held.push_back(fd);
      }
      pages.push_back(Fetch(server.Port, PageTarget, "127.0.0.3").Ms);
      std::this_thread::sleep_until(start + std::chrono::seconds(second + 1));
    }
    size_t open = 0;
    for (int fd : held) open += ClosedByServer(fd) ? 0 : 1;
    for (int fd : held) ::close(fd);
    state.SetIterationTime(Percentile(pages, 0.5) / 1000);
    state.counters["page_median_ms"] = Percentile(pages, 0.5);
    state.counters["page_worst_ms"] = *std::max_element(pages.begin(), pages.end());
    state.counters["still_open_at_end"] = double(open);
    state.counters["peak_mb"] = PeakMemoryMb(server.Child.Pid);
    server.Child.Stop(SIGTERM);
  }
}
BENCHMARK(BM_ConnectionStorm)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// CPU seconds of a process's children it has waited for (its re-plays), from /proc.
double ChildrenCpuSeconds(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::string field;
  double ticks = 0;
  // After the name: state is field 3; cutime and cstime are fields 16 and 17.
  for (int i = 3; i <= 17 && fields >> field; ++i)
    if (i >= 16) ticks += std::stod(field);
  return ticks / double(::sysconf(_SC_CLK_TCK));
}

// 40 players send the replay of a whole game (10 226 frames, two and a half minutes) at
// once, from addresses of their own, while a reader asks for the page and a player sends a
// result every 100 ms: what a re-play costs, how many are answered at once or kept (202)
// or turned away, and what pages and results wait meanwhile.
void BM_ReplayBurst(benchmark::State& state) {
  const std::string& replay = SentGame();
  for (auto _ : state) {
    TTempDir dir;
    TServer server((dir.Path / "scores.db").string(), true, {}, {"--replay-wait", "3"});
    std::mutex lock;
    std::vector<double> replays;
    std::atomic<int> proven{0}, kept{0}, turnedAway{0}, other{0};
    std::atomic<bool> stop{false};
    const auto start = Clock::now();
    std::vector<std::thread> players;
    for (int p = 0; p < 40; ++p) {
      players.emplace_back([&, p] {
        const TResponse answer = PostReplay(server.Port, replay, Loopback(40, p + 1));
        if (answer.Status == 201 || answer.Status == 200) {
          ++proven;
          std::lock_guard<std::mutex> hold(lock);
          replays.push_back(answer.Ms);
        } else {
          ++(answer.Status == 429 ? turnedAway : answer.Status == 202 ? kept : other);
        }
      });
    }
    std::vector<double> pages, results;
    std::thread reader([&] {
      for (int i = 0; !stop; ++i) {
        pages.push_back(Fetch(server.Port, PageTarget, Loopback(41, 1 + i / 50)).Ms);
        results.push_back(Fetch(server.Port, SubmitTarget("r", i, ""), Loopback(42, 1 + i / 25)).Ms);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
    });
    for (auto& t : players) t.join();
    const double seconds = Seconds(Clock::now() - start);
    stop = true;
    reader.join();
    const double cpu = ChildrenCpuSeconds(server.Child.Pid);
    state.SetIterationTime(seconds);
    state.counters["proven"] = proven.load();
    state.counters["kept_202"] = kept.load();
    state.counters["turned_away_429"] = turnedAway.load();
    state.counters["other_answers"] = other.load();
    state.counters["replay_cpu_ms_each"] = 1000 * cpu / std::max(1, proven.load());
    state.counters["replay_median_ms"] = Percentile(replays, 0.5);
    state.counters["replay_worst_ms"] = replays.empty() ? 0 : *std::max_element(replays.begin(), replays.end());
    state.counters["page_median_ms"] = Percentile(pages, 0.5);
    state.counters["page_worst_ms"] = *std::max_element(pages.begin(), pages.end());
    state.counters["result_median_ms"] = Percentile(results, 0.5);
    state.counters["result_worst_ms"] = *std::max_element(results.begin(), results.end());
    state.counters["peak_mb"] = PeakMemoryMb(server.Child.Pid);
    server.Child.Stop(SIGTERM);
  }
}
BENCHMARK(BM_ReplayBurst)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

double LoadAverage() {
  double load = 0;
  std::ifstream("/proc/loadavg") >> load;
  return load;
}

// One address floods for 40 s with the heaviest replays it can make, eight connections
// sending as fast as the server takes them: the longest (four hours, nearly all of it
// paused) and the largest (2 MB: a pause with the brake pressed every other frame), in
// turn. Meanwhile a player from an address of their own sends a replay of a race of their
// own every 2 s: how long until it is proven, and what the server holds.
void BM_ReplayFlood(benchmark::State& state) {
  const std::string longest = Reclaimed(Paused(940000, false));
  const std::string largest = Reclaimed(Paused(620000, false, true, 250));
  // The players' races differ where they let go of the pause; their names tell them apart.
  std::vector<std::string> games, names;
  for (int i = 0; i < 20; ++i) {
    names.push_back("P" + std::to_string(10 + i));
    games.push_back(Reclaimed(Renamed(Paused(100, false, false, uint32_t(300 + i)), names.back())));
  }
  for (auto _ : state) {
    TTempDir dir;
    TServer server((dir.Path / "scores.db").string(), true, {}, {"--replay-wait", "3"});
    const double loadBefore = LoadAverage();
    std::atomic<bool> flooding{true};
    std::atomic<int> floodSent{0}, floodRefused{0};
    std::vector<std::thread> flood;
    for (int c = 0; c < 8; ++c)
      flood.emplace_back([&, c] {
        for (int i = 0; flooding; ++i) {
          const int status = PostReplay(server.Port, (c + i) % 2 ? largest : longest, "127.0.60.1").Status;
          ++(status == 429 ? floodRefused : floodSent);
          if (status == 429) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
      });
    std::vector<double> latencies, pages;
    const auto start = Clock::now();
    for (size_t g = 0; g < games.size(); ++g) {
      const auto sent = Clock::now();
      const TResponse answer = PostReplay(server.Port, games[g], Loopback(61, int(g) + 1));
      bool proven = answer.Status == 201;
      // Kept (202): proven once its row shows the mark.
      while (answer.Status == 202 && !proven && Seconds(Clock::now() - sent) < 60) {
        proven = ProvenRow(Fetch(server.Port, PageTarget + "&format=json", "127.0.62.1").Body, names[g]);
        if (!proven) std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
      latencies.push_back(proven ? Seconds(Clock::now() - sent) : 999);
      pages.push_back(Fetch(server.Port, PageTarget, "127.0.62.2").Ms);
      std::this_thread::sleep_until(start + std::chrono::seconds(2 * (g + 1)));
    }
    flooding = false;
    for (auto& t : flood) t.join();
    state.SetIterationTime(Seconds(Clock::now() - start));
    state.counters["proof_median_s"] = Percentile(latencies, 0.5);
    state.counters["proof_worst_s"] = *std::max_element(latencies.begin(), latencies.end());
    state.counters["page_median_ms"] = Percentile(pages, 0.5);
    state.counters["page_worst_ms"] = *std::max_element(pages.begin(), pages.end());
    state.counters["flood_taken"] = floodSent.load();
    state.counters["flood_429"] = floodRefused.load();
    state.counters["peak_mb"] = PeakMemoryMb(server.Child.Pid);
    state.counters["replay_cpu_s"] = ChildrenCpuSeconds(server.Child.Pid);
    state.counters["load_before"] = loadBefore;
    state.counters["load_after"] = LoadAverage();
    server.Child.Stop(SIGTERM);
  }
}
BENCHMARK(BM_ReplayFlood)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
