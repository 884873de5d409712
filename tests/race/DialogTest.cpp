// The race's overlays and their chains: game over, name entry, the send question, the
// way back to the menu, and the window's close and minimise requests during a race.
#include "game/menus/Menu.h"
#include "game/menus/MenuButton.h"
#include "game/online/SubmitResult.h"
#include "game/track/CaptionSprite.h"
#include "game/track/Explosion.h"
#include "media/DXClass/DXForm.h"
#include "tests/race/RaceRig.h"

using namespace Platform;

namespace {

class RaceDialogs : public RaceOnAnEmptyCourse {
 protected:
  void Type(std::string_view text) {
    for (char c : text) Rig.Type(uint8_t(c));
  }
  void Enter() { Rig.Type(13); }
  // Frames until the dialog is no longer the given one.
  int FramesWhile(uint8_t dialog) {
    int n = 0;
    while (Form().ActiveDialog == dialog && n < 10000) {
      Frames(1);
      ++n;
    }
    return n;
  }
};

TEST_F(RaceDialogs, ARecordGameEndsThroughNameEntryAndTheSendQuestionOnTheHighScores) {
  Race().Score = 501;  // beats the default table's last entry of 500
  Race().PlayerName = "Olga";
  GameOverNow(Form());
  EXPECT_EQ(Race().Lives, 0);
  EXPECT_EQ(Form().ActiveDialog, 8);
  EXPECT_EQ(FramesWhile(8), 135);  // 2000 ms
  ASSERT_EQ(Form().ActiveDialog, 5);
  ASSERT_NE(Form().Dialog.Window, nullptr);
  // The previous name is offered again; at most ten printable characters (DEL is none).
  Type("\x08" "a-\x7F\xC6 0123456789");
  EXPECT_EQ(Race().PlayerName, "Olga-\xC6 012");
  Enter();
  EXPECT_EQ(Form().HighScoreTable.HighScores[10].Name, "Olga-\xC6 012");
  EXPECT_EQ(Form().HighScoreTable.HighScores[10].Points, 501);
  ASSERT_EQ(Form().ActiveDialog, 6);
  EXPECT_EQ(Form().HotButton, 1);  // Yes preselected
  EXPECT_EQ(Form().Menu.Buttons[1]->X, 315);
  Frames(1);
  Hold({'N'});
  Frames(1);
  EXPECT_EQ(Form().CurrentScreen, 0);
  EXPECT_EQ(Form().ActiveDialog, 0);
  EXPECT_EQ(Race().PlayerBoat, nullptr);
  Hold({});
  // The main menu slides in and opens the high scores by itself.
  for (int i = 0; i < 1000 && Form().CurrentScreen == 0; ++i) Frames(1);
  EXPECT_EQ(Form().CurrentScreen, 3);
}

TEST_F(RaceDialogs, AGameOverWithoutARecordGoesStraightBackToTheMenu) {
  Race().Score = 500;  // equal to the last entry: not enough
  GameOverNow(Form());
  FramesWhile(8);
  EXPECT_EQ(Form().CurrentScreen, 0);
  EXPECT_EQ(Form().ActiveDialog, 0);
  EXPECT_EQ(Form().Menu.MenuEntryMode, 3);
  EXPECT_EQ(Form().HotButton, 3);
}

TEST_F(RaceDialogs, LeavingWithARecordAsksForTheNameToo) {
  Race().Score = 6000;
  Hold({VK_ESCAPE});
  Frames(1);
  Hold({'Y'});
  Frames(1);
  EXPECT_EQ(Form().ActiveDialog, 5);
  EXPECT_EQ(Form().CurrentScreen, 1);
}

TEST_F(RaceDialogs, TheNameCursorShowsAfterOneFrameThenBlinksEvery500Ms) {
  OpenDialog(Form(), 5);
  const TCaptionSprite& cursor = *Form().Dialog.TextCursor;
  EXPECT_FALSE(cursor.Visible);
  std::vector<int> toggles;
  bool visible = false;
  for (int frame = 1; frame <= 80; ++frame) {
    Frames(1);
    if (cursor.Visible != visible) toggles.push_back(frame);
    visible = cursor.Visible;
  }
  EXPECT_EQ(toggles, (std::vector<int>{1, 35, 69}));
  EXPECT_EQ(cursor.Y, 363);
  EXPECT_GE(cursor.X, 400);
}

TEST_F(RaceDialogs, ClosingTheWindowInARaceAsksWhetherToLeaveTheRace) {
  bool canClose = true;
  Form().FormCloseQuery(canClose);
  EXPECT_FALSE(canClose);
  EXPECT_EQ(Form().ActiveDialog, 4);
  EXPECT_EQ(Form().Menu.Buttons[1]->Y, 340);
  EXPECT_EQ(Form().Menu.Buttons[11], nullptr);
  Enter();  // No
  EXPECT_EQ(Form().ActiveDialog, 0);
  EXPECT_EQ(Form().CurrentScreen, 1);

  // Minimising pauses, and the pause stays when the window is back.
  Form().WMSysCommand(SC_MINIMIZE);
  EXPECT_EQ(Form().ActiveDialog, 2);
  Frames(5);
  EXPECT_EQ(Form().ActiveDialog, 2);
}

TEST_F(RaceDialogs, CloseAndMinimiseWaitForTheTimeOverAndTheEndOfTheGame) {
  for (uint8_t dialog : {3, 5, 6, 8}) {
    OpenDialog(Form(), dialog);
    bool canClose = true;
    Form().FormCloseQuery(canClose);
    EXPECT_FALSE(canClose);
    Form().WMSysCommand(SC_MINIMIZE);
    EXPECT_EQ(Form().ActiveDialog, dialog) << int(dialog);
    EXPECT_EQ(Form().CurrentScreen, 1);
  }
}

TEST_F(RaceDialogs, AMinimiseDuringTheTimeOverPausesTheRestartedLevelAtItsBanner) {
  Race().TimeLeft = 0;
  Frames(1);
  ASSERT_EQ(Form().ActiveDialog, 3);
  Form().WMSysCommand(SC_MINIMIZE);
  EXPECT_EQ(Form().ActiveDialog, 3);  // the time-over plays out...
  FramesWhile(3);
  Frames(1);
  EXPECT_EQ(Form().ActiveDialog, 2);  // ...and the restarted level's banner gives way to the pause
  EXPECT_EQ(Race().TimeLeft, LevelTimeLimit(1));
  Frames(200);
  EXPECT_EQ(Form().ActiveDialog, 2);
  EXPECT_EQ(Race().TimeLeft, LevelTimeLimit(1));
  Hold({'P'});
  Frames(1);
  EXPECT_EQ(Form().ActiveDialog, 0);
}

TEST_F(RaceDialogs, APauseOwedByAFinishedGameDoesNotCarryIntoTheNext) {
  Race().Score = 0;  // no record: straight back to the menu
  GameOverNow(Form());
  Form().WMSysCommand(SC_MINIMIZE);
  FramesWhile(8);
  ASSERT_EQ(Form().CurrentScreen, 0);
  for (int i = 0; i < 1000 && Form().CurrentScreen != 3; ++i) Frames(1);
  CloseHighScoreScreen(Form());
  ShowMainMenu(Form(), false, 0);
  StartRace();
  EXPECT_EQ(Form().ActiveDialog, 1);
  SkipBanner();
  EXPECT_EQ(Form().ActiveDialog, 0);
}

TEST_F(RaceDialogs, ExplosionsPlayOnUnderTheTimeOverAndARestartShowsTheBoat) {
  TWallSprite& wreck = Place(okShip, 300, 100);
  wreck.Explode();
  Race().TimeLeft = 0;
  Boat().Crash();  // the boat is still exploding when the time is up
  Frames(1);
  ASSERT_EQ(Form().ActiveDialog, 3);
  const double frame = wreck.AnimFrame;
  const double boom = Race().PlayerExplosion->AnimFrame;
  Frames(1);
  EXPECT_GT(wreck.AnimFrame, frame);
  EXPECT_NE(Race().PlayerExplosion->AnimFrame, boom);
  Frames(60);
  EXPECT_EQ(UsedSlots(), 0);  // played out and freed
  FramesWhile(3);
  ASSERT_EQ(Form().ActiveDialog, 1);
  EXPECT_TRUE(Boat().Visible);
  EXPECT_EQ(Boat().BoatState, bsRacing);
  EXPECT_FALSE(Race().PlayerExplosion->Visible);
}

}  // namespace
