#pragma once
// A game that records its games as the real one does, driven through the window's own
// event layer (so what a player does is written down), and a fresh game to re-play a
// recording in, frame by frame, with the whole race state's digest after every frame.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "game/menus/MenuButton.h"
#include "game/menus/Screens.h"
#include "game/persist/HighScores.h"
#include "game/persist/Options.h"
#include "game/replay/Playback.h"
#include "game/replay/RaceDigest.h"
#include "game/replay/ReplayFile.h"
#include "game/replay/ReplayStore.h"
#include "media/Platform/Events.h"
#include "media/Platform/Keyboard.h"
#include "media/Platform/Window.h"
#include "tests/app/GameRig.h"

// A table the game wrote itself whose last entry is -1, so that any game makes it.
inline void SeedTableAnyGameMakes() {
  THighScoreTable table;
  ResetHighScores(table);
  table.HighScores[10] = {"Nobody", -1, 0, 0};
  SaveOptions(TGameOptions{}, HighScoreSignature(table));
  SaveHighScores(table);
}

// The game as it runs for a player: every game recorded and kept.
class TRecordingGame {
 public:
  explicit TRecordingGame(uint32_t seed = 1, bool seedTable = false) {
    if (seedTable) SeedTableAnyGameMakes();
    Rig.Form->Replay.Mode = TRecordMode::Games;
    Rig.Start(seed);
  }

  TMForm& Form() { return *Rig.Form; }

  void Deliver(Platform::TEventKind kind, uint16_t key = 0, uint8_t ch = 0, int x = 0, int y = 0,
               uint8_t shift = 0) {
    Platform::TEvent e;
    e.Kind = kind;
    e.WindowId = Form().Window->Id();
    e.Key = key;
    e.Char = ch;
    e.X = x;
    e.Y = y;
    e.Shift = shift;
    e.Button = Platform::mbLeft;
    e.Clicks = 1;
    Form().HandleEvent(e);
  }
  // A key pressed and let go between frames, with the character it types.
  void Key(uint16_t key, uint8_t ch = 0) {
    Deliver(Platform::TEventKind::KeyDown, key);
    if (ch) Deliver(Platform::TEventKind::Char, 0, ch);
    Deliver(Platform::TEventKind::KeyUp, key);
  }
  void Type(std::string_view text) {
    for (char c : text) Deliver(Platform::TEventKind::Char, 0, uint8_t(c));
  }
  void Point(int x, int y) { Deliver(Platform::TEventKind::MouseMove, 0, 0, x, y); }
  void Click(int x, int y) {
    Point(x, y);
    Deliver(Platform::TEventKind::MouseDown, 0, 0, x, y);
    Deliver(Platform::TEventKind::MouseUp, 0, 0, x, y);
  }
  // The middle of a button of the current screen or question.
  void ClickButton(int32_t slot) {
    const TMenuButton& b = *Form().Menu.Buttons[size_t(slot)];
    Click(int(b.X) + b.Width / 2, int(b.Y) + b.Height / 2);
  }
  // From the main menu: the start button, then the boat, by mouse.
  void ChooseBoat(int boat) {
    while (Form().Menu.MenuIntroPhase != 0) Frames(1);
    ClickButton(1);
    ClickButton(6 + boat);
  }
  void Hold(std::initializer_list<uint16_t> keys) { Rig.Hold(keys); }
  // Escape, then Y: the race is left, or the name entry opens for a record.
  void Leave() {
    Hold({Platform::VK_ESCAPE});
    Frames(1);
    Hold({'Y'});
    Frames(1);
    Hold({});
  }
  // Frames of the running game; the race state's digest after each.
  void Frames(int n) {
    for (int i = 0; i < n; ++i) {
      Rig.Frame();
      Sums.push_back(RaceChecksum(Form()));
    }
  }
  void FramesWhile(uint8_t dialog, int most = 10000) {
    for (int i = 0; i < most && Form().ActiveDialog == dialog; ++i) Frames(1);
  }

  // The replays kept so far, oldest first.
  std::vector<std::vector<uint8_t>> Kept() {
    std::vector<std::vector<uint8_t>> files;
    for (const std::string& path : ReplayFiles()) files.push_back(*ReadReplayFile(path));
    return files;
  }

  TGameRig Rig;
  std::vector<uint64_t> Sums;
};

// A fresh game of the same build re-playing a recording as fast as it goes.
struct TReplayed {
  std::vector<uint64_t> Sums;  // after every recorded frame
  TPlaybackOutcome Outcome;
};

inline TReplayed Replay(const std::vector<uint8_t>& bytes) {
  TGameRig rig;
  rig.Start(777);  // the replay's own start replaces whatever this run began with
  StartPlayback(*rig.Form, DecodeReplay(bytes), TPlaybackView::Headless);
  TReplayed r;
  while (PlayRecordedFrame(*rig.Form)) r.Sums.push_back(RaceChecksum(*rig.Form));
  r.Outcome = PlaybackOutcome(*rig.Form);
  return r;
}

// The recording's frames as they ran live: the digests from the frame after the boat was
// chosen, as many as the replay holds.
inline std::vector<uint64_t> LiveFrames(const std::vector<uint64_t>& sums, size_t firstAfterChoice, size_t count) {
  if (firstAfterChoice + count > sums.size()) return {};
  return {sums.begin() + std::ptrdiff_t(firstAfterChoice), sums.begin() + std::ptrdiff_t(firstAfterChoice + count)};
}
