#pragma once
// A replay altered the way a cheat would alter one, its checksum and claims left as they were.
#include <cstdint>
#include <functional>
#include <vector>

#include "game/replay/ReplayFile.h"

// The recording with the input of one frame changed.
inline std::vector<uint8_t> WithFrameChanged(const std::vector<uint8_t>& bytes, uint32_t frame,
                                             const std::function<void(TReplayInput&)>& change) {
  TReplay replay = DecodeReplay(bytes);
  TReplayStreamReader in(replay.Stream);
  TReplayStreamWriter out;
  uint32_t n = 0;
  for (TReplayItem item = in.Next(); item.Kind != TReplayItem::End; item = in.Next()) {
    if (item.Kind == TReplayItem::Event) {
      out.Event(item.Ev);
      continue;
    }
    if (n++ == frame) change(item.Input);
    out.Frame(item.Input);
  }
  replay.Stream = out.Finish();
  return EncodeReplay(replay);
}
