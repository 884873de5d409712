#pragma once
// Playing a recorded game again with the game's own code: the player's table, name and
// options are put aside, the recorded start is set up and the boat chosen, then every
// recorded event and frame input is fed into the game as the frame loop once fed them.
// Nothing is saved, sent or opened while it plays.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "game/replay/ReplayFile.h"

class TMForm;
namespace Platform {
struct TEvent;
}

enum class TPlaybackView : uint8_t {
  Window,    // in the game's window, in time, with pictures, sound and music
  Headless,  // as fast as it goes: the game's logic alone, nothing drawn or heard
};

// Starts the replay from the menu (the main menu or the high-score screen); raises
// EReplayVersion when this game cannot re-play it.
void StartPlayback(TMForm& form, TReplay replay, TPlaybackView view);
bool Watching(const TMForm& form);
// The events before the next recorded frame, then the frame; false once the replay is
// over (the events after its last frame have been played too).
bool PlayRecordedFrame(TMForm& form);

// What the re-played game came to, beside what its file claims.
struct TPlaybackOutcome {
  bool Reproduced = false;
  std::string PlayerName;
  int32_t Score = 0;
  bool EnteredTable = false, Sent = false;
  uint32_t Frames = 0;
  uint64_t Checksum = 0;
  // The race's identity: its start and what it came to when it ended (the game over or
  // the leave), whatever the boat's picture, the name or anything after it; nothing when
  // the replay ends inside the race.
  std::optional<uint64_t> Race;
  // The replay as far as it proves the race: to the moment the race screen is left (the
  // name entered and the sending answered), without the events that changed nothing
  // there; claims as the re-play computed them.
  std::vector<uint8_t> Proof;
};
// After PlayRecordedFrame has returned false.
TPlaybackOutcome PlaybackOutcome(TMForm& form);

// The window's frame tick while a replay plays: one recorded frame, four when fast, none
// when paused; at its end the player is back in the menu.
void WatchTick(TMForm& form, int32_t lagCount);
// A window event while a replay plays; true when the playback took it. The viewer's keys:
// Space pauses and resumes, Right switches between four times and normal speed, Escape
// leaves to the menu, Alt+Enter switches the display as ever; no other key, click or
// typed character reaches the game.
bool WatchEvent(TMForm& form, const Platform::TEvent& event);
// Back to the menu with the player's own table, name and options.
void StopPlayback(TMForm& form);

// The player's keys on the menus: R watches the last game, and on the high-score screen
// 1 to 9 and 0 the game behind that place. True when a replay began.
bool WatchFromMenu(TMForm& form, uint16_t key);
