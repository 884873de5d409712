#pragma once
// The course generator's state: the 30 object slots, the scroll counted since the last
// batch and the spawn chances of the level.
#include <array>
#include <cstdint>

class TWallSprite;

struct TTrackState {
  // [1..30]; Used[i] is 1 exactly while Objects[i] is a live object of slot i.
  std::array<TWallSprite*, 31> TrackObjects{};
  std::array<uint8_t, 31> TrackObjectUsed{};
  double SpawnDistance = 0;  // scroll since the last batch
  int32_t BatchCount = 0;    // objects kept since the current batch began
  std::array<double, 29> SpawnChance{};  // [1..28]
};
