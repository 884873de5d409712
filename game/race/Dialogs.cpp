// The overlays: a window picture with Russian text, sometimes two buttons or a timer,
// drawn over the screen while the screen underneath stands still.
#include "game/race/Dialogs.h"

#include <string>

#include "app/MForm.h"
#include "game/language/Language.h"
#include "game/menus/Menu.h"
#include "game/menus/MenuButton.h"
#include "game/race/Hud.h"
#include "game/race/MyCarSprite.h"
#include "game/race/Race.h"
#include "game/race/SendQuestion.h"
#include "game/race/Text.h"
#include "game/track/CaptionSprite.h"
#include "game/track/Explosion.h"
#include "game/track/WallSprite.h"
#include "media/DXClass/DXTimer.h"
#include "media/DXDraws/DXDraw.h"

namespace {

bool HasWindow(uint8_t k) { return k != 0 && k != 1 && k != 2 && k != 3 && k != 8; }

void CreateButtons(TMForm& form, int32_t firstSlot, int32_t x, int32_t y) {
  auto* yes = new TMenuButton(form, "YesButton", "YesButton", 0, 1, x, y);
  auto* no = new TMenuButton(form, "NoButton", "NoButton", 0, 1, x + 107, y);
  yes->SetZ(6);
  no->SetZ(6);
  form.Menu.Buttons[firstSlot] = yes;
  form.Menu.Buttons[firstSlot + 1] = no;
}

// A race question uses slots 1 and 2, free while the race runs.
void OpenRaceQuestion(TMForm& form, int32_t hot, int32_t x, int32_t y) {
  form.StopSound("Engine");
  form.ShowSystemCursor();
  form.Menu.ButtonCount = 2;
  form.HotButton = hot;
  form.Menu.FirstButton = 1;
  form.Menu.LastButton = 2;
  CreateButtons(form, 1, x, y);
}

// A question over any screen keeps the screen's own button ranges to give them back.
void SaveMenuRanges(TMForm& form) {
  TDialogState& d = form.Dialog;
  d.SavedFirstButton = form.Menu.FirstButton;
  d.SavedLastButton = form.Menu.LastButton;
  d.SavedHotButton = form.HotButton;
  d.SavedButtonCount = form.Menu.ButtonCount;
}

void RestoreMenuRanges(TMForm& form) {
  const TDialogState& d = form.Dialog;
  form.Menu.FirstButton = d.SavedFirstButton;
  form.Menu.LastButton = d.SavedLastButton;
  form.HotButton = d.SavedHotButton;
  form.Menu.ButtonCount = d.SavedButtonCount;
}

void DrawTexts(TMForm& form, int font, std::initializer_list<std::pair<int32_t, std::string>> lines) {
  SetFont(form, font);
  for (const auto& [y, text] : lines) DrawString(form, text, 400, y, true);
}

void ClickOnYesNo(TMForm& form, int32_t yes, int32_t no) {
  if (form.YesPressed) {
    form.HotButton = yes;
    form.MDXDrawClick();
  } else if (form.NoPressed) {
    form.HotButton = no;
    form.MDXDrawClick();
  }
}

// Under the time-over and game-over announcements the explosions play out over the
// frozen course.
void PlayOutExplosions(TMForm& form, int32_t lagCount) {
  if (form.Race.PlayerExplosion) form.Race.PlayerExplosion->Advance(lagCount);
  TTrackState& track = form.Track;
  for (int32_t i = 1; i <= 30; ++i)
    if (track.TrackObjectUsed[i] == 1 && track.TrackObjects[i]->Dying)
      track.TrackObjects[i]->Advance(lagCount);
  CullTrackObjects(form);
}

// A timed announcement: true once its time is up.
bool TimeUp(TMForm& form) {
  if (form.Dialog.DialogTimer > 0) {
    form.Dialog.DialogTimer -= form.FrameStepMs;
    return false;
  }
  return true;
}

}  // namespace

void OpenDialog(TMForm& form, uint8_t k) {
  TDialogState& d = form.Dialog;
  form.StopSound("Shot");
  if (form.ActiveDialog != 0) CloseDialog(form);
  form.ActiveDialog = k;
  if (HasWindow(k)) {
    d.Window = new TCaptionSprite(form, "Window");
    d.Window->X = 210;
    d.Window->Y = 200;
    d.Window->SetZ(5);
  }
  switch (k) {
    case 1:
      d.DialogTimer = 2000;
      break;
    case 2:
      form.StopSound("Engine");
      break;
    case 3:
      form.PlaySound("TimeOver");
      d.DialogTimer = 3000;
      break;
    case 4:
      OpenRaceQuestion(form, 2, 307, 340);
      break;
    case 5:
      form.StopSound("Engine");
      d.TextCursor = new TCaptionSprite(form, "Cursor");
      d.TextCursor->X = 217;
      d.TextCursor->Y = 363;
      d.TextCursor->SetZ(7);
      d.TextCursor->Visible = false;
      d.CursorBlinkTimer = 0;
      break;
    case 6:
      OpenRaceQuestion(form, 1, 315, 344);
      break;
    case 8:
      form.StopSound("Engine");
      form.PlaySound("GameOver");
      d.DialogTimer = 2000;
      break;
    case 9:
    case 10:
      form.ShowSystemCursor();
      SaveMenuRanges(form);
      form.Menu.ButtonCount = 2;
      form.HotButton = 12;
      form.Menu.FirstButton = 11;
      form.Menu.LastButton = 12;
      CreateButtons(form, 11, 315, 344);
      break;
    default:
      break;
  }
}

void CloseDialog(TMForm& form) {
  const uint8_t k = form.ActiveDialog;
  if (form.CurrentScreen == 1) {
    form.PlaySound("Engine");
    const TMyCarSprite* boat = form.Race.PlayerBoat;
    if (boat && boat->Firing && (k == 2 || (k == 4 && form.HotButton == 2))) form.PlaySound("Shot");
  }
  if (k == 0) return;
  if (k == 4 || k == 6) form.HideSystemCursor();
  if (k == 9 && form.CurrentScreen == 1) form.HideSystemCursor();
  if (k == 8) {
    form.ActiveDialog = 0;
    if (QualifiesForHighScore(form))
      OpenDialog(form, 5);
    else
      ReturnToMenuAfterRace(form);
    return;
  }
  DropDialog(form);
}

void DropDialog(TMForm& form) {
  TDialogState& d = form.Dialog;
  const uint8_t k = form.ActiveDialog;
  if (k == 4 || k == 6) FreeButtons(form);
  if (k == 9 || k == 10) {
    FreeDialogButtons(form);
    RestoreMenuRanges(form);
  }
  if (k == 5) FreeSprite(d.TextCursor);
  if (HasWindow(k)) FreeSprite(d.Window);
  d.Sending = d.SendOver = false;
  form.ActiveDialog = 0;
}

void DrawDialogOverlay(TMForm& form, int32_t lagCount) {
  TDialogState& d = form.Dialog;
  TRaceState& race = form.Race;
  const TTexts& texts = Texts(form);
  RenderFrame(form, lagCount, false);
  if (form.CurrentScreen == 1) {
    DrawSpeedNeedle(form);
    if (race.PlayerBoat && !race.PlayerBoat->UpgradeGun) form.StopSound("Shot");
  }
  switch (form.ActiveDialog) {
    case 1:
      DrawTexts(form, 13, {{268, std::string(texts.Level) + std::to_string(race.Level)}});
      if (TimeUp(form)) CloseDialog(form);
      break;
    case 2:
      DrawTexts(form, 13, {{268, std::string(texts.Pause)}});
      if (form.PausePressed || form.EscapePressed) CloseDialog(form);
      break;
    case 3:
      DrawTexts(form, 13, {{249, std::string(texts.TimeIsUp)}, {307, std::string(texts.TryAgain)}});
      if (TimeUp(form)) {
        CloseDialog(form);
        StartLevel(form, race.Level);
      }
      PlayOutExplosions(form, lagCount);
      break;
    case 8:
      DrawTexts(form, 13, {{273, std::string(texts.GameOver)}});
      if (!TimeUp(form)) {
        PlayOutExplosions(form, lagCount);
      } else {
        CloseDialog(form);
        return;
      }
      break;
    case 4:
    case 6:
      UpdateButtonHighlight(form);
      NavigateHorizontal(form, true);
      if (form.ActiveDialog == 4) {
        DrawTexts(form, 7, {{257, std::string(texts.LeaveGame)}});
        if (form.EscapePressed) CloseDialog(form);
      } else {
        DrawTexts(form, 12, {{237, std::string(texts.SendResult)},
                             {267, std::string(texts.ToWorldPage)},
                             {297, std::string(texts.Records)}});
      }
      break;
    case 5:
      DrawTexts(form, 12, {{248, std::string(texts.YourResult) + std::to_string(race.Score)},
                           {290, std::string(texts.EnterName)},
                           {335, race.PlayerName}});
      d.TextCursor->X = TextWidth(form, race.PlayerName) / 2.0 + 400;
      d.CursorBlinkTimer -= int32_t(form.MDXTimer->Interval());
      if (d.CursorBlinkTimer <= 0) {
        d.TextCursor->Visible = !d.TextCursor->Visible;
        d.CursorBlinkTimer = 500;
      }
      break;
    case 7:
      DrawTexts(form, 7, {{277, std::string(texts.Sending)}});
      FinishSendingWhenDone(form);
      break;
    case 9:
    case 10:
      UpdateDialogButtonHighlight(form);
      NavigateHorizontal(form, true);
      RenderFrame(form, lagCount, false);
      if (form.ActiveDialog == 9)
        DrawTexts(form, 7, {{257, std::string(texts.LeaveGame)}});
      else
        DrawTexts(form, 10, {{257, std::string(texts.ClearRecords)}});
      PresentFrame(form);
      break;
    default:
      break;
  }
  switch (form.ActiveDialog) {
    case 4:
    case 6:
      ClickOnYesNo(form, 1, 2);
      break;
    case 9:
    case 10:
      ClickOnYesNo(form, 11, 12);
      break;
    default:
      break;
  }
}

void GameOverNow(TMForm& form) {
  form.Race.Lives = 0;
  OpenDialog(form, 8);
}

bool RaceDialogMayBeReplaced(const TMForm& form) {
  const uint8_t k = form.ActiveDialog;
  return k == 0 || k == 1 || k == 2 || k == 4;
}
