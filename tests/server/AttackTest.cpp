// The server as an attacker meets it: slow, idle and flooding clients from addresses of
// their own (127.0.1.x), while players come from other addresses and must still get
// through. Bounded in count and time; loopback only.
#include <gtest/gtest.h>
#include <poll.h>
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <iostream>
#include <mutex>
#include <set>
#include <thread>

#include "server/ScoreStore.h"
#include "tests/server/RawHttp.h"
#include "tests/server/ServerProcess.h"

namespace {

using namespace ServerTest;
using Clock = std::chrono::steady_clock;

// The game gives up after this long: a player kept waiting longer loses the result.
constexpr double GameTimeoutMs = 5000;
constexpr double MemoryLimitMb = 100;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void ExpectSmall(const TServer& server, const std::string& when) {
  const double peak = PeakMemoryMb(server.Child.Pid);
  std::cout << "server peak memory " << when << ": " << peak << " MB" << std::endl;
  if (!Sanitized) {
    EXPECT_LT(peak, MemoryLimitMb);
  }
}

std::string Attacker(int host) { return "127.0.1." + std::to_string(host); }

// Connections the test holds open and watches.
struct TAttackers {
  std::vector<int> Fds;
  TAttackers() = default;
  TAttackers(const TAttackers&) = delete;
  ~TAttackers() {
    for (int fd : Fds) ::close(fd);
  }

  // count connections from 127.0.1.firstHost on, perAddress from each, each sending hello.
  void Open(int port, int count, int firstHost, int perAddress, const std::string& hello = {}) {
    for (int i = 0; i < count; ++i) {
      const int fd = ConnectFrom(Attacker(firstHost + i / perAddress), port);
      ASSERT_GE(fd, 0) << "connection " << i;
      if (!hello.empty()) SendText(fd, hello);
      Fds.push_back(fd);
    }
  }

  // How many the server has not closed after waitMs at most.
  size_t StillOpenAfter(int waitMs) {
    std::set<int> open(Fds.begin(), Fds.end());
    const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    while (!open.empty() && Clock::now() < deadline) {
      std::vector<pollfd> polls;
      for (int fd : open) polls.push_back({fd, POLLIN | POLLRDHUP, 0});
      ::poll(polls.data(), polls.size(), 200);
      for (const auto& p : polls)
        if (p.revents && ClosedByServer(p.fd)) open.erase(p.fd);
    }
    return open.size();
  }
};

// Sends one more byte of an endless request head on every connection each second, as a
// slow client does, until stopped.
struct TTrickle {
  std::atomic<bool> Stop{false};
  std::thread Thread;
  explicit TTrickle(const std::vector<int>& fds) {
    Thread = std::thread([this, fds] {
      const std::string head = "GET " + PageTarget + " HTTP/1.1\r\nHost: localhost\r\nX-Slow: " + std::string(500, 'a');
      for (size_t at = 0; !Stop && at < head.size(); ++at) {
        for (int fd : fds) ::send(fd, &head[at], 1, MSG_NOSIGNAL | MSG_DONTWAIT);
        for (int i = 0; i < 10 && !Stop; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
    });
  }
  ~TTrickle() {
    Stop = true;
    Thread.join();
  }
};

TEST(ScoreServerUnderAttack, SlowAndIdleConnectionsNeitherHoldPlayersUpNorStay) {
  RaiseFileLimit();
  TTempDir dir;
  TServer server(dir.Path / "scores.db");
  TAttackers idle, slow;
  idle.Open(server.Port, 1000, 1, 50);
  slow.Open(server.Port, 200, 101, 20);
  TTrickle trickle(slow.Fds);
  std::this_thread::sleep_for(std::chrono::seconds(2));

  const auto submitted = Fetch(server.Port, SubmitTarget("Player", 77, "x"), "127.0.0.2");
  const auto page = Fetch(server.Port, PageTarget, "127.0.0.3");
  std::cout << "under 200 slow and 1000 idle connections: submission " << submitted.Ms << " ms, page " << page.Ms
            << " ms" << std::endl;
  EXPECT_EQ(submitted.Status, 200);
  EXPECT_LT(submitted.Ms, GameTimeoutMs);
  EXPECT_EQ(page.Status, 200);
  EXPECT_LT(page.Ms, GameTimeoutMs);
  EXPECT_NE(page.Body.find(">Player<"), std::string::npos);

  // Neither kind is kept: the slow ones overrun the request deadline, the idle ones the
  // idle time-out (both 10 s).
  const auto start = Clock::now();
  EXPECT_EQ(slow.StillOpenAfter(30000), 0u);
  EXPECT_EQ(idle.StillOpenAfter(30000), 0u);
  std::cout << "all closed by the server " << SecondsSince(start) + 2 << " s after they came" << std::endl;
  ExpectSmall(server, "with them");
  EXPECT_EQ(server.Child.Stop(SIGTERM), 0);
}

TEST(ScoreServerUnderAttack, HeaderFloodsAreCutOffAndMemoryStaysSmall) {
  TTempDir dir;
  TServer server(dir.Path / "scores.db");
  // Four connections send 8 KB header lines for ever (64 MB each at most).
  std::vector<std::thread> floods;
  std::mutex lock;
  std::vector<std::pair<std::string, size_t>> outcomes;
  for (int f = 0; f < 4; ++f) {
    floods.emplace_back([&, f] {
      const int fd = ConnectFrom(Attacker(150 + f), server.Port);
      std::string answer;
      size_t sent = 0;
      if (fd >= 0 && SendText(fd, "GET " + PageTarget + " HTTP/1.1\r\nHost: localhost\r\n")) {
        const std::string line = "X-Flood: " + std::string(8192, 'a') + "\r\n";
        while (sent < (64u << 20) && SendText(fd, line)) {
          sent += line.size();
          pollfd p{fd, POLLIN, 0};
          if (::poll(&p, 1, 0) > 0) break;
        }
        answer = ReceiveAll(fd, 10000);
      }
      if (fd >= 0) ::close(fd);
      std::lock_guard<std::mutex> hold(lock);
      outcomes.emplace_back(answer.substr(0, 12), sent);
    });
  }
  for (auto& t : floods) t.join();
  for (const auto& [status, sent] : outcomes) {
    EXPECT_EQ(status, "HTTP/1.1 431");
    // Cut off at the head limit; what is beyond went into socket buffers only.
    EXPECT_LT(sent, 32u << 20);
  }
  EXPECT_EQ(Fetch(server.Port, "/cgi/version.pl?hs&prg=Sprayrush&inf=" + std::string(20000, 'A')).Status, 414);
  EXPECT_EQ(Fetch(server.Port, PageTarget).Status, 200);
  ExpectSmall(server, "after the floods");
  EXPECT_EQ(server.Child.Stop(SIGTERM), 0);
}

TEST(ScoreServerUnderAttack, PerAddressLimitsStopOneAddressAndNoOther) {
  TTempDir dir;
  TServer server(dir.Path / "scores.db");
  {
    // 64 connections from one address are served; the next is answered 429 and closed.
    TAttackers many;
    many.Open(server.Port, 64, 200, 64);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const auto refused = Fetch(server.Port, PageTarget, Attacker(200));
    EXPECT_EQ(refused.Status, 429);
    EXPECT_EQ(Fetch(server.Port, PageTarget, Attacker(201)).Status, 200);
  }
  // Once they have gone, the address is welcome again.
  int status = 0;
  for (int i = 0; i < 50 && status != 200; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    status = Fetch(server.Port, PageTarget, Attacker(200)).Status;
  }
  EXPECT_EQ(status, 200);

  // 30 results in a burst from one address are taken; the next must wait.
  for (int i = 1; i <= 30; ++i)
    ASSERT_EQ(Fetch(server.Port, SubmitTarget("a" + std::to_string(i), i, ""), Attacker(202)).Status, 200) << i;
  const auto refused = Fetch(server.Port, SubmitTarget("a31", 31, ""), Attacker(202));
  EXPECT_EQ(refused.Status, 429);
  EXPECT_NE(refused.Head.find("\r\nRetry-After: "), std::string::npos) << refused.Head;
  EXPECT_EQ(Fetch(server.Port, SubmitTarget("b", 100, ""), Attacker(203)).Status, 200);
  // Pages from one address, as fast as it can ask: far more than a reader needs, then 429.
  int pages = 0;
  while (pages < 1000 && Fetch(server.Port, PageTarget, Attacker(204)).Status == 200) ++pages;
  EXPECT_GE(pages, 60);
  EXPECT_LT(pages, 1000);
  const auto json = Fetch(server.Port, PageTarget + "&format=json");
  EXPECT_NE(json.Body.find("\"place\":31,"), std::string::npos);
  EXPECT_EQ(json.Body.find("\"place\":32,"), std::string::npos);
  EXPECT_EQ(json.Body.find("\"a31\""), std::string::npos);
  EXPECT_EQ(server.Child.Stop(SIGTERM), 0);
}

TEST(ScoreServerUnderAttack, ATrustedProxyIsCountedByTheClientsItNamesAndNoOneElseIs) {
  TTempDir dir;
  const std::string proxy = Attacker(240), stranger = Attacker(241);
  TServer server((dir.Path / "scores.db").string(), true, {}, {"--trusted-proxy", proxy});
  const auto submitVia = [&](const std::string& from, const std::string& forwarded, int score) {
    return Exchange(server.Port,
                    "GET " + SubmitTarget("x", score, "") + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n" +
                        "X-Forwarded-For: " + forwarded + "\r\n\r\n",
                    from)
        .Status;
  };
  // The proxy's connections are not held to the per-address limit.
  TAttackers held;
  held.Open(server.Port, 70, 240, 70);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(Fetch(server.Port, PageTarget, proxy).Status, 200);

  // Its results count against the client it names last; what the client put before is its word.
  for (int i = 0; i < 30; ++i) ASSERT_EQ(submitVia(proxy, "192.0.2.1", i), 200) << i;
  EXPECT_EQ(submitVia(proxy, "192.0.2.1", 30), 429);
  EXPECT_EQ(submitVia(proxy, "192.0.2.1, 192.0.2.2", 31), 200);
  EXPECT_EQ(submitVia(proxy, "192.0.2.2, 192.0.2.1", 32), 429);
  // Anyone else's X-Forwarded-For is ignored.
  for (int i = 0; i < 30; ++i) ASSERT_EQ(submitVia(stranger, "198.51.100." + std::to_string(i), i), 200) << i;
  EXPECT_EQ(submitVia(stranger, "198.51.100.99", 30), 429);
  EXPECT_EQ(server.Child.Stop(SIGTERM), 0);
}

// Players send results from many addresses until the server goes; after a second it is
// sent the signal. What it acknowledged, how it ended and how long that took.
struct TStopOutcome {
  std::vector<std::string> Acknowledged;
  int Status = 0;
  double Seconds = 0;
};

TStopOutcome StopWhilePlayersSend(TServer& server, int signal) {
  TStopOutcome outcome;
  std::atomic<bool> gone{false};
  std::mutex lock;
  std::vector<std::thread> players;
  for (int p = 0; p < 4; ++p) {
    players.emplace_back([&, p] {
      for (int i = 0; i < 2000 && !gone; ++i) {
        const std::string name = "p" + std::to_string(p) + "." + std::to_string(i);
        const auto answer = Fetch(server.Port, SubmitTarget(name, i, ""), Loopback(2, p * 100 + i / 25 + 1));
        if (answer.Status == 200) {
          std::lock_guard<std::mutex> hold(lock);
          outcome.Acknowledged.push_back(name);
        }
        if (answer.Status == 0) break;
      }
    });
  }
  std::this_thread::sleep_for(std::chrono::seconds(1));
  const auto start = Clock::now();
  outcome.Status = server.Child.Stop(signal);
  outcome.Seconds = SecondsSince(start);
  gone = true;
  for (auto& t : players) t.join();
  return outcome;
}

void ExpectAllKept(const std::filesystem::path& db, const std::vector<std::string>& acknowledged) {
  EXPECT_GT(acknowledged.size(), 0u);
  std::set<std::string> stored;
  for (const auto& entry : Scores::OpenSqliteStore(db.string())->Best({0, 100000})) stored.insert(entry.Name);
  for (const auto& name : acknowledged) EXPECT_TRUE(stored.count(name)) << name << " was acknowledged but is lost";
}

TEST(ScoreServerUnderAttack, StopsPromptlyWhateverClientsDoAndKeepsWhatItAcknowledged) {
  RaiseFileLimit();
  TTempDir dir;
  const auto db = dir.Path / "scores.db";
  TServer server(db);
  TAttackers idle, slow, halfBody, deaf;
  idle.Open(server.Port, 200, 1, 50);
  slow.Open(server.Port, 50, 101, 25);
  TTrickle trickle(slow.Fds);
  halfBody.Open(server.Port, 5, 120, 5,
                "GET " + PageTarget + " HTTP/1.1\r\nHost: x\r\nContent-Length: 1000\r\n\r\nten bytes.");
  // Clients that ask for many pages and never read the answers.
  std::string many;
  for (int i = 0; i < 200; ++i) many += "GET " + PageTarget + " HTTP/1.1\r\nHost: x\r\n\r\n";
  deaf.Open(server.Port, 5, 130, 5, many);

  const auto outcome = StopWhilePlayersSend(server, SIGTERM);
  std::cout << "stopped in " << outcome.Seconds << " s with " << outcome.Acknowledged.size()
            << " results acknowledged" << std::endl;
  EXPECT_EQ(outcome.Status, 0);
  EXPECT_LT(outcome.Seconds, 10);
  ExpectAllKept(db, outcome.Acknowledged);
}

TEST(ScoreServerUnderAttack, NothingAcknowledgedIsLostToAKill) {
  TTempDir dir;
  const auto db = dir.Path / "scores.db";
  TServer server(db);
  const auto outcome = StopWhilePlayersSend(server, SIGKILL);
  EXPECT_EQ(outcome.Status, 128 + SIGKILL);
  ExpectAllKept(db, outcome.Acknowledged);
  sqlite3* handle = nullptr;
  ASSERT_EQ(sqlite3_open(db.c_str(), &handle), SQLITE_OK);
  std::string check;
  sqlite3_exec(
      handle, "PRAGMA integrity_check",
      [](void* out, int, char** values, char**) {
        *static_cast<std::string*>(out) += values[0] ? values[0] : "";
        return 0;
      },
      &check, nullptr);
  sqlite3_close(handle);
  EXPECT_EQ(check, "ok");
}

}  // namespace
