// The replays the game keeps: the last twenty games and the games behind the table, under
// names of the game's own; nothing else in the folder is touched, and a folder that cannot
// be written costs only the replay.
#include <filesystem>
#include <fstream>

#include "tests/replay/ReplayRig.h"

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> FakeGame(const std::string& name, int32_t score, bool enteredTable) {
  TReplay r;
  r.Result.PlayerName = name;
  r.Result.Score = score;
  r.Result.EnteredTable = enteredTable;
  r.Stream = TReplayStreamWriter().Finish();
  return EncodeReplay(r);
}

constexpr int64_t Nov14th2023 = 1700000000;  // 22:13:20 UTC

THighScoreTable DefaultTable() {
  THighScoreTable table;
  ResetHighScores(table);
  return table;
}

std::string Kept(const char* name) { return std::string("Data\\Replays\\") + name; }

TEST(KeptReplays, TheLastTwentyAndTheGamesBehindTheTableStayAndNothingElseIsTouched) {
  TGameFolder folder;
  THighScoreTable table = DefaultTable();
  table.HighScores[2] = {"Kim", 4600, 0, 0};
  fs::create_directories("Data/Replays");
  std::ofstream("Data/Replays/notes.txt") << "mine";
  std::ofstream("Data/Replays/20200101-000000-01.replay.bak") << "mine too";
  for (int i = 0; i < 25; ++i)
    KeepReplay(i == 2 ? FakeGame("Kim", 4600, true) : FakeGame("Someone", 10, false), Nov14th2023 + i, table);
  std::vector<std::string> files = ReplayFiles();
  ASSERT_EQ(files.size(), 21u);
  EXPECT_EQ(files[0], Kept("20231114-221322-01.replay"));  // behind place 2
  EXPECT_EQ(files[1], Kept("20231114-221325-01.replay"));  // the oldest of the last twenty
  EXPECT_EQ(files[20], Kept("20231114-221344-01.replay"));
  EXPECT_TRUE(fs::exists("Data/Replays/notes.txt"));
  EXPECT_TRUE(fs::exists("Data/Replays/20200101-000000-01.replay.bak"));

  // A second game in the same second gets a number of its own; the oldest recent one goes.
  KeepReplay(FakeGame("Someone", 10, false), Nov14th2023 + 24, table);
  files = ReplayFiles();
  ASSERT_EQ(files.size(), 21u);
  EXPECT_EQ(files[1], Kept("20231114-221326-01.replay"));
  EXPECT_EQ(files[20], Kept("20231114-221344-02.replay"));

  // Once the table forgets the game, it is only as old as it is.
  table.HighScores[2] = {"Lee", 4600, 0, 0};
  KeepReplay(FakeGame("Someone", 10, false), Nov14th2023 + 100, table);
  EXPECT_EQ(ReplayFiles()[0], Kept("20231114-221327-01.replay"));
}

TEST(KeptReplays, EqualEntriesTakeTheirGamesOldestFirst) {
  TGameFolder folder;
  THighScoreTable table = DefaultTable();
  table.HighScores[3] = {"Ann", 4000, 0, 0};
  table.HighScores[4] = {"Ann", 4000, 0, 0};
  KeepReplay(FakeGame("Ann", 4000, true), Nov14th2023, table);
  KeepReplay(FakeGame("Ann", 4000, false), Nov14th2023 + 1, table);  // did not enter the table
  KeepReplay(FakeGame("Ann", 4000, true), Nov14th2023 + 2, table);
  KeepReplay(FakeGame("Ann", 3999, true), Nov14th2023 + 3, table);
  std::ofstream("Data/Replays/20231114-221324-01.replay") << "damaged";
  const auto behind = EntryReplays(table, ReplayFiles());
  EXPECT_EQ(behind[3], Kept("20231114-221320-01.replay"));
  EXPECT_EQ(behind[4], Kept("20231114-221322-01.replay"));
  for (size_t place : {1u, 2u, 5u, 10u}) EXPECT_EQ(behind[place], "") << place;
}

TEST(KeptReplays, AFolderThatCannotBeWrittenCostsOnlyTheReplay) {
  if (!TGameFolder::DataBuilt()) GTEST_SKIP() << "the game data is not built";
  TRecordingGame game;
  std::ofstream("Data/Replays") << "a file in the way";
  EXPECT_NO_THROW(KeepReplay(FakeGame("Ann", 1, true), Nov14th2023, DefaultTable()));
  game.ChooseBoat(1);
  game.FramesWhile(1);
  game.Leave();
  EXPECT_EQ(game.Form().CurrentScreen, 0);  // the game went on to the menu
  EXPECT_FALSE(game.Form().Replay.LastGame.empty());
  EXPECT_TRUE(ReplayFiles().empty());
}

TEST(KeptReplays, OnlyTheGamesOwnNamesAreItsReplays) {
  const struct {
    const char* Name;
    bool Ours;
  } cases[] = {
      {"20231114-221320-01.replay", true},  {"19700101-000000-99.replay", true},
      {"20231114-221320-1.replay", false},  {"20231114-221320-01.replay~", false},
      {"20231114_221320-01.replay", false}, {"2023111a-221320-01.replay", false},
      {"20231114-221320-01.REPLAY", false}, {"notes.txt", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsReplayFileName(c.Name), c.Ours) << c.Name;
}

}  // namespace
