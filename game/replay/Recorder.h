#pragma once
// Recording a game: at the boat choice, everything the race depends on that it does not
// set up itself; then every window event and every frame's input as the frame loop met
// them, until the race is over (the game) or the runner asks for the file.
#include <cstdint>
#include <vector>

#include "game/replay/ReplayFile.h"

class TMForm;

// At the boat choice, before the race is set up; does nothing unless the game records,
// and nothing while a replay plays.
void BeginRecording(TMForm& form);
// A window event, before the game handles it.
void RecordEvent(TMForm& form, TReplayEventKind kind, uint8_t ch = 0, int32_t x = 0, int32_t y = 0);
// A frame's input, before the frame runs.
void RecordFrame(TMForm& form, const TReplayInput& input);
// The game's recording ends with the race: its replay is kept in Data\Replays.
void EndRecordingIfOver(TMForm& form);
// A sent game's replay (none: only those waiting from before) goes to the score server
// on a thread of its own, with the ones the server could not take before; the game's
// own runs only (TRecordMode::Games).
void UploadReplays(TMForm& form, const std::vector<uint8_t>& replay, int64_t startedAt);
// Ends the recording where it stands and gives its file image (the runner).
std::vector<uint8_t> FinishRecording(TMForm& form);

// The frame loop's key latches and edges, Ctrl and the navigation latch as TReplayKeyBit.
uint16_t KeyLatches(const TMForm& form);
void SetKeyLatches(TMForm& form, uint16_t keys);

// The names and sizes of every picture the game has loaded: a replay plays the same only
// on the same pictures.
uint32_t DataFingerprint(TMForm& form);
