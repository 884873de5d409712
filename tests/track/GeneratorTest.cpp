// The course generator: its 30 slots, the overlap rule, the finish line, the batches of
// odd and even levels, enemy boats and bank decorations.
#include <set>

#include "game/track/TrackGenerator.h"
#include "tests/race/RaceRig.h"

namespace {

constexpr double Always = 1e9;  // a chance that hits whatever the speed factor

class Generator : public RaceOnAnEmptyCourse {
 protected:
  void SetUp() override {
    RaceOnAnEmptyCourse::SetUp();
    if (IsSkipped()) return;
    Boat().ScrollStep = 6;  // a speed factor of 0.1
  }
  std::array<double, 29>& Chances() { return Form().Track.SpawnChance; }
  std::vector<int> Kinds() {
    std::vector<int> kinds;
    for (int i = 1; i <= 30; ++i)
      if (Form().Track.TrackObjectUsed[i]) kinds.push_back(Form().Track.TrackObjects[i]->Kind);
    return kinds;
  }
  // The generator's seed after n more draws.
  uint32_t SeedAfter(int n) {
    TRandom r;
    r.RandSeed = Form().RandomGen.RandSeed;
    for (int i = 0; i < n; ++i) r.Random(2);
    return r.RandSeed;
  }
  void Batch() {
    Form().Track.SpawnDistance = 101;
    SpawnTrackObjects(Form());
  }
};

TEST(Rectangles, TouchingEdgesOverlap) {
  struct {
    double X2, Y2;
    bool Overlap;
  } cases[] = {{10, 0, true},  {10.001, 0, false}, {-10, 0, true}, {-10.001, 0, false},
               {0, 20, true},  {0, 20.5, false},   {9, 19, true},  {0, -20, true}};
  for (const auto& c : cases)
    EXPECT_EQ(RectsOverlap(0, 0, 10, 20, c.X2, c.Y2, 10, 20), c.Overlap) << c.X2 << "," << c.Y2;
}

TEST_F(Generator, ThirtySlotsAreAllThereIs) {
  for (int i = 0; i < 30; ++i) Place(okDuck, 200, -500 + 40 * i);
  const int batch = Form().Track.BatchCount;
  EXPECT_FALSE(AddTrackObject(Form(), okTree));
  EXPECT_EQ(UsedSlots(), 30);
  EXPECT_EQ(Form().Track.BatchCount, batch);
  // Freeing any object gives its slot back.
  delete Form().Track.TrackObjects[17];
  EXPECT_FALSE(Form().Track.TrackObjectUsed[17]);
  EXPECT_EQ(Form().Track.TrackObjects[17], nullptr);
  EXPECT_TRUE(AddTrackObject(Form(), okTree));
  EXPECT_EQ(Form().Track.TrackObjects[17]->Kind, okTree);
}

TEST_F(Generator, AnObjectOverlappingAnotherIsDropped) {
  Place(okFinishLine, 177, -140);  // across the whole river at the entry line
  const int batch = Form().Track.BatchCount;
  EXPECT_FALSE(AddTrackObject(Form(), okDuck));
  EXPECT_EQ(UsedSlots(), 1);
  EXPECT_EQ(Form().Track.BatchCount, batch);
  // Decorations on the banks are clear of it.
  EXPECT_TRUE(AddTrackObject(Form(), okBedLeft));
}

TEST_F(Generator, TheFinishLineIsNeverDroppedAndComesAlone) {
  Place(okTree, 300, -140);
  Chances().fill(Always);
  Boat().Distance = LevelLength(1);
  const uint32_t seed = Form().RandomGen.RandSeed;
  Batch();
  EXPECT_TRUE(Boat().FinishSpawned);
  EXPECT_EQ(Kinds(), (std::vector<int>{okTree, okFinishLine}));
  EXPECT_EQ(Form().RandomGen.RandSeed, seed);  // no batch, no enemy boat drawn
  // From then on no batches, but enemy boats once the line has moved down.
  Form().Track.TrackObjects[2]->Y = 100;
  Batch();
  for (int kind : Kinds()) EXPECT_TRUE(kind == okTree || kind == okFinishLine || kind >= okFirstEnemyBoat);
  EXPECT_GT(UsedSlots(), 2);
}

TEST_F(Generator, TheFinishLineWaitsForAFreeSlotInsteadOfBeingLost) {
  for (int i = 0; i < 30; ++i) Place(okDuck, 200, 200 + i);
  Boat().Distance = LevelLength(1) + 5;
  SpawnTrackObjects(Form());
  EXPECT_FALSE(Boat().FinishSpawned);
  SpawnTrackObjects(Form());
  EXPECT_FALSE(Boat().FinishSpawned);
  delete Form().Track.TrackObjects[30];
  SpawnTrackObjects(Form());
  EXPECT_TRUE(Boat().FinishSpawned);
  EXPECT_EQ(Form().Track.TrackObjects[30]->Kind, okFinishLine);
}

TEST_F(Generator, ABatchComesOnlyOnceTheScrollExceeds100) {
  Chances()[1] = Always;
  Form().Track.SpawnDistance = 100;
  SpawnTrackObjects(Form());
  EXPECT_EQ(Form().Track.SpawnDistance, 100);
  EXPECT_EQ(UsedSlots(), 0);
  Form().Track.SpawnDistance = 100.000001;
  SpawnTrackObjects(Form());
  EXPECT_EQ(Form().Track.SpawnDistance, 0);
  EXPECT_EQ(Kinds(), (std::vector<int>{okTree}));
}

TEST_F(Generator, OnOddLevelsAFishermanOnlyOpensABatch) {
  for (int i : {1, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}) Chances()[i] = Always;
  // Draws: index 1 and the tree's place, indexes 2 to 5, then the twelve boat draws.
  const uint32_t expected = SeedAfter(2 + 4 + 12);
  Batch();
  EXPECT_EQ(Kinds(), (std::vector<int>{okTree}));
  EXPECT_EQ(Form().RandomGen.RandSeed, expected);

  ClearCourse();
  Chances()[1] = 0;
  Batch();
  ASSERT_FALSE(Kinds().empty());
  EXPECT_EQ(Kinds()[0], okFisherman);
}

TEST_F(Generator, EvenLevelsPlaceNoFishermanShipRampOrBridgeAndEveryRunStillDraws) {
  Race().Level = 2;
  Chances().fill(0);
  for (int i = 1; i <= 16; ++i) Chances()[i] = Always;
  std::set<int> seen;
  for (int batch = 0; batch < 200; ++batch) {
    ClearCourse();
    Batch();
    for (int kind : Kinds()) seen.insert(kind);
  }
  for (int kind : {okFisherman, okShip, okRamp, okBridge}) EXPECT_EQ(seen.count(kind), 0u) << kind;
  EXPECT_TRUE(seen.count(okLifeCrate));

  // Two objects in the first run; each later run still places its first object.
  Form().RandomGen.RandSeed = 11;  // a seed whose objects do not overlap
  ClearCourse();
  Batch();
  EXPECT_EQ(Kinds(), (std::vector<int>{okTree, okWeed, okMoney10, okGunCrate, okLifeCrate}));
}

TEST_F(Generator, AStandingBoatMeetsOnlyEnemyBoats) {
  Chances().fill(Always);
  Boat().ScrollStep = 0;
  for (int frame = 0; frame < 20; ++frame) {
    Form().Track.SpawnDistance = 500;
    SpawnBankDecor(Form());
    SpawnTrackObjects(Form());
  }
  ASSERT_FALSE(Kinds().empty());
  for (int kind : Kinds()) EXPECT_GE(kind, okFirstEnemyBoat);
}

TEST_F(Generator, BedsKeepToTheirBanksWhileUmbrellasAndHutsTakeEither) {
  struct {
    uint8_t Kind;
    bool Left, Right;
  } cases[] = {{okBedLeft, true, false}, {okBedRight, false, true}, {okUmbrellaRed, true, true},
               {okHutBlue, true, true}};
  for (const auto& c : cases) {
    bool left = false, right = false;
    for (int i = 0; i < 100; ++i) {
      TWallSprite o(Form(), c.Kind, 31);
      if (o.X >= 127 && o.X + o.Width <= 175) left = true;
      else if (o.X >= 610 && o.X + o.Width <= 661) right = true;
      else ADD_FAILURE() << int(c.Kind) << " at " << o.X;
      EXPECT_EQ(o.Y, -140);
      EXPECT_TRUE(o.OnBank);
    }
    EXPECT_EQ(left, c.Left) << int(c.Kind);
    EXPECT_EQ(right, c.Right) << int(c.Kind);
  }
}

}  // namespace
