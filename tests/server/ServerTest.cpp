// The score server program on loopback, fed by the game's own sending code.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <thread>

#include "game/online/ResultSender.h"
#include "game/online/SubmitResult.h"
#include "game/persist/TextLines.h"
#include "http/HttpClient.h"
#include "server/ScoreRecord.h"
#include "server/ScoreStore.h"
#include "tests/server/RawHttp.h"
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
  EXPECT_EQ(Exchange(server.Port, "GET /cgi/version.pl?prg=Sprayrush&show&type=0 HTTP/1.1\r\nHost: x\r\n"
                                  "Connection: close\r\nContent-Length: 100000\r\n\r\n")
                .Status,
            413);

  EXPECT_NE(client.Get(server.PageUrl()).find("Результатов пока нет"), std::string::npos);
  EXPECT_EQ(server.Child.Stop(SIGTERM), 0);
}

TEST(ScoreServer, HoldsABurstFromManyClients) {
  TTempDir dir;
  const auto db = dir.Path / "scores.db";
  constexpr int Clients = 30, Each = 10;
  std::atomic<int> stored{0};
  {
    TServer server(db);
    std::vector<std::thread> clients;
    for (int c = 0; c < Clients; ++c) {
      clients.emplace_back([&, c] {
        // A connection of its own for every request, as the game makes.
        for (int i = 0; i < Each; ++i) {
          const auto answer = Fetch(server.Port, SubmitTarget("c" + std::to_string(c), c * 100 + i, std::to_string(i)),
                                    Loopback(3, c + 1));
          if (answer.Status == 200) ++stored;
          else ADD_FAILURE() << answer.Status << " " << answer.Body;
        }
      });
    }
    for (auto& t : clients) t.join();
    EXPECT_EQ(server.Child.Stop(SIGTERM), 0);
  }
  EXPECT_EQ(stored, Clients * Each);
  EXPECT_EQ(Scores::OpenSqliteStore(db.string())->Best({0, 1000}).size(), size_t(Clients * Each));
}

TEST(ScoreServer, OnlyAGetStoresAndPipelinedRequestsAreAnsweredInOrder) {
  TTempDir dir;
  TServer server(dir.Path / "scores.db");
  const std::string submit = SubmitTarget("Ab", 1, "x");
  for (const std::string method : {"HEAD", "POST", "PUT", "DELETE", "OPTIONS", "PATCH"}) {
    const auto answer = Exchange(server.Port, Request(method, submit));
    EXPECT_EQ(answer.Status, 405) << method;
    EXPECT_NE(answer.Head.find("\r\nAllow: GET"), std::string::npos) << method << answer.Head;
  }
  const auto head = Exchange(server.Port, Request("HEAD", PageTarget));
  EXPECT_EQ(head.Status, 200);
  EXPECT_EQ(head.Body, "");

  // Eight requests in one write, submissions and pages in turn: eight answers in order.
  std::string pipelined;
  for (int i = 1; i <= 8; ++i)
    pipelined += "GET " + (i % 2 ? SubmitTarget("p" + std::to_string(i), i, "") : PageTarget) +
                 " HTTP/1.1\r\nHost: x\r\n" + (i == 8 ? "Connection: close\r\n" : "") + "\r\n";
  const int fd = ConnectFrom("127.0.0.1", server.Port);
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(SendText(fd, pipelined));
  std::string stream = ReceiveAll(fd, 30000);
  ::close(fd);
  for (int i = 1; i <= 8; ++i) {
    const auto answer = ParseResponse(stream);
    ASSERT_EQ(answer.Status, 200) << i << ": " << stream.substr(0, 200);
    const size_t length = std::stoul(answer.Head.substr(answer.Head.find("Content-Length: ") + 16));
    const std::string body = answer.Body.substr(0, length);
    if (i % 2) {
      EXPECT_EQ(body, "OK\n") << i;
    } else {
      // Each page shows the submissions before it and none after.
      EXPECT_NE(body.find(">p" + std::to_string(i - 1) + "<"), std::string::npos) << i;
      EXPECT_EQ(body.find(">p" + std::to_string(i + 1) + "<"), std::string::npos) << i;
    }
    stream = answer.Body.substr(length);
  }
  EXPECT_EQ(stream, "");
  const auto page = Fetch(server.Port, PageTarget);
  EXPECT_EQ(page.Body.find(">Ab<"), std::string::npos);
  EXPECT_NE(page.Body.find(">p7<"), std::string::npos);
  EXPECT_EQ(server.Child.Stop(SIGTERM), 0);
}

TEST(ScoreServer, TheLongestFreeTextTheGameSendsIsKeptClipped) {
  TTempDir dir;
  TServer server(dir.Path / "scores.db");
  THttpClient client;
  const std::string text = "Long" + std::string(MaxLineBytes - 4, '-');
  SubmitResult(client, SubmitUrlFor(server, "Ab", 10, text));
  const auto page = Fetch(server.Port, PageTarget);
  EXPECT_NE(page.Body.find("<td class=\"add\">" + text.substr(0, Scores::StoredAddInfoBytes) + "</td>"),
            std::string::npos)
      << page.Body;
  EXPECT_EQ(server.Child.Stop(SIGTERM), 0);
}

TEST(ScoreServer, PagesAndTheirJsonFormComeFromTheDatabase) {
  TTempDir dir;
  const auto db = dir.Path / "scores.db";
  {
    std::vector<Scores::TScoreEntry> entries;
    for (int score = 1; score <= 150; ++score) entries.push_back({"n" + std::to_string(score), score, "", 0});
    Scores::OpenSqliteStore(db.string())->Add(entries);
  }
  TServer server(db);
  const auto second = Fetch(server.Port, PageTarget + "&page=2");
  EXPECT_EQ(second.Status, 200);
  EXPECT_NE(second.Body.find("<td class=\"place\">101</td><td class=\"name\">n50</td>"), std::string::npos);
  const auto json = Fetch(server.Port, PageTarget + "&format=json&page=2");
  EXPECT_EQ(json.Status, 200);
  EXPECT_NE(json.Head.find("Content-Type: application/json"), std::string::npos);
  EXPECT_NE(json.Body.find("{\"place\":150,\"name\":\"n1\",\"score\":1,"), std::string::npos) << json.Body;
  EXPECT_EQ(Fetch(server.Port, PageTarget + "&page=3").Status, 404);
  // The browser's languages choose the page's.
  const auto english = Exchange(server.Port, "GET " + PageTarget + " HTTP/1.1\r\nHost: localhost\r\n"
                                             "Accept-Language: de-DE,de;q=0.9,en;q=0.8\r\nConnection: close\r\n\r\n");
  EXPECT_NE(english.Body.find("<h2>High scores</h2>"), std::string::npos) << english.Body.substr(0, 200);
  EXPECT_NE(Fetch(server.Port, PageTarget).Body.find("<h2>Таблица рекордов</h2>"), std::string::npos);
  EXPECT_EQ(server.Child.Stop(SIGTERM), 0);
}

// Whatever keeps it from serving properly ends it at start with a message and status 1,
// before it says it listens.
TEST(ScoreServer, RefusesToStartHalfWorking) {
  TTempDir dir;
  TServer first(dir.Path / "first.db");
  const std::string taken = std::to_string(first.Port);

  // A database the server's user cannot write; one a newer server has made.
  TUnprivileged user;
  user.Give(dir.Path);
  const auto readOnly = dir.Path / "read-only.db";
  Scores::OpenSqliteStore(readOnly.string());
  std::filesystem::permissions(readOnly, std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                                             std::filesystem::perms::others_read);
  const auto newer = dir.Path / "newer.db";
  {
    Scores::OpenSqliteStore(newer.string());
    sqlite3* db = nullptr;
    sqlite3_open(newer.c_str(), &db);
    sqlite3_exec(db, "PRAGMA user_version=99", nullptr, nullptr, nullptr);
    sqlite3_close(db);
  }
  const auto db = (dir.Path / "a.db").string();
  const struct {
    std::vector<std::string> Args;
    std::string Says;
  } Cases[] = {
      {{"--port", "x"}, "bad option --port"},
      {{"--port", "70000"}, "bad option --port"},
      {{"--port"}, "needs a value"},
      {{"--colour", "blue"}, "bad option --colour"},
      {{"--trusted-proxy", "proxy"}, "bad option --trusted-proxy"},
      {{"--port", taken, "--db", db}, "in use"},
      {{"--bind", "256.1.1.1", "--port", "0", "--db", db}, "cannot listen on 256.1.1.1"},
      {{"--db", (dir.Path / "no" / "such" / "folder" / "scores.db").string(), "--port", "0"}, "cannot be opened"},
      {user.Command({ServerProgram(), "--db", readOnly.string(), "--port", "0"}), "cannot be written"},
      {{"--db", newer.string(), "--port", "0"}, "newer server"},
      {{"--db", "postgresql://nobody@127.0.0.1:1/none", "--port", "0"}, "cannot be reached"},
      {{"--replay-runner", (dir.Path / "no-runner").string(), "--db", db, "--port", "0"}, "replay runner"},
      {{"--replay-workers", "0"}, "bad option --replay-workers"},
      {{"--web", (dir.Path / "no-page").string(), "--db", db, "--port", "0"}, "has no index.html"},
  };
  for (const auto& c : Cases) {
    std::vector<std::string> args = c.Args;
    if (args[0].rfind("-", 0) == 0) args.insert(args.begin(), ServerProgram());
    TChild child(args, TChild::ErrorsWithOutput);
    const std::string said = child.ReadAll(30000);
    EXPECT_EQ(child.Wait(30000), 1) << said;
    EXPECT_NE(said.find(c.Says), std::string::npos) << said;
    EXPECT_EQ(said.find("listening"), std::string::npos) << said;
  }
  // The first server still has its port and answers.
  EXPECT_EQ(Fetch(first.Port, PageTarget).Status, 200);
  EXPECT_EQ(first.Child.Stop(SIGTERM), 0);
}

}  // namespace
