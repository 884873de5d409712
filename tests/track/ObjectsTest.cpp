// What the course objects do: contact with the boat, gunfire, vehicles meeting vehicles,
// ships and enemy boats moving by themselves, and when objects are freed.
#include "game/track/Gun.h"
#include "game/track/TrackGenerator.h"
#include "media/DXDraws/PictureCollection.h"
#include "tests/race/RaceRig.h"

namespace {

class CourseObjects : public RaceOnAnEmptyCourse {
 protected:
  // An object of the kind right on the boat.
  TWallSprite& OnBoat(uint8_t kind) { return Place(kind, Boat().X, Boat().Y); }
  // An object of the kind straight ahead of the boat, out of its reach.
  TWallSprite& Ahead(uint8_t kind, double distance = 200) {
    TWallSprite& o = Place(kind, 0, 0);
    o.X = Boat().CenterX - o.Width / 2.0;
    o.Y = Boat().Y - distance;
    return o;
  }
};

TEST_F(CourseObjects, ABoatInTheAirPassesOverEverythingUntilItLands) {
  Boat().Jump();
  TWallSprite& money = OnBoat(okMoney100);
  TWallSprite& fisher = OnBoat(okFisherman);
  Frames(1);
  EXPECT_EQ(Race().Score, 0);
  EXPECT_EQ(Race().Lives, 3);
  EXPECT_TRUE(money.CanCollide);
  EXPECT_FALSE(fisher.Dying);
  Boat().Land();
  Frames(1);
  EXPECT_EQ(UsedSlots(), 1);  // the money is collected and freed
  EXPECT_EQ(Race().Score, 100);
  EXPECT_TRUE(fisher.Dying);
  EXPECT_EQ(Race().Lives, 2);
}

TEST_F(CourseObjects, PastTheFinishOnlyEnemyBoatsStillRamTheBoat) {
  Boat().Finished = 1;
  Boat().BoatState = bsFinished;
  Boat().SlowdownMode = smBrake;  // still braking after the line
  Boat().ForwardSpeed = 6;
  TWallSprite& money = OnBoat(okMoney50);
  TWallSprite& ship = OnBoat(okShip);
  TWallSprite& enemy = OnBoat(okFirstEnemyBoat + 1);
  enemy.VY = 6;
  Frames(1);
  EXPECT_EQ(Race().Score, 0);
  EXPECT_FALSE(money.CanCollide);
  EXPECT_FALSE(money.Collected);
  EXPECT_FALSE(ship.Dying);
  EXPECT_TRUE(enemy.Dying);
  EXPECT_EQ(Race().Lives, 3);  // a finished boat does not crash
  EXPECT_EQ(Boat().ForwardSpeed, 0);
}

TEST_F(CourseObjects, ATreeSlowsTheBoatOnceToHalfItsSpeed) {
  Boat().ForwardSpeed = 10;
  TWallSprite& tree = OnBoat(okTree);
  Frames(1);
  EXPECT_FALSE(tree.CanCollide);
  EXPECT_EQ(Boat().SlowdownMode, smHardBrake);
  EXPECT_EQ(Boat().TargetSpeed, 5);
  Frames(20);
  // Hard braking in steps of 0.6 goes on while above the target: it ends a little below.
  EXPECT_NEAR(Boat().ForwardSpeed, 4.6, 1e-9);
  EXPECT_EQ(Boat().SlowdownMode, smNone);
}

TEST_F(CourseObjects, ARampLaunchesOnlyABoatComingFromBelow) {
  struct {
    double BoatBelowRampTop;  // boat Y - ramp Y
    bool Jumps;
  } cases[] = {{34, true}, {33, false}, {0, false}};
  for (const auto& c : cases) {
    Boat().Land();
    Boat().ForwardSpeed = 4;
    TWallSprite& ramp = OnBoat(okRamp);
    ramp.Y = Boat().Y - c.BoatBelowRampTop;
    Frames(1);
    EXPECT_EQ(bool(Boat().Airborne), c.Jumps) << c.BoatBelowRampTop;
    EXPECT_FALSE(ramp.CanCollide);
    ClearCourse();
  }
}

TEST_F(CourseObjects, ABridgeStopsASlowBoatAndWrecksAFastOne) {
  struct {
    double Speed;
    int Lives;
  } cases[] = {{100.0 / 14, 3}, {100.0 / 14 + 0.01, 2}};
  for (const auto& c : cases) {
    Boat().ForwardSpeed = c.Speed;
    TWallSprite& bridge = OnBoat(okBridge);
    bridge.Collide();
    EXPECT_TRUE(bridge.Dying);
    EXPECT_EQ(Boat().ForwardSpeed, 0);
    EXPECT_EQ(Race().Lives, c.Lives);
    ClearCourse();
  }
}

TEST_F(CourseObjects, AnEnemyBoatWrecksTheBoatOnlyFasterThan50Over14) {
  struct {
    double VY;
    bool Shield;
    int Lives;
    double Speed;
  } cases[] = {{50.0 / 14, false, 3, 0}, {-50.0 / 14, false, 3, 0}, {50.0 / 14 + 1e-9, false, 2, 0},
               {6, true, 3, 4}};
  for (const auto& c : cases) {
    Race().Lives = 3;
    Boat().Respawn();
    Boat().UpgradeShield = c.Shield;
    Boat().ForwardSpeed = 4;
    Boat().ScrollStep = 0;
    TWallSprite& enemy = OnBoat(okFirstEnemyBoat);
    enemy.VY = c.VY;
    enemy.Collide();
    EXPECT_TRUE(enemy.Dying);
    EXPECT_EQ(Race().Lives, c.Lives) << c.VY;
    EXPECT_EQ(Boat().ForwardSpeed, c.Speed) << c.VY;
    ClearCourse();
  }
}

TEST_F(CourseObjects, TheGunRewardsKillsByKindAndCratesGiveNothing) {
  struct {
    uint8_t Kind;
    int Points;
  } cases[] = {{okRamp, 10}, {okFlag, 5},     {okFisherman, 5}, {okShip, 30},
               {okBridge, 10}, {okDuck, 5},   {okMoney100, 0},  {okLifeCrate, 0},
               {okFirstEnemyBoat, 20}, {okLastEnemyBoat, 20}};
  for (const auto& c : cases) {
    Race().Score = 0;
    Boat().Heading = 0;
    TWallSprite& o = Ahead(c.Kind);
    ShootRay(Form());
    EXPECT_TRUE(o.Dying) << int(c.Kind);
    EXPECT_EQ(Race().Score, c.Points) << int(c.Kind);
    EXPECT_EQ(Race().Lives, 3);
    ClearCourse();
  }
}

TEST_F(CourseObjects, TheBeamPassesBulletproofObjectsAndStopsAtAnExplodingOne) {
  TWallSprite& crate = Ahead(okMoney10, 300);
  Ahead(okTree, 100);
  Ahead(okWeed, 150);
  Ahead(okFinishLine, 200).X = 177;
  ShootRay(Form());
  EXPECT_TRUE(crate.Dying);

  ClearCourse();
  TWallSprite& behind = Ahead(okDuck, 300);
  TWallSprite& wreck = Ahead(okShip, 100);
  wreck.Explode();
  ShootRay(Form());
  EXPECT_FALSE(behind.Dying);
  EXPECT_EQ(Race().Score, 0);

  // Turned, the beam goes off at its angle and stops at the river's edge.
  ClearCourse();
  Boat().Heading = 25;
  TWallSprite& straight = Ahead(okDuck, 150);
  ShootRay(Form());
  EXPECT_FALSE(straight.Dying);
}

TEST_F(CourseObjects, TwoEnemyBoatsMeetingBothExplodeForNothing) {
  TWallSprite& a = Place(okFirstEnemyBoat, 300, 100);
  TWallSprite& b = Place(okFirstEnemyBoat + 1, 310, 120);
  TWallSprite& bridge = Place(okBridge, 170, 300);
  TWallSprite& c = Place(okFirstEnemyBoat + 2, 220, 310);
  Frames(1);
  EXPECT_TRUE(a.Dying);
  EXPECT_TRUE(b.Dying);
  EXPECT_TRUE(bridge.Dying);
  EXPECT_TRUE(c.Dying);
  EXPECT_EQ(Race().Score, 0);
  EXPECT_EQ(a.VX, 0);
  EXPECT_EQ(a.VY, 0);
}

TEST_F(CourseObjects, TheShipTurnsAtTheBanks) {
  TWallSprite& ship = Place(okShip, 607 - 130 - 1, 100);
  ship.VX = 20.0 / 14;
  ship.Advance(1);
  EXPECT_EQ(ship.X, 607 - 130);
  EXPECT_LT(ship.VX, 0);
  EXPECT_EQ(ship.Image->Name(), "ShipLeft");
  ship.X = 178;
  ship.Advance(1);
  EXPECT_EQ(ship.X, 177);
  EXPECT_GT(ship.VX, 0);
  EXPECT_EQ(ship.Image->Name(), "ShipRight");
  EXPECT_EQ(ship.Width, 130);
}

TEST_F(CourseObjects, AnEnemyBoatDriftingIntoTheLaneEdgeStopsDrifting) {
  TWallSprite& enemy = Place(okFirstEnemyBoat, 566 - 36 - 1, 100);
  enemy.VX = 2;
  enemy.DriftTime = 300;
  enemy.Advance(1);
  EXPECT_EQ(enemy.X, 566 - 36);
  EXPECT_EQ(enemy.VX, 0);
  EXPECT_EQ(enemy.DriftTime, 0);
}

TEST_F(CourseObjects, ObjectsAreFreedWhenSpentPlayedOutOrGone) {
  TWallSprite& tree = Place(okTree, 300, 100);
  tree.Explode();  // a single-pattern picture: played out at once
  TWallSprite& below = Place(okDuck, 300, 1000.5);
  TWallSprite& above = Place(okDuck, 300, -800.5);
  TWallSprite& edge = Place(okDuck, 300, 1000);
  TWallSprite& boom = Place(okFlag, 400, 200);
  boom.Explode();
  CullTrackObjects(Form());
  EXPECT_EQ(UsedSlots(), 2);
  EXPECT_EQ(Form().Track.TrackObjects[4], &edge);
  EXPECT_EQ(Form().Track.TrackObjects[5], &boom);
  (void)below;
  (void)above;
  for (int i = 0; i < 100 && boom.AnimFrame < boom.AnimLength - 1; ++i) boom.Advance(1);
  CullTrackObjects(Form());
  EXPECT_EQ(UsedSlots(), 1);
}

TEST_F(CourseObjects, PickupsPayAndLifeCratesGoBeyondThree) {
  struct {
    uint8_t Kind;
    int Score, Lives;
  } cases[] = {{okMoney10, 10, 3}, {okMoney20, 20, 3}, {okMoney50, 50, 3}, {okMoney100, 100, 3},
               {okLifeCrate, 0, 4}, {okDuck, 0, 3}};
  for (const auto& c : cases) {
    Race().Score = 0;
    Race().Lives = 3;
    TWallSprite& o = OnBoat(c.Kind);
    o.Collide();
    EXPECT_TRUE(o.Collected) << int(c.Kind);
    EXPECT_EQ(Race().Score, c.Score) << int(c.Kind);
    EXPECT_EQ(Race().Lives, c.Lives) << int(c.Kind);
    ClearCourse();
  }
  Race().Score = 150;
  OnBoat(okDuck).Collide();
  EXPECT_EQ(Race().Score, 50);
  struct {
    uint8_t Kind;
    uint8_t TMyCarSprite::*Upgrade;
  } crates[] = {{okGunCrate, &TMyCarSprite::UpgradeGun},
                {okShieldCrate, &TMyCarSprite::UpgradeShield},
                {okEngineCrate, &TMyCarSprite::UpgradeEngine}};
  for (const auto& c : crates) {
    OnBoat(c.Kind).Collide();
    EXPECT_TRUE(Boat().*c.Upgrade) << int(c.Kind);
  }
}

}  // namespace
