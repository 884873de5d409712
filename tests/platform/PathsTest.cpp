#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "game/persist/HighScores.h"
#include "game/persist/SaveFile.h"
#include "media/DXClass/ComponentStream.h"
#include "media/Platform/Files.h"
#include "media/Platform/Paths.h"

namespace fs = std::filesystem;

namespace {

// Two folders whose names need more than one code page: spaces, Cyrillic, an accent.
class GameFolders : public ::testing::Test {
 protected:
  void SetUp() override {
    Root = Platform::MakeTempFolder("sprayrush-paths-");
    Data = Root / Platform::PathFromUtf8("Игры и данные");
    Player = Root / Platform::PathFromUtf8("Сохранения игрока é");
    fs::create_directories(Data / "Data" / "Res");
    fs::create_directories(Player);
    Platform::SetGameFolders({Data, Player});
  }
  void TearDown() override {
    Platform::SetGameFolders({});
    fs::remove_all(Root);
  }
  fs::path Root, Data, Player;
};

}  // namespace

TEST(GamePaths, TheSavesAndReplaysAreThePlayersEverythingElseIsTheGames) {
  struct TCase {
    const char* Path;
    bool Player;
  };
  for (const TCase& c : {TCase{"Data\\Save\\hs", true}, {"Data\\Save", true}, {"data\\SAVE\\options", true},
                         {"Data/Save/options", true}, {"Data\\Replays\\1.rpl", true}, {"Data\\Res\\Res1.dxg", false},
                         {"Data\\Music\\Menu.xm", false}, {"Data\\ScoreServer.txt", false}, {"Data\\Saved", false},
                         {"Fonts\\LiberationSans-Regular.ttf", false}, {"play.url", false},
                         {"fscommand/wgame.exe", false}})
    EXPECT_EQ(Platform::IsPlayerPath(c.Path), c.Player) << c.Path;
}

TEST_F(GameFolders, EachKindOfPathLiesInItsFolder) {
  EXPECT_EQ(Platform::NativePath("Data\\Save\\hs"), Player / "Data" / "Save" / "hs");
  EXPECT_EQ(Platform::NativePath("Data\\Res\\Res1.dxg"), Data / "Data" / "Res" / "Res1.dxg");
  EXPECT_EQ(Platform::NativePath("fscommand/wgame.exe"), Data / "fscommand" / "wgame.exe");
  Platform::SetGameFolders({});
  EXPECT_EQ(Platform::NativePath("Data\\Save\\hs"), fs::path("Data") / "Save" / "hs");
}

TEST_F(GameFolders, SavesAndDataAreReadAndWrittenThereWhateverTheirNames) {
  THighScoreTable table;
  ResetHighScores(table);
  table.HighScores[1].Name = "\xC8\xF0\xE0";  // "Ира"
  SaveHighScores(table);
  THighScoreTable back;
  LoadHighScores(back);
  EXPECT_EQ(back.HighScores[1].Name, "\xC8\xF0\xE0");
  EXPECT_TRUE(fs::is_regular_file(Player / "Data" / "Save" / "hs"));
  EXPECT_FALSE(fs::exists(Data / "Data" / "Save"));

  std::ofstream(Data / "Data" / "Res" / "Res1.dxg", std::ios::binary) << "bytes";
  EXPECT_EQ(ReadWholeFile("Data\\Res\\Res1.dxg"), (std::vector<uint8_t>{'b', 'y', 't', 'e', 's'}));
  // A missing file names where it was looked for, in the game's own code page.
  try {
    ReadWholeFile("Data\\Res\\Res3.dxg");
    ADD_FAILURE() << "read a missing file";
  } catch (const std::exception& e) {
    EXPECT_NE(std::string(e.what()).find("\xC8\xE3\xF0\xFB"), std::string::npos) << e.what();  // "Игры"
  }
}

TEST_F(GameFolders, ASaveReplacesTheOldFileWholeAndLeavesNothingBeside) {
  const fs::path file = Player / "file";
  EXPECT_FALSE(Platform::ReplaceFileContents(file, std::string(5000, 'a')));
  EXPECT_FALSE(Platform::ReplaceFileContents(file, "short"));
  {
    std::ifstream in(file, std::ios::binary);  // closed again: Windows replaces no open file
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "short");
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(Player), fs::directory_iterator()), 1);
  EXPECT_EQ(Platform::ReplaceFileContents(Player / "no such folder" / "file", "x"),
            std::errc::no_such_file_or_directory);
  EXPECT_EQ(std::distance(fs::directory_iterator(Player), fs::directory_iterator()), 1);

  // A file the player made read-only is still saved, and stays read-only.
  fs::permissions(file, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  EXPECT_FALSE(Platform::ReplaceFileContents(file, "again"));
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::owner_write, fs::perms::none);
  fs::permissions(file, fs::perms::owner_write, fs::perm_options::add);
}
