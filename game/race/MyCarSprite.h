#pragma once
// The player's boat. It keeps its height near the bottom of the screen; its speed moves
// the course instead (ScrollStep), its heading turns speed into a sideways step.
#include <cstdint>
#include <string_view>

#include "media/DXSprite/DXSprite.h"

class TMForm;
class TPictureCollectionItem;

// The boat's automatic speed commands (SlowdownMode).
enum : int32_t {
  smNone = 0,
  smBrake = -5,      // brake to TargetSpeed
  smBoost = -4,      // boost to TargetSpeed (a jump)
  smHardBrake = -3,  // hard-brake to TargetSpeed
  smSpinLeft = -2,   // spin while slowing (weed)
  smSpinRight = 2,
};

// BoatState
enum : uint8_t { bsRacing = 0, bsExploding = 1, bsFinished = 2 };

// TakeBonus and LoseUpgrade
enum : int32_t { ukGun = 0, ukEngine = 1, ukShield = 2 };

class TMyCarSprite : public TImageSprite {
 public:
  // In the engine's root, with the boat type's picture (1..3), at a random place across
  // the river near the bottom of the screen.
  TMyCarSprite(TMForm& form, int32_t boatType);

  int32_t BoatType = 1;
  uint8_t BoatState = bsRacing;
  int32_t ExplosionLoops = 0;
  uint8_t FinishSpawned = 0;
  uint8_t Finished = 0;
  uint8_t CountingDown = 0;
  uint8_t Controllable = 0;
  uint8_t Airborne = 0;
  int32_t JumpTime = 0;  // ms
  double CenterX = 0, CenterY = 0;
  int32_t Heading = 0;  // 1/256 turn, -25..25; negative turns left
  double ForwardSpeed = 0;
  double SideStep = 0;
  double ScrollStep = 0;
  double Distance = 0;
  uint8_t ThrottleHeld = 0, LeftHeld = 0, RightHeld = 0, Firing = 0;
  uint8_t UpgradeGun = 0, UpgradeEngine = 0, UpgradeShield = 0;
  int32_t GunTime = 0, EngineTime = 0, ShieldTime = 0;  // ms
  double Acceleration = 0;
  double BrakeStep = 0;
  double MaxSpeed = 0;
  int32_t SlowdownMode = smNone;
  double TargetSpeed = 0;
  double SpinTime = 0;  // ms

  void Accelerate();
  void Brake();
  void SteerLeft();
  void SteerRight();
  void Boost();
  void HardBrake();
  void Jump();
  void Land();
  // The named race picture with its size; the position stays.
  void SetPicture(std::string_view name);
  void TakeBonus(int32_t kind);
  void LoseUpgrade(int32_t kind, bool audible);
  void TickUpgrades();
  void AddScore(uint16_t n);
  void SubtractScore(uint16_t n);
  void Crash();
  void Respawn();
  void PlaceRandomly();

  void Advance(int32_t moveCount) override;
  void Render() override;

 private:
  void SetScrollStep(double step);

  TMForm& FForm;
  // The overlays, looked up once.
  TPictureCollectionItem* FEngineFire;
  TPictureCollectionItem* FGun;
  TPictureCollectionItem* FGunBig;
  TPictureCollectionItem* FShield;
  TPictureCollectionItem* FShieldBig;
  TPictureCollectionItem* FEngine;
  TPictureCollectionItem* FEngineBig;
  TPictureCollectionItem* FGunFire;
};

// sin of a heading (1/256 turn), the same value wherever the game needs it.
double HeadingSin(int32_t heading);
double HeadingCos(int32_t heading);
