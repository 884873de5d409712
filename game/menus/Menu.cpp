// The main menu: panels slide in from above and below, then the button column from the
// right; only then do the keys and clicks act.
#include "game/menus/Menu.h"

#include <algorithm>

#include "app/MForm.h"
#include "game/language/Language.h"
#include "game/menus/MenuButton.h"
#include "game/menus/Screens.h"
#include "game/track/CaptionSprite.h"
#include "game/track/ScrollBackground.h"
#include "media/DXClass/DXTimer.h"
#include "media/DXDraws/DXDraw.h"
#include "media/DXDraws/PictureCollection.h"
#include "media/DXInput/DXInput.h"

namespace {

struct TMainButton {
  const char* Active;
  const char* Inactive;
  int32_t Pattern;
  int32_t Y;
  const char* Caption;
};

// Slots 1..6: start, options, high scores, help, more games, exit.
constexpr TMainButton MainButtons[] = {
    {"MMB_Active", "MMB_Inactive", 0, 114, "StartC"},
    {"MMB_Active", "MMB_Inactive", 1, 174, "OptionsC"},
    {"MMB_Active", "MMB_Inactive", 2, 237, "HSC"},
    {"MMB_Active", "MMB_Inactive", 3, 299, "HelpC"},
    {"MMB_Active", "MMB_Inactive", 4, 361, "VisitWWWC"},
    {"MM_ExitActive", "MM_ExitInactive", 0, 423, "ExitC"},
};

// The switch sits in the bottom-left corner, clear of the caption and of the secondary
// screens' panels, which it would overlap; they hide it.
constexpr int32_t LanguageSwitchX = 8, LanguageSwitchY = 550;

void Unlight(TMenuButton* button) {
  button->SetInactive();
  button->Hovered = false;
}

void Highlight(TMForm& form, int32_t first, int32_t last, bool honourMute) {
  TMenuState& m = form.Menu;
  for (int32_t i = first; i <= last; ++i)
    if (i != form.HotButton && m.Buttons[i]) Unlight(m.Buttons[i]);
  if (form.HotButton < 1 || form.HotButton > LanguageSwitchSlot) return;
  TMenuButton* hot = m.Buttons[form.HotButton];
  if (!hot || hot->Hovered) return;
  if (honourMute && m.MuteNextHoverSound)
    m.MuteNextHoverSound = false;
  else
    form.PlaySound("B_Act");
  hot->SetActive();
  hot->Hovered = true;
}

// The switch shows the language in use; pattern 2n plain, 2n + 1 lit.
void ShowLanguageOnSwitch(TMForm& form) {
  TMenuButton* sw = form.Menu.Buttons[LanguageSwitchSlot];
  sw->InactivePattern = 2 * int32_t(form.Language.Current);
  sw->ActivePattern = sw->InactivePattern + 1;
  if (sw->Hovered)
    sw->SetActive();
  else
    sw->SetInactive();
}

// Left goes to the language switch; Right, Up or Down back to the button of the column that
// was hot before. Up and Down walk the column as they always did.
void NavigateLanguageSwitch(TMForm& form) {
  const TDXInputStates& states = form.MDXInput->States;
  TMenuState& m = form.Menu;
  if (!m.NavKeysReleased) return;
  if (form.HotButton == LanguageSwitchSlot) {
    if (!states.test(isRight) && !states.test(isUp) && !states.test(isDown)) return;
    form.HotButton = m.ColumnSlot;
  } else {
    if (!states.test(isLeft)) return;
    form.HotButton = LanguageSwitchSlot;
  }
  m.NavKeysReleased = false;
}

// One step of the hot button through FirstButton..LastButton, forwards or back.
void StepHotButton(TMForm& form, bool wrap, int32_t direction) {
  TMenuState& m = form.Menu;
  int32_t& hot = form.HotButton;
  m.NavHitEdge = false;
  if (hot < m.FirstButton || hot > m.LastButton) hot = m.FirstButton;
  const int32_t end = direction > 0 ? m.LastButton : m.FirstButton;
  if (hot != end)
    hot += direction;
  else if (wrap)
    hot = direction > 0 ? m.FirstButton : m.LastButton;
  else
    m.NavHitEdge = true;
  m.NavKeysReleased = false;
}

}  // namespace

void ShowMainMenu(TMForm& form, bool rebuild, int32_t entryMode) {
  TMenuState& m = form.Menu;
  form.CurrentScreen = 0;
  m.MuteNextHoverSound = entryMode == 3;
  m.ButtonCount = 6;
  m.FirstButton = 1;
  m.LastButton = 6;
  m.MenuEntryMode = entryMode;
  if (rebuild) {
    form.PlayScreenMusic();
    form.HotButton = entryMode == 3 ? 3 : 1;
    m.ColumnSlot = form.HotButton;
    m.MenuIntroPhase = 1;
    form.Background->Image = &form.MDXImageList->Items.Find("MMBackground");
    m.MenuCaption = new TCaptionSprite(form, "NullCaption");
    m.MenuCaption->X = 27;
    m.MenuCaption->Y = 190;
    m.UpPanelSprite = new TCaptionSprite(form, "UpPanel");
    m.UpPanelSprite->X = 0;
    m.UpPanelSprite->Y = -m.UpPanelSprite->Height;
    m.DownPanelSprite = new TCaptionSprite(form, "DownPanel");
    m.DownPanelSprite->X = 800 - m.DownPanelSprite->Width;
    m.DownPanelSprite->Y = 600;
    for (int32_t slot = 1; slot <= 6; ++slot) {
      const TMainButton& b = MainButtons[slot - 1];
      m.Buttons[slot] = new TMenuButton(form, b.Active, b.Inactive, b.Pattern, b.Pattern, 800, b.Y);
    }
    m.Buttons[LanguageSwitchSlot] = new TMenuButton(form, form.Language.Shared->Items, "LanguageSwitch",
                                                    "LanguageSwitch", 1, 0, LanguageSwitchX, LanguageSwitchY);
    ShowLanguageOnSwitch(form);
  }
  m.MenuCaption->Visible = true;
  m.Buttons[LanguageSwitchSlot]->Visible = true;
  form.MDXTimer->SetEnabled(true);
}

void MainMenuFrame(TMForm& form, int32_t lagCount) {
  TMenuState& m = form.Menu;
  if (m.MenuIntroPhase == 0) {
    NavigateLanguageSwitch(form);
    NavigateVertical(form, true);
    UpdateButtonHighlight(form);
    m.MenuCaption->Visible = true;
    // On the switch the caption of the column's button stays.
    if (form.HotButton == 0) {
      m.MenuCaption->Visible = false;
    } else if (form.HotButton >= 1 && form.HotButton <= 6) {
      m.ColumnSlot = form.HotButton;
      m.MenuCaption->SetPicture(MainButtons[form.HotButton - 1].Caption);
    }
    if (m.MenuEntryMode == 3) {
      ShowHighScoreScreen(form);
      m.MenuEntryMode = 0;
    }
  }
  if (m.MenuIntroPhase == 1) {
    TCaptionSprite& up = *m.UpPanelSprite;
    TCaptionSprite& down = *m.DownPanelSprite;
    if (up.Y < 0) up.Y += 1.75;
    if (down.Y > 600 - down.Height) down.Y -= 7.0 / 6.0;
    if (up.Y >= 0 && down.Y <= 600 - down.Height) m.MenuIntroPhase = 3;
  }
  if (m.MenuIntroPhase == 3) {
    if (m.Buttons[1]->X > 558) {
      for (int32_t i = 1; i <= m.ButtonCount; ++i) m.Buttons[i]->X -= 4;
    } else {
      m.MenuIntroPhase = 0;
    }
  }
  // The menu screen may have been left above (after a race the high scores open).
  RenderFrame(form, lagCount, true);
  PresentFrame(form);
}

void CloseMainMenu(TMForm& form) {
  TMenuState& m = form.Menu;
  FreeButtons(form);
  FreeSprite(m.Buttons[LanguageSwitchSlot]);
  FreeSprite(m.MenuCaption);
  FreeSprite(m.UpPanelSprite);
  FreeSprite(m.DownPanelSprite);
  form.MDXTimer->SetEnabled(false);
}

void UpdateButtonHighlight(TMForm& form) {
  TMenuButton* sw = form.Menu.Buttons[LanguageSwitchSlot];
  if (sw && form.HotButton != LanguageSwitchSlot) Unlight(sw);
  Highlight(form, 1, form.Menu.ButtonCount, true);
}

void ToggleLanguage(TMForm& form) {
  SetLanguage(form, NextLanguage(form.Language.Current));
  ShowLanguageOnSwitch(form);
}

void HideLanguageSwitch(TMForm& form) { form.Menu.Buttons[LanguageSwitchSlot]->Visible = false; }

void UpdateDialogButtonHighlight(TMForm& form) {
  Highlight(form, form.Menu.FirstButton, form.Menu.LastButton, false);
}

void SelectNextButton(TMForm& form, bool wrap) { StepHotButton(form, wrap, +1); }

void SelectPreviousButton(TMForm& form, bool wrap) { StepHotButton(form, wrap, -1); }

void NavigateVertical(TMForm& form, bool wrap) {
  const TDXInputStates& states = form.MDXInput->States;
  TMenuState& m = form.Menu;
  if (states.test(isUp) && m.NavKeysReleased) SelectPreviousButton(form, wrap);
  if (states.test(isDown) && m.NavKeysReleased) SelectNextButton(form, wrap);
  if (!states.test(isUp) && !states.test(isDown)) m.NavKeysReleased = true;
}

void NavigateHorizontal(TMForm& form, bool wrap) {
  const TDXInputStates& states = form.MDXInput->States;
  TMenuState& m = form.Menu;
  if (states.test(isRight) && m.NavKeysReleased) SelectNextButton(form, wrap);
  if (states.test(isLeft) && m.NavKeysReleased) SelectPreviousButton(form, wrap);
  if (!states.test(isLeft) && !states.test(isRight)) m.NavKeysReleased = true;
}

void RenderFrame(TMForm& form, int32_t lagCount, bool moveSprites) {
  if (!form.MDXDraw->CanDraw()) return;
  if (!form.SkipPictures) form.MDXDraw->Surface().Fill(0);
  if (moveSprites) form.MDXSpriteEngine->Move(lagCount);
  if (!form.SkipPictures) form.MDXSpriteEngine->Draw();
}

void PresentFrame(TMForm& form) {
  if (!form.MDXDraw->CanDraw() || form.SkipPictures) return;
  form.MDXDraw->Surface().ReleaseCanvas();
  form.MDXDraw->Flip();
}

void FreeButtonSlots(TMForm& form, int32_t first, int32_t last) {
  for (int32_t i = std::max(first, 1); i <= last && i <= 12; ++i) FreeSprite(form.Menu.Buttons[i]);
}

void FreeButtons(TMForm& form) {
  FreeButtonSlots(form, 1, form.Menu.ButtonCount);
  form.Menu.ButtonCount = 0;
}

void FreeDialogButtons(TMForm& form) {
  FreeButtonSlots(form, form.Menu.FirstButton, form.Menu.LastButton);
  form.Menu.ButtonCount = 0;
}
