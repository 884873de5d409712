#include "game/race/MyCarSprite.h"

#include <algorithm>
#include <cmath>

#include "app/MForm.h"
#include "game/race/Dialogs.h"
#include "game/race/MyCarAnim.h"
#include "game/race/Race.h"
#include "game/track/Explosion.h"
#include "game/track/Gun.h"
#include "media/DXDraws/PictureCollection.h"
#include "media/DXSprite/SpriteMath.h"

namespace {

constexpr double RiverLeft = 177, RiverRight = 609;
constexpr double EngineMaxSpeed = 150.0 / 7;
constexpr int32_t UpgradeMs = 10000;

constexpr const char* NormalPictures[] = {"Boat1_Normal", "Boat2_Normal", "Boat3_Normal"};
constexpr const char* AirPictures[] = {"Boat1_Big", "Boat2_Big", "Boat3_Big"};

// sin and cos of heading * pi / 128 for the headings a boat can take, exact constants
// rather than the C runtime's trigonometry, so a race runs to the same end on every
// platform.
constexpr int32_t MaxHeading = 25;
constexpr double HeadingTable[2 * MaxHeading + 1][2] = {
    {-0x1.26d054cdd12dfp-1, 0x1.a29a7a0462782p-1},  // -25
    {-0x1.1c73b39ae68c8p-1, 0x1.a9b66290ea1a3p-1},  // -24
    {-0x1.11eb3541b4b22p-1, 0x1.b090a581502p-1},  // -23
    {-0x1.073879922ffedp-1, 0x1.b728345196e3ep-1},  // -22
    {-0x1.f8ba4dbf89abap-2, 0x1.bd7c0ac6f952ap-1},  // -21
    {-0x1.e2b5d3806f63bp-2, 0x1.c38b2f180bdb1p-1},  // -20
    {-0x1.cc66e9931c45dp-2, 0x1.c954b213411f5p-1},  // -19
    {-0x1.b5d1009e15ccp-2, 0x1.ced7af43cc773p-1},  // -18
    {-0x1.9ef7943a8ed8ap-2, 0x1.d4134d14dc93ap-1},  // -17
    {-0x1.87de2a6aea963p-2, 0x1.d906bcf328d46p-1},  // -16
    {-0x1.7088530fa459ep-2, 0x1.ddb13b6ccc23dp-1},  // -15
    {-0x1.58f9a75ab1fddp-2, 0x1.e212104f686e5p-1},  // -14
    {-0x1.4135c94176602p-2, 0x1.e6288ec48e112p-1},  // -13
    {-0x1.294062ed59f05p-2, 0x1.e9f4156c62ddap-1},  // -12
    {-0x1.111d262b1f677p-2, 0x1.ed740e7684963p-1},  // -11
    {-0x1.f19f97b215f1ap-3, 0x1.f0a7efb9230d7p-1},  // -10
    {-0x1.c0b826a7e4f63p-3, 0x1.f38f3ac64e589p-1},  // -9
    {-0x1.8f8b83c69a60ap-3, 0x1.f6297cff75cbp-1},  // -8
    {-0x1.5e214448b3fc6p-3, 0x1.f8764fa714ba9p-1},  // -7
    {-0x1.2c8106e8e613ap-3, 0x1.fa7557f08a517p-1},  // -6
    {-0x1.f564e56a9730ep-4, 0x1.fc26470e19fd3p-1},  // -5
    {-0x1.917a6bc29b42cp-4, 0x1.fd88da3d12526p-1},  // -4
    {-0x1.2d52092ce19f6p-4, 0x1.fe9cdad01883ap-1},  // -3
    {-0x1.91f65f10dd814p-5, 0x1.ff621e3796d7ep-1},  // -2
    {-0x1.92155f7a3667ep-6, 0x1.ffd886084cd0dp-1},  // -1
    {0x0p+0, 0x1p+0},  // 0
    {0x1.92155f7a3667ep-6, 0x1.ffd886084cd0dp-1},  // 1
    {0x1.91f65f10dd814p-5, 0x1.ff621e3796d7ep-1},  // 2
    {0x1.2d52092ce19f6p-4, 0x1.fe9cdad01883ap-1},  // 3
    {0x1.917a6bc29b42cp-4, 0x1.fd88da3d12526p-1},  // 4
    {0x1.f564e56a9730ep-4, 0x1.fc26470e19fd3p-1},  // 5
    {0x1.2c8106e8e613ap-3, 0x1.fa7557f08a517p-1},  // 6
    {0x1.5e214448b3fc6p-3, 0x1.f8764fa714ba9p-1},  // 7
    {0x1.8f8b83c69a60ap-3, 0x1.f6297cff75cbp-1},  // 8
    {0x1.c0b826a7e4f63p-3, 0x1.f38f3ac64e589p-1},  // 9
    {0x1.f19f97b215f1ap-3, 0x1.f0a7efb9230d7p-1},  // 10
    {0x1.111d262b1f677p-2, 0x1.ed740e7684963p-1},  // 11
    {0x1.294062ed59f05p-2, 0x1.e9f4156c62ddap-1},  // 12
    {0x1.4135c94176602p-2, 0x1.e6288ec48e112p-1},  // 13
    {0x1.58f9a75ab1fddp-2, 0x1.e212104f686e5p-1},  // 14
    {0x1.7088530fa459ep-2, 0x1.ddb13b6ccc23dp-1},  // 15
    {0x1.87de2a6aea963p-2, 0x1.d906bcf328d46p-1},  // 16
    {0x1.9ef7943a8ed8ap-2, 0x1.d4134d14dc93ap-1},  // 17
    {0x1.b5d1009e15ccp-2, 0x1.ced7af43cc773p-1},  // 18
    {0x1.cc66e9931c45dp-2, 0x1.c954b213411f5p-1},  // 19
    {0x1.e2b5d3806f63bp-2, 0x1.c38b2f180bdb1p-1},  // 20
    {0x1.f8ba4dbf89abap-2, 0x1.bd7c0ac6f952ap-1},  // 21
    {0x1.073879922ffedp-1, 0x1.b728345196e3ep-1},  // 22
    {0x1.11eb3541b4b22p-1, 0x1.b090a581502p-1},  // 23
    {0x1.1c73b39ae68c8p-1, 0x1.a9b66290ea1a3p-1},  // 24
    {0x1.26d054cdd12dfp-1, 0x1.a29a7a0462782p-1},  // 25
};

const double* HeadingRow(int32_t heading) {
  return HeadingTable[std::clamp(heading, -MaxHeading, MaxHeading) + MaxHeading];
}

}  // namespace

double HeadingSin(int32_t heading) { return HeadingRow(heading)[0]; }
double HeadingCos(int32_t heading) { return HeadingRow(heading)[1]; }

TMyCarSprite::TMyCarSprite(TMForm& form, int32_t boatType)
    : TImageSprite(&form.MDXSpriteEngine->Engine()), FForm(form) {
  BoatType = boatType >= 1 && boatType <= 3 ? boatType : 1;
  TPictureCollection& pictures = form.MDXImageList3->Items;
  FEngineFire = &pictures.Find("EngineFire");
  FGun = &pictures.Find("BoatGun");
  FGunBig = &pictures.Find("BoatGunBig");
  FShield = &pictures.Find("BoatShield");
  FShieldBig = &pictures.Find("BoatShieldBig");
  FEngine = &pictures.Find("BoatEngine");
  FEngineBig = &pictures.Find("BoatEngineBig");
  FGunFire = &pictures.Find("BoatGunFire");

  SetPicture(NormalPictures[BoatType - 1]);
  AnimFrame = 0;
  AnimRate = 0;
  AnimLoop = false;

  const TBoatRow& row = BoatTable(BoatType);
  MaxSpeed = row.MaxSpeed;
  Acceleration = row.Acceleration;
  BrakeStep = row.BrakeStep;
  SlowdownMode = smNone;
  SpinTime = 0;
  TargetSpeed = 0;

  PlaceRandomly();
  Y = 600 - Height - 15;
  SetZ(4);
  CenterX = X + Width / 2.0;
  CenterY = Y + Height / 2.0;

  ThrottleHeld = LeftHeld = RightHeld = Firing = Airborne = 0;
  Controllable = 1;
}

void TMyCarSprite::Accelerate() {
  if (Controllable && BoatState != bsFinished && ForwardSpeed < MaxSpeed) ForwardSpeed += Acceleration;
}

void TMyCarSprite::Brake() {
  if (!Controllable) return;
  // A boat has no reverse: the last step below a full brake step stops it.
  if (ForwardSpeed < 0.1)
    ForwardSpeed = 0;
  else
    ForwardSpeed = std::max(ForwardSpeed - BrakeStep, 0.0);
}

void TMyCarSprite::SteerLeft() {
  if (Controllable && !Airborne && Heading > -25) --Heading;
}

void TMyCarSprite::SteerRight() {
  if (Controllable && !Airborne && Heading < 25) ++Heading;
}

void TMyCarSprite::Boost() {
  if (!Controllable) return;
  ForwardSpeed = std::min(ForwardSpeed + 3 * Acceleration, MaxSpeed);
}

void TMyCarSprite::HardBrake() {
  if (!Controllable) return;
  if (3 * BrakeStep > ForwardSpeed)
    ForwardSpeed = 0;
  else
    ForwardSpeed -= 3 * BrakeStep;
}

void TMyCarSprite::Jump() {
  FForm.PlaySound("Jump");
  Airborne = 1;
  const int32_t oldWidth = Width;
  SetPicture(AirPictures[BoatType - 1]);
  // The bigger picture keeps the boat's centre.
  X -= (Width - oldWidth) / 2.0;
  JumpTime = 1500;
  Heading = 0;
  TargetSpeed = std::min(2 * ForwardSpeed, MaxSpeed);
  SlowdownMode = smBoost;
}

void TMyCarSprite::Land() {
  Airborne = 0;
  const int32_t oldWidth = Width;
  SetPicture(NormalPictures[BoatType - 1]);
  X += (oldWidth - Width) / 2.0;
}

void TMyCarSprite::SetPicture(std::string_view name) {
  Image = &FForm.MDXImageList3->Items.Find(name);
  Width = Image->Width();
  Height = Image->Height();
}

void TMyCarSprite::TakeBonus(int32_t kind) {
  FForm.PlaySound("Bonus");
  switch (kind) {
    case ukGun:
      UpgradeGun = 1;
      GunTime = UpgradeMs;
      break;
    case ukEngine:
      EngineTime = UpgradeMs;
      // Taking it again only renews the time.
      if (!UpgradeEngine) {
        MaxSpeed = EngineMaxSpeed;
        Acceleration *= 2;
        BrakeStep *= 2;
      }
      UpgradeEngine = 1;
      break;
    case ukShield:
      UpgradeShield = 1;
      ShieldTime = UpgradeMs;
      break;
    default:
      break;
  }
}

void TMyCarSprite::LoseUpgrade(int32_t kind, bool audible) {
  if (audible) FForm.PlaySound("BonusLost");
  switch (kind) {
    case ukGun:
      UpgradeGun = 0;
      FForm.StopSound("Shot");
      break;
    case ukEngine:
      UpgradeEngine = 0;
      MaxSpeed = BoatTable(BoatType).MaxSpeed;
      Acceleration /= 2;
      BrakeStep /= 2;
      // Above the normal top speed the boat brakes down to it rather than stopping dead.
      if (ForwardSpeed > MaxSpeed) {
        SlowdownMode = smHardBrake;
        TargetSpeed = MaxSpeed;
      }
      break;
    case ukShield:
      UpgradeShield = 0;
      break;
    default:
      break;
  }
}

void TMyCarSprite::TickUpgrades() {
  const int32_t step = FForm.FrameStepMs;
  auto tick = [&](uint8_t active, int32_t& time, int32_t kind) {
    if (!active) return;
    if (time > 0)
      time -= step;
    else
      LoseUpgrade(kind, true);
  };
  tick(UpgradeGun, GunTime, ukGun);
  tick(UpgradeEngine, EngineTime, ukEngine);
  tick(UpgradeShield, ShieldTime, ukShield);
}

void TMyCarSprite::AddScore(uint16_t n) { FForm.Race.Score += n; }

void TMyCarSprite::SubtractScore(uint16_t n) {
  int32_t& score = FForm.Race.Score;
  score = score < n ? 0 : score - n;
}

void TMyCarSprite::Crash() {
  if (UpgradeShield || BoatState == bsExploding || BoatState == bsFinished) return;
  if (UpgradeGun) LoseUpgrade(ukGun, false);
  if (UpgradeEngine) LoseUpgrade(ukEngine, false);
  FForm.StopSound("WallExplosion");
  FForm.PlaySound("PlayerExplosion");
  ForwardSpeed = 0;
  SideStep = 0;
  SetScrollStep(0);
  SlowdownMode = smNone;
  BoatState = bsExploding;
  Controllable = 0;
  TRaceState& race = FForm.Race;
  TExplosion& explosion = *race.PlayerExplosion;
  explosion.X = X;
  explosion.Y = CenterY - explosion.Height / 2.0;
  explosion.Visible = true;
  explosion.AnimFrame = 0;
  race.LastExplosionFrame = 0;
  Visible = false;
  race.PlayerWake->Visible = false;
  ExplosionLoops = 2;
  if (race.Lives > 0) --race.Lives;
}

void TMyCarSprite::Respawn() {
  BoatState = bsRacing;
  Airborne = 0;
  Visible = true;
  Controllable = 1;
  PlaceRandomly();
  Heading = 0;
  FForm.Race.PlayerExplosion->Visible = false;
}

void TMyCarSprite::PlaceRandomly() { X = RiverLeft + FForm.Random(int32_t(RiverRight - RiverLeft) - Width); }

void TMyCarSprite::SetScrollStep(double step) {
  ScrollStep = step;
  // The background scrolls by the same step.
  FForm.ScrollStep = step;
}

void TMyCarSprite::Advance(int32_t moveCount) {
  TImageSprite::Advance(moveCount);
  TRaceState& race = FForm.Race;
  const double frameSeconds = FForm.FrameStepMs / 1000.0;

  TExplosion& explosion = *race.PlayerExplosion;
  if (explosion.Visible && explosion.AnimFrame < race.LastExplosionFrame) --ExplosionLoops;
  race.LastExplosionFrame = explosion.AnimFrame;

  if (!Airborne && ForwardSpeed > 0) {
    if (BoatState == bsRacing) race.PlayerWake->Visible = true;
    race.PlayerWake->AnimRate = frameSeconds * (ForwardSpeed / 4 + 5);
  } else {
    race.PlayerWake->Visible = false;
  }

  if (Airborne) {
    if (JumpTime > 0) JumpTime -= FForm.FrameStepMs;
    if (JumpTime <= 0) Land();
  }

  if (!Airborne && UpgradeGun && Firing) ShootRay(FForm);
  TickUpgrades();
  if (ThrottleHeld) Accelerate();

  if (BoatState == bsRacing || (BoatState == bsFinished && ForwardSpeed > 0)) {
    if (LeftHeld && Heading <= 0)
      SteerLeft();
    else if (RightHeld && Heading >= 0)
      SteerRight();
    else if (Heading > 1)
      Heading -= 2;
    else if (Heading < -1)
      Heading += 2;
    else
      Heading = 0;
  }

  if (BoatState == bsExploding) {
    if (ExplosionLoops == 1) {
      explosion.Y = Y + Height - explosion.Height;
    } else if (ExplosionLoops == 0) {
      if (race.Lives == 0) {
        explosion.Visible = false;
        GameOverNow(FForm);
      } else {
        Respawn();
      }
    }
  }

  CenterX = X + Width / 2.0;
  CenterY = Y + Height / 2.0;

  const double sinA = HeadingSin(Heading);
  SideStep = sinA * ForwardSpeed * FForm.SpeedScale;
  SetScrollStep(ForwardSpeed * FForm.SpeedScale);

  // The tilted picture reaches past its box on the side it leans to.
  const double m = sinA * Height / 3;
  if (X + Width > RiverRight - m) X = RiverRight - m - Width;
  if (X < RiverLeft - m) X = RiverLeft - m;

  X += SideStep;
  Distance += ScrollStep;
  FForm.Track.SpawnDistance += ScrollStep;

  if (SlowdownMode == smNone && Finished) {
    ForwardSpeed = 0;
    Controllable = 0;
    CountingDown = 1;
  }

  if (SlowdownMode == smBrake) {
    if (ForwardSpeed > TargetSpeed)
      Brake();
    else
      SlowdownMode = smNone;
  }
  if (SlowdownMode == smBoost) {
    if (ForwardSpeed < TargetSpeed)
      Boost();
    else
      SlowdownMode = smNone;
  }
  if (SlowdownMode == smHardBrake) {
    if (ForwardSpeed > TargetSpeed)
      HardBrake();
    else
      SlowdownMode = smNone;
  }
  if (SlowdownMode == smSpinLeft || SlowdownMode == smSpinRight) {
    if (ForwardSpeed > TargetSpeed)
      HardBrake();
    else
      ForwardSpeed = TargetSpeed;
    if (SpinTime > 0) {
      SpinTime -= FForm.FrameStepMs;
      Heading = SlowdownMode == smSpinLeft ? -14 : 14;
    }
    if (ForwardSpeed == TargetSpeed && SpinTime <= 0) SlowdownMode = smNone;
  }
}

void TMyCarSprite::Render() {
  if (!Image || !Engine || !Engine->Surface) return;
  TDirectDrawSurface& surface = *Engine->Surface;
  using SpriteMath::Trunc;
  auto draw = [&](const TPictureCollectionItem& picture, double x, double y, int pattern, double cx,
                  double cy, int angle) {
    picture.DrawRotate(surface, Trunc(x), Trunc(y), picture.Width(), picture.Height(), pattern, cx, cy,
                       angle);
  };
  const TRaceState& race = FForm.Race;
  const double middleY = Y + Height / 2.0;
  draw(*Image, CenterX, CenterY, 0, 0.5, 0.5, Heading);
  if (UpgradeEngine && !Airborne && BoatState == bsRacing &&
      (ThrottleHeld || ForwardSpeed > BoatTable(BoatType).MaxSpeed))
    draw(*FEngineFire, CenterX - 2, middleY, Trunc(race.EngineFlameClock->AnimFrame), 0.5, -1.2,
         Heading - 1);
  if (UpgradeGun) draw(Airborne ? *FGunBig : *FGun, CenterX, CenterY, 0, 0.5, 0.5, Heading);
  if (UpgradeShield) {
    const TPictureCollectionItem& shield = Airborne ? *FShieldBig : *FShield;
    draw(shield, CenterX + (Airborne ? 0 : 1), middleY, 0, 0.5, (Height / 2.0) / shield.Height(),
         Heading);
  }
  if (UpgradeEngine) draw(Airborne ? *FEngineBig : *FEngine, CenterX, middleY, 0, 0.5, 0.0, Heading);
  if (UpgradeGun && Firing)
    draw(*FGunFire, CenterX - 1, CenterY, Trunc(race.GunFlashClock->AnimFrame), 0.5, 1.4, Heading);
}
