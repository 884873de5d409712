#include "game/replay/Playback.h"

#include <memory>
#include <optional>
#include <vector>

#include "app/MForm.h"
#include "game/menus/Menu.h"
#include "game/menus/Screens.h"
#include "game/online/ResultSender.h"
#include "game/race/Dialogs.h"
#include "game/race/Race.h"
#include "game/replay/RaceDigest.h"
#include "game/replay/Recorder.h"
#include "game/replay/ReplayStore.h"
#include "http/HttpClient.h"
#include "media/DXInput/DXInput.h"
#include "media/Platform/Events.h"
#include "media/Platform/Keyboard.h"

class TPlayback {
 public:
  explicit TPlayback(TReplay replay) : Replay(std::move(replay)), Reader(Replay.Stream) {}

  TReplay Replay;
  TReplayStreamReader Reader;  // reads Replay.Stream
  bool Paused = false, Fast = false, Ended = false;
  uint32_t Frames = 0;
  int32_t ReturnEntryMode = 0;  // back to the high scores when watched from there

  // The player's own, put aside while the replay plays.
  THighScoreTable Table;
  std::string PlayerName;
  TGameOptions Options;  // FullScreen follows the viewer's switches meanwhile
  uint32_t RandSeed = 0;
  uint16_t Keys = 0;
  uint32_t ControllerButtonsBefore = 0;
  TDXInputStates States;
};

namespace {

TPlayback& Current(const TMForm& form) { return *form.Replay.Playback; }

void PlayEvent(TMForm& form, const TReplayEvent& e) {
  switch (e.Kind) {
    case TReplayEventKind::Char: {
      uint8_t ch = e.Char;
      form.FormKeyPress(ch);
      break;
    }
    case TReplayEventKind::CtrlDown:
    case TReplayEventKind::CtrlUp: {
      uint16_t key = Platform::VK_CONTROL;
      if (e.Kind == TReplayEventKind::CtrlDown)
        form.FormKeyDown(key, 0);
      else
        form.FormKeyUp(key, 0);
      break;
    }
    case TReplayEventKind::Pointer:
      form.MDXDrawMouseMove(0, e.X, e.Y);
      break;
    case TReplayEventKind::Click:
      form.MDXDrawClick();
      break;
    case TReplayEventKind::Close: {
      bool canClose = false;
      form.FormCloseQuery(canClose);
      break;
    }
    case TReplayEventKind::Minimise:
      form.PauseForMinimise();
      break;
    case TReplayEventKind::SendOver:
      if (form.Dialog.Sending) form.Dialog.SendOver = true;
      break;
  }
}

// The display is the viewer's: their switch outlives the replay's own options.
void ToggleViewerDisplay(TMForm& form) {
  TPlayback& p = Current(form);
  const bool replays = form.Options.FullScreen;
  form.Options.FullScreen = !p.Options.FullScreen;
  form.ApplyDisplayMode();
  p.Options.FullScreen = form.Options.FullScreen;
  form.Options.FullScreen = replays;
}

std::optional<std::vector<uint8_t>> LastGame(const TMForm& form) {
  if (!form.Replay.LastGame.empty()) return form.Replay.LastGame;
  const std::vector<std::string> files = ReplayFiles();
  for (auto it = files.rbegin(); it != files.rend(); ++it)
    if (auto bytes = ReadReplayFile(*it)) return bytes;
  return std::nullopt;
}

// The place 1..10 a key names on the high-score screen, 0 for none.
int32_t PlaceOfKey(uint16_t key) {
  if (key >= '1' && key <= '9') return key - '0';
  if (key >= Platform::VK_NUMPAD0 + 1 && key <= Platform::VK_NUMPAD0 + 9) return key - Platform::VK_NUMPAD0;
  if (key == '0' || key == Platform::VK_NUMPAD0) return 10;
  return 0;
}

}  // namespace

bool Watching(const TMForm& form) { return form.Replay.Playback != nullptr; }

void StartPlayback(TMForm& form, TReplay replay, TPlaybackView view) {
  CheckSimulation(replay, DataFingerprint(form));
  StopPlayback(form);
  auto p = std::make_unique<TPlayback>(std::move(replay));
  p->Table = form.HighScoreTable;
  p->PlayerName = form.Race.PlayerName;
  p->Options = form.Options;
  p->RandSeed = form.RandomGen.RandSeed;
  p->Keys = KeyLatches(form);
  p->ControllerButtonsBefore = form.ControllerButtonsBefore;
  p->States = form.MDXInput->States;
  if (form.CurrentScreen == 3) {
    p->ReturnEntryMode = 3;
    CloseHighScoreScreen(form);
    ShowMainMenu(form, false, 0);
  }
  form.Replay.Playback = std::move(p);

  // The recorded start, then the boat chosen as the player chose it.
  const TReplayStart& s = Current(form).Replay.Start;
  ShowBoatScreen(form);
  SetKeyLatches(form, s.Keys);
  form.ControllerButtonsBefore = s.ControllerButtons;
  form.RandomGen.RandSeed = s.RandSeed;
  form.Race.PlayerName = s.PlayerName;
  form.Options.AddInfo = s.AddInfo;
  for (size_t i = 1; i <= 11; ++i) {
    const TReplayEntry& e = s.Table[i - 1];
    form.HighScoreTable.HighScores[i] = {e.Name, e.Points, e.Extra1, e.Extra2};
  }
  if (view == TPlaybackView::Headless) {
    form.SkipPictures = true;
    form.Options.MusicOn = form.Options.SoundOn = false;
    form.StopMusic();
  }
  form.HotButton = 6 + s.Boat;
  form.MDXDrawClick();
  if (s.InFrameLag > 0) {
    form.MDXInput->States = TDXInputStates(s.InFrameStates);
    form.DispatchFrame(s.InFrameLag);
  }
}

bool PlayRecordedFrame(TMForm& form) {
  TPlayback& p = Current(form);
  while (!p.Ended) {
    const TReplayItem item = p.Reader.Next();
    if (item.Kind == TReplayItem::Event) {
      PlayEvent(form, item.Ev);
    } else if (item.Kind == TReplayItem::End) {
      p.Ended = true;
    } else {
      form.MDXInput->States = TDXInputStates(item.Input.States);
      form.MDXInput->Joystick.Buttons = item.Input.ControllerButtons;
      form.KeepMusicAlive();
      form.RunFrame(item.Input.Lag);
      ++p.Frames;
      return true;
    }
  }
  return false;
}

TPlaybackOutcome PlaybackOutcome(TMForm& form) {
  const TPlayback& p = Current(form);
  const TReplayResult& claim = p.Replay.Result;
  TPlaybackOutcome o;
  o.PlayerName = form.Race.PlayerName;
  o.Score = form.Race.Score;
  o.EnteredTable = form.Race.EnteredTable;
  o.Sent = form.Race.ResultSent;
  o.Frames = p.Frames;
  o.Checksum = RaceChecksum(form);
  o.Reproduced = p.Ended && o.Checksum == claim.Checksum && o.Frames == claim.Frames &&
                 o.Score == claim.Score && o.PlayerName == claim.PlayerName &&
                 o.EnteredTable == claim.EnteredTable && o.Sent == claim.Sent;
  return o;
}

void WatchTick(TMForm& form, int32_t /*lagCount*/) {
  TPlayback& p = Current(form);
  if (p.Paused) {
    form.KeepMusicAlive();
    PresentFrame(form);
    return;
  }
  const int frames = p.Fast ? 4 : 1;
  for (int i = 0; i < frames; ++i) {
    // Of the frames played at once only the last is drawn.
    form.SkipPictures = i + 1 < frames;
    if (!PlayRecordedFrame(form)) {
      StopPlayback(form);
      return;
    }
  }
}

bool WatchEvent(TMForm& form, const Platform::TEvent& event) {
  using Platform::TEventKind;
  switch (event.Kind) {
    case TEventKind::KeyDown:
      if (event.Repeat) return true;
      if (event.Key == Platform::VK_RETURN && (event.Shift & Platform::ssAlt))
        ToggleViewerDisplay(form);
      else if (event.Key == Platform::VK_SPACE)
        Current(form).Paused = !Current(form).Paused;
      else if (event.Key == Platform::VK_RIGHT)
        Current(form).Fast = !Current(form).Fast;
      else if (event.Key == Platform::VK_ESCAPE)
        StopPlayback(form);
      return true;
    case TEventKind::KeyUp:
    case TEventKind::Char:
    case TEventKind::MouseMove:
    case TEventKind::MouseDown:
    case TEventKind::MouseUp:
      return true;
    case TEventKind::CloseRequest:
      // Closing the window leaves the replay, then asks as ever.
      StopPlayback(form);
      return false;
    default:
      return false;
  }
}

void StopPlayback(TMForm& form) {
  if (!Watching(form)) return;
  const std::unique_ptr<TPlayback> p = std::move(form.Replay.Playback);
  form.SkipPictures = false;
  form.Options = p->Options;
  if (form.ActiveDialog != 0) DropDialog(form);
  if (form.CurrentScreen == 1) {
    EndRace(form);
    ShowMainMenu(form, true, p->ReturnEntryMode);
  }
  if (!form.Options.MusicOn) form.StopMusic();
  form.HighScoreTable = p->Table;
  form.Race.PlayerName = p->PlayerName;
  form.RandomGen.RandSeed = p->RandSeed;
  SetKeyLatches(form, p->Keys);
  form.ControllerButtonsBefore = p->ControllerButtonsBefore;
  form.MDXInput->States = p->States;
}

bool WatchFromMenu(TMForm& form, uint16_t key) {
  if (Watching(form) || form.Replay.Recording || form.ActiveDialog != 0) return false;
  const bool onTable = form.CurrentScreen == 3;
  if (!onTable && !(form.CurrentScreen == 0 && form.Menu.MenuIntroPhase == 0)) return false;
  std::optional<std::vector<uint8_t>> bytes;
  if (key == 'R') {
    bytes = LastGame(form);
  } else if (const int32_t place = PlaceOfKey(key); onTable && place != 0) {
    const std::string path = EntryReplays(form.HighScoreTable, ReplayFiles())[size_t(place)];
    if (!path.empty()) bytes = ReadReplayFile(path);
  }
  if (!bytes) return false;
  try {
    StartPlayback(form, DecodeReplay(*bytes), TPlaybackView::Window);
    return true;
  } catch (const std::exception&) {
    // A replay this game cannot play is not offered.
    return false;
  }
}

TReplayState::TReplayState() = default;
TReplayState::~TReplayState() = default;
