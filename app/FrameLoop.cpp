// The frame loop and the one dispatcher that decides what a click or Enter does.
#include <algorithm>

#include "app/MForm.h"
#include "game/menus/Menu.h"
#include "game/menus/Screens.h"
#include "game/online/GoToLink.h"
#include "game/online/ResultSender.h"
#include "game/online/SubmitResult.h"
#include "game/race/Dialogs.h"
#include "game/race/Race.h"
#include "game/race/RaceFrame.h"
#include "game/race/SendQuestion.h"
#include "game/replay/Playback.h"
#include "game/replay/Recorder.h"
#include "media/DXInput/DXInput.h"

void TMForm::MDXTimerTimer(TDXTimer& /*sender*/, int32_t lagCount) {
  // Beyond a quarter of an hour's stall one more changes nothing a player could see.
  lagCount = std::min(lagCount, MaxReplayLag);
  if (Watching(*this)) {
    WatchTick(*this, lagCount);
    return;
  }
  KeepMusicAlive();
  MDXInput->Update();
  // The request's end is taken at a frame's start, so that a replay of the game ends
  // the sending notice in the same frame.
  if (Dialog.Sending && !Dialog.SendOver && !ResultSender->Busy()) {
    RecordEvent(*this, TReplayEventKind::SendOver);
    Dialog.SendOver = true;
  }
  RecordFrame(*this, {MDXInput->States.to_ullong(), MDXInput->Joystick.Buttons, lagCount});
  FrameLag = lagCount;
  RunFrame(lagCount);
  FrameLag = 0;
  EndRecordingIfOver(*this);
}

void TMForm::RunFrame(int32_t lagCount) {
  PollKeyEdges();
  RouteControllerButtons();
  DispatchFrame(lagCount);
}

void TMForm::DispatchFrame(int32_t lagCount) {
  // The quit and clear-records questions take the frame from any screen.
  if (ActiveDialog == 9 || ActiveDialog == 10) {
    DrawDialogOverlay(*this, lagCount);
    return;
  }
  if (TFrameHandler handler = FrameHandlerOf(CurrentScreen)) handler(*this, lagCount);
}

TMForm::TFrameHandler TMForm::FrameHandlerOf(int32_t screen) {
  switch (screen) {
    case 0: return MainMenuFrame;
    case 1: return RaceFrame;
    case 2: return OptionsFrame;
    case 3: return HighScoreScreenFrame;
    case 4: return HelpScreenFrame;
    case 8: return BoatScreenFrame;
    default: return nullptr;
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

void TMForm::ToggleSound() { Options.SoundOn = !Options.SoundOn; }

void TMForm::MDXDrawClick() { ButtonClick(false); }

void TMForm::ButtonClick(bool fromKeyboard) {
  if (HotButton == 11 || HotButton == 12) PlaySound("B_Act");
  if (ActiveDialog == 9) {
    if (HotButton == 11)
      QuitProgram();
    else if (HotButton == 12)
      CloseDialog(*this);
    return;
  }
  if (ActiveDialog == 10) {
    if (HotButton == 11) {
      ResetHighScores(HighScoreTable);
      CloseDialog(*this);
    } else if (HotButton == 12) {
      CloseDialog(*this);
    }
    return;
  }
  if (CurrentScreen == 1) {
    switch (ActiveDialog) {
      case 5:
        InsertHighScore(HighScoreTable, Race.PlayerName, Race.Score);
        Race.EnteredTable = true;
        CloseDialog(*this);
        OpenDialog(*this, 6);
        break;
      case 4:
        CloseDialog(*this);
        if (HotButton == 1) {
          if (QualifiesForHighScore(*this))
            OpenDialog(*this, 5);
          else
            ReturnToMenuAfterRace(*this);
        }
        break;
      case 6:
        if (HotButton == 1) {
          CloseDialog(*this);
          // The sending notice stays up while the request runs; its overlay goes on
          // to the menu once the request has ended.
          SendResultOnline(*this);
        } else if (HotButton == 2) {
          CloseDialog(*this);
          ReturnToMenuAfterRace(*this);
        }
        break;
      default:
        break;
    }
    return;
  }
  if (CurrentScreen == 0 && Menu.MenuIntroPhase == 0) {
    const bool ownButton = (HotButton >= 1 && HotButton <= 6) || HotButton == LanguageSwitchSlot;
    if (ownButton && !fromKeyboard) PlaySound("B_Act");
    switch (HotButton) {
      case 1: ShowBoatScreen(*this); break;
      case 2: ShowOptionsScreen(*this); break;
      case 3: ShowHighScoreScreen(*this); break;
      case 4: ShowHelpScreen(*this); break;
      case 5:
        if (!Watching(*this)) OpenLink("moregames.url");
        break;
      case 6: OpenDialog(*this, 9); break;
      case LanguageSwitchSlot: ToggleLanguage(*this); break;
      default: break;
    }
    return;
  }
  // One click does one thing: a branch that has gone back to the main menu ends here,
  // because the screen code it leaves behind matches none of the later tests.
  if (CurrentScreen == 2) {
    switch (HotButton) {
      case 7: ToggleFullScreen(); break;
      case 8: ToggleMusic(); break;
      case 9: ToggleSound(); break;
      case 10:
        if (!OptionsScreen.EditingAddInfo)
          StartEditing(*this);
        else
          StopEditing(*this);
        break;
      default: break;
    }
    if (HotButton != 10) StopEditing(*this);
    if (HotButton == 2) {
      CloseOptionsScreen(*this);
      ShowMainMenu(*this, false, 0);
    }
  }
  if (CurrentScreen == 3) {
    if (HotButton == 7) {
      OpenDialog(*this, 10);
      return;
    }
    if (HotButton == 8) {
      if (!Watching(*this)) OpenLink(HighScorePageUrl(ScoreServerAddress()));
      return;
    }
    if (HotButton != 0) {
      CloseHighScoreScreen(*this);
      ShowMainMenu(*this, false, 0);
    }
  }
  if (CurrentScreen == 4) {
    if (HotButton == 7 || HotButton == 8) {
      TurnHelpPage(*this, HotButton);
    } else if (HotButton != 0) {
      CloseHelpScreen(*this);
      ShowMainMenu(*this, false, 0);
    }
  }
  if (CurrentScreen == 8 && HotButton != 0) {
    const int32_t boat = HotButton;
    CloseBoatScreen(*this);
    ShowMainMenu(*this, false, 0);
    if (boat >= 7 && boat <= 9) {
      CloseMainMenu(*this);
      Race.SelectedBoat = boat - 6;
      BeginRecording(*this);
      StartRace(*this);
    }
  }
}
