// The proven table as an attacker tries it: one race proven under other names and rows,
// bodies framed two ways, budgets held by lies, the re-play queue flooded, replays padded
// and downloads read slowly. Attackers come from addresses of their own (127.0.x.y, not
// 127.0.0.1), players from others; loopback only, bounded in count and time.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <thread>

#include "game/replay/ReplayFile.h"
#include "server/ReplayChecker.h"
#include "tests/server/RawHttp.h"
#include "tests/server/SentGame.h"
#include "tests/server/ServerProcess.h"

namespace {

using namespace ServerTest;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

TEST(ProvenResults, OneRaceIsProvenOnceWhateverElseItsFileSays) {
  const TReplay sent = SentReplay();
  const uint32_t frames = sent.Result.Frames;
  const std::string thief = TomsGame();
  // The same race with other frames after it: fewer idle ones, the pointer on the high
  // scores, another boat of the same figures.
  const std::string idle = Reclaimed(Rewritten(sent, [&](const TReplayItem& item, uint32_t frame, TReplayStreamWriter& out) {
    if (frame < frames - 380) Put(out, item);
  }));
  const std::string pointer = Reclaimed(Rewritten(sent, [&](const TReplayItem& item, uint32_t frame, TReplayStreamWriter& out) {
    if (frame == frames - 100 && item.Kind == TReplayItem::Frame)
      out.Event({TReplayEventKind::Pointer, 0, 255, 495});  // on the button that clears the table
    Put(out, item);
  }));
  TReplay otherBoat = sent;
  otherBoat.Start.Boat = 2;
  const std::string boat = Reclaimed(otherBoat);
  for (const auto& [what, variant] : {std::pair{"thief", &thief}, std::pair{"idle", &idle},
                                      std::pair{"pointer", &pointer}, std::pair{"boat", &boat}})
    ASSERT_NE(DecodeReplay(Bytes(*variant)).Result.Checksum, sent.Result.Checksum) << what << " ends alike";

  TTempDir dir;
  TServer server(dir.Path / "scores.db");
  const std::string player = "127.0.0.1", stranger = "127.0.11.1";
  const TResponse first = PostReplay(server.Port, SentGame(), player);
  ASSERT_EQ(first.Status, 201) << first.Body;
  const std::string row = first.Body.substr(0, first.Body.find(','));  // {"id":N
  const struct {
    const char* What;
    const std::string& Body;
    const std::string& From;
    int Status;
  } Cases[] = {
      {"the same file again", SentGame(), player, 200},
      {"a thief's copy under another name", thief, stranger, 409},
      {"fewer frames after the race", idle, player, 409},
      {"the pointer moved on the high scores", pointer, player, 409},
      {"another boat's picture", boat, player, 409},
  };
  for (const auto& c : Cases) {
    const TResponse answer = PostReplay(server.Port, c.Body, c.From);
    EXPECT_EQ(answer.Status, c.Status) << c.What << ": " << answer.Body;
    EXPECT_EQ(answer.Body.rfind(row + ",", 0), 0u) << c.What << ": the existing row is named: " << answer.Body;
  }
  const std::string page = Fetch(server.Port, PageTarget).Body;
  EXPECT_EQ(Count(page, "class=\"proven\""), 1u) << page;
  EXPECT_EQ(Count(page, "<td class=\"score\">835"), 1u) << page;
  EXPECT_EQ(page.find(">Tom<"), std::string::npos);
  EXPECT_EQ(server.Child.Stop(SIGTERM), 0);
}

// One request on a connection of its own: the answer, and whether the server closed the
// connection after it.
struct TFramed {
  TResponse Answer;
  bool Closed = false;
};

TFramed SendFramed(int port, const std::string& request, const std::string& from) {
  TFramed framed;
  const int fd = ConnectFrom(from, port);
  if (fd < 0) return framed;
  SendText(fd, request);
  // The server closes; a keep-alive connection would leave this waiting for 10 s.
  const auto start = Clock::now();
  framed.Answer = ParseResponse(ReceiveAll(fd, 8000));
  framed.Closed = Seconds(start) < 7 && ClosedByServer(fd);
  ::close(fd);
  return framed;
}

TEST(ScoreServerUnderAttack, ABodyFramedTwoWaysIsRefusedAndItsConnectionClosed) {
  TTempDir dir;
  TServer server(dir.Path / "scores.db");
  // What each hides after the body the server would see: a submission of its own.
  const std::string hidden = "GET " + SubmitTarget("Smuggled", 999, "x") + " HTTP/1.1\r\nHost: x\r\n\r\n";
  const std::string length = std::to_string(hidden.size());
  const std::string chunk = [&] {
    char size[16];
    std::snprintf(size, sizeof size, "%zx", hidden.size());
    return std::string(size) + "\r\n" + hidden + "\r\n0\r\n\r\n";
  }();
  const std::string page = "GET " + PageTarget + " HTTP/1.1\r\nHost: x\r\n";
  const std::string post = "POST /replays HTTP/1.1\r\nHost: x\r\n";
  const struct {
    const char* What;
    std::string Request;
  } Cases[] = {
      {"two lengths that differ", page + "Content-Length: 0\r\nContent-Length: " + length + "\r\n\r\n" + hidden},
      {"CL.TE", post + "Content-Length: 5\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n" + hidden},
      {"TE.CL", post + "Transfer-Encoding: chunked\r\nContent-Length: 4\r\n\r\n" + chunk},
      {"TE.TE, a coding that is almost chunked", post + "Transfer-Encoding: xchunked\r\nContent-Length: 4\r\n\r\n" + chunk},
      {"TE.TE, chunked and another", post + "Transfer-Encoding: chunked\r\nTransfer-Encoding: identity\r\n\r\n" + chunk},
      {"TE.TE, a space before the colon", post + "Transfer-Encoding : chunked\r\nContent-Length: 4\r\n\r\n" + chunk},
      {"TE.TE, the coding on a folded line", post + "Transfer-Encoding:\r\n chunked\r\n\r\n" + chunk},
      {"a coding before chunked", post + "Transfer-Encoding: gzip, chunked\r\n\r\n" + chunk},
      {"a coding other than chunked", post + "Transfer-Encoding: gzip\r\n\r\n" + hidden},
  };
  int from = 1;
  for (const auto& c : Cases) {
    const TFramed framed = SendFramed(server.Port, c.Request, Loopback(12, from++));
    EXPECT_EQ(framed.Answer.Status, 400) << c.What << ": " << framed.Answer.Head;
    EXPECT_TRUE(framed.Closed) << c.What;
  }
  // The same length twice is one length; chunks alone are chunks.
  EXPECT_EQ(SendFramed(server.Port, page + "Content-Length: 0\r\nContent-Length: 0\r\nConnection: close\r\n\r\n",
                       Loopback(12, from++))
                .Answer.Status,
            200);
  EXPECT_EQ(SendFramed(server.Port, post + "Transfer-Encoding: chunked\r\nConnection: close\r\n\r\n5\r\nhello\r\n0\r\n\r\n",
                       Loopback(12, from++))
                .Answer.Body,
            "This is not a replay of the game\n");
  EXPECT_EQ(Fetch(server.Port, PageTarget).Body.find("Smuggled"), std::string::npos);
  EXPECT_EQ(server.Child.Stop(SIGTERM), 0);
}

// Connections the test holds, closed at the end.
struct THeld {
  std::vector<int> Fds;
  ~THeld() {
    for (int fd : Fds) ::close(fd);
  }
  int Open(int port, const std::string& from, const std::string& text) {
    const int fd = ConnectFrom(from, port);
    if (fd >= 0) {
      SendText(fd, text);
      Fds.push_back(fd);
    }
    return fd;
  }
};

std::string Announcing(size_t bytes) {
  return "POST /replays HTTP/1.1\r\nHost: x\r\nContent-Length: " + std::to_string(bytes) + "\r\n\r\n";
}

TEST(ScoreServerUnderAttack, UploadBudgetsHoldAgainstClientsThatLieAboutTheirBodies) {
  TTempDir dir;
  TServer server(dir.Path / "scores.db");
  const std::string largest = Announcing(MaxReplayBytes);
  {
    // 32 uploads announce the largest replay, send a little and hang up halfway (or close
    // their side only): what they held is let go at once, not when their time is up.
    THeld gone;
    for (int i = 0; i < 32; ++i) {
      const int fd = gone.Open(server.Port, Loopback(13, i + 1), largest + std::string(1000, 'x'));
      ASSERT_GE(fd, 0);
      ::shutdown(fd, i % 2 ? SHUT_WR : SHUT_RDWR);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const TResponse player = PostReplay(server.Port, SentGame(), "127.0.0.1");
    EXPECT_EQ(player.Status, 201) << player.Body;
  }
  {
    // One address holds two of the largest at most; the next waits, others come in.
    THeld held;
    for (int i = 0; i < 2; ++i) ASSERT_GE(held.Open(server.Port, Loopback(13, 100), largest), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const TResponse third = Exchange(server.Port, largest, Loopback(13, 100));
    EXPECT_EQ(third.Status, 429) << third.Body;
    EXPECT_NE(third.Head.find("\r\nRetry-After: "), std::string::npos);
    EXPECT_EQ(PostReplay(server.Port, "not a replay", Loopback(13, 101)).Status, 400);
    // What an answered upload held is its address's again.
    for (int i = 0; i < 3; ++i)
      EXPECT_EQ(PostReplay(server.Port, std::string(MaxReplayBytes, 'x'), Loopback(13, 104)).Status, 400) << i;
  }
  {
    // Chunks count as they come: one address's chunked bodies beyond its share are refused
    // at their end, whatever length they claim alongside... and none is claimed at all.
    const std::string chunked = "POST /replays HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n";
    const std::string megabyte = "100000\r\n" + std::string(1 << 20, 'c') + "\r\n";
    THeld held;
    for (int i = 0; i < 2; ++i)
      ASSERT_GE(held.Open(server.Port, Loopback(13, 102), chunked + megabyte + megabyte), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const TResponse over = Exchange(server.Port, chunked + megabyte + "0\r\n\r\n", Loopback(13, 102));
    EXPECT_EQ(over.Status, 429) << over.Body;
    const TResponse large = Exchange(server.Port, chunked + megabyte + megabyte + megabyte + "0\r\n\r\n",
                                     Loopback(13, 103));
    EXPECT_EQ(large.Status, 413);
  }
  const double peak = PeakMemoryMb(server.Child.Pid);
  std::cout << "server peak memory: " << peak << " MB" << std::endl;
  if (!Sanitized) {
    EXPECT_LT(peak, 100);
  }
  EXPECT_EQ(server.Child.Stop(SIGTERM), 0);
}

// Replays wait their turn address by address, a few from each.
TEST(ReplayChecker, AddressesTakeTurnsAndOneAddressHasAFewWaitingAtMost) {
  Scores::TReplaySettings settings;
  settings.Workers = 1;
  settings.MaxWaitingPerAddress = 2;
  Scores::TReplayChecker checker(settings);
  std::mutex lock;
  std::condition_variable changed;
  std::vector<std::string> order;
  bool released = false;
  int done = 0;
  const auto job = [&](const std::string& client, const std::string& name) {
    return Scores::TReplayChecker::TJob{
        client,
        [&, name]() -> std::optional<std::string> {
          std::unique_lock<std::mutex> hold(lock);
          order.push_back(name);
          changed.notify_all();
          changed.wait(hold, [&] { return released; });
          return std::nullopt;
        },
        [&](Scores::TVerdict, std::string) {
          std::lock_guard<std::mutex> hold(lock);
          ++done;
          changed.notify_all();
        }};
  };
  using Scores::TReplayChecker;
  ASSERT_EQ(checker.Check(job("a", "a1")), TReplayChecker::Taken);
  {
    std::unique_lock<std::mutex> hold(lock);
    changed.wait(hold, [&] { return !order.empty(); });
  }
  EXPECT_EQ(checker.Check(job("a", "a2")), TReplayChecker::Taken);
  EXPECT_EQ(checker.Check(job("a", "a3")), TReplayChecker::Taken);
  EXPECT_EQ(checker.Check(job("a", "a4")), TReplayChecker::AddressFull);
  EXPECT_EQ(checker.Check(job("b", "b1")), TReplayChecker::Taken);
  EXPECT_EQ(checker.Check(job("c", "c1")), TReplayChecker::Taken);
  {
    std::unique_lock<std::mutex> hold(lock);
    released = true;
    changed.notify_all();
    changed.wait(hold, [&] { return done == 5; });
  }
  EXPECT_EQ(order, (std::vector<std::string>{"a1", "a2", "b1", "c1", "a3"}));
}

// The re-plays' turns go address by address: one address that sends the longest replays
// it can, as fast as it may, has two waiting at most, and a player's replay from elsewhere
// is proven after the re-play under way and at most one more of the flood's, however
// fast the machine is.
TEST(ScoreServerUnderAttack, AnAddressFloodingReplaysWaitsBehindAPlayer) {
  // The longest replays the game takes (a tenth with the sanitizers): four hours, nearly
  // all of it paused, which re-plays as cheaply as any frames do.
  const std::string heavy = Reclaimed(Paused(Sanitized ? 94000 : 940000, false));
  const std::string toms = TomsGame();
  TTempDir dir;
  TServer server((dir.Path / "scores.db").string(), true, {}, {"--replay-workers", "1"});
  std::atomic<bool> flooding{true};
  std::atomic<int> refused{0};
  std::mutex lock;
  std::vector<Clock::time_point> floodProofs;  // when each of the flood's re-plays answered
  std::vector<std::thread> flood;
  for (int i = 0; i < 4; ++i)
    flood.emplace_back([&] {
      while (flooding) {
        const int status = PostReplay(server.Port, heavy, "127.0.14.1").Status;
        if (status == 429) {
          ++refused;
          std::this_thread::sleep_for(std::chrono::milliseconds(100));
        } else {
          std::lock_guard<std::mutex> hold(lock);
          floodProofs.push_back(Clock::now());
        }
      }
    });
  // The flood fills its share of the line: one re-playing, two waiting, the rest turned away.
  for (int i = 0; i < 600 && refused == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const auto sent = Clock::now();
  const TResponse player = PostReplay(server.Port, toms, "127.0.0.1");
  const auto proven = Clock::now();
  EXPECT_EQ(player.Status, 201) << player.Body;
  flooding = false;
  for (auto& t : flood) t.join();
  const auto between = std::count_if(floodProofs.begin(), floodProofs.end(),
                                     [&](Clock::time_point t) { return t > sent && t < proven; });
  std::cout << "a player's proof beside the flood: " << std::chrono::duration<double>(proven - sent).count() << " s after "
            << between << " of the flood's; the flood had " << floodProofs.size() << " re-played and " << refused
            << " turned away; server peak " << PeakMemoryMb(server.Child.Pid) << " MB" << std::endl;
  EXPECT_LE(between, 2);
  EXPECT_GT(refused, 0);
  EXPECT_EQ(server.Child.Stop(SIGTERM), 0);
}

// What is kept of a replay is what proves its race: typed characters that did nothing are
// left out, and a replay with more of them than a person types is refused before it costs
// a re-play. Downloads of the largest replay a game can make share its bytes and are held
// to a budget, so readers that never read cannot grow the server.
TEST(ProvenResults, WhatIsKeptIsWhatProvesTheRaceAndDownloadsCannotGrowTheServer) {
  const TReplay sent = SentReplay();
  const auto typing = [&](uint32_t from, uint32_t to, uint32_t perFrame) {
    return Rewritten(sent, [=](const TReplayItem& item, uint32_t frame, TReplayStreamWriter& out) {
      if (item.Kind == TReplayItem::Frame && frame >= from && frame < to)
        for (uint32_t i = 0; i < perFrame; ++i) out.Event({TReplayEventKind::Char, uint8_t('a' + i % 26), 0, 0});
      Put(out, item);
    });
  };
  // Characters typed in the race do nothing there: the claims stay true.
  const std::string padded = Text(EncodeReplay(typing(100, 9000, 1)));
  const std::string flood = Text(EncodeReplay(typing(100, 300, 4000)));
  const std::string large = Reclaimed(Paused(600000, true, true));

  TTempDir dir;
  TServer server(dir.Path / "scores.db");
  const TResponse tooMany = PostReplay(server.Port, flood, "127.0.15.1");
  EXPECT_EQ(tooMany.Status, 422) << tooMany.Body;
  EXPECT_NE(tooMany.Body.find("not one a person played"), std::string::npos) << tooMany.Body;
  const TResponse proven = PostReplay(server.Port, padded, "127.0.15.2");
  ASSERT_EQ(proven.Status, 201) << proven.Body;
  const std::string id = proven.Body.substr(6, proven.Body.find(',') - 6);
  const TResponse kept = Fetch(server.Port, "/replays?id=" + id);
  std::cout << "a replay of " << padded.size() << " bytes kept as " << kept.Body.size() << std::endl;
  EXPECT_LT(kept.Body.size(), SentGame().size() + 64);
  {
    TTempDir check;
    std::ofstream(check.Path / "kept.replay", std::ios::binary) << kept.Body;
    TChild runner({SPRAYRUSH_RUNNER, "--verify", (check.Path / "kept.replay").string()}, true);
    EXPECT_EQ(runner.ReadAll(60000).rfind("result=reproduced score=835 name=C8F0E0 ", 0), 0u);
  }

  // The largest: a long pause with the brake pressed every other frame. Its race is the
  // padded one's (409), so it goes on the table of a server of its own.
  ASSERT_GT(large.size(), MaxReplayBytes * 3 / 4);
  TServer other(dir.Path / "other.db");
  const TResponse big = PostReplay(other.Port, large, "127.0.15.3");
  ASSERT_EQ(big.Status, 201) << big.Body;
  const std::string target = "/replays?id=" + big.Body.substr(6, big.Body.find(',') - 6);
  THeld readers;
  for (int i = 0; i < 300; ++i)
    ASSERT_GE(readers.Open(other.Port, Loopback(16, i + 1), Request("GET", target)), 0);
  std::this_thread::sleep_for(std::chrono::seconds(2));
  const TResponse page = Fetch(other.Port, PageTarget);
  EXPECT_EQ(page.Status, 200);
  const TResponse download = Fetch(other.Port, target);
  EXPECT_TRUE(download.Status == 200 || download.Status == 429) << download.Status;
  const double peak = PeakMemoryMb(other.Child.Pid);
  std::cout << "300 readers of a " << large.size() << "-byte replay that never read: server peak " << peak
            << " MB, a page " << page.Ms << " ms" << std::endl;
  if (!Sanitized) {
    EXPECT_LT(peak, 100);
  }
  // Readers that go give their share back.
  for (int fd : readers.Fds) ::close(fd);
  readers.Fds.clear();
  int status = 0;
  for (int i = 0; i < 100 && status != 200; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    status = Fetch(other.Port, target, "127.0.16.250").Status;
  }
  EXPECT_EQ(status, 200);
  EXPECT_EQ(other.Child.Stop(SIGTERM), 0);
  EXPECT_EQ(server.Child.Stop(SIGTERM), 0);
}

// A replay taken is kept on the disk until it is proven: a server stopped while its
// senders had gone, or killed halfway through a re-play, proves it after its restart; a
// killed server's scratch folder goes then too.
TEST(ProvenResults, AReplayTakenIsProvenAcrossAStopOrAKill) {
  const std::string toms = TomsGame();
  const std::string heavy = Reclaimed(Paused(Sanitized ? 90000 : 900000, false));
  TTempDir dir;
  const auto temp = dir.Path / "tmp";
  std::filesystem::create_directories(temp);
  ::setenv("TMPDIR", temp.c_str(), 1);
  const std::string db = (dir.Path / "scores.db").string();
  const auto tomProven = [&](const TServer& server) {
    for (int i = 0; i < 600; ++i) {
      if (Fetch(server.Port, PageTarget).Body.find(">Tom</td><td class=\"score\">835<a class=\"proven\"") !=
          std::string::npos)
        return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
  };
  const auto sendAndGo = [](int port, const std::string& replay, const std::string& from) {
    const int fd = ConnectFrom(from, port);
    SendText(fd, "POST /replays HTTP/1.1\r\nHost: x\r\nContent-Length: " + std::to_string(replay.size()) +
                     "\r\n\r\n" + replay);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ::close(fd);
  };
  {
    // Stopped: the heavy one re-plays, Tom's waits; both senders have gone.
    TServer server(db, true, {}, {"--replay-workers", "1"});
    sendAndGo(server.Port, heavy, "127.0.17.1");
    sendAndGo(server.Port, toms, "127.0.17.2");
    EXPECT_EQ(server.Child.Stop(SIGTERM), 0);
  }
  {
    TServer server(db);
    EXPECT_TRUE(tomProven(server));
    // Killed in the middle of a re-play, its scratch folder left behind.
    sendAndGo(server.Port, heavy, "127.0.17.3");
    std::filesystem::path scratch;
    for (int i = 0; i < 100 && scratch.empty(); ++i) {
      for (const auto& entry : std::filesystem::directory_iterator(temp))
        if (entry.path().filename().string().rfind("sprayrush-scores-", 0) == 0) scratch = entry.path();
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_FALSE(scratch.empty());
    EXPECT_EQ(server.Child.Stop(SIGKILL), 128 + SIGKILL);
    ASSERT_TRUE(std::filesystem::exists(scratch));
    // As if it had been left there a while ago: a folder seconds old may be a server's starting up.
    std::filesystem::last_write_time(scratch, std::filesystem::file_time_type::clock::now() - std::chrono::minutes(1));
    TServer again(db);
    EXPECT_FALSE(std::filesystem::exists(scratch)) << scratch;
    EXPECT_EQ(again.Child.Stop(SIGTERM), 0);
  }
  ::unsetenv("TMPDIR");
}

}  // namespace
