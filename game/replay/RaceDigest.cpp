#include "game/replay/RaceDigest.h"

#include <charconv>
#include <cstring>
#include <utility>
#include <string_view>

#include "app/MForm.h"
#include "game/race/MyCarAnim.h"
#include "game/race/MyCarSprite.h"
#include "game/replay/Decimal.h"
#include "game/track/CaptionSprite.h"
#include "game/track/Explosion.h"
#include "game/track/ScrollBackground.h"
#include "game/track/WallSprite.h"
#include "media/DXDraws/PictureCollection.h"

namespace {

class TFnv1a {
 public:
  void Bytes(const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; ++i) {
      Hash ^= p[i];
      Hash *= 0x100000001b3ull;
    }
  }
  void Int(int64_t v) { Bytes(&v, sizeof v); }
  void Real(double v) {
    // Bit patterns, so that any change of a position or speed shows.
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    Bytes(&bits, sizeof bits);
  }
  void Text(std::string_view s) {
    Int(int64_t(s.size()));
    Bytes(s.data(), s.size());
  }
  uint64_t Hash = 0xcbf29ce484222325ull;
};

void Sprite(TFnv1a& h, const TImageSprite* s) {
  h.Int(s != nullptr);
  if (!s) return;
  h.Real(s->X);
  h.Real(s->Y);
  h.Int(s->Width);
  h.Int(s->Height);
  h.Int(s->Z());
  h.Int(s->Visible);
  h.Int(s->CanCollide);
  h.Real(s->AnimFrame);
  h.Real(s->AnimRate);
  h.Int(s->AnimLength);
  h.Int(s->AnimLoop);
  h.Text(s->Image ? std::string_view(s->Image->Name()) : std::string_view());
}

void Boat(TFnv1a& h, const TMyCarSprite& b) {
  Sprite(h, &b);
  for (int64_t v : {int64_t(b.BoatType), int64_t(b.BoatState), int64_t(b.ExplosionLoops),
                    int64_t(b.FinishSpawned), int64_t(b.Finished), int64_t(b.CountingDown),
                    int64_t(b.Controllable), int64_t(b.Airborne), int64_t(b.JumpTime),
                    int64_t(b.Heading), int64_t(b.ThrottleHeld), int64_t(b.LeftHeld),
                    int64_t(b.RightHeld), int64_t(b.Firing), int64_t(b.UpgradeGun),
                    int64_t(b.UpgradeEngine), int64_t(b.UpgradeShield), int64_t(b.GunTime),
                    int64_t(b.EngineTime), int64_t(b.ShieldTime), int64_t(b.SlowdownMode)})
    h.Int(v);
  for (double v : {b.CenterX, b.CenterY, b.ForwardSpeed, b.SideStep, b.ScrollStep, b.Distance,
                   b.Acceleration, b.BrakeStep, b.MaxSpeed, b.TargetSpeed, b.SpinTime})
    h.Real(v);
}

void Object(TFnv1a& h, const TWallSprite& o) {
  Sprite(h, &o);
  for (int64_t v : {int64_t(o.Slot), int64_t(o.Kind), int64_t(o.Collected), int64_t(o.ExplosionKind),
                    int64_t(o.Dying), int64_t(o.Bulletproof), int64_t(o.OnBank), int64_t(o.IsBonusBox),
                    int64_t(o.RandomX), int64_t(o.Side), int64_t(o.Rejected), int64_t(o.Vehicle),
                    int64_t(o.FacingUp), int64_t(o.DriftTime)})
    h.Int(v);
  h.Real(o.VX);
  h.Real(o.VY);
}

// -0.0 prints as 0.
std::string Fixed6(double v) { return FixedSixDecimals(v == 0 ? 0.0 : v); }

}  // namespace

uint64_t RaceChecksum(const TMForm& form) {
  TFnv1a h;
  const TRaceState& r = form.Race;
  for (int64_t v : {int64_t(form.CurrentScreen), int64_t(form.ActiveDialog), int64_t(form.HotButton),
                    int64_t(form.Dialog.DialogTimer), int64_t(form.Dialog.CursorBlinkTimer),
                    int64_t(form.RandomGen.RandSeed), int64_t(r.Level), int64_t(r.Score),
                    int64_t(r.Lives), int64_t(r.TimeLeft), int64_t(r.SelectedBoat),
                    int64_t(r.NeedleWobble), int64_t(r.NeedleWobbleTimer)})
    h.Int(v);
  h.Text(r.PlayerName);
  h.Real(r.FinishLineY);
  h.Real(r.LastExplosionFrame);
  h.Real(form.ScrollStep);
  if (form.Background) {
    h.Real(form.Background->X);
    h.Real(form.Background->Y);
  }

  h.Int(r.PlayerBoat != nullptr);
  if (r.PlayerBoat) Boat(h, *r.PlayerBoat);
  for (const TImageSprite* s : {static_cast<const TImageSprite*>(r.ProgressMarker),
                                static_cast<const TImageSprite*>(r.PlayerWake),
                                static_cast<const TImageSprite*>(r.EnemyWakeClock),
                                static_cast<const TImageSprite*>(r.EngineFlameClock),
                                static_cast<const TImageSprite*>(r.GunFlashClock),
                                static_cast<const TImageSprite*>(r.PlayerExplosion)})
    Sprite(h, s);
  for (const TCaptionSprite* icon : r.UpgradeIcons) Sprite(h, icon);

  const TTrackState& t = form.Track;
  h.Real(t.SpawnDistance);
  h.Int(t.BatchCount);
  for (int i = 1; i <= 28; ++i) h.Real(t.SpawnChance[i]);
  for (int i = 1; i <= 30; ++i) {
    h.Int(t.TrackObjectUsed[i]);
    if (t.TrackObjectUsed[i] && t.TrackObjects[i]) Object(h, *t.TrackObjects[i]);
  }
  return h.Hash;
}

std::string StateLine(const TMForm& form, uint64_t frame) {
  const TRaceState& r = form.Race;
  const TMyCarSprite* boat = r.PlayerBoat;
  int usedSlots = 0;
  for (int i = 1; i <= 30; ++i) usedSlots += form.Track.TrackObjectUsed[i] != 0;
  std::string line = "frame=" + std::to_string(frame);
  auto field = [&line](const char* name, int64_t v) { line += std::string(" ") + name + "=" + std::to_string(v); };
  field("screen", form.CurrentScreen);
  field("dialog", form.ActiveDialog);
  field("level", r.Level);
  field("score", r.Score);
  field("lives", r.Lives);
  field("time_left", r.TimeLeft);
  for (auto [name, v] : {std::pair{"speed", boat ? boat->ForwardSpeed : 0}, std::pair{"x", boat ? boat->X : 0},
                         std::pair{"y", boat ? boat->Y : 0}, std::pair{"scroll", boat ? boat->Distance : 0}})
    line += std::string(" ") + name + "=" + Fixed6(v);
  field("track_objects", usedSlots);
  char hex[17];
  const auto end = std::to_chars(hex, hex + 16, RaceChecksum(form), 16).ptr;
  line += " checksum=" + std::string(16 - size_t(end - hex), '0') + std::string(hex, end);
  return line;
}
