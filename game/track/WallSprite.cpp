#include "game/track/WallSprite.h"

#include <cmath>
#include <stdexcept>
#include <string>

#include "app/MForm.h"
#include "game/race/MyCarAnim.h"
#include "game/race/MyCarSprite.h"
#include "game/track/TrackGenerator.h"
#include "media/DXDraws/PictureCollection.h"
#include "media/DXSprite/SpriteMath.h"

namespace {

struct TKindSetup {
  const char* Picture;
  uint8_t RandomX, OnBank, Side, IsBonusBox, Bulletproof, Vehicle;
  int32_t ExplosionKind;
  int32_t Z;
};

// Kinds 0..22; the ship, the bridge, the enemy boats and the finish line add their own.
constexpr TKindSetup KindSetups[] = {
    {"Tree", 1, 0, 0, 0, 1, 0, 0, 2},           // 0
    {"Tramplin", 1, 0, 0, 0, 0, 0, 2, 2},       // 1
    {"Flag", 1, 0, 0, 0, 0, 0, 1, 2},           // 2
    {"Weed", 1, 0, 0, 0, 1, 0, 0, 2},           // 3
    {"Fisher", 1, 0, 0, 0, 0, 0, 2, 2},         // 4
    {"ShipRight", 1, 0, 0, 0, 0, 1, 2, 3},      // 5
    {"BridgeBigLeft", 0, 0, 0, 0, 0, 0, 2, 2},  // 6
    {"Duck", 1, 0, 0, 0, 0, 0, 1, 2},           // 7
    {"BoxLeft", 1, 0, 0, 1, 0, 0, 1, 2},        // 8
    {"BoxLeft", 1, 0, 0, 1, 0, 0, 1, 2},        // 9
    {"BoxLeft", 1, 0, 0, 1, 0, 0, 1, 2},        // 10
    {"BoxLeft", 1, 0, 0, 1, 0, 0, 1, 2},        // 11
    {"BoxLeft", 1, 0, 0, 1, 0, 0, 1, 2},        // 12
    {"BoxLeft", 1, 0, 0, 1, 0, 0, 1, 2},        // 13
    {"BoxLeft", 1, 0, 0, 1, 0, 0, 1, 2},        // 14
    {"BoxLeft", 1, 0, 0, 1, 0, 0, 1, 2},        // 15
    {"UmbrellaRed", 1, 1, 0, 0, 0, 0, 0, 2},    // 16
    {"UmbrellaGreen", 1, 1, 0, 0, 0, 0, 0, 2},  // 17
    {"UmbrellaBlue", 1, 1, 0, 0, 0, 0, 0, 2},   // 18
    {"BedLeft", 1, 1, 2, 0, 0, 0, 0, 2},        // 19
    {"BedRight", 1, 1, 3, 0, 0, 0, 0, 2},       // 20
    {"RoomBlue", 1, 1, 0, 0, 0, 0, 0, 2},       // 21
    {"RoomRed", 1, 1, 0, 0, 0, 0, 0, 2},        // 22
};

// The content icons of the crates 8..15.
constexpr const char* CrateIcons[] = {"Bonus10", "Bonus20", "Bonus50", "Bonus100",
                                      "Gun",     "Shield",  "Engine",  "Life"};

constexpr const char* EnemyBoatPictures[] = {"Boat4", "Boat5", "Boat6", "Boat7", "Boat8", "Boat9"};
constexpr const char* OncomingBoatPictures[] = {"Boat4_Inv", "Boat5_Inv", "Boat6_Inv",
                                                "Boat7_Inv", "Boat8_Inv", "Boat9_Inv"};

// Faster than this over the screen, an enemy boat that rams the player wrecks it.
constexpr double RammingSpeed = 50.0 / 14;
// Slower than this, the boat only stops at a bridge.
constexpr double BridgeSafeSpeed = 100.0 / 14;

}  // namespace

TWallSprite::TWallSprite(TMForm& form, uint8_t kind, int32_t slot)
    : TImageSprite(&form.MDXSpriteEngine->Engine()), FForm(form) {
  Kind = kind;
  Slot = slot;
  Side = 0;
  std::string_view picture = "FinishLine";
  if (kind < std::size(KindSetups)) {
    const TKindSetup& s = KindSetups[kind];
    picture = s.Picture;
    RandomX = s.RandomX;
    OnBank = s.OnBank;
    Side = s.Side;
    IsBonusBox = s.IsBonusBox;
    Bulletproof = s.Bulletproof;
    Vehicle = s.Vehicle;
    ExplosionKind = s.ExplosionKind;
    SetZ(s.Z);
  }
  if (kind == okShip) {
    if (form.Random(2) == 0) {
      picture = "ShipRight";
      VX = 20.0 / 14;
    } else {
      picture = "ShipLeft";
      VX = -20.0 / 14;
    }
  } else if (kind == okBridge) {
    if (form.Random(2) == 0) {
      picture = "BridgeBigLeft";
      X = 170;
    } else {
      picture = "BridgeBigRight";
      X = 534;
    }
  } else if (IsEnemyBoat()) {
    const int boat = (kind - okFirstEnemyBoat) / 2;
    FacingUp = (kind - okFirstEnemyBoat) % 2 == 0;
    picture = FacingUp ? EnemyBoatPictures[boat] : OncomingBoatPictures[boat];
    Vehicle = 1;
    RandomX = 1;
    ExplosionKind = 2;
    DriftTime = 0;
    SetZ(3);
    VY = FacingUp ? -(30 + form.Random(70)) / 14.0 : (20 + form.Random(60)) / 14.0;
  } else if (kind == okFinishLine) {
    Bulletproof = 1;
    X = 177;
  } else if (kind > okFinishLine) {
    throw std::out_of_range("unknown course object kind " + std::to_string(kind));
  }

  TPictureCollection& pictures = form.MDXImageList3->Items;
  Image = &pictures.Find(picture);
  Width = Image->Width();
  Height = Image->Height();
  if (Vehicle && kind != okShip) {
    FWakeUp = &pictures.Find("BoatAnim");
    FWakeDown = &pictures.Find("BoatAnim_Inv");
  }
  if (IsBonusBox) {
    FCrateLeft = &pictures.Find("BoxLeft");
    FCrateRight = &pictures.Find("BoxRight");
    FIcon = &pictures.Find(CrateIcons[kind - okMoney10]);
  }

  if (RandomX) {
    if (!OnBank) {
      X = 178 + form.Random(431 - Width);
    } else {
      // The coin is tossed for every decoration, also when its side is fixed.
      const int32_t r = form.Random(2);
      if ((r == 0 && Side == 0) || Side == 2)
        X = 127 + form.Random(48 - Width);
      else
        X = 610 + form.Random(51 - Width);
    }
  }
  // Every object enters just above the top of the screen.
  Y = -140;
  if (Z() == 0) SetZ(2);
  Rejected = kind != okFinishLine && OverlapsTrackObject(form, Slot, X, Y, Width, Height);
}

TWallSprite::~TWallSprite() {
  TTrackState& track = FForm.Track;
  if (Slot < 1 || Slot > 30) return;
  track.TrackObjectUsed[Slot] = 0;
  if (track.TrackObjects[Slot] == this) track.TrackObjects[Slot] = nullptr;
}

void TWallSprite::SetPicture(std::string_view name) { Image = &FForm.MDXImageList3->Items.Find(name); }

void TWallSprite::Advance(int32_t moveCount) {
  TImageSprite::Advance(moveCount);
  Collide();
  if (Kind == okFinishLine) FForm.Race.FinishLineY = Y;
  if (!Vehicle) {
    Y += FForm.Race.PlayerBoat->ScrollStep;
    return;
  }
  MoveVehicle();
}

void TWallSprite::MoveVehicle() {
  X += VX;
  Y += FForm.Race.PlayerBoat->ScrollStep + VY;
  if (Kind == okShip) {
    // The ship crosses the river and turns back at the banks.
    if (X + Width > 607) {
      X = 607 - Width;
      VX = -VX;
      SetPicture("ShipLeft");
    }
    if (X < 177) {
      X = 177;
      VX = -VX;
      SetPicture("ShipRight");
    }
    return;
  }
  if (!Dying && DriftTime == 0) {
    const int32_t d = FForm.Random(150);
    if (d == 1 || d == 2) {
      const double speed = (20 + FForm.Random(10)) / 14.0;
      VX = d == 1 ? speed : -speed;
      DriftTime = 400 + FForm.Random(100);
    }
  }
  if (DriftTime > 0) {
    DriftTime -= FForm.FrameStepMs;
  } else {
    VX = 0;
    DriftTime = 0;
  }
  // Enemy boats keep to the inner lane so the player can always pass them by a bank.
  if (X < 218) {
    X = 218;
    VX = 0;
    DriftTime = 0;
  }
  if (X + Width > 566) {
    X = 566 - Width;
    VX = 0;
    DriftTime = 0;
  }
}

void TWallSprite::Render() {
  if (!Image || !Engine || !Engine->Surface) return;
  TDirectDrawSurface& surface = *Engine->Surface;
  using SpriteMath::Trunc;
  if (IsBonusBox && !Dying) {
    const TPictureCollectionItem& crate = X > 392 ? *FCrateRight : *FCrateLeft;
    crate.Draw(surface, Trunc(X), Trunc(Y), 0);
    FIcon->Draw(surface, Trunc(X - (FIcon->Width() - Width) / 2.0),
                Trunc(Y - (FIcon->Height() - Height) / 2.0) - 4, 0);
    return;
  }
  if (Vehicle && Kind != okShip && !Dying) {
    const bool oncoming = VY > 0;
    const TPictureCollectionItem& wake = oncoming ? *FWakeDown : *FWakeUp;
    const double x = X + Width / 2.0 - wake.Width() / 2.0;
    const double y = oncoming ? Y - (wake.Height() - Height) : Y;
    wake.Draw(surface, Trunc(x), Trunc(y), Trunc(FForm.Race.EnemyWakeClock->AnimFrame));
  }
  TImageSprite::Render();
}

void TWallSprite::HitBy(TSprite& other, bool& /*done*/) {
  if (auto* boat = dynamic_cast<TMyCarSprite*>(&other)) {
    // In the air after a ramp, nothing on the course touches the boat.
    if (!boat->Airborne && !Dying) TouchBoat(*boat);
  }
  auto* wall = dynamic_cast<TWallSprite*>(&other);
  if (!wall || !Vehicle || Dying || wall->Dying) return;
  // Ships and enemy boats blow up on each other, on bridges and on fishermen.
  if (wall->Vehicle || wall->Kind == okBridge || wall->Kind == okFisherman) {
    wall->Explode();
    Explode();
  }
}

void TWallSprite::TouchBoat(TMyCarSprite& boat) {
  // Every object acts on the boat at most once.
  CanCollide = false;
  if (!boat.Finished) {
    switch (Kind) {
      case okTree:
        FForm.PlaySound("Tree");
        boat.SlowdownMode = smHardBrake;
        boat.TargetSpeed = boat.ForwardSpeed / 2;
        break;
      case okRamp:
        // Only a boat coming in from below takes off; the ramp is spent either way.
        if (boat.Y > Y + Height / 2.0) boat.Jump();
        break;
      case okFlag:
        FForm.PlaySound("Flag");
        boat.SlowdownMode = smHardBrake;
        boat.TargetSpeed = boat.ForwardSpeed > 5 ? boat.ForwardSpeed - 5 : 0;
        break;
      case okWeed:
        FForm.PlaySound("Weed");
        boat.SlowdownMode = FForm.Random(2) == 0 ? smSpinLeft : smSpinRight;
        boat.SpinTime = 700;
        boat.TargetSpeed = boat.ForwardSpeed > 50.0 / 14 ? boat.ForwardSpeed - 50.0 / 14 : 0;
        break;
      case okFisherman:
      case okShip:
        Explode();
        boat.Crash();
        break;
      case okBridge:
        Explode();
        if (boat.ForwardSpeed <= BridgeSafeSpeed)
          boat.ForwardSpeed = 0;
        else
          boat.Crash();
        break;
      case okDuck:
        FForm.PlaySound("Duck");
        boat.SubtractScore(100);
        Collected = 1;
        break;
      case okMoney10:
      case okMoney20:
      case okMoney50:
      case okMoney100: {
        constexpr uint16_t Money[] = {10, 20, 50, 100};
        FForm.PlaySound("Money");
        boat.AddScore(Money[Kind - okMoney10]);
        Collected = 1;
        break;
      }
      case okGunCrate:
        boat.TakeBonus(ukGun);
        Collected = 1;
        break;
      case okShieldCrate:
        boat.TakeBonus(ukShield);
        Collected = 1;
        break;
      case okEngineCrate:
        boat.TakeBonus(ukEngine);
        Collected = 1;
        break;
      case okLifeCrate:
        FForm.PlaySound("Bonus");
        ++FForm.Race.Lives;
        Collected = 1;
        break;
      default:
        break;
    }
  }
  // Enemy boats ram also a boat past the finish line.
  if (Vehicle && Kind != okShip) {
    if (std::fabs(boat.ScrollStep + VY) > RammingSpeed) boat.Crash();
    if (!boat.UpgradeShield) boat.ForwardSpeed = 0;
    Explode();
  }
}

void TWallSprite::Explode() {
  const TMyCarSprite* boat = FForm.Race.PlayerBoat;
  if (boat && boat->BoatState == bsRacing) FForm.PlaySound("WallExplosion");
  const int32_t oldWidth = Width, oldHeight = Height;
  if (ExplosionKind == 1) SetPicture("ExplosionSmall");
  if (ExplosionKind == 2) SetPicture("ExplosionBig");
  Width = Image->Width();
  Height = Image->Height();
  // The explosion keeps the object's centre.
  X += (oldWidth - Width) / 2.0;
  Y += (oldHeight - Height) / 2.0;
  AnimLength = Image->PatternCount();
  AnimLoop = false;
  AnimRate = FForm.FrameStepMs / 1000.0 * 15;
  AnimFrame = 0;
  VX = 0;
  VY = 0;
  Dying = 1;
}

void TWallSprite::ShotReward() {
  TMyCarSprite& boat = *FForm.Race.PlayerBoat;
  if (Vehicle) boat.AddScore(20);
  switch (Kind) {
    case okRamp: boat.AddScore(10); break;
    case okFlag: boat.AddScore(5); break;
    case okFisherman: boat.AddScore(5); break;
    case okShip: boat.AddScore(10); break;
    case okBridge: boat.AddScore(10); break;
    case okDuck: boat.AddScore(5); break;
    default: break;
  }
}

void CullTrackObjects(TMForm& form) {
  TTrackState& track = form.Track;
  for (int32_t i = 1; i <= 30; ++i) {
    if (track.TrackObjectUsed[i] != 1) continue;
    TWallSprite* o = track.TrackObjects[i];
    const bool played = o->AnimFrame >= o->AnimLength - 1;
    if ((played && !o->CanCollide && o->AnimFrame > 0) || o->Y > 1000 || o->Y < -800 || o->Collected ||
        (o->Dying && played))
      delete o;
  }
}
