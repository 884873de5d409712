#include "game/replay/Playback.h"

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "app/MForm.h"
#include "game/menus/Menu.h"
#include "game/menus/Screens.h"
#include "game/online/ResultSender.h"
#include "game/persist/HighScores.h"
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

  // The race's end as the re-play finds it, and the race as it stood under a leave
  // question (the leave tears the race down at once).
  bool RaceOver = false;
  std::optional<uint64_t> Race;
  std::optional<uint64_t> UnderLeaveQuestion;
  // What proves the race: the frames until the race screen is left, with the events that
  // did something there, and what the game had come to then.
  TReplayStreamWriter Proof;
  std::optional<TReplayResult> ProofEnd;
};

namespace {

TPlayback& Current(const TMForm& form) { return *form.Replay.Playback; }

// Everything a window event can change while the race screen is up; an event that leaves
// all of it as it was did nothing the race or its end could ever see.
struct TEventReach {
  uint64_t State = 0;
  int32_t Screen = 0, Dialog = 0, Hot = 0, First = 0, Last = 0, Count = 0;
  bool Ctrl = false, Entered = false, Sent = false, Sending = false, SendOver = false, PauseOwed = false;
  std::string Name;
  std::array<THighScore, 12> Table;
  bool operator==(const TEventReach& o) const {
    const auto same = [](const THighScore& a, const THighScore& b) {
      return a.Name == b.Name && a.Points == b.Points && a.Extra1 == b.Extra1 && a.Extra2 == b.Extra2;
    };
    return State == o.State && Screen == o.Screen && Dialog == o.Dialog && Hot == o.Hot && First == o.First &&
           Last == o.Last && Count == o.Count && Ctrl == o.Ctrl && Entered == o.Entered && Sent == o.Sent &&
           Sending == o.Sending && SendOver == o.SendOver && PauseOwed == o.PauseOwed && Name == o.Name &&
           std::equal(Table.begin(), Table.end(), o.Table.begin(), same);
  }
};

TEventReach ReachOf(const TMForm& form) {
  return {RaceChecksum(form), form.CurrentScreen, form.ActiveDialog, form.HotButton, form.Menu.FirstButton,
          form.Menu.LastButton, form.Menu.ButtonCount, form.CtrlHeld, form.Race.EnteredTable,
          form.Race.ResultSent, form.Dialog.Sending, form.Dialog.SendOver, form.Dialog.PauseOwed,
          form.Race.PlayerName, form.HighScoreTable.HighScores};
}

// The race is over once the game is over (the announcement, the name entry, the question
// and the sending that follow it) or the player has left it.
bool RaceEnded(const TMForm& form) {
  const uint8_t k = form.ActiveDialog;
  return form.CurrentScreen != 1 || k == 5 || k == 6 || k == 7 || k == 8;
}

uint64_t RaceIdentity(uint32_t seed, uint64_t race) {
  uint64_t h = 0xcbf29ce484222325ull;
  for (uint64_t v : {uint64_t(seed), race})
    for (int i = 0; i < 8; ++i) {
      h ^= uint8_t(v >> (8 * i));
      h *= 0x100000001b3ull;
    }
  return h;
}

TReplayResult ResultNow(TMForm& form, uint32_t frames) {
  const TRaceState& r = form.Race;
  return {r.PlayerName, r.Score, r.EnteredTable, r.ResultSent, frames, RaceChecksum(form)};
}

// Before a recorded item: the race under a leave question stands still until it is answered.
void BeforeItem(TMForm& form, TPlayback& p) {
  if (p.RaceOver) return;
  if (form.CurrentScreen != 1 || form.ActiveDialog != 4)
    p.UnderLeaveQuestion.reset();
  else if (!p.UnderLeaveQuestion)
    p.UnderLeaveQuestion = RaceDigest(form);
}

void AfterItem(TMForm& form, TPlayback& p) {
  if (!p.RaceOver && RaceEnded(form)) {
    p.RaceOver = true;
    const bool gameOver = form.CurrentScreen == 1 && form.ActiveDialog == 8;
    const uint64_t race = gameOver || !p.UnderLeaveQuestion ? RaceDigest(form) : *p.UnderLeaveQuestion;
    p.Race = RaceIdentity(p.Replay.Start.RandSeed, race);
  }
  if (!p.ProofEnd && form.CurrentScreen != 1) p.ProofEnd = ResultNow(form, p.Proof.Frames());
}

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
    if (item.Kind == TReplayItem::End) {
      p.Ended = true;
      break;
    }
    BeforeItem(form, p);
    const bool proving = !p.ProofEnd;
    if (item.Kind == TReplayItem::Event) {
      std::optional<TEventReach> before;
      if (proving) before = ReachOf(form);
      PlayEvent(form, item.Ev);
      if (proving && !(ReachOf(form) == *before)) p.Proof.Event(item.Ev);
      AfterItem(form, p);
      continue;
    }
    if (proving) p.Proof.Frame(item.Input);
    form.MDXInput->States = TDXInputStates(item.Input.States);
    form.MDXInput->Joystick.Buttons = item.Input.ControllerButtons;
    form.KeepMusicAlive();
    form.RunFrame(item.Input.Lag);
    ++p.Frames;
    AfterItem(form, p);
    return true;
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
  o.Race = p.Race;
  // The same start, the frames that prove the race and what they came to.
  TReplay proof;
  proof.Simulation = p.Replay.Simulation;
  proof.DataFingerprint = p.Replay.DataFingerprint;
  proof.StartedAt = p.Replay.StartedAt;
  proof.Start = p.Replay.Start;
  proof.Result = p.ProofEnd ? *p.ProofEnd : ResultNow(form, p.Proof.Frames());
  proof.Stream = p.Proof.Finish();
  o.Proof = EncodeReplay(proof);
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
