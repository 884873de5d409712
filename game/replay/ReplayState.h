#pragma once
// The replay part's state: the game being recorded, the last one finished, and the replay
// being played.
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "game/replay/ReplayFile.h"

class TPlayback;
class THttpClient;
class TResultSender;

enum class TRecordMode : uint8_t {
  Off,     // tests and tools that do not ask for it
  Games,   // the game: each game from the boat choice to the menu, kept in Data\Replays
  Script,  // the headless runner: from the boat choice until it asks for the file
};

struct TReplayState {
  TReplayState();
  ~TReplayState();

  TRecordMode Mode = TRecordMode::Off;
  bool Recording = false;
  TReplay Header;  // the start of the game being recorded
  TReplayStreamWriter Stream;
  uint32_t EventsSinceFrame = 0;
  // The file image of the last game recorded in this run.
  std::vector<uint8_t> LastGame;
  std::unique_ptr<TPlayback> Playback;
  std::optional<uint32_t> Fingerprint;  // of the loaded game data, once asked for
  // A sent game's replay follows its result to the score server, on a connection and a
  // thread of its own, so it never holds up the result or the next one.
  std::unique_ptr<THttpClient> UploadClient;
  std::unique_ptr<TResultSender> Uploader;  // goes first: its request uses the client
};
