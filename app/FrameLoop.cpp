// The frame loop and the one dispatcher that decides what a click or Enter does.
#include "app/MForm.h"
#include "media/DXInput/DXInput.h"

void TMForm::MDXTimerTimer(TDXTimer& /*sender*/, int32_t lagCount) {
  KeepMusicAlive();
  MDXInput->Update();
  PollKeyEdges();
  // The quit and clear-records questions take the frame from any screen; their overlay
  // draws the frame itself.
  if (ActiveDialog == 9 || ActiveDialog == 10) return;
  if (TFrameHandler handler = FrameHandlerOf(CurrentScreen)) (this->*handler)(lagCount);
}

TMForm::TFrameHandler TMForm::FrameHandlerOf(int32_t screen) {
  // Screen codes: 0 main menu, 1 race, 2 options, 3 high scores, 4 help, 8 boat choice.
  // Each screen's frame handler is listed here with the screen.
  switch (screen) {
    default:
      return nullptr;
  }
}

void TMForm::PollKeyEdges() {
  const TDXInputStates& states = MDXInput->States;
  auto edge = [](bool& pressed, bool& wasDown, bool down) {
    pressed = down && !wasDown;
    wasDown = down;
  };
  edge(PausePressed, PauseWasDown, states.test(isButton4));
  edge(EscapePressed, EscapeWasDown, states.test(isButton5));
  edge(YesPressed, YesWasDown, states.test(isButton6));
  edge(NoPressed, NoWasDown, states.test(isButton7));
}

void TMForm::ResetKeyEdges() {
  PausePressed = EscapePressed = YesPressed = NoPressed = false;
  PauseWasDown = EscapeWasDown = YesWasDown = NoWasDown = false;
}

void TMForm::ToggleSound() { SoundOn = !SoundOn; }

void TMForm::MDXDrawClick() { ButtonClick(false); }

void TMForm::ButtonClick(bool /*fromKeyboard*/) {
  if (HotButton == 11 || HotButton == 12) PlaySound("B_Act");
  if (ActiveDialog == 9) {
    if (HotButton == 11) QuitProgram();
    return;
  }
  if (CurrentScreen == 2) {
    switch (HotButton) {
      case 7: ToggleFullScreen(); break;
      case 8: ToggleMusic(); break;
      case 9: ToggleSound(); break;
      default: break;
    }
  }
}
