#pragma once
// The state of one game: its level, score, lives and clock, the chosen boat and the
// player's name, and the race's own sprites.
#include <array>
#include <cstdint>
#include <string>

class TCaptionSprite;
class TExplosion;
class TMyCarSprite;
class TMyCarAnim;

struct TRaceState {
  int32_t Level = 0;
  int32_t Score = 0;  // never negative
  int32_t Lives = 0;
  int32_t TimeLeft = 0;  // ms
  int32_t SelectedBoat = 0;  // 1..3
  std::string PlayerName;  // Windows-1251; offered again in the next game of the run
  double FinishLineY = 0;
};
