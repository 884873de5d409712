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

// The upgrade icons on the right panel, in the order the upgrades are numbered.
enum TUpgradeIcon { uiGun, uiEngine, uiShield, uiNone };

struct TRaceState {
  int32_t Level = 0;
  int32_t Score = 0;  // never negative
  int32_t Lives = 0;
  int32_t TimeLeft = 0;  // ms
  int32_t SelectedBoat = 0;  // 1..3
  std::string PlayerName;  // Windows-1251; offered again in the next game of the run
  double FinishLineY = 0;
  // How the game ended: its result went into the high-score table, and was sent online.
  bool EnteredTable = false;
  bool ResultSent = false;

  // --- the race's sprites, from StartRace to EndRace ---
  TCaptionSprite* LeftPanel = nullptr;
  TCaptionSprite* RightPanel = nullptr;
  TCaptionSprite* ProgressMarker = nullptr;
  TCaptionSprite* SpeedNeedle = nullptr;  // hidden: drawn by hand, rotated
  TMyCarSprite* PlayerBoat = nullptr;
  TMyCarAnim* PlayerWake = nullptr;
  TMyCarAnim* EnemyWakeClock = nullptr;   // never shown; the enemy wakes' frame
  TExplosion* EngineFlameClock = nullptr; // never shown; the engine flame's frame
  TExplosion* GunFlashClock = nullptr;    // never shown; the muzzle flash's frame
  std::array<TCaptionSprite*, 4> UpgradeIcons{};  // by TUpgradeIcon
  TExplosion* PlayerExplosion = nullptr;

  // --- the speedometer's shake and the boat's explosion loops ---
  int32_t NeedleWobble = 0;  // -1, 0 or 1
  int32_t NeedleWobbleTimer = 0;  // ms
  double LastExplosionFrame = 0;  // the explosion's frame seen in the previous frame
};
