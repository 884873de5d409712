// The overlays: a window picture with Russian text, sometimes two buttons or a timer,
// drawn over the screen while the screen underneath stands still.
#include "game/race/Dialogs.h"

#include "app/MForm.h"
#include "game/menus/Menu.h"
#include "game/menus/MenuButton.h"
#include "game/race/Text.h"
#include "game/race/Texts.h"
#include "game/track/CaptionSprite.h"
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
  TDialogState& d = form.Dialog;
  const uint8_t k = form.ActiveDialog;
  if (k == 0) return;
  if (k == 9 || k == 10) {
    FreeDialogButtons(form);
    RestoreMenuRanges(form);
    if (k == 9 && form.CurrentScreen == 1) form.HideSystemCursor();
  }
  if (HasWindow(k)) {
    delete d.Window;
    d.Window = nullptr;
  }
  form.ActiveDialog = 0;
}

void DrawDialogOverlay(TMForm& form, int32_t lagCount) {
  RenderFrame(form, lagCount, false);
  switch (form.ActiveDialog) {
    case 9:
      UpdateDialogButtonHighlight(form);
      NavigateHorizontal(form, true);
      RenderFrame(form, lagCount, false);
      DrawTexts(form, 7, {{257, std::string(Texts::LeaveGame)}});
      PresentFrame(form);
      ClickOnYesNo(form, 11, 12);
      break;
    case 10:
      UpdateDialogButtonHighlight(form);
      NavigateHorizontal(form, true);
      RenderFrame(form, lagCount, false);
      DrawTexts(form, 10, {{257, std::string(Texts::ClearRecords)}});
      PresentFrame(form);
      ClickOnYesNo(form, 11, 12);
      break;
    default:
      break;
  }
}
