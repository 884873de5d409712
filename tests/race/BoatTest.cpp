// The player's boat frame by frame: throttle, brake, steering, banks, upgrades, jumps,
// crashes and respawns.
#include <cmath>

#include "tests/race/RaceRig.h"
#include "game/track/Explosion.h"
#include "media/DXDraws/PictureCollection.h"

using namespace Platform;

namespace {

class PlayerBoat : public RaceTest {
 protected:
  // A race under way on an empty course that stays empty (but for bank decorations).
  void SetUp() override {
    RaceTest::SetUp();
    if (IsSkipped()) return;
    StartRaceAndSkipBanner();
    QuietCourse();
  }
  void QuietCourse() {
    ClearCourse();
    Form().Track.SpawnChance.fill(0);
  }
};

TEST_F(PlayerBoat, ThrottleReachesTopSpeedAfter298FramesAndStaysThere) {
  Hold({VK_UP});
  Frames(1);  // the controls of a frame act in the next one
  EXPECT_EQ(Boat().ForwardSpeed, 0);
  Frames(297);
  EXPECT_LT(Boat().ForwardSpeed, 125.0 / 7);
  Frames(1);
  EXPECT_GE(Boat().ForwardSpeed, 125.0 / 7);
  const double top = Boat().ForwardSpeed;
  EXPECT_LT(top - 125.0 / 7, 0.06);
  Frames(20);
  EXPECT_EQ(Boat().ForwardSpeed, top);
  EXPECT_DOUBLE_EQ(Boat().ScrollStep, top * 0.5);
  EXPECT_DOUBLE_EQ(Form().ScrollStep, Boat().ScrollStep);  // the banks scroll with it
}

TEST_F(PlayerBoat, EngineUpgradeRaisesTopSpeedAndItsLossBrakesHardDownToTheNormalOne) {
  Boat().TakeBonus(ukEngine);
  EXPECT_DOUBLE_EQ(Boat().MaxSpeed, 150.0 / 7);
  EXPECT_DOUBLE_EQ(Boat().Acceleration, 0.12);
  EXPECT_DOUBLE_EQ(Boat().BrakeStep, 0.4);
  Boat().TakeBonus(ukEngine);  // again: only the time is renewed
  EXPECT_DOUBLE_EQ(Boat().Acceleration, 0.12);
  EXPECT_EQ(Boat().EngineTime, 10000);

  Boat().ForwardSpeed = 21.0;
  Boat().LoseUpgrade(ukEngine, true);
  EXPECT_DOUBLE_EQ(Boat().MaxSpeed, 125.0 / 7);
  EXPECT_DOUBLE_EQ(Boat().Acceleration, 0.06);
  EXPECT_DOUBLE_EQ(Boat().BrakeStep, 0.2);
  EXPECT_EQ(Boat().SlowdownMode, smHardBrake);
  EXPECT_EQ(Boat().ForwardSpeed, 21.0);  // not cut at once
  Frames(1);
  EXPECT_DOUBLE_EQ(Boat().ForwardSpeed, 20.4);
  Frames(10);
  EXPECT_LE(Boat().ForwardSpeed, 125.0 / 7);
  EXPECT_GT(Boat().ForwardSpeed, 125.0 / 7 - 0.6);
  EXPECT_EQ(Boat().SlowdownMode, smNone);
}

TEST_F(PlayerBoat, UpgradesRunOutAfterTenSecondsAudibly) {
  Boat().TakeBonus(ukGun);
  Boat().TakeBonus(ukShield);
  const int lost = Plays("BonusLost");
  // 10000 ms in 15 ms steps reaches -5 after 667 frames; the next one loses it.
  Frames(667);
  EXPECT_TRUE(Boat().UpgradeGun);
  Frames(1);
  EXPECT_FALSE(Boat().UpgradeGun);
  EXPECT_FALSE(Boat().UpgradeShield);
  EXPECT_EQ(Plays("BonusLost"), lost + 2);
}

TEST_F(PlayerBoat, BrakingStopsAtZeroAndNeverGoesBackwards) {
  struct {
    double Speed, After;
  } cases[] = {{0.05, 0}, {0.1, 0}, {0.18, 0}, {0.3, 0.3 - 0.2}, {5, 4.8}};
  Hold({VK_DOWN});
  for (const auto& c : cases) {
    Boat().ForwardSpeed = c.Speed;
    Boat().Brake();
    EXPECT_DOUBLE_EQ(Boat().ForwardSpeed, c.After) << c.Speed;
  }
  Boat().ForwardSpeed = 0.42;
  Frames(4);
  EXPECT_EQ(Boat().ForwardSpeed, 0);
}

TEST_F(PlayerBoat, ReleasingLeftStraightensFromTheLimitIn13Frames) {
  Boat().ForwardSpeed = 1;
  Hold({VK_LEFT});
  Frames(40);
  EXPECT_EQ(Boat().Heading, -25);  // the limit
  Hold({});
  Frames(1);  // the release reaches the boat in the next frame
  std::vector<int> headings;
  for (int i = 0; i < 13; ++i) {
    Frames(1);
    headings.push_back(Boat().Heading);
  }
  EXPECT_EQ(headings, (std::vector<int>{-23, -21, -19, -17, -15, -13, -11, -9, -7, -5, -3, -1, 0}));

  // Pressing the other way first straightens at two a frame, then turns.
  Hold({VK_LEFT});
  Frames(6);
  ASSERT_EQ(Boat().Heading, -5);
  Hold({VK_RIGHT});
  Frames(4);  // one more step left, then -4, -2, 0
  EXPECT_EQ(Boat().Heading, 0);
  Frames(1);
  EXPECT_EQ(Boat().Heading, 1);
}

TEST_F(PlayerBoat, BanksHoldTheBoatInsideTheRiverBeforeItsSideStep) {
  TMyCarSprite& b = Boat();
  auto lean = [&](int heading) { return HeadingSin(heading) * b.Height / 3; };
  struct {
    double X;
    int Heading;  // held there by the left key
    double Speed;
    double X2;    // after one frame
  } cases[] = {
      {170, 0, 0, 177},                               // left bank, straight
      {589, 0, 0, 609 - 40},                          // right bank, straight
      {150, -25, 0, 177 - lean(-25)},                 // leaning left reaches further
      {177, 0, 4, 177},                               // along the bank
      {160, -25, 10, 177 - lean(-25) + HeadingSin(-25) * 5},  // the step comes after
  };
  for (const auto& c : cases) {
    b.X = c.X;
    b.Heading = c.Heading;
    b.LeftHeld = c.Heading < 0;
    b.ForwardSpeed = c.Speed;
    b.Advance(1);
    EXPECT_EQ(b.Heading, c.Heading);
    EXPECT_NEAR(b.X, c.X2, 1e-9) << c.X << " heading " << c.Heading;
  }
}

TEST_F(PlayerBoat, JumpBoostsToTwiceTheSpeedAndLandsAfter1500Ms) {
  struct {
    double Speed, Target;
  } cases[] = {{4, 8}, {125.0 / 7, 125.0 / 7}, {10, 125.0 / 7}};
  for (const auto& c : cases) {
    Boat().ForwardSpeed = c.Speed;
    Boat().Heading = 7;
    const double x = Boat().X;
    Boat().Jump();
    EXPECT_TRUE(Boat().Airborne);
    EXPECT_EQ(Boat().Heading, 0);
    EXPECT_DOUBLE_EQ(Boat().TargetSpeed, c.Target) << c.Speed;
    EXPECT_EQ(Boat().SlowdownMode, smBoost);
    EXPECT_EQ(Boat().Image->Name(), "Boat1_Big");
    EXPECT_DOUBLE_EQ(Boat().X, x - (60 - 40) / 2.0);  // the centre stays
    Boat().Advance(1);
    if (c.Speed == 4) {
      EXPECT_NEAR(Boat().ForwardSpeed, 4.18, 1e-12);
    }
    for (int i = 0; i < 98; ++i) Boat().Advance(1);
    EXPECT_TRUE(Boat().Airborne);
    Boat().Advance(1);  // the hundredth frame: 1500 ms
    EXPECT_FALSE(Boat().Airborne);
    EXPECT_EQ(Boat().Image->Name(), "Boat1_Normal");
    EXPECT_EQ(Boat().Width, 40);
  }
}

TEST_F(PlayerBoat, ShieldMakesACrashDoNothing) {
  Boat().TakeBonus(ukShield);
  Boat().TakeBonus(ukGun);
  Boat().TakeBonus(ukEngine);
  Boat().ForwardSpeed = 9;
  Boat().Crash();
  EXPECT_EQ(Race().Lives, 3);
  EXPECT_EQ(Boat().BoatState, bsRacing);
  EXPECT_TRUE(Boat().UpgradeGun);
  EXPECT_TRUE(Boat().UpgradeEngine);
  EXPECT_EQ(Boat().ForwardSpeed, 9);
  EXPECT_TRUE(Boat().Visible);
}

TEST_F(PlayerBoat, CrashCostsALifeAndTheBoatComesBackAfterTwoExplosionLoops) {
  Boat().TakeBonus(ukGun);
  Boat().TakeBonus(ukEngine);
  Boat().ForwardSpeed = 9;
  const int lost = Plays("BonusLost");
  Boat().Crash();
  EXPECT_EQ(Race().Lives, 2);
  EXPECT_FALSE(Boat().UpgradeGun);
  EXPECT_FALSE(Boat().UpgradeEngine);
  EXPECT_DOUBLE_EQ(Boat().Acceleration, 0.06);
  EXPECT_EQ(Plays("BonusLost"), lost);  // dropped silently
  EXPECT_EQ(Boat().ForwardSpeed, 0);
  EXPECT_FALSE(Boat().Visible);
  EXPECT_TRUE(Race().PlayerExplosion->Visible);
  Boat().Crash();  // already exploding
  EXPECT_EQ(Race().Lives, 2);

  // ExplosionBig has 10 patterns at 0.225 a frame: a loop takes 45 frames.
  int frames = 0;
  while (Boat().BoatState == bsExploding && frames < 500) {
    Frames(1);
    ++frames;
  }
  EXPECT_EQ(frames, 90);
  EXPECT_TRUE(Boat().Visible);
  EXPECT_FALSE(Race().PlayerExplosion->Visible);
  EXPECT_EQ(Boat().ForwardSpeed, 0);
  EXPECT_GE(Boat().X, 177);
  EXPECT_LE(Boat().X + Boat().Width, 609);
}

TEST_F(PlayerBoat, CrashOnTheLastLifeEndsTheGameAfterTheExplosion) {
  Race().Lives = 1;
  Boat().Crash();
  EXPECT_EQ(Race().Lives, 0);
  Frames(89);
  EXPECT_EQ(Form().ActiveDialog, 0);
  Frames(1);
  EXPECT_EQ(Form().ActiveDialog, 8);
  EXPECT_EQ(Race().Lives, 0);
  EXPECT_FALSE(Race().PlayerExplosion->Visible);
}

}  // namespace
