// Several score servers on one PostgreSQL database serve one table: a real PostgreSQL 15
// started by the test, two servers started together on it, a burst sent to both.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <thread>

#include "server/ScoreStore.h"
#include "tests/server/Postgres.h"
#include "tests/server/RawHttp.h"
#include "tests/server/ServerProcess.h"

namespace {

using namespace ServerTest;

struct TRow {
  std::string Name;
  int Score;
};

// Every row of the table as the server's JSON pages give it, page after page.
std::vector<TRow> WholeTable(int port) {
  std::vector<TRow> rows;
  for (int page = 1; page < 100; ++page) {
    const auto answer = Fetch(port, PageTarget + "&format=json&page=" + std::to_string(page));
    if (answer.Status != 200) break;
    const std::string& body = answer.Body;
    for (size_t at = body.find("{\"place\":"); at != std::string::npos; at = body.find("{\"place\":", at + 1)) {
      const size_t name = body.find("\"name\":\"", at) + 8;
      const size_t score = body.find("\"score\":", at) + 8;
      rows.push_back({body.substr(name, body.find('"', name) - name), std::atoi(body.c_str() + score)});
    }
    if (body.find("\"next_page\":null") != std::string::npos) break;
  }
  return rows;
}

TEST(PostgresTable, TwoServersStartedTogetherServeOneTable) {
  ASSERT_TRUE(PostgresInstalled()) << "PostgreSQL 15 is missing: run tools/setup.sh";
  RaiseFileLimit();
  TTempDir dir;
  TPostgres postgres(dir.Path);

  // Both create the tables at the same moment; one waits for the other.
  TServer first(postgres.Uri, false), second(postgres.Uri, false);
  first.Listening();
  second.Listening();

  // A burst to both: 8 players, 25 results each, every other one to the other server.
  constexpr int Players = 8, Each = 25;
  std::mutex lock;
  std::map<std::string, int> acknowledged;
  std::vector<std::thread> players;
  for (int p = 0; p < Players; ++p) {
    players.emplace_back([&, p] {
      for (int i = 0; i < Each; ++i) {
        // Distinct scores, so the order is known.
        const int score = (i * Players + p) * 7919 % 100003;
        const std::string name = "p" + std::to_string(p) + "r" + std::to_string(i);
        const int port = (p + i) % 2 ? first.Port : second.Port;
        const auto answer = Fetch(port, SubmitTarget(name, score, "pg"), Loopback(5, p + 1));
        std::lock_guard<std::mutex> hold(lock);
        if (answer.Status == 200)
          acknowledged[name] = score;
        else
          ADD_FAILURE() << name << ": " << answer.Status << " " << answer.Body;
      }
    });
  }
  for (auto& t : players) t.join();
  ASSERT_EQ(acknowledged.size(), size_t(Players * Each));

  // Both pages show every result, best first, the same on both.
  const auto seenFirst = WholeTable(first.Port);
  const auto seenSecond = WholeTable(second.Port);
  ASSERT_EQ(seenFirst.size(), acknowledged.size());
  ASSERT_EQ(seenSecond.size(), acknowledged.size());
  for (size_t i = 0; i < seenFirst.size(); ++i) {
    EXPECT_EQ(seenFirst[i].Name, seenSecond[i].Name) << i;
    const auto kept = acknowledged.find(seenFirst[i].Name);
    ASSERT_NE(kept, acknowledged.end()) << seenFirst[i].Name;
    EXPECT_EQ(seenFirst[i].Score, kept->second);
    if (i > 0) {
      EXPECT_GT(seenFirst[i - 1].Score, seenFirst[i].Score) << i;
    }
  }
  EXPECT_EQ(first.Child.Stop(SIGTERM), 0);
  EXPECT_EQ(second.Child.Stop(SIGTERM), 0);

  // The store itself: the same order from its own connection, results of equal score in
  // the order they came, and a database from a newer server refused.
  auto store = Scores::OpenPostgresStore(postgres.Uri);
  store->Add({{"late1", -1, "", 10}, {"late2", -1, "", 11}});
  const auto top = store->Best({0, 3});
  ASSERT_EQ(top.size(), 3u);
  EXPECT_EQ(top[0].Name, seenFirst[0].Name);
  const auto bottom = store->Best({acknowledged.size(), 10});
  ASSERT_EQ(bottom.size(), 2u);
  EXPECT_EQ(bottom[0].Name, "late1");
  EXPECT_EQ(bottom[1].Time, 11);
  postgres.Execute("scores", "UPDATE sprayrush_schema SET version = 99");
  try {
    Scores::OpenPostgresStore(postgres.Uri);
    ADD_FAILURE() << "a newer database was taken";
  } catch (const Scores::EStoreError& e) {
    EXPECT_NE(std::string(e.what()).find("newer server"), std::string::npos) << e.what();
  }
}

}  // namespace
