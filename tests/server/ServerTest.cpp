// The score server program on loopback, fed by the game's own sending code.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "game/online/ResultSender.h"
#include "game/online/SubmitResult.h"
#include "http/HttpClient.h"
#include "server/ScoreStore.h"
#include "tests/online/Loopback.h"
#include "tests/server/ServerProcess.h"

namespace {

using namespace ServerTest;

std::string SubmitUrlFor(const TServer& server, const std::string& name, int32_t score, const std::string& add) {
  return SubmitUrl(server.Address(), EncodeBits(ToBitString(ResultRecord(name, score, add))));
}

long StatusOf(THttpClient& client, const std::string& url) {
  try {
    client.Get(url);
    return 200;
  } catch (const EHttpError& e) {
    return e.Status();
  }
}

TEST(ScoreServer, TheGameSendsAndThePageShowsItAcrossARestart) {
  TTempDir dir;
  const auto db = dir.Path / "scores.db";
  THttpClient client;
  {
    TServer server(db);
    TResultSender sender;
    sender.Start(client, SubmitUrlFor(server, "\xC8\xE2\xE0\xED|<1>", 1234, "_______"));
    sender.Wait();
    SubmitResult(client, SubmitUrlFor(server, "", 77, ""));
    const std::string page = client.Get(server.PageUrl());
    EXPECT_NE(page.find("\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD|&lt;1&gt;"), std::string::npos) << page;
    EXPECT_NE(page.find(">1234<"), std::string::npos);
    EXPECT_NE(page.find(">77<"), std::string::npos);
    EXPECT_EQ(server.Child.Stop(SIGTERM), 0);
  }
  TServer again(db);
  const std::string page = client.Get(again.PageUrl());
  EXPECT_NE(page.find("\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD|&lt;1&gt;"), std::string::npos);
  EXPECT_LT(page.find(">1234<"), page.find(">77<"));
  EXPECT_EQ(again.Child.Stop(SIGINT), 0);
}

TEST(ScoreServer, RefusesMalformedAndOversizedRequestsAndStoresNothing) {
  TTempDir dir;
  TServer server(dir.Path / "scores.db");
  THttpClient client;
  const std::string base = "http://" + server.Address() + "/cgi/version.pl?";
  EXPECT_EQ(StatusOf(client, base + "hs&prg=Sprayrush&inf=IIIIIIII"), 400);
  EXPECT_EQ(StatusOf(client, base + "hs&prg=Sprayrush&inf=" + std::string(5000, 'A')), 400);
  EXPECT_EQ(StatusOf(client, base + "hs&prg=Sprayrush&inf=" + std::string(20000, 'A')), 414);
  EXPECT_EQ(StatusOf(client, "http://" + server.Address() + "/elsewhere"), 404);

  // Our requests carry no body; a large one is refused before it is read.
  const int fd = Loopback::Connect(server.Port);
  ASSERT_GE(fd, 0);
  Loopback::SendAll(fd, "POST /cgi/version.pl?prg=Sprayrush&show&type=0 HTTP/1.1\r\nHost: x\r\n"
                        "Connection: close\r\nContent-Length: 100000\r\n\r\n");
  // The answer may wait for the read time-out while the server waits for the body.
  EXPECT_EQ(Loopback::ReadAll(fd, 30000).substr(0, 12), "HTTP/1.1 413");
  ::close(fd);

  EXPECT_NE(client.Get(server.PageUrl()).find("Результатов пока нет"), std::string::npos);
  EXPECT_EQ(server.Child.Stop(SIGTERM), 0);
}

TEST(ScoreServer, ClientsThatSayNothingDoNotHoldOthersUp) {
  TTempDir dir;
  TServer server(dir.Path / "scores.db");
  std::vector<int> silent;
  for (int i = 0; i < 4; ++i) silent.push_back(Loopback::Connect(server.Port));
  THttpClient client;
  client.Get(SubmitUrlFor(server, "Ab", 1, "x"));
  EXPECT_NE(client.Get(server.PageUrl()).find(">Ab<"), std::string::npos);
  // And the silent ones are let go after the read time-out instead of being kept.
  for (int fd : silent) {
    EXPECT_EQ(Loopback::ReadAll(fd, 30000), "");
    ::close(fd);
  }
  EXPECT_EQ(server.Child.Stop(SIGTERM), 0);
}

TEST(ScoreServer, HoldsABurstFromManyClients) {
  TTempDir dir;
  const auto db = dir.Path / "scores.db";
  constexpr int Clients = 30, Each = 10;
  std::atomic<int> sent{0};
  {
    TServer server(db);
    std::vector<std::thread> clients;
    for (int c = 0; c < Clients; ++c) {
      clients.emplace_back([&, c] {
        for (int i = 0; i < Each; ++i) {
          // A client of its own for every request: a new connection each time.
          THttpClient client;
          client.TimeoutMs = 60000;
          try {
            client.Get(SubmitUrlFor(server, "c" + std::to_string(c), c * 100 + i, std::to_string(i)));
            ++sent;
          } catch (const EHttpError& e) {
            ADD_FAILURE() << e.what();
          }
        }
      });
    }
    for (auto& t : clients) t.join();
    EXPECT_EQ(server.Child.Stop(SIGTERM), 0);
  }
  EXPECT_EQ(sent, Clients * Each);
  EXPECT_EQ(Scores::OpenSqliteStore(db.string())->Best(1000).size(), size_t(Clients * Each));
}

TEST(ScoreServer, CommandLine) {
  TTempDir dir;
  const struct {
    std::vector<std::string> Args;
    int Exit;
  } Cases[] = {
      {{"--port", "x"}, 2},
      {{"--port", "70000"}, 2},
      {{"--port"}, 2},
      {{"--colour", "blue"}, 2},
      {{"--db", (dir.Path / "no" / "such" / "folder" / "scores.db").string(), "--port", "0"}, 1},
      {{"--bind", "256.1.1.1", "--port", "0", "--db", (dir.Path / "a.db").string()}, 1},
  };
  for (const auto& c : Cases) {
    std::vector<std::string> args = {ServerProgram()};
    args.insert(args.end(), c.Args.begin(), c.Args.end());
    TChild child(args);
    EXPECT_EQ(child.Wait(30000), c.Exit) << c.Args[0];
  }
}

}  // namespace
