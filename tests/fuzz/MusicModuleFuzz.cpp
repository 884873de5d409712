// Feeds arbitrary bytes to the module player as a tune, plays what loads for a few
// blocks and frees it. A damaged module may only be refused (handle 0) or play; a crash,
// a sanitizer report or a hang (the mixer thread must never spin) is a finding.
#include <cstdint>
#include <span>
#include <vector>

#include "app/ModPlayer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uintptr_t song = SongLoadFromMemory(std::span(data, size));
  if (!song) return 0;
  SongPlay(song);
  std::vector<int16_t> pcm(2 * 1024);
  for (int i = 0; i < 8; ++i) SongRender(pcm.data(), 1024);
  (void)SongGetOrder(song);
  SongFree(song);
  return 0;
}
