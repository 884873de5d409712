// Window events the input states do not cover: the mouse points at buttons and clicks,
// typed characters edit the name and the free text, Ctrl fires, Alt+Enter switches the
// display mode.
#include "app/MForm.h"
#include "app/TextEntry.h"
#include "game/menus/MenuButton.h"
#include "media/DXInput/DXInput.h"
#include "media/Platform/GameController.h"
#include "media/Platform/Keyboard.h"

namespace {

bool PointOnButton(const TMenuButton* b, int32_t x, int32_t y) {
  // Both edges count, so a pointer on the right or bottom edge still hits.
  return b && b->X <= x && x <= b->X + b->Width && b->Y <= y && y <= b->Y + b->Height;
}

}  // namespace

void TMForm::MDXDrawMouseMove(uint8_t /*shift*/, int x, int y) {
  MouseX = x;
  MouseY = y;
  if (ActiveDialog != 0) {
    // Inside a dialog, leaving its buttons leaves none hot.
    HotButton = 0;
    for (int32_t a = Menu.FirstButton; a >= 1 && a <= Menu.LastButton && a <= 12; ++a)
      if (PointOnButton(Menu.Buttons[a], MouseX, MouseY)) {
        HotButton = a;
        return;
      }
    return;
  }
  // On the menus the last button touched stays hot when the pointer leaves it.
  for (int32_t a = 1; a <= Menu.ButtonCount && a <= 12; ++a)
    if (PointOnButton(Menu.Buttons[a], MouseX, MouseY)) {
      HotButton = a;
      return;
    }
  // The language switch is there only while the main menu is.
  if (CurrentScreen == 0 && PointOnButton(Menu.Buttons[LanguageSwitchSlot], MouseX, MouseY))
    HotButton = LanguageSwitchSlot;
}

void TMForm::FormKeyDown(uint16_t& key, uint8_t shift) {
  if (key == Platform::VK_CONTROL) CtrlHeld = true;
  if (key == Platform::VK_RETURN) {
    // Held a little long, the key repeats: the display would switch back and forth.
    if ((shift & Platform::ssAlt) && !EnterHeld) ToggleFullScreen();
    EnterHeld = true;
  }
}

void TMForm::FormKeyUp(uint16_t& key, uint8_t /*shift*/) {
  if (key == Platform::VK_CONTROL) CtrlHeld = false;
  if (key == Platform::VK_RETURN) EnterHeld = false;
}

void TMForm::FormKeyPress(uint8_t& key) {
  constexpr uint8_t Enter = 13, Escape = 27, Backspace = 8;
  const bool typing = (CurrentScreen == 1 && ActiveDialog == 5) ||
                      (CurrentScreen == 2 && OptionsScreen.EditingAddInfo);
  if (!typing && key != Enter && key != Escape && key != Backspace) return;

  if (CurrentScreen == 1) {
    if (key == Enter) MDXDrawClick();
    if (ActiveDialog == 5) {
      if (key == Backspace) Race.PlayerName = DropLast(Race.PlayerName);
      if (Race.PlayerName.size() < 12 && key >= 32)
        Race.PlayerName = AppendLimited(Race.PlayerName, char(key), 10);
    }
    return;
  }
  if (CurrentScreen == 2) {
    if (key == Enter) MDXDrawClick();
    if (key == Escape) {
      HotButton = 2;
      MDXDrawClick();
      return;
    }
    if (HotButton == 10 && OptionsScreen.EditingAddInfo) {
      if (key == Backspace)
        Options.AddInfo = DropLast(Options.AddInfo);
      else if (key >= '0' || key == ' ')
        Options.AddInfo = AppendLimited(Options.AddInfo, char(key), 10);
    }
    return;
  }
  if (key == Escape) {
    switch (CurrentScreen) {
      case 3: HotButton = 3; break;
      case 4: HotButton = 4; break;
      case 8: HotButton = 1; break;
      default: break;
    }
  }
  if (!(CurrentScreen == 0 && key == Escape)) ButtonClick(true);
}

void TMForm::RouteControllerButtons() {
  const uint32_t buttons = MDXInput->Joystick.Buttons;
  const uint32_t pressed = buttons & ~ControllerButtonsBefore;
  ControllerButtonsBefore = buttons;
  // On the questions A and B already answer Yes and No through the input states.
  if (ActiveDialog == 4 || ActiveDialog == 6 || ActiveDialog == 9 || ActiveDialog == 10) return;
  const bool racing = CurrentScreen == 1;
  if ((pressed & (1u << Platform::cbA)) && (!racing || ActiveDialog == 5)) {
    uint8_t enter = 13;
    FormKeyPress(enter);
  }
  if ((pressed & (1u << Platform::cbB)) && !racing) {
    uint8_t escape = 27;
    FormKeyPress(escape);
  }
}
