// Boat choice, help pages and high scores: a panel and a few buttons over the main menu,
// whose own button for the screen stays lit.
#include <string>

#include "app/MForm.h"
#include "game/menus/Menu.h"
#include "game/menus/MenuButton.h"
#include "game/menus/Screens.h"
#include "game/race/Text.h"
#include "game/track/CaptionSprite.h"
#include "media/DXClass/DXTimer.h"
#include "media/DXDraws/PictureCollection.h"

namespace {

struct TScreenButton {
  const char* Active;
  const char* Inactive;
  int32_t ActivePattern, InactivePattern, X, Y;
};

struct TScreenLayout {
  int32_t Screen;
  int32_t ButtonCount, FirstButton, LastButton, HotButton;
  const TScreenButton* Buttons;  // slots FirstButton..LastButton
};

constexpr TScreenButton BoatButtons[] = {
    {"MenuBoat1_A", "MenuBoat1_I", 0, 0, 28, 192},
    {"MenuBoat2_A", "MenuBoat2_I", 0, 0, 195, 192},
    {"MenuBoat3_A", "MenuBoat3_I", 0, 0, 370, 192},
};
constexpr TScreenButton HelpButtons[] = {
    {"Previous", "Previous", 1, 0, 70, 511},
    {"Next", "Next", 1, 0, 336, 511},
};
constexpr TScreenButton HighScoreButtons[] = {
    {"ClearHS", "ClearHS", 1, 0, 245, 488},
    {"ViewHS", "ViewHS", 1, 0, 148, 530},
};
constexpr TScreenLayout BoatLayout{8, 9, 7, 9, 7, BoatButtons};
constexpr TScreenLayout HelpLayout{4, 8, 7, 8, 8, HelpButtons};
constexpr TScreenLayout HighScoreLayout{3, 8, 7, 8, 8, HighScoreButtons};

constexpr const char* HelpPages[] = {"", "Help1", "Help2", "Help3"};

// Opens a screen: its codes and ranges, then its panel and buttons.
TCaptionSprite* OpenScreen(TMForm& form, const TScreenLayout& layout, const char* panel) {
  TMenuState& m = form.Menu;
  form.CurrentScreen = layout.Screen;
  m.MuteNextHoverSound = false;
  m.ButtonCount = layout.ButtonCount;
  m.FirstButton = layout.FirstButton;
  m.LastButton = layout.LastButton;
  form.HotButton = layout.HotButton;
  m.MenuCaption->Visible = false;
  HideLanguageSwitch(form);
  form.MDXTimer->SetEnabled(true);
  auto* caption = new TCaptionSprite(form, panel);
  caption->X = 12;
  caption->Y = 106;
  caption->SetZ(2);
  for (int32_t slot = layout.FirstButton; slot <= layout.LastButton; ++slot) {
    const TScreenButton& b = layout.Buttons[slot - layout.FirstButton];
    m.Buttons[slot] = new TMenuButton(form, b.Active, b.Inactive, b.ActivePattern,
                                      b.InactivePattern, b.X, b.Y);
  }
  return caption;
}

void CloseScreen(TMForm& form, TCaptionSprite*& caption, const TScreenLayout& layout) {
  FreeSprite(caption);
  FreeButtonSlots(form, layout.FirstButton, layout.LastButton);
  form.MDXTimer->SetEnabled(false);
}

// Pointing at another main-menu button leaves the screen at once.
void LeaveForMainMenu(TMForm& form, int32_t ownSlot, void (*close)(TMForm&)) {
  const int32_t hot = form.HotButton;
  if (hot == 0 || hot == ownSlot || (hot >= 7 && hot <= form.Menu.LastButton)) return;
  close(form);
  ShowMainMenu(form, false, 0);
}

}  // namespace

void ShowBoatScreen(TMForm& form) {
  form.Menu.BoatScreenCaption = OpenScreen(form, BoatLayout, "StartGameB");
}

void BoatScreenFrame(TMForm& form, int32_t lagCount) {
  NavigateHorizontal(form, true);
  UpdateButtonHighlight(form);
  form.Menu.Buttons[1]->SetActive();
  LeaveForMainMenu(form, 1, CloseBoatScreen);
  RenderFrame(form, lagCount, true);
  PresentFrame(form);
}

void CloseBoatScreen(TMForm& form) { CloseScreen(form, form.Menu.BoatScreenCaption, BoatLayout); }

void ShowHelpScreen(TMForm& form) {
  form.Menu.HelpPage = 1;
  form.Menu.HelpCaption = OpenScreen(form, HelpLayout, HelpPages[1]);
}

void HelpScreenFrame(TMForm& form, int32_t lagCount) {
  UpdateButtonHighlight(form);
  NavigateHorizontal(form, false);
  // A step past the end of the row turns the page, as a click on that button would.
  if (form.Menu.NavHitEdge) {
    form.MDXDrawClick();
    form.Menu.NavHitEdge = false;
  }
  form.Menu.Buttons[4]->SetActive();
  LeaveForMainMenu(form, 4, CloseHelpScreen);
  RenderFrame(form, lagCount, true);
  PresentFrame(form);
}

void CloseHelpScreen(TMForm& form) { CloseScreen(form, form.Menu.HelpCaption, HelpLayout); }

void TurnHelpPage(TMForm& form, int32_t button) {
  int32_t& page = form.Menu.HelpPage;
  if (button == 7)
    page = page == 1 ? 3 : page - 1;
  else
    page = page == 3 ? 1 : page + 1;
  // The panel keeps the size of the first page.
  form.Menu.HelpCaption->Image = &form.MDXImageList->Items.Find(HelpPages[page]);
}

void ShowHighScoreScreen(TMForm& form) {
  form.Menu.HighScoreCaption = OpenScreen(form, HighScoreLayout, "HSB");
}

void HighScoreScreenFrame(TMForm& form, int32_t lagCount) {
  UpdateButtonHighlight(form);
  NavigateVertical(form, true);
  form.Menu.Buttons[3]->SetActive();
  LeaveForMainMenu(form, 3, CloseHighScoreScreen);
  RenderFrame(form, lagCount, true);
  DrawHighScores(form);
  PresentFrame(form);
}

void CloseHighScoreScreen(TMForm& form) {
  CloseScreen(form, form.Menu.HighScoreCaption, HighScoreLayout);
}

void DrawHighScores(TMForm& form) {
  SetFont(form, 1);
  for (int32_t r = 1; r <= 10; ++r) {
    const THighScore& entry = form.HighScoreTable.HighScores[r];
    const int32_t y = 152 + 32 * (r - 1);
    DrawString(form, std::to_string(r), 62, y, true);
    DrawString(form, entry.Name, 214, y, true);
    DrawString(form, std::to_string(entry.Points), 435, y, true);
  }
}
