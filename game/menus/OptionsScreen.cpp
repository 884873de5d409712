// The options screen: full screen, music and sound switches and the free text that
// travels with online results, edited in place with a blinking cursor.
#include <algorithm>

#include "app/MForm.h"
#include "game/menus/Menu.h"
#include "game/menus/MenuButton.h"
#include "game/menus/Screens.h"
#include "game/race/Text.h"
#include "game/track/CaptionSprite.h"
#include "media/DXClass/DXTimer.h"
#include "media/DXDraws/PictureCollection.h"

namespace {

constexpr int32_t RowY[] = {180, 240, 300, 360};
// The dark field of the free-text row: a hand-edited options file may hold a line far
// longer than ten characters, and it must not run over the menu buttons.
constexpr TRect AddInfoField{254, 357, 514, 396};

// Each switch row shows one of two pictures by its flag.
void ShowRow(TCaptionSprite* row, bool flag, const char* whenTrue, const char* whenFalse) {
  const char* wanted = flag ? whenTrue : whenFalse;
  if (row->Image->Name() != wanted) row->SetPicture(wanted);
}

}  // namespace

void ShowOptionsScreen(TMForm& form) {
  TMenuState& m = form.Menu;
  TOptionsScreenState& o = form.OptionsScreen;
  form.CurrentScreen = 2;
  m.MuteNextHoverSound = false;
  m.ButtonCount = 10;
  form.HotButton = 7;
  m.FirstButton = 7;
  m.LastButton = 10;
  m.MenuCaption->Visible = false;
  HideLanguageSwitch(form);
  form.MDXTimer->SetEnabled(true);
  const char* rows[] = {"Options1_1", "Options2_1", "Options3_1", "Options4"};
  for (int i = 0; i < 4; ++i) {
    o.Captions[i] = new TCaptionSprite(form, rows[i]);
    o.Captions[i]->X = 14;
    o.Captions[i]->Y = RowY[i];
  }
  UpdateOptionCaptions(form);
  for (int i = 0; i < 4; ++i)
    m.Buttons[7 + i] = new TMenuButton(form, "OptButton_A", "OptButton_I", 0, 0, 14, RowY[i]);
  o.Panel = new TCaptionSprite(form, "OptionsB");
  o.Panel->X = 12;
  o.Panel->Y = 106;
  o.Panel->SetZ(2);
  o.TextCursor = new TCaptionSprite(form, "Cursor");
  o.TextCursor->X = 264;
  o.TextCursor->Y = 381;
  o.TextCursor->SetZ(5);
  o.TextCursor->Visible = false;
  o.CursorBlinkTimer = 0;
  o.EditingAddInfo = false;
}

void OptionsFrame(TMForm& form, int32_t lagCount) {
  TOptionsScreenState& o = form.OptionsScreen;
  UpdateButtonHighlight(form);
  NavigateVertical(form, true);
  form.Menu.Buttons[2]->SetActive();
  if (form.HotButton != 10 && o.EditingAddInfo) StopEditing(form);
  switch (form.HotButton) {
    case 1: case 3: case 4: case 5: case 6:
      CloseOptionsScreen(form);
      ShowMainMenu(form, false, 0);
      RenderFrame(form, lagCount, true);
      PresentFrame(form);
      return;
    default:
      break;
  }
  RenderFrame(form, lagCount, true);
  if (o.EditingAddInfo) {
    SetFont(form, 3);
    o.TextCursor->X = std::min(TextWidth(form, form.Options.AddInfo) + 264,
                               AddInfoField.Right - o.TextCursor->Width);
    const int32_t interval = int32_t(form.MDXTimer->Interval());
    if (o.TextCursor->Visible) {
      o.CursorBlinkTimer -= interval;
      if (o.CursorBlinkTimer <= 0) {
        o.TextCursor->Visible = false;
        o.CursorBlinkTimer = 500;
      }
    }
    if (!o.TextCursor->Visible) {
      o.CursorBlinkTimer -= interval;
      if (o.CursorBlinkTimer <= 0) {
        o.TextCursor->Visible = true;
        o.CursorBlinkTimer = 500;
      }
    }
  }
  UpdateOptionCaptions(form);
  PresentFrame(form);
}

void CloseOptionsScreen(TMForm& form) {
  TOptionsScreenState& o = form.OptionsScreen;
  for (auto*& caption : o.Captions) FreeSprite(caption);
  FreeButtonSlots(form, 7, 10);
  FreeSprite(o.Panel);
  FreeSprite(o.TextCursor);
  o.EditingAddInfo = false;
  form.MDXTimer->SetEnabled(false);
}

void UpdateOptionCaptions(TMForm& form) {
  const TGameOptions& options = form.Options;
  auto& rows = form.OptionsScreen.Captions;
  ShowRow(rows[0], options.FullScreen, "Options1_2", "Options1_1");
  ShowRow(rows[1], options.MusicOn, "Options2_1", "Options2_2");
  ShowRow(rows[2], options.SoundOn, "Options3_1", "Options3_2");
  SetFont(form, 3);
  DrawStringClipped(form, options.AddInfo, 265, 357, AddInfoField);
}

void StartEditing(TMForm& form) {
  TOptionsScreenState& o = form.OptionsScreen;
  o.TextCursor->X = 264;
  o.TextCursor->Y = 381;
  o.CursorBlinkTimer = 500;
  o.EditingAddInfo = true;
}

void StopEditing(TMForm& form) {
  TOptionsScreenState& o = form.OptionsScreen;
  o.EditingAddInfo = false;
  if (o.TextCursor) o.TextCursor->Visible = false;
}
