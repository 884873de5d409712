// A race: the boat choice sets it up, levels follow one another without end, and the
// last life or the leave question tears it down again.
#include "game/race/Race.h"

#include "app/MForm.h"
#include "game/menus/Menu.h"
#include "game/race/Dialogs.h"
#include "game/race/Hud.h"
#include "game/race/MyCarAnim.h"
#include "game/race/MyCarSprite.h"
#include "game/track/CaptionSprite.h"
#include "game/track/Explosion.h"
#include "game/track/ScrollBackground.h"
#include "game/track/WallSprite.h"
#include "media/DXClass/DXTimer.h"
#include "media/DXDraws/PictureCollection.h"

namespace {

constexpr TBoatRow Boats[] = {
    {125.0 / 7, 0.06, 0.2},
    {125.0 / 7, 0.06, 0.2},
    {125.0 / 7, 0.06, 0.2},
};

// [1..28]; index 0 unused.
constexpr double BaseChances[29] = {
    0,    0.1,  0.1,   0.1,  0.1,   0.1,  0.1,   0.05, 0.05,  0.05, 0.05,  0.3,  0.05,  0.05, 0.05,
    0.1,  0.02, 0.02,  0.005, 0.02, 0.005, 0.02, 0.005, 0.02, 0.005, 0.02, 0.005, 0.02, 0.005};
constexpr double ChanceFactors[29] = {
    0,   1.2, 1.2, 1.2, 1.2, 1.2, 1.2, 1.2, 1.2, 1.2, 1.2, 1.2, 1.2, 1.2, 1.2,
    1.2, 1.2, 1.2, 1.4, 1.2, 1.4, 1.2, 1.4, 1.2, 1.4, 1.2, 1.4, 1.2, 1.4};

TCaptionSprite* MakeCaption(TMForm& form, const char* name, double x, double y, int32_t z) {
  auto* caption = new TCaptionSprite(form, name);
  caption->X = x;
  caption->Y = y;
  caption->SetZ(z);
  return caption;
}

}  // namespace

const TBoatRow& BoatTable(int32_t boatType) {
  return Boats[boatType >= 1 && boatType <= 3 ? boatType - 1 : 0];
}

double BaseSpawnChance(int32_t index) { return index >= 1 && index <= 28 ? BaseChances[index] : 0; }

int32_t LevelTimeLimit(int32_t n) { return 60000 + 30000 * ((n - 1) / 2); }

int32_t LevelLength(int32_t n) { return 24000 * ((n - 1) / 2 + 1); }

void StartRace(TMForm& form) {
  TRaceState& race = form.Race;
  form.PlaySound("Engine");
  form.CurrentScreen = 1;
  form.PlayScreenMusic();
  form.Menu.ButtonCount = 0;
  form.HideSystemCursor();

  form.Background->Image = &form.MDXImageList3->Items.Find("Land");
  form.Background->X = 124;

  race.LeftPanel = MakeCaption(form, "LeftPanel", 0, 0, 3);
  race.RightPanel = MakeCaption(form, "RightPanel", 0, 0, 3);
  race.RightPanel->X = 799 - race.RightPanel->Width;
  race.ProgressMarker = MakeCaption(form, "BoatSmall", 0, 322, 4);
  race.ProgressMarker->X = 736 - race.ProgressMarker->Width / 2.0;
  race.SpeedNeedle = MakeCaption(form, "Pointer", 0, 572, 4);
  race.SpeedNeedle->X = 749 - race.SpeedNeedle->Width;
  race.SpeedNeedle->Visible = false;
  race.NeedleWobbleTimer = -1;
  race.NeedleWobble = 0;

  race.PlayerBoat = new TMyCarSprite(form, race.SelectedBoat);
  TMyCarSprite& boat = *race.PlayerBoat;
  boat.Controllable = 1;

  const double wakeX = boat.X - (84 - boat.Width) / 2.0;
  race.PlayerWake = new TMyCarAnim(form, "CarAnim", int32_t(wakeX), int32_t(boat.Y), boat.Z());
  race.PlayerWake->Visible = false;
  race.EnemyWakeClock = new TMyCarAnim(form, "CarAnim", int32_t(wakeX), int32_t(boat.Y), boat.Z());
  race.EnemyWakeClock->AnimRate = form.FrameStepMs / 1000.0 * 5;
  race.EnemyWakeClock->Visible = false;
  race.EngineFlameClock = new TExplosion(form, "EngineFire", 0, 0);
  race.EngineFlameClock->X = boat.CenterX - race.EngineFlameClock->Width / 2.0;
  race.EngineFlameClock->Y = boat.CenterY + 41;
  race.EngineFlameClock->SetZ(6);
  race.GunFlashClock = new TExplosion(form, "BoatGunFire", boat.X, boat.Y);
  race.GunFlashClock->SetZ(7);
  race.GunFlashClock->AnimRate = form.FrameStepMs / 1000.0 * 30;
  race.UpgradeIcons[uiGun] = MakeCaption(form, "PanelGun", 721, 416, 4);
  race.UpgradeIcons[uiEngine] = MakeCaption(form, "PanelEngine", 713, 414, 4);
  race.UpgradeIcons[uiShield] = MakeCaption(form, "PanelShield", 715, 414, 4);
  race.UpgradeIcons[uiNone] = MakeCaption(form, "None", 710, 426, 4);
  for (TCaptionSprite* icon : race.UpgradeIcons) icon->Visible = false;
  race.PlayerExplosion = new TExplosion(form, "ExplosionBig", 400, 300);
  race.PlayerExplosion->SetZ(6);

  form.Track.TrackObjects.fill(nullptr);
  form.Track.TrackObjectUsed.fill(0);
  form.MDXTimer->SetEnabled(true);
  DrawSpeedNeedle(form);

  // Nothing of the game before carries over, so that a recorded game replays from its own
  // start.
  race.EnteredTable = race.ResultSent = false;
  race.LastExplosionFrame = 0;
  form.Dialog.CursorBlinkTimer = 0;
  race.Score = 0;
  race.Lives = 3;
  form.Dialog.PauseOwed = false;  // owed by a game that has ended
  StartLevel(form, 1);
}

void StartLevel(TMForm& form, int32_t n) {
  TRaceState& race = form.Race;
  TMyCarSprite& boat = *race.PlayerBoat;
  boat.FinishSpawned = boat.Finished = boat.CountingDown = 0;
  boat.UpgradeGun = boat.UpgradeEngine = boat.UpgradeShield = 0;
  boat.BoatState = bsRacing;
  race.Level = n;
  form.Track.SpawnDistance = 0;
  form.Track.BatchCount = 0;
  race.TimeLeft = LevelTimeLimit(n);
  const TBoatRow& row = BoatTable(race.SelectedBoat);
  boat.MaxSpeed = row.MaxSpeed;
  boat.Acceleration = row.Acceleration;
  boat.BrakeStep = row.BrakeStep;
  boat.Heading = 0;
  boat.ForwardSpeed = 0;
  boat.Distance = 0;
  boat.TargetSpeed = 0;
  boat.SlowdownMode = smNone;
  boat.SpinTime = 0;
  boat.Controllable = 1;
  boat.SetZ(4);
  // A level restarted while the boat was still exploding would go on with a hidden boat.
  boat.Visible = true;
  race.PlayerWake->Visible = false;
  race.PlayerExplosion->Visible = false;
  race.ProgressMarker->Y = 322;
  FreeTrackObjects(form);
  race.FinishLineY = -100.0;
  for (int32_t i = 1; i <= 28; ++i)
    form.Track.SpawnChance[i] = n == 1 ? BaseChances[i] : BaseChances[i] * ChanceFactors[i];
  OpenDialog(form, 1);
}

void EndRace(TMForm& form) {
  TRaceState& race = form.Race;
  form.StopSound("Engine");
  form.StopMusic();
  form.ShowSystemCursor();
  form.MDXTimer->SetEnabled(false);
  form.Background->X = 0;
  form.Background->Y = 0;
  form.ScrollStep = 0;
  FreeTrackObjects(form);
  FreeSprite(race.LeftPanel);
  FreeSprite(race.RightPanel);
  FreeSprite(race.ProgressMarker);
  FreeSprite(race.SpeedNeedle);
  FreeSprite(race.PlayerBoat);
  FreeSprite(race.PlayerWake);
  FreeSprite(race.EnemyWakeClock);
  FreeSprite(race.EngineFlameClock);
  FreeSprite(race.GunFlashClock);
  for (TCaptionSprite*& icon : race.UpgradeIcons) FreeSprite(icon);
  FreeSprite(race.PlayerExplosion);
}

void ReturnToMenuAfterRace(TMForm& form) {
  EndRace(form);
  ShowMainMenu(form, true, 3);
}

void FreeTrackObjects(TMForm& form) {
  TTrackState& track = form.Track;
  for (int32_t i = 1; i <= 30; ++i)
    if (track.TrackObjectUsed[i] == 1) {
      FreeSprite(track.TrackObjects[i]);
      track.TrackObjectUsed[i] = 0;
    }
}

bool QualifiesForHighScore(TMForm& form) {
  return QualifiesForHighScore(form.HighScoreTable, form.Race.Score);
}
