#pragma once
// Everything on the course: obstacles, bonus crates, bank decorations, the ship, enemy
// boats and the finish line. Each lives in one of the generator's 30 slots and gives it
// back when freed.
#include <cstdint>
#include <string_view>

#include "media/DXSprite/DXSprite.h"

class TMForm;
class TPictureCollectionItem;

// The object kinds.
enum : uint8_t {
  okTree = 0,
  okRamp = 1,
  okFlag = 2,
  okWeed = 3,
  okFisherman = 4,
  okShip = 5,
  okBridge = 6,
  okDuck = 7,
  okMoney10 = 8,
  okMoney20 = 9,
  okMoney50 = 10,
  okMoney100 = 11,
  okGunCrate = 12,
  okShieldCrate = 13,
  okEngineCrate = 14,
  okLifeCrate = 15,
  okUmbrellaRed = 16,
  okUmbrellaGreen = 17,
  okUmbrellaBlue = 18,
  okBedLeft = 19,
  okBedRight = 20,
  okHutBlue = 21,
  okHutRed = 22,
  okFirstEnemyBoat = 23,  // 23, 25, .. 33 travel up; 24, 26, .. 34 come down
  okLastEnemyBoat = 34,
  okFinishLine = 35,
};

class TWallSprite : public TImageSprite {
 public:
  // Creates an object of the kind for the slot, above the top of the screen; sets
  // Rejected when it would overlap another object (the caller then frees it).
  TWallSprite(TMForm& form, uint8_t kind, int32_t slot);
  // Gives the slot back.
  ~TWallSprite() override;

  int32_t Slot = 0;
  uint8_t Kind = 0;
  uint8_t Collected = 0;
  int32_t ExplosionKind = 0;  // 0 none, 1 "ExplosionSmall", 2 "ExplosionBig"
  uint8_t Dying = 0;
  uint8_t Bulletproof = 0;
  uint8_t OnBank = 0;
  uint8_t IsBonusBox = 0;
  uint8_t RandomX = 0;
  uint8_t Side = 0;  // bank of a decoration: 0 either, 2 left, 3 right
  uint8_t Rejected = 0;
  uint8_t Vehicle = 0;
  uint8_t FacingUp = 0;
  double VX = 0;  // pixels a frame, to the right
  double VY = 0;  // pixels a frame against the water, downwards
  int32_t DriftTime = 0;  // ms

  bool IsEnemyBoat() const { return Kind >= okFirstEnemyBoat && Kind <= okLastEnemyBoat; }

  void HitBy(TSprite& other, bool& done) override;
  void Render() override;
  void Advance(int32_t moveCount) override;

  // The named race picture; the size stays.
  void SetPicture(std::string_view name);
  void Explode();
  void ShotReward();

 private:
  void MoveVehicle();
  void TouchBoat(class TMyCarSprite& boat);

  TMForm& FForm;
  // A crate's two looks and its content icon, looked up once.
  TPictureCollectionItem* FCrateLeft = nullptr;
  TPictureCollectionItem* FCrateRight = nullptr;
  TPictureCollectionItem* FIcon = nullptr;
  // An enemy boat's wakes, going up and coming down.
  TPictureCollectionItem* FWakeUp = nullptr;
  TPictureCollectionItem* FWakeDown = nullptr;
};

// Frees the objects that are spent, have played their explosion or have left the course.
void CullTrackObjects(TMForm& form);
