#include "game/replay/Recorder.h"

#include <ctime>

#include "app/MForm.h"
#include "game/online/ResultSender.h"
#include "game/online/SubmitResult.h"
#include "game/replay/Playback.h"
#include "game/replay/RaceDigest.h"
#include "game/replay/ReplayStore.h"
#include "http/HttpClient.h"
#include "media/DXDraws/PictureCollection.h"
#include "media/DXInput/DXInput.h"

namespace {

// A game longer or busier than any reader takes is not kept; the game goes on.
void Abandon(TMForm& form) {
  form.Replay.Recording = false;
  form.Replay.Stream = {};
}

bool TooLarge(const TReplayState& r) {
  // The header with every text at its longest stays below this.
  constexpr size_t HeaderRoom = 64 * 1024;
  return r.Stream.Size() + HeaderRoom > MaxReplayBytes || r.EventsSinceFrame > MaxReplayEventsPerFrame ||
         r.Stream.Frames() > MaxReplayFrames;
}

}  // namespace

uint16_t KeyLatches(const TMForm& form) {
  uint16_t keys = 0;
  auto bit = [&](bool on, TReplayKeyBit b) {
    if (on) keys |= b;
  };
  bit(form.PauseWasDown, rkPauseWasDown);
  bit(form.EscapeWasDown, rkEscapeWasDown);
  bit(form.YesWasDown, rkYesWasDown);
  bit(form.NoWasDown, rkNoWasDown);
  bit(form.PausePressed, rkPausePressed);
  bit(form.EscapePressed, rkEscapePressed);
  bit(form.YesPressed, rkYesPressed);
  bit(form.NoPressed, rkNoPressed);
  bit(form.CtrlHeld, rkCtrlHeld);
  bit(form.Menu.NavKeysReleased, rkNavKeysReleased);
  return keys;
}

void SetKeyLatches(TMForm& form, uint16_t keys) {
  form.PauseWasDown = keys & rkPauseWasDown;
  form.EscapeWasDown = keys & rkEscapeWasDown;
  form.YesWasDown = keys & rkYesWasDown;
  form.NoWasDown = keys & rkNoWasDown;
  form.PausePressed = keys & rkPausePressed;
  form.EscapePressed = keys & rkEscapePressed;
  form.YesPressed = keys & rkYesPressed;
  form.NoPressed = keys & rkNoPressed;
  form.CtrlHeld = keys & rkCtrlHeld;
  form.Menu.NavKeysReleased = keys & rkNavKeysReleased;
}

uint32_t DataFingerprint(TMForm& form) {
  if (form.Replay.Fingerprint) return *form.Replay.Fingerprint;
  uint32_t h = 2166136261u;
  auto mix = [&](int64_t v) {
    for (int i = 0; i < 8; ++i) {
      h ^= uint8_t(v >> (8 * i));
      h *= 16777619u;
    }
  };
  for (const TDXImageList* list : {form.MDXImageList.get(), form.MDXImageList3.get()}) {
    const TPictureCollection& items = list->Items;
    mix(items.Count());
    for (int i = 0; i < items.Count(); ++i) {
      const TPictureCollectionItem& item = items.Items(i);
      for (char c : item.Name()) mix(c);
      for (int64_t v : {int64_t(item.Width()), int64_t(item.Height()), int64_t(item.PatternWidth),
                        int64_t(item.PatternHeight), int64_t(item.SkipWidth), int64_t(item.SkipHeight),
                        int64_t(item.PatternCount())})
        mix(v);
    }
  }
  form.Replay.Fingerprint = h;
  return h;
}

void BeginRecording(TMForm& form) {
  TReplayState& r = form.Replay;
  if (r.Mode == TRecordMode::Off || r.Recording || Watching(form)) return;
  TReplay& h = r.Header;
  h = TReplay{};
  h.DataFingerprint = DataFingerprint(form);
  h.StartedAt = int64_t(std::time(nullptr));
  TReplayStart& s = h.Start;
  s.Boat = uint8_t(form.Race.SelectedBoat);
  s.RandSeed = form.RandomGen.RandSeed;
  s.Keys = KeyLatches(form);
  s.ControllerButtons = form.ControllerButtonsBefore;
  s.InFrameLag = form.FrameLag;
  if (form.FrameLag > 0) s.InFrameStates = form.MDXInput->States.to_ullong();
  s.PlayerName = form.Race.PlayerName;
  s.AddInfo = form.Options.AddInfo;
  for (int i = 1; i <= 11; ++i) {
    const THighScore& e = form.HighScoreTable.HighScores[size_t(i)];
    s.Table[size_t(i - 1)] = {e.Name, e.Points, e.Extra1, e.Extra2};
  }
  r.Stream = {};
  r.EventsSinceFrame = 0;
  r.Recording = true;
}

void RecordEvent(TMForm& form, TReplayEventKind kind, uint8_t ch, int32_t x, int32_t y) {
  TReplayState& r = form.Replay;
  if (!r.Recording) return;
  r.Stream.Event({kind, ch, x, y});
  ++r.EventsSinceFrame;
  if (TooLarge(r)) Abandon(form);
}

void RecordFrame(TMForm& form, const TReplayInput& input) {
  TReplayState& r = form.Replay;
  if (!r.Recording) return;
  r.Stream.Frame(input);
  r.EventsSinceFrame = 0;
  if (TooLarge(r)) Abandon(form);
}

std::vector<uint8_t> FinishRecording(TMForm& form) {
  TReplayState& r = form.Replay;
  if (!r.Recording) return {};
  TReplayResult& res = r.Header.Result;
  res.PlayerName = form.Race.PlayerName;
  res.Score = form.Race.Score;
  res.EnteredTable = form.Race.EnteredTable;
  res.Sent = form.Race.ResultSent;
  res.Frames = r.Stream.Frames();
  res.Checksum = RaceChecksum(form);
  r.Header.Stream = r.Stream.Finish();
  std::vector<uint8_t> bytes = EncodeReplay(r.Header);
  r.Header.Stream.clear();
  Abandon(form);
  return bytes;
}

void EndRecordingIfOver(TMForm& form) {
  TReplayState& r = form.Replay;
  if (!r.Recording || r.Mode != TRecordMode::Games || form.CurrentScreen == 1) return;
  const int64_t startedAt = r.Header.StartedAt;
  r.LastGame = FinishRecording(form);
  KeepReplay(r.LastGame, startedAt, form.HighScoreTable);
  // The result went out as designed and has had its answer; its game follows it, so the
  // server can prove it, and so do the games the server could not take before.
  UploadReplays(form, r.Header.Result.Sent ? r.LastGame : std::vector<uint8_t>{}, startedAt);
}

void UploadReplays(TMForm& form, const std::vector<uint8_t>& replay, int64_t startedAt) {
  TReplayState& r = form.Replay;
  if (r.Mode != TRecordMode::Games || (replay.empty() && UnsentReplays().empty())) return;
  if (!r.UploadClient) r.UploadClient = std::make_unique<THttpClient>();
  if (!r.Uploader) r.Uploader = std::make_unique<TResultSender>();
  // Nothing waits for a sending under way: this game waits with the others.
  if (r.Uploader->Busy()) {
    if (!replay.empty()) KeepUnsentReplay(replay, startedAt);
    return;
  }
  r.Uploader->StartReplays(*r.UploadClient, ScoreServerAddress(), replay, startedAt);
}
