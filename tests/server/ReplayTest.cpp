// Replays sent to the score server: re-played with the game's own runner, a proven result
// put on the table once beside the submission it proves, everything altered or forged
// refused, and a flood of replays kept from the pages.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <thread>

#include "game/online/SubmitResult.h"
#include "game/replay/ReplayFile.h"
#include "http/HttpClient.h"
#include "server/ScoreStore.h"
#include "tests/replay/AlteredReplay.h"
#include "tests/server/Postgres.h"
#include "tests/server/RawHttp.h"
#include "tests/server/SentGame.h"
#include "tests/server/ServerProcess.h"

namespace {

using namespace ServerTest;

// The designed submission, then its game's replay: one row, proven, downloadable.
void ProveTheSentGame(const TServer& server) {
  THttpClient client;
  const auto submit = [&](const std::string& name, int32_t score) {
    client.Get(SubmitUrl(server.Address(), EncodeBits(ToBitString(ResultRecord(name, score, SentAdd)))));
  };
  submit(SentName, SentScore);
  submit("Other", 900);
  const TResponse proven = PostReplay(server.Port, SentGame());
  ASSERT_EQ(proven.Status, 201) << proven.Body;
  EXPECT_NE(proven.Body.find("\"score\":835,\"info\":\"_______\""), std::string::npos) << proven.Body;
  EXPECT_NE(proven.Body.find("\"proven\":true"), std::string::npos) << proven.Body;
  EXPECT_NE(proven.Body.find("\"merged\":true"), std::string::npos) << proven.Body;
  // Sent again, the same game stays one row; a copy of its race under another name is
  // turned away with that row.
  EXPECT_EQ(PostReplay(server.Port, SentGame()).Status, 200);
  const TResponse copy = PostReplay(server.Port, TomsGame(), "127.0.7.200");
  EXPECT_EQ(copy.Status, 409);
  EXPECT_EQ(copy.Body.substr(0, copy.Body.find(',')), proven.Body.substr(0, proven.Body.find(',')));

  const std::string all = Fetch(server.Port, PageTarget).Body;
  EXPECT_EQ(Count(all, "<td class=\"score\">835"), 1u) << all;
  EXPECT_EQ(Count(all, "class=\"proven\""), 1u) << all;
  EXPECT_NE(all.find("<td class=\"name\">\xD0\x98\xD1\x80\xD0\xB0</td><td class=\"score\">835<a class=\"proven\""),
            std::string::npos)
      << all;
  EXPECT_NE(all.find("<td class=\"score\">900</td>"), std::string::npos);
  EXPECT_NE(all.find("type=1\">"), std::string::npos) << "the page of every result links to the proven ones";

  const std::string proof = Fetch(server.Port, "/cgi/version.pl?prg=Sprayrush&show&type=1").Body;
  EXPECT_EQ(Count(proof, "<td class=\"place\">"), 1u) << proof;
  EXPECT_NE(proof.find("<td class=\"place\">1</td><td class=\"name\">\xD0\x98\xD1\x80\xD0\xB0</td>"), std::string::npos);
  const std::string json = Fetch(server.Port, "/cgi/version.pl?prg=Sprayrush&show&type=1&format=json").Body;
  EXPECT_NE(json.find("\"type\":1,"), std::string::npos) << json;
  EXPECT_NE(json.find("\"score\":835,\"info\":\"_______\","), std::string::npos) << json;

  // The mark's link downloads what proves the race: the replay up to the race's end, which
  // re-plays to the same result.
  const size_t href = proof.find("href=\"../replays?id=");
  ASSERT_NE(href, std::string::npos) << proof;
  const size_t from = href + 8;  // past href="..
  const std::string target = proof.substr(from, proof.find('"', from) - from);
  const TResponse download = Fetch(server.Port, target);
  EXPECT_EQ(download.Status, 200) << target;
  EXPECT_NE(download.Head.find("Content-Disposition: attachment; filename=\"sprayrush-"), std::string::npos);
  const TReplay kept = DecodeReplay(Bytes(download.Body));
  EXPECT_EQ(kept.Result.Score, SentScore);
  EXPECT_EQ(kept.Result.PlayerName, SentName);
  EXPECT_LT(kept.Result.Frames, SentReplay().Result.Frames) << "the idle frames after the game are kept";
  {
    TTempDir check;
    std::ofstream(check.Path / "kept.replay", std::ios::binary) << download.Body;
    TChild runner({SPRAYRUSH_RUNNER, "--verify", (check.Path / "kept.replay").string()}, true);
    EXPECT_EQ(runner.ReadAll(60000).rfind("result=reproduced ", 0), 0u);
  }
  EXPECT_EQ(Fetch(server.Port, "/replays?id=999").Status, 404);
  EXPECT_EQ(Fetch(server.Port, "/replays?id=x").Status, 400);
}

TEST(ProvenResults, AReplayProvesItsSubmissionOnceInATableMadeByTheFirstServer) {
  TTempDir dir;
  const auto db = dir.Path / "scores.db";
  {
    // The tables as the first server made them, with a result in them.
    sqlite3* handle = nullptr;
    sqlite3_open(db.c_str(), &handle);
    sqlite3_exec(handle,
                 "CREATE TABLE results (id INTEGER PRIMARY KEY, name BLOB NOT NULL, score INTEGER NOT NULL,"
                 " add_info BLOB NOT NULL, submitted INTEGER NOT NULL);"
                 "CREATE INDEX results_best ON results (score DESC, id);"
                 "INSERT INTO results (name, score, add_info, submitted) VALUES (X'4F6C64', 5, X'', 0);"
                 "PRAGMA user_version=1;",
                 nullptr, nullptr, nullptr);
    sqlite3_close(handle);
  }
  TServer server(db);
  EXPECT_NE(Fetch(server.Port, PageTarget).Body.find("<td class=\"name\">Old</td>"), std::string::npos);
  ProveTheSentGame(server);
  EXPECT_EQ(server.Child.Stop(SIGTERM), 0);
}

TEST(ProvenResults, AReplayProvesItsSubmissionOnceOnPostgres) {
  ASSERT_TRUE(PostgresInstalled()) << "PostgreSQL 15 is missing: run tools/setup.sh";
  TTempDir dir;
  TPostgres postgres(dir.Path);
  // The tables as the first server made them.
  postgres.Execute("scores",
                   "CREATE TABLE sprayrush_schema (version INTEGER NOT NULL); INSERT INTO sprayrush_schema VALUES (1);"
                   "CREATE TABLE results (id BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY, name BYTEA NOT NULL,"
                   " score INTEGER NOT NULL, add_info BYTEA NOT NULL, submitted BIGINT NOT NULL);"
                   "CREATE INDEX results_best ON results (score DESC, id);"
                   "INSERT INTO results (name, score, add_info, submitted) VALUES ('Old', 5, '', 0)");
  TServer server(postgres.Uri);
  EXPECT_NE(Fetch(server.Port, PageTarget).Body.find("<td class=\"name\">Old</td>"), std::string::npos);
  ProveTheSentGame(server);
  EXPECT_EQ(server.Child.Stop(SIGTERM), 0);
}

TEST(ProvenResults, AlteredForgedAndDamagedReplaysAreRefusedAndNothingIsProven) {
  const std::vector<uint8_t> sent = Bytes(SentGame());
  // A frame early in the race lets go of the throttle; the file still claims the old end.
  const std::vector<uint8_t> altered = WithFrameChanged(sent, 300, [](TReplayInput& input) { input.States = 0; });
  TReplay claimsMore = DecodeReplay(sent);
  claimsMore.Result.Score = 2147483647;
  TReplay unsent = DecodeReplay(sent);
  unsent.Result.Sent = false;
  // The send question answered No instead of Yes, the file still claiming the result was sent.
  const std::string claimsSent = Reclaimed(Rewritten(SentReplay(), [](const TReplayItem& item, uint32_t,
                                                                     TReplayStreamWriter& out) {
    TReplayItem copy = item;
    constexpr uint64_t Yes = uint64_t(1) << 9, No = uint64_t(1) << 10;  // Y and N
    if (item.Kind == TReplayItem::Frame && item.Input.States == Yes) copy.Input.States = No;
    Put(out, copy);
  }));
  TReplay newer = DecodeReplay(sent);
  newer.Simulation = SimulationVersion + 1;
  std::vector<uint8_t> flipped = sent;
  flipped[flipped.size() / 2] ^= 0x10;

  TTempDir dir;
  TServer server(dir.Path / "scores.db");
  const struct {
    const char* What;
    std::string Body;
    int Status;
    const char* Says;
  } Cases[] = {
      {"one frame changed", Text(altered), 422, "does not come to the end it claims"},
      {"another score claimed", Text(EncodeReplay(claimsMore)), 422, "score 835 where the file claims 2147483647"},
      {"a game not sent", Text(EncodeReplay(unsent)), 422, "did not send"},
      {"a game not sent that claims it was", claimsSent, 422, "a game that did not send its result"},
      {"another simulation", Text(EncodeReplay(newer)), 422, "simulation version"},
      {"a flipped byte", Text(flipped), 400, "damaged"},
      {"cut short", SentGame().substr(0, SentGame().size() / 2), 400, "damaged"},
      {"not a replay", "hello\n", 400, "not a replay"},
      {"no body", "", 400, "body"},
  };
  for (const auto& c : Cases) {
    const TResponse answer = PostReplay(server.Port, c.Body);
    EXPECT_EQ(answer.Status, c.Status) << c.What << ": " << answer.Body;
    EXPECT_NE(answer.Body.find(c.Says), std::string::npos) << c.What << ": " << answer.Body;
  }
  // Larger than four hours of play: refused before it is read.
  const TResponse large = Exchange(server.Port, "POST /replays HTTP/1.1\r\nHost: x\r\nConnection: close\r\n"
                                                "Content-Length: " + std::to_string(MaxReplayBytes + 1) + "\r\n\r\n");
  EXPECT_EQ(large.Status, 413);
  EXPECT_NE(Fetch(server.Port, "/cgi/version.pl?prg=Sprayrush&show&type=1").Body.find("Результатов пока нет"),
            std::string::npos);
  EXPECT_NE(Fetch(server.Port, PageTarget).Body.find("Результатов пока нет"), std::string::npos);
  EXPECT_EQ(server.Child.Stop(SIGTERM), 0);
}

TEST(ProvenResults, AFullReplayQueueTurnsReplaysAwayWhilePagesAndResultsGoOnAndTheWaitingAreShownPending) {
  TTempDir dir;
  // A runner that takes the replay, leaves a file in its temporary folder, says which
  // folder when it has started, and waits to be let go.
  const auto runner = dir.Path / "runner.sh";
  const auto started = dir.Path / "started", release = dir.Path / "release";
  std::ofstream(runner) << "#!/bin/sh\ncat >/dev/null\ntouch \"$TMPDIR/left\"\necho \"$TMPDIR\" >'" << started.string()
                        << ".new'\nmv '" << started.string() << ".new' '" << started.string() << "'\nwhile [ ! -e '"
                        << release.string() << "' ]; do sleep 0.05; done\nexit 1\n";
  std::filesystem::permissions(runner, std::filesystem::perms::owner_all);
  TServer server((dir.Path / "scores.db").string(), true, {},
                 {"--replay-runner", runner.string(), "--replay-workers", "1", "--replay-queue", "1", "--replay-wait", "1"});

  // One re-playing, one waiting: the queue is full, and of two more at least one is turned away.
  std::vector<std::thread> senders;
  std::atomic<int> answers[4] = {};
  const auto send = [&](int i) {
    senders.emplace_back([&, i] { answers[i] = PostReplay(server.Port, SentGame(), Loopback(7, i + 1)).Status; });
  };
  send(0);
  for (int i = 0; i < 3000 && !std::filesystem::exists(started); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_TRUE(std::filesystem::exists(started));
  std::string scratch;
  std::getline(std::ifstream(started), scratch);
  for (int i = 1; i < 4; ++i) send(i);
  int turnedAway = 0;
  for (int wait = 0; wait < 3000 && turnedAway < 2; ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    turnedAway = 0;
    for (int i = 1; i < 4; ++i) turnedAway += answers[i] == 429;
  }
  EXPECT_EQ(turnedAway, 2);

  // Meanwhile pages and results are answered as ever. The senders heard 202: their replays
  // are kept, and the submission of the game of one shows it pending.
  for (int wait = 0; wait < 3000 && answers[0] == 0; ++wait) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(answers[0], 202);
  const TResponse page = Fetch(server.Port, PageTarget);
  EXPECT_EQ(page.Status, 200);
  EXPECT_EQ(Fetch(server.Port, SubmitTarget("Ab", 10, "")).Status, 200);
  EXPECT_EQ(Fetch(server.Port, SubmitTarget(SentName, SentScore, SentAdd), Loopback(7, 1)).Status, 200);
  const std::string pending = Fetch(server.Port, PageTarget).Body;
  EXPECT_NE(pending.find(">Ab<"), std::string::npos);
  EXPECT_EQ(Count(pending, "class=\"pending\""), 1u) << pending;
  const std::string json = Fetch(server.Port, PageTarget + "&format=json").Body;
  const size_t link = json.find("\"pending\":true,\"replay\":\"");
  ASSERT_NE(link, std::string::npos) << json;
  const size_t from = link + std::strlen("\"pending\":true,\"replay\":\"");
  const std::string target = json.substr(from, json.find('"', from) - from);
  EXPECT_EQ(Fetch(server.Port, target).Status, 202) << target;

  // Uploads announcing the largest replay and never sending it hold the memory set aside
  // for replays; one more is turned away before its body is read, and pages go on.
  const std::string largest =
      "POST /replays HTTP/1.1\r\nHost: x\r\nContent-Length: " + std::to_string(MaxReplayBytes) + "\r\n\r\n";
  std::vector<int> held;
  for (int i = 0; i < 40; ++i) {
    const int fd = ConnectFrom(Loopback(8, i + 1), server.Port);
    ASSERT_GE(fd, 0);
    SendText(fd, largest);
    held.push_back(fd);
  }
  const TResponse over = Exchange(server.Port, largest, Loopback(8, 100));
  EXPECT_EQ(over.Status, 429);
  EXPECT_NE(over.Body.find("uploads"), std::string::npos) << over.Body;
  EXPECT_EQ(Fetch(server.Port, PageTarget).Status, 200);
  for (int fd : held) ::close(fd);

  // Let go, the runner fails: the replays it held wait no more.
  std::ofstream(release) << "";
  for (auto& s : senders) s.join();
  for (int wait = 0; wait < 3000 && Fetch(server.Port, target).Status == 202; ++wait)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(Fetch(server.Port, target).Status, 404);
  EXPECT_FALSE(scratch.empty());
  EXPECT_FALSE(std::filesystem::exists(scratch)) << "a failed re-play left " << scratch;
  // The one that waited ran too, and failed as well: 503, unless its sender had heard 202.
  for (int i = 1; i < 4; ++i) EXPECT_TRUE(answers[i] == 429 || answers[i] == 202 || answers[i] == 503) << answers[i];
  EXPECT_EQ(server.Child.Stop(SIGTERM), 0);
}

}  // namespace
