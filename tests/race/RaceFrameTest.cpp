// The race frame's rules: the clock, the finish and its time bonus, the time-out, the
// keys that open dialogs, the fire keys and the upgrade timer on the panel.
#include "game/menus/MenuButton.h"
#include "game/track/CaptionSprite.h"
#include "tests/race/RaceRig.h"

using namespace Platform;

namespace {

class RaceFrame : public RaceOnAnEmptyCourse {};

TEST_F(RaceFrame, TheLastTenSecondsTickOnEveryWholeSecondDownTo1000) {
  Race().TimeLeft = 10020;
  std::vector<int> tickedFrom;
  while (Race().TimeLeft > 0) {
    const int before = Race().TimeLeft, ticks = Plays("Tick");
    Frames(1);
    if (Plays("Tick") != ticks) tickedFrom.push_back(before);
  }
  // The clock runs in 15 ms steps from a whole minute: not every second starts on 000.
  EXPECT_EQ(tickedFrom, (std::vector<int>{9000, 8010, 7005, 6000, 5010, 4005, 3000, 2010, 1005}));
}

TEST_F(RaceFrame, AFinishedBoatBrakesThenCountsTheTimeLeftIntoPoints) {
  Boat().ForwardSpeed = 10;
  Race().TimeLeft = 20000;
  TWallSprite& line = Place(okFinishLine, 177, Boat().Y - 8);
  const int finish = Plays("Finish");
  Frames(3);  // the line moves down 5 a frame and passes the boat
  ASSERT_TRUE(Boat().Finished);
  EXPECT_EQ(Boat().BoatState, bsFinished);
  EXPECT_EQ(Plays("Finish"), finish + 1);
  EXPECT_LT(Boat().Y, line.Y);
  // Braking at 0.2 a frame while the clock runs at its normal pace.
  int frames = 0;
  while (!Boat().CountingDown && frames < 200) {
    Frames(1);
    ++frames;
  }
  EXPECT_EQ(Boat().ForwardSpeed, 0);
  EXPECT_FALSE(Boat().Controllable);
  EXPECT_NEAR(frames, 10 / 0.2 + 2, 1);  // and one frame each to end the command and to stop
  // The frame that stops the boat counts the first 150 ms of the bonus already.
  EXPECT_EQ(Race().TimeLeft, 20000 - 15 * (frames + 2) - 150);

  // From 10000 ms: 150 ms and 5 points a frame, a tick at every whole second.
  Race().TimeLeft = 10000;
  const int score = Race().Score, ticks = Plays("Tick");
  Frames(67);
  EXPECT_EQ(Race().TimeLeft, -50);
  EXPECT_EQ(Race().Score, score + 335);
  EXPECT_EQ(Plays("Tick"), ticks + 10);
  EXPECT_EQ(Race().Level, 1);
  Frames(1);
  EXPECT_EQ(Race().Level, 2);
  EXPECT_EQ(Form().ActiveDialog, 1);
  EXPECT_EQ(Race().TimeLeft, 60000);
  EXPECT_EQ(Race().Score, score + 335);
  EXPECT_EQ(Race().Lives, 3);
  EXPECT_FALSE(Boat().Finished);
  EXPECT_EQ(Boat().BoatState, bsRacing);
  EXPECT_EQ(UsedSlots(), 0);
}

TEST_F(RaceFrame, TimeOutCostsALifeOnlyOnceTheBoatHasStopped) {
  Boat().ForwardSpeed = 10;
  Race().TimeLeft = 15;
  Frames(1);
  EXPECT_EQ(Race().TimeLeft, 0);
  Frames(1);
  EXPECT_EQ(Boat().SlowdownMode, smBrake);
  while (Boat().ForwardSpeed > 0) {
    ASSERT_EQ(Race().Lives, 3);
    ASSERT_EQ(Form().ActiveDialog, 0);
    Frames(1);
  }
  EXPECT_EQ(Race().Lives, 2);
  EXPECT_EQ(Form().ActiveDialog, 3);
  // 3000 ms later the same level starts again behind its banner.
  Frames(200);
  EXPECT_EQ(Form().ActiveDialog, 3);
  Frames(1);
  EXPECT_EQ(Form().ActiveDialog, 1);
  EXPECT_EQ(Race().Level, 1);
  EXPECT_EQ(Race().TimeLeft, 60000);
  EXPECT_EQ(Race().Lives, 2);
}

TEST_F(RaceFrame, TimeOutOnTheLastLifeEndsTheGame) {
  Race().Lives = 1;
  Race().TimeLeft = 15;
  Frames(2);
  EXPECT_EQ(Race().Lives, 0);
  EXPECT_EQ(Form().ActiveDialog, 8);
}

TEST_F(RaceFrame, PauseAndEscapeInOneFrameAskWhetherToLeave) {
  Hold({'P', VK_ESCAPE});
  Frames(1);
  EXPECT_EQ(Form().ActiveDialog, 4);
  EXPECT_EQ(Form().HotButton, 2);  // No preselected
  ASSERT_NE(Form().Menu.Buttons[1], nullptr);
  EXPECT_EQ(Form().Menu.Buttons[1]->X, 307);
  EXPECT_EQ(Form().Menu.Buttons[2]->X, 414);
}

TEST_F(RaceFrame, EscapeThenEnterGoesOnRacingWithTheEngineSound) {
  const TWaveCollectionItem& engine = Form().MDXWaveList->Items.Find("Engine");
  ASSERT_TRUE(engine.Master() && engine.Master()->Playing());
  Hold({VK_ESCAPE});
  Frames(1);
  ASSERT_EQ(Form().ActiveDialog, 4);
  EXPECT_FALSE(engine.Master()->Playing());
  Hold({});
  Frames(1);
  uint8_t enter = 13;
  Form().FormKeyPress(enter);
  EXPECT_EQ(Form().ActiveDialog, 0);
  EXPECT_EQ(Form().CurrentScreen, 1);
  EXPECT_TRUE(engine.Master()->Playing());
  EXPECT_EQ(Form().Menu.Buttons[1], nullptr);

  // Escape in the question answers No as well; Escape or P ends the pause.
  for (uint16_t key : {uint16_t(VK_ESCAPE), uint16_t('P')}) {
    Hold({key});
    Frames(1);
    Hold({});
    Frames(1);
    Hold({VK_ESCAPE});
    Frames(1);
    EXPECT_EQ(Form().ActiveDialog, 0) << key;
    Hold({});
    Frames(1);
  }
}

TEST_F(RaceFrame, UpgradeTimerShowsTheUpgradeThatRunsOutFirst) {
  auto shown = [&] {
    std::string icons;
    for (int i = 0; i < 4; ++i) icons += Race().UpgradeIcons[i]->Visible ? "GESN"[i] : '.';
    return icons;
  };
  Frames(1);
  EXPECT_EQ(shown(), "...N");
  Boat().TakeBonus(ukShield);
  Boat().ShieldTime = 8000;
  Boat().TakeBonus(ukGun);
  Boat().GunTime = 3000;
  Frames(1);
  EXPECT_EQ(shown(), "G...");
  Frames(205);
  EXPECT_FALSE(Boat().UpgradeGun);
  EXPECT_EQ(shown(), "..S.");
  EXPECT_EQ(Boat().GunTime, 100000);  // an absent upgrade never counts
}

TEST_F(RaceFrame, FireKeysSoundTheGunOnlyWhenPressedWithIt) {
  const int shots = Plays("Shot");
  Hold({VK_SPACE});
  Frames(2);
  EXPECT_TRUE(Boat().Firing);
  EXPECT_EQ(Plays("Shot"), shots);  // no gun, no sound

  // Taking the gun while fire is held fires the ray at once, silently.
  Boat().TakeBonus(ukGun);
  Boat().Heading = 0;
  TWallSprite& crate = Place(okMoney50, Boat().CenterX - 18, Boat().Y - 200);
  Frames(1);
  EXPECT_TRUE(crate.Dying);
  EXPECT_EQ(Plays("Shot"), shots);

  Hold({});
  Frames(1);
  EXPECT_FALSE(Boat().Firing);
  uint16_t ctrl = VK_CONTROL;
  Form().FormKeyDown(ctrl, ssCtrl);  // Ctrl fires too
  Frames(1);
  EXPECT_TRUE(Boat().Firing);
  EXPECT_EQ(Plays("Shot"), shots + 1);
  Form().FormKeyUp(ctrl, 0);
}

}  // namespace
