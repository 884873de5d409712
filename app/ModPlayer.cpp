#include "app/ModPlayer.h"

#include <xmp.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "media/Platform/Audio.h"
#include "media/Platform/Paths.h"

namespace {

struct TSong {
  xmp_context Context = xmp_create_context();
  bool Loaded = false, Started = false;
  int32_t Order = 0;
  // The rest of the last frame rendered that did not fit the mixer's block.
  std::vector<int16_t> Pending;
  size_t PendingAt = 0;
  ~TSong() {
    if (!Context) return;
    if (Started) xmp_end_player(Context);
    if (Loaded) xmp_release_module(Context);
    xmp_free_context(Context);
  }
};

// Guards the songs against the mixer thread, which renders the playing one. The mixer
// takes the output's music lock first and then this one; nothing here calls into the
// output while holding it.
std::mutex Lock;
std::map<uintptr_t, std::unique_ptr<TSong>> Songs;
uintptr_t NextHandle = 1;
TSong* Playing = nullptr;

TSong* Lookup(uintptr_t song) {
  auto it = Songs.find(song);
  return it == Songs.end() ? nullptr : it->second.get();
}

// Files larger than this are no tune of ours; refusing them keeps a stray path cheap.
constexpr std::streamoff MaxModuleBytes = 64 << 20;

}  // namespace

void SongRender(int16_t* out, int frames) {
  const size_t wanted = size_t(std::max(frames, 0)) * Platform::Audio::OutputChannels;
  size_t filled = 0;
  std::lock_guard lock(Lock);
  // Frame by frame rather than through the player's own buffer filler: a damaged tune
  // whose frames hold no sound must give silence, not keep the mixer thread spinning.
  while (Playing && filled < wanted) {
    TSong& song = *Playing;
    if (song.PendingAt == song.Pending.size()) {
      if (xmp_play_frame(song.Context) != 0) break;
      xmp_frame_info info;
      xmp_get_frame_info(song.Context, &info);
      song.Order = info.pos;
      if (!info.buffer || info.buffer_size <= 0) break;
      const auto* pcm = static_cast<const int16_t*>(info.buffer);
      song.Pending.assign(pcm, pcm + size_t(info.buffer_size) / sizeof(int16_t));
      song.PendingAt = 0;
    }
    const size_t n = std::min(wanted - filled, song.Pending.size() - song.PendingAt);
    std::memcpy(out + filled, song.Pending.data() + song.PendingAt, n * sizeof(int16_t));
    filled += n;
    song.PendingAt += n;
  }
  std::memset(out + filled, 0, (wanted - filled) * sizeof(int16_t));
}

uintptr_t SongLoadFromMemory(std::span<const uint8_t> bytes) {
  if (bytes.empty()) return 0;
  auto song = std::make_unique<TSong>();
  if (!song->Context) return 0;
  if (xmp_load_module_from_memory(song->Context, bytes.data(), long(bytes.size())) != 0) return 0;
  song->Loaded = true;
  // A module without orders or channels has nothing to play: as damaged as a broken one.
  xmp_module_info info;
  xmp_get_module_info(song->Context, &info);
  if (!info.mod || info.mod->len < 1 || info.mod->chn < 1) return 0;
  std::lock_guard lock(Lock);
  const uintptr_t handle = NextHandle++;
  Songs.emplace(handle, std::move(song));
  return handle;
}

uintptr_t SongLoadFromFile(const char* fileName) {
  if (!fileName) return 0;
  std::ifstream in(Platform::NativePath(fileName), std::ios::binary | std::ios::ate);
  if (!in) return 0;
  const std::streamoff size = in.tellg();
  if (size <= 0 || size > MaxModuleBytes) return 0;
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  in.seekg(0);
  if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) return 0;
  return SongLoadFromMemory(bytes);
}

void SongPlay(uintptr_t song) {
  // Installed on first use; the output keeps it across device openings.
  static const bool sourceSet = (Platform::Audio::SetMusicSource(SongRender), true);
  (void)sourceSet;
  std::lock_guard lock(Lock);
  TSong* s = Lookup(song);
  if (!s) return;
  if (s->Started) {
    xmp_restart_module(s->Context);
  } else {
    if (xmp_start_player(s->Context, Platform::Audio::OutputRate, 0) != 0) return;
    s->Started = true;
  }
  s->Order = 0;
  s->Pending.clear();
  s->PendingAt = 0;
  Playing = s;
}

int32_t SongGetOrder(uintptr_t song) {
  std::lock_guard lock(Lock);
  const TSong* s = Lookup(song);
  return s ? s->Order : 0;
}

void SongFree(uintptr_t song) {
  std::unique_ptr<TSong> freed;
  {
    std::lock_guard lock(Lock);
    auto it = Songs.find(song);
    if (it == Songs.end()) return;
    if (Playing == it->second.get()) Playing = nullptr;
    freed = std::move(it->second);
    Songs.erase(it);
  }
  // Not playing any more, so it can be released outside the lock.
}
