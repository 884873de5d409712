#include "game/track/TrackGenerator.h"

#include <initializer_list>

#include "app/MForm.h"
#include "game/race/MyCarSprite.h"
#include "game/race/Race.h"
#include "game/track/WallSprite.h"

namespace {

// [1..28]; index 0 unused.
constexpr uint8_t ChanceKinds[29] = {0,  0,  3,  2,  7,  4,  5,  8,  9,  10, 11, 1,  12, 13, 14,
                                     6,  15, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34};

// The batch runs of an even level: no fisherman, ship, ramp or bridge there.
const std::initializer_list<int32_t> EvenLevelRuns[] = {{1, 2, 3, 4}, {7, 8, 9, 10}, {12, 13, 14}, {16}};

// One draw of the generator: hits with chance p when p is greater.
double Draw(TMForm& form) { return form.Random(32768) / 32768.0; }

}  // namespace

uint8_t ChanceKind(int32_t index) { return index >= 1 && index <= 28 ? ChanceKinds[index] : 0; }

bool AddTrackObject(TMForm& form, uint8_t kind) {
  TTrackState& track = form.Track;
  int32_t slot = 1;
  while (slot <= 30 && track.TrackObjectUsed[slot] != 0) ++slot;
  if (slot > 30) return false;
  track.TrackObjectUsed[slot] = 1;
  auto* object = new TWallSprite(form, kind, slot);
  track.TrackObjects[slot] = object;
  if (object->Rejected) {
    track.TrackObjectUsed[slot] = 0;
    delete object;
    return false;
  }
  ++track.BatchCount;
  return true;
}

void SpawnBankDecor(TMForm& form) {
  const double chance = 0.2 * form.Race.PlayerBoat->ScrollStep / 600;
  for (uint8_t kind : {18, 17, 16, 19, 20, 22, 21})
    if (chance > Draw(form)) AddTrackObject(form, kind);
}

void SpawnTrackObjects(TMForm& form) {
  TTrackState& track = form.Track;
  TMyCarSprite& boat = *form.Race.PlayerBoat;
  const int32_t level = form.Race.Level;
  const double speedFactor = boat.ScrollStep / 60;

  if (LevelLength(level) <= boat.Distance && !boat.FinishSpawned) {
    // With every slot taken the line waits for the first free one rather than being
    // lost: a level without it could only end by time-out.
    if (AddTrackObject(form, okFinishLine)) boat.FinishSpawned = 1;
    return;
  }

  if (!boat.FinishSpawned && track.SpawnDistance > 100) {
    track.SpawnDistance = 0;
    track.BatchCount = 0;
    auto hits = [&](int32_t i) { return track.SpawnChance[i] * speedFactor > Draw(form); };
    if (level % 2 != 0) {
      for (int32_t i = 1; i <= 16; ++i) {
        if (hits(i)) {
          // A fisherman comes only as the first object of its batch.
          if (i == 5 && track.BatchCount >= 1) break;
          AddTrackObject(form, ChanceKinds[i]);
        }
        if (track.BatchCount >= 2) break;
      }
    } else {
      for (const auto& run : EvenLevelRuns)
        for (int32_t i : run) {
          if (hits(i)) AddTrackObject(form, ChanceKinds[i]);
          if (track.BatchCount >= 2) break;
        }
    }
  }

  // Enemy boats come whatever the speed and the distance, twice as often on even levels.
  for (int32_t i = 17; i <= 28; ++i) {
    const double chance = level % 2 != 0 ? track.SpawnChance[i] / 84 : 2 * track.SpawnChance[i] / 84;
    if (chance > Draw(form)) AddTrackObject(form, ChanceKinds[i]);
  }
}

bool OverlapsTrackObject(TMForm& form, int32_t slot, double x, double y, double width,
                         double height) {
  const TTrackState& track = form.Track;
  for (int32_t i = 1; i <= 30; ++i) {
    if (i == slot || track.TrackObjectUsed[i] == 0) continue;
    const TWallSprite& o = *track.TrackObjects[i];
    if (RectsOverlap(x, y, width, height, o.X, o.Y, o.Width, o.Height)) return true;
  }
  return false;
}

bool RectsOverlap(double x1, double y1, double w1, double h1, double x2, double y2, double w2,
                  double h2) {
  return x1 <= x2 + w2 && x2 <= x1 + w1 && y1 <= y2 + h2 && y2 <= y1 + h1;
}
