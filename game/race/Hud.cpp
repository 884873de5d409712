#include "game/race/Hud.h"

#include <string>

#include "app/MForm.h"
#include "game/race/MyCarSprite.h"
#include "game/race/Text.h"
#include "game/track/CaptionSprite.h"
#include "media/DXDraws/DXDraw.h"
#include "media/DXDraws/PictureCollection.h"

void DrawSpeedNeedle(TMForm& form) {
  StepNeedleWobble(form);
  const TRaceState& race = form.Race;
  if (!race.SpeedNeedle || !race.PlayerBoat || !form.MDXDraw->CanDraw() || form.SkipPictures) return;
  const TCaptionSprite& needle = *race.SpeedNeedle;
  // The pivot is 17/19 of the way along the needle and 4/7 down, on the dial's centre.
  const int angle = int(race.PlayerBoat->ForwardSpeed * 5.97) + race.NeedleWobble;
  needle.Image->DrawRotate(form.MDXDraw->Surface(), 745, 576, needle.Width, needle.Height, 0,
                           0.8947368421052632, 0.5714285714285714, angle);
}

void StepNeedleWobble(TMForm& form) {
  TRaceState& race = form.Race;
  if (race.NeedleWobbleTimer > 0) {
    race.NeedleWobbleTimer -= form.FrameStepMs;
    return;
  }
  race.NeedleWobbleTimer = 30;
  race.NeedleWobble = race.NeedleWobble > 0 ? -1 : race.NeedleWobble + 1;
}

void DrawHudNumbers(TMForm& form) {
  const TRaceState& race = form.Race;
  auto number = [&](int font, int32_t value, int32_t x, int32_t y) {
    SetFont(form, font);
    DrawString(form, std::to_string(value), x, y, false);
  };
  number(5, race.Level, 52 - 5 * ExtraDigits(uint16_t(race.Level)), 80);
  number(2, race.Score, 52 - 4 * ExtraDigits(uint16_t(race.Score)), 172);
  const int32_t s = race.TimeLeft / 1000;
  number(4, s / 60 / 10, 28, 263);
  number(4, s / 60 % 10, 43, 263);
  DrawString(form, ":", 58, 261, false);
  number(4, s % 60 / 10, 64, 263);
  number(4, s % 60 % 10, 79, 263);
  number(4, race.Lives, 52 - 5 * ExtraDigits(uint16_t(race.Lives)), 353);
}

void DrawUpgradeTimer(TMForm& form) {
  TRaceState& race = form.Race;
  const TMyCarSprite* boat = race.PlayerBoat;
  if (!boat) return;
  const bool active[3] = {boat->UpgradeGun != 0, boat->UpgradeEngine != 0, boat->UpgradeShield != 0};
  const int32_t times[3] = {boat->GunTime, boat->EngineTime, boat->ShieldTime};
  auto showOnly = [&](int shown) {
    for (int i = 0; i < 4; ++i) race.UpgradeIcons[i]->Visible = i == shown;
  };
  for (int i = 0; i < 3; ++i) {
    if (!active[i] || times[i] > times[(i + 1) % 3] || times[i] > times[(i + 2) % 3]) continue;
    showOnly(i);
    const int32_t t = times[i] / 1000;
    SetFont(form, 6);
    DrawString(form, std::to_string(t), 771 - 4 * ExtraDigits(uint16_t(t)), 419, false);
  }
  if (!active[0] && !active[1] && !active[2]) showOnly(uiNone);
}
