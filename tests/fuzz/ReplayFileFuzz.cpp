// Feeds arbitrary bytes to the replay reader, as a score server receives them: once as
// they are, and once with the check sum at their end made right, so that the fuzzer gets
// past it into the header and the frames. A malformed replay may only end in the reader's
// own errors; one that is read must be exactly what writing it back gives, and its frames
// must read to the count it claims (anything else, a crash, a hang, a sanitizer report, is
// a finding).
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "game/replay/ReplayFile.h"

namespace {

void Read(const std::vector<uint8_t>& bytes) {
  try {
    const TReplay replay = DecodeReplay(bytes);
    if (EncodeReplay(replay) != bytes) __builtin_trap();
    TReplayStreamReader frames(replay.Stream);
    while (frames.Next().Kind != TReplayItem::End) {
    }
    if (frames.Frames() != replay.Result.Frames) __builtin_trap();
    (void)CheckSimulation;
  } catch (const EReplayDamaged&) {
  } catch (const EReplayVersion&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(data, data + size);
  Read(bytes);
  if (size >= 8) {
    const uint32_t crc = ReplayCrc32(std::span(bytes).first(size - 4));
    for (int i = 0; i < 4; ++i) bytes[size - 4 + size_t(i)] = uint8_t(crc >> (8 * i));
    Read(bytes);
  }
  return 0;
}
