// Watching a game again in the window: R for the last game and a place's digit on the
// high-score screen start it; Space, Right and Escape steer it; at its end the player is
// back with their own table, name and options, and nothing was sent, saved or kept.
#include <fstream>
#include <sstream>

#include "game/online/SubmitResult.h"
#include "tests/online/Loopback.h"
#include "tests/replay/ReplayRig.h"

using namespace Platform;

namespace {

class WatchingAGame : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!TGameFolder::DataBuilt()) GTEST_SKIP() << "the game data is not built";
  }
};

std::string FileText(const char* path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

// A game that makes the table as "Zed", through to the high-score screen.
void PlayARecord(TRecordingGame& game) {
  game.ChooseBoat(1);
  game.FramesWhile(1);
  game.Hold({VK_UP});
  game.Frames(120);
  game.Leave();
  ASSERT_EQ(game.Form().ActiveDialog, 5);
  game.Type("Zed");
  game.Key(VK_RETURN, 13);
  game.Hold({'N'});
  game.Frames(1);
  game.Hold({});
  for (int i = 0; i < 1000 && game.Form().CurrentScreen != 3; ++i) game.Frames(1);
  ASSERT_EQ(game.Form().CurrentScreen, 3);
}

// The race clock's fall over one frame tick of the window.
int32_t ClockStep(TRecordingGame& game) {
  const int32_t before = game.Form().Race.TimeLeft;
  game.Frames(1);
  return before - game.Form().Race.TimeLeft;
}

TEST_F(WatchingAGame, APlacesDigitAndRPlayTheGamesAgainAndTheViewerSteersThem) {
  TRecordingGame game(7, true);
  PlayARecord(game);
  TMForm& form = game.Form();
  const THighScoreTable own = form.HighScoreTable;
  ASSERT_EQ(own.HighScores[10].Name, "Zed");
  const std::string savedTable = FileText("Data/Save/hs");

  game.Key('1', '1');  // the default entry there has no game
  EXPECT_FALSE(Watching(form));
  game.Key('0', '0');  // place 10 is Zed's
  ASSERT_TRUE(Watching(form));
  EXPECT_EQ(form.CurrentScreen, 1);
  EXPECT_EQ(form.HighScoreTable.HighScores[10].Points, -1);  // the table the game began with
  game.FramesWhile(1);
  EXPECT_EQ(ClockStep(game), 15);
  game.Key(VK_SPACE, ' ');
  EXPECT_EQ(ClockStep(game), 0);
  EXPECT_EQ(ClockStep(game), 0);
  game.Key(VK_SPACE, ' ');
  game.Key(VK_RIGHT);
  EXPECT_EQ(ClockStep(game), 60);
  game.Key(VK_RIGHT);
  EXPECT_EQ(ClockStep(game), 15);
  game.Hold({VK_LEFT, 'P', VK_ESCAPE});  // the viewer's keys do not steer the replayed boat
  game.Type("q");
  game.Click(400, 300);
  game.Frames(3);
  game.Hold({});
  EXPECT_EQ(form.ActiveDialog, 0);
  game.Key(VK_ESCAPE);
  EXPECT_FALSE(Watching(form));
  EXPECT_EQ(form.CurrentScreen, 0);
  EXPECT_EQ(form.Menu.MenuEntryMode, 3);  // back to the high scores after the slide-in
  EXPECT_EQ(form.HighScoreTable.HighScores[10].Name, "Zed");

  // R plays the last game to its end; the table comes back after it.
  for (int i = 0; i < 1000 && form.CurrentScreen != 3; ++i) game.Frames(1);
  game.Key('R', 'r');
  ASSERT_TRUE(Watching(form));
  for (int i = 0; i < 5000 && Watching(form); ++i) game.Frames(1);
  EXPECT_FALSE(Watching(form));
  for (int i = 0; i < 1000 && form.CurrentScreen != 3; ++i) game.Frames(1);
  EXPECT_EQ(form.CurrentScreen, 3);
  EXPECT_EQ(form.HighScoreTable.HighScores[10].Name, "Zed");
  EXPECT_EQ(form.Race.PlayerName, "Zed");
  EXPECT_EQ(game.Kept().size(), 1u);  // watching is not a game of its own
  EXPECT_EQ(FileText("Data/Save/hs"), savedTable);
}

TEST_F(WatchingAGame, NothingIsSentOrSavedAndTheCloseBoxLeavesTheReplayFirst) {
  // A game that sent its result.
  std::vector<uint8_t> sent;
  {
    TRecordingGame player(3, true);
    SetScoreServerOverride("127.0.0.1:" + std::to_string(Loopback::DeadPort()));
    player.ChooseBoat(2);
    player.FramesWhile(1);
    player.Leave();
    player.Key(VK_RETURN, 13);  // the name
    player.Frames(1);
    player.Key(VK_RETURN, 13);  // Yes, send it
    for (int i = 0; i < 2000 && player.Form().CurrentScreen == 1; ++i) player.Frames(1);
    sent = player.Form().Replay.LastGame;
    ASSERT_TRUE(DecodeReplay(sent).Result.Sent);
  }

  Loopback::TListener server([](int, const std::string&) {});
  TRecordingGame viewer(11);
  SetScoreServerOverride("127.0.0.1:" + std::to_string(server.Port));
  TMForm& form = viewer.Form();
  form.Options.AddInfo = "mine";
  form.Race.PlayerName = "Viewer";
  const uint32_t seed = form.RandomGen.RandSeed;
  StartPlayback(form, DecodeReplay(sent), TPlaybackView::Window);
  EXPECT_EQ(form.Options.AddInfo, "_______");
  for (int i = 0; i < 5000 && Watching(form); ++i) viewer.Frames(1);
  EXPECT_FALSE(Watching(form));
  EXPECT_TRUE(server.Heads().empty());
  EXPECT_TRUE(viewer.Kept().empty());
  EXPECT_EQ(form.Options.AddInfo, "mine");
  EXPECT_EQ(form.Race.PlayerName, "Viewer");
  EXPECT_EQ(form.RandomGen.RandSeed, seed);

  StartPlayback(form, DecodeReplay(sent), TPlaybackView::Window);
  viewer.Frames(10);
  viewer.Deliver(TEventKind::CloseRequest);
  EXPECT_FALSE(Watching(form));
  EXPECT_EQ(form.ActiveDialog, 9);  // the quit question, over the menu

  // Leaving the program in the middle of a replay saves the player's own table.
  viewer.Hold({'N'});
  viewer.Frames(1);
  viewer.Hold({});
  StartPlayback(form, DecodeReplay(sent), TPlaybackView::Window);
  viewer.Frames(10);
  form.FormDestroy();
  THighScoreTable saved;
  LoadHighScores(saved);
  EXPECT_EQ(saved.HighScores[10].Points, 500);
}

}  // namespace
