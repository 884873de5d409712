#pragma once
// A game started the way the player starts it, through the boat screen, then driven
// frame by frame with a seeded generator and held keys.
#include <gtest/gtest.h>

#include <string_view>

#include "game/menus/Screens.h"
#include "game/race/MyCarSprite.h"
#include "game/race/Race.h"
#include "game/track/WallSprite.h"
#include "media/DXSounds/WaveCollection.h"
#include "media/Platform/Audio.h"
#include "tests/app/GameRig.h"

class RaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!TGameFolder::DataBuilt()) GTEST_SKIP() << "the game data is not built";
    Rig.Start();
  }

  // The boat screen's click on boat 1..3, with the generator seeded just before.
  void StartRace(int boat = 1, uint32_t seed = 1) {
    ShowBoatScreen(Form());
    Form().RandomGen.RandSeed = seed;
    Form().HotButton = 6 + boat;
    Form().MDXDrawClick();
  }
  // Frames until the level banner has gone.
  void SkipBanner() {
    for (int i = 0; i < 1000 && Form().ActiveDialog == 1; ++i) Rig.Frame();
  }
  void StartRaceAndSkipBanner(int boat = 1, uint32_t seed = 1) {
    StartRace(boat, seed);
    SkipBanner();
  }
  void Frames(int n) { Rig.RunFrames(n); }
  void Hold(std::initializer_list<uint16_t> keys) { Rig.Hold(keys); }

  // Every start of a named sound so far.
  int Plays(std::string_view name) {
    const TWaveCollectionItem& item = Form().MDXWaveList->Items.Find(name);
    int starts = item.Master() ? item.Master()->Starts() : 0;
    for (const auto& copy : item.Copies()) starts += copy->Starts();
    return starts;
  }

  // Places an object of the kind in a free slot by hand, at (x, y), standing still.
  TWallSprite& Place(uint8_t kind, double x, double y) {
    TTrackState& track = Form().Track;
    int slot = 1;
    while (track.TrackObjectUsed[slot]) ++slot;
    track.TrackObjectUsed[slot] = 1;
    auto* o = new TWallSprite(Form(), kind, slot);
    track.TrackObjects[slot] = o;
    o->X = x;
    o->Y = y;
    o->VX = 0;
    o->DriftTime = 0;
    return *o;
  }
  // Clears the course, so that only hand-placed objects take part.
  void ClearCourse() { FreeTrackObjects(Form()); }
  int UsedSlots() {
    int n = 0;
    for (int i = 1; i <= 30; ++i) n += Form().Track.TrackObjectUsed[i];
    return n;
  }

  TMForm& Form() { return *Rig.Form; }
  TRaceState& Race() { return Rig.Form->Race; }
  TMyCarSprite& Boat() { return *Rig.Form->Race.PlayerBoat; }

  TGameRig Rig;
};

// A race past its banner on an empty course where nothing new appears, so that only
// objects placed by hand take part.
class RaceOnAnEmptyCourse : public RaceTest {
 protected:
  void SetUp() override {
    RaceTest::SetUp();
    if (IsSkipped()) return;
    StartRaceAndSkipBanner();
    ClearCourse();
    Form().Track.SpawnChance.fill(0);
  }
};
