#include "game/race/RaceFrame.h"

#include "app/MForm.h"
#include "game/menus/Menu.h"
#include "game/race/Dialogs.h"
#include "game/race/Hud.h"
#include "game/race/MyCarSprite.h"
#include "game/race/Race.h"
#include "game/track/CaptionSprite.h"
#include "game/track/TrackGenerator.h"
#include "game/track/WallSprite.h"
#include "media/DXDraws/DXDraw.h"
#include "media/DXInput/DXInput.h"

namespace {

constexpr int32_t InactiveUpgradeMs = 100000;

// The clock, the time bonus after the finish and the time-out: one branch a frame.
void RunClock(TMForm& form) {
  TRaceState& race = form.Race;
  TMyCarSprite& boat = *race.PlayerBoat;
  const int32_t step = form.FrameStepMs;
  if (boat.CountingDown && race.TimeLeft > 0) {
    const int32_t bonusStep = 10 * step;
    if ((race.TimeLeft - bonusStep) / 1000 < race.TimeLeft / 1000) form.PlaySound("Tick");
    race.TimeLeft -= bonusStep;
    boat.AddScore(5);
  } else if (boat.CountingDown) {
    StartLevel(form, race.Level + 1);
  } else if (race.TimeLeft > 0) {
    // The last ten seconds tick aloud.
    if (race.TimeLeft < 10000 && (race.TimeLeft - step) / 1000 < race.TimeLeft / 1000)
      form.PlaySound("Tick");
    race.TimeLeft -= step;
  } else if (boat.ForwardSpeed > 0) {
    boat.SlowdownMode = smBrake;
    boat.TargetSpeed = 0;
  } else if (boat.Y > race.FinishLineY) {
    if (race.Lives > 0) --race.Lives;
    OpenDialog(form, race.Lives == 0 ? 8 : 3);
  }
}

void ReadControls(TMForm& form) {
  TMyCarSprite& boat = *form.Race.PlayerBoat;
  const TDXInputStates& states = form.MDXInput->States;
  boat.ThrottleHeld = states.test(isUp);
  if (states.test(isDown)) boat.Brake();
  boat.LeftHeld = states.test(isLeft);
  boat.RightHeld = states.test(isRight);
  if (states.test(isButton8) || form.CtrlHeld) {
    if (!boat.Firing && boat.UpgradeGun) form.PlaySound("Shot");
    boat.Firing = 1;
  } else {
    if (boat.Firing) form.StopSound("Shot");
    boat.Firing = 0;
  }
}

}  // namespace

void RaceFrame(TMForm& form, int32_t lagCount) {
  // The restarted level's banner (or the race itself) is the first place a pause owed to
  // a minimise can go.
  if (form.Dialog.PauseOwed && RaceDialogMayBeReplaced(form)) {
    form.Dialog.PauseOwed = false;
    OpenDialog(form, 2);
  }
  if (form.ActiveDialog != 0) {
    DrawDialogOverlay(form, lagCount);
  } else {
    if (form.PausePressed) OpenDialog(form, 2);
    if (form.EscapePressed) OpenDialog(form, 4);
    RenderFrame(form, lagCount, true);
  }
  // A dialog may have ended the race.
  if (form.CurrentScreen != 1) return;

  if (form.MDXDraw->CanDraw()) {
    DrawSpeedNeedle(form);
    DrawHudNumbers(form);
    DrawUpgradeTimer(form);
  }

  if (form.ActiveDialog == 0) {
    TRaceState& race = form.Race;
    TMyCarSprite& boat = *race.PlayerBoat;
    TCaptionSprite& marker = *race.ProgressMarker;
    if (marker.Y > 41) marker.Y = 322 - 281 * boat.Distance / LevelLength(race.Level);

    RunClock(form);

    if (boat.Y < race.FinishLineY && !boat.Finished) {
      form.PlaySound("Finish");
      boat.BoatState = bsFinished;
      boat.SlowdownMode = smBrake;
      boat.TargetSpeed = 0;
      boat.Finished = 1;
    }

    // An absent upgrade never counts as the one that runs out first.
    if (!boat.UpgradeGun) boat.GunTime = InactiveUpgradeMs;
    if (!boat.UpgradeEngine) boat.EngineTime = InactiveUpgradeMs;
    if (!boat.UpgradeShield) boat.ShieldTime = InactiveUpgradeMs;

    ReadControls(form);

    SpawnBankDecor(form);
    SpawnTrackObjects(form);
    CullTrackObjects(form);
  }

  PresentFrame(form);
}
