// Race setup, levels and their clock: from the boat choice to the next level's banner.
#include "game/menus/MenuButton.h"
#include "game/race/MyCarAnim.h"
#include "game/track/CaptionSprite.h"
#include "game/track/Explosion.h"
#include "game/track/ScrollBackground.h"
#include "media/DXClass/DXTimer.h"
#include "media/DXDraws/PictureCollection.h"
#include "tests/race/RaceRig.h"

using namespace Platform;

namespace {

TEST(LevelTables, TimeLimitAndLengthGrowEveryTwoLevels) {
  struct {
    int Level, TimeMs, Length;
  } cases[] = {{1, 60000, 24000}, {2, 60000, 24000}, {3, 90000, 48000},
               {4, 90000, 48000}, {5, 120000, 72000}, {6, 120000, 72000}};
  for (const auto& c : cases) {
    EXPECT_EQ(LevelTimeLimit(c.Level), c.TimeMs) << c.Level;
    EXPECT_EQ(LevelLength(c.Level), c.Length) << c.Level;
  }
}

using Levels = RaceTest;

TEST_F(Levels, ChoosingABoatStartsTheRaceBehindTheLevelBanner) {
  const int sprites = Form().MDXSpriteEngine->Engine().SpriteCount;
  StartRace(2);
  EXPECT_EQ(Form().CurrentScreen, 1);
  EXPECT_EQ(Form().ActiveDialog, 1);
  EXPECT_EQ(Race().SelectedBoat, 2);
  EXPECT_EQ(Race().Level, 1);
  EXPECT_EQ(Race().Score, 0);
  EXPECT_EQ(Race().Lives, 3);
  EXPECT_EQ(Race().TimeLeft, 60000);
  EXPECT_EQ(Race().FinishLineY, -100.0);
  EXPECT_EQ(Form().Menu.ButtonCount, 0);
  EXPECT_EQ(Form().Menu.MenuCaption, nullptr);  // the main menu is gone
  EXPECT_TRUE(Form().MDXTimer->Enabled());
  EXPECT_EQ(Form().Background->Image->Name(), "Land");
  EXPECT_EQ(Form().Background->X, 124);

  const TMyCarSprite& boat = Boat();
  EXPECT_EQ(boat.Image->Name(), "Boat2_Normal");
  EXPECT_EQ(boat.Y, 600 - boat.Height - 15);
  EXPECT_GE(boat.X, 177);
  EXPECT_LE(boat.X + boat.Width, 608);
  EXPECT_TRUE(boat.Controllable);
  EXPECT_EQ(boat.Z(), 4);
  EXPECT_EQ(Race().RightPanel->X, 799 - Race().RightPanel->Width);
  EXPECT_EQ(Race().ProgressMarker->Y, 322);
  EXPECT_EQ(Race().PlayerWake->X, boat.X - (84 - boat.Width) / 2.0);
  EXPECT_FALSE(Race().PlayerWake->Visible);
  EXPECT_FALSE(Race().SpeedNeedle->Visible);
  EXPECT_EQ(Race().PlayerExplosion->Image->Name(), "ExplosionBig");
  for (int i = 1; i <= 28; ++i) EXPECT_EQ(Form().Track.SpawnChance[i], BaseSpawnChance(i)) << i;

  // The banner holds the course still for 2000 ms, throttle or not.
  Hold({VK_UP});
  Frames(134);
  EXPECT_EQ(Form().ActiveDialog, 1);
  EXPECT_EQ(Race().TimeLeft, 60000);
  EXPECT_EQ(Boat().ForwardSpeed, 0);
  Frames(1);
  EXPECT_EQ(Form().ActiveDialog, 0);
  EXPECT_EQ(Race().TimeLeft, 60000 - 15);

  // Leaving through the question takes every race sprite away again.
  Form().HotButton = 1;
  OpenDialog(Form(), 4);
  Form().HotButton = 1;
  Form().MDXDrawClick();
  EXPECT_EQ(Form().CurrentScreen, 0);
  EXPECT_EQ(Race().PlayerBoat, nullptr);
  EXPECT_EQ(UsedSlots(), 0);
  EXPECT_EQ(Form().Background->X, 0);
  // The main menu is back with its sprites.
  EXPECT_EQ(Form().MDXSpriteEngine->Engine().SpriteCount, sprites);
}

TEST_F(Levels, LaterLevelsTakeTheBaseChancesTimesTheirFactorOnce) {
  StartRaceAndSkipBanner();
  StartLevel(Form(), 2);
  const auto level2 = Form().Track.SpawnChance;
  StartLevel(Form(), 9);
  EXPECT_EQ(Form().Track.SpawnChance, level2);
  EXPECT_NEAR(level2[1], 0.12, 1e-15);
  EXPECT_NEAR(level2[16], 0.024, 1e-15);
  EXPECT_NEAR(level2[18], 0.007, 1e-15);
  EXPECT_EQ(Race().TimeLeft, 180000);
  EXPECT_EQ(Form().ActiveDialog, 1);
}

TEST_F(Levels, ASecondRaceKeepsTheNameAndStartsAfresh) {
  StartRaceAndSkipBanner();
  Race().PlayerName = "Petya";
  Race().Score = 777;
  Race().Lives = 1;
  ReturnToMenuAfterRace(Form());
  ASSERT_EQ(Form().CurrentScreen, 0);
  StartRace(3);
  EXPECT_EQ(Race().PlayerName, "Petya");
  EXPECT_EQ(Race().Score, 0);
  EXPECT_EQ(Race().Lives, 3);
  EXPECT_EQ(Boat().Image->Name(), "Boat3_Normal");
}

}  // namespace
