#include "media/Platform/Audio.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <string>

namespace Platform::Audio {
namespace {

int OpenCount = 0;
// Bumped on every open: a voice from an earlier session must not touch a channel
// that now belongs to someone else.
int Session = 0;
std::vector<TVoice*> ChannelOwner;  // by mixer channel; nullptr = free

std::mutex MusicLock;
TMusicSource MusicSourceFn = nullptr;

void MusicHook(void*, Uint8* stream, int len) {
  RenderMusic(reinterpret_cast<int16_t*>(stream), len / int(sizeof(int16_t) * OutputChannels));
}

int ClaimChannel(TVoice* voice) {
  auto free = std::find(ChannelOwner.begin(), ChannelOwner.end(), nullptr);
  if (free != ChannelOwner.end()) {
    *free = voice;
    return int(free - ChannelOwner.begin());
  }
  const int first = int(ChannelOwner.size());
  const int grown = std::max(8, first * 2);
  if (Mix_AllocateChannels(grown) < grown) throw EAudioError("Mixer channels cannot be allocated");
  ChannelOwner.resize(size_t(grown), nullptr);
  ChannelOwner[size_t(first)] = voice;
  return first;
}

// DirectSound-style attenuation in hundredths of a decibel to a linear factor.
double AttenuationFactor(int attenuation) {
  if (attenuation >= 0) return 1.0;
  if (attenuation <= -10000) return 0.0;
  return std::pow(10.0, attenuation / 2000.0);
}

}  // namespace

std::vector<int16_t> ConvertToOutput(const TPcmFormat& format, std::span<const uint8_t> data) {
  if ((format.Channels != 1 && format.Channels != 2) || (format.Bits != 8 && format.Bits != 16) ||
      format.Rate < MinSourceRate || format.Rate > MaxSourceRate)
    throw EAudioError("Unsupported wave format");
  const size_t frameBytes = size_t(format.Channels * format.Bits / 8);
  const size_t frames = data.size() / frameBytes;
  if (frames == 0) return {};
  data = data.first(frames * frameBytes);

  if (format.Rate == OutputRate && format.Channels == OutputChannels && format.Bits == 16) {
    std::vector<int16_t> pcm(frames * OutputChannels);
    for (size_t i = 0; i < pcm.size(); ++i)
      pcm[i] = int16_t(uint16_t(data[2 * i] | (data[2 * i + 1] << 8)));
    return pcm;
  }

  SDL_AudioStream* stream =
      SDL_NewAudioStream(format.Bits == 8 ? AUDIO_U8 : AUDIO_S16LSB, Uint8(format.Channels),
                         format.Rate, AUDIO_S16SYS, OutputChannels, OutputRate);
  if (!stream) throw EAudioError(std::string("Wave cannot be converted: ") + SDL_GetError());
  std::vector<int16_t> pcm;
  pcm.reserve(size_t(double(frames) * OutputRate / format.Rate + 64) * OutputChannels);
  auto drain = [&] {
    const int available = SDL_AudioStreamAvailable(stream);
    if (available <= 0) return;
    const size_t at = pcm.size();
    pcm.resize(at + size_t(available) / sizeof(int16_t));
    const int got = SDL_AudioStreamGet(stream, pcm.data() + at, available);
    pcm.resize(at + size_t(std::max(got, 0)) / sizeof(int16_t));
  };
  constexpr size_t Piece = 1 << 16;  // bounded steps: the stream works on ints
  bool ok = true;
  for (size_t at = 0; ok && at < data.size(); at += Piece) {
    const size_t n = std::min(Piece, data.size() - at);
    ok = SDL_AudioStreamPut(stream, data.data() + at, int(n)) == 0;
    if (ok) drain();
  }
  // The resampler holds back its last few hundred frames even when flushed; silence
  // behind the wave pushes them out, and the result is cut to the wave's own length.
  const size_t tailFrames = size_t(std::max(1024, format.Rate / 20));
  const std::vector<uint8_t> tail(tailFrames * frameBytes, format.Bits == 8 ? 0x80 : 0);
  ok = ok && SDL_AudioStreamPut(stream, tail.data(), int(tail.size())) == 0 &&
       SDL_AudioStreamFlush(stream) == 0;
  if (ok) drain();
  SDL_FreeAudioStream(stream);
  if (!ok) throw EAudioError("Wave cannot be converted");
  const size_t outFrames = size_t(uint64_t(frames) * OutputRate / uint64_t(format.Rate));
  pcm.resize(std::min(pcm.size(), outFrames * OutputChannels));
  pcm.resize(pcm.size() / OutputChannels * OutputChannels);
  return pcm;
}

bool Open() {
  if (OpenCount > 0) {
    ++OpenCount;
    return true;
  }
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  // No changes allowed: SDL converts to whatever the device wants, so the mix is
  // always in the one output format the samples were converted to.
  if (Mix_OpenAudioDevice(OutputRate, AUDIO_S16SYS, OutputChannels, 1024, nullptr, 0) != 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  ++Session;
  ChannelOwner.assign(size_t(Mix_AllocateChannels(-1)), nullptr);
  Mix_HookMusic(MusicHook, nullptr);
  OpenCount = 1;
  return true;
}

void Close() {
  if (OpenCount == 0 || --OpenCount > 0) return;
  Mix_HookMusic(nullptr, nullptr);
  Mix_HaltChannel(-1);
  Mix_CloseAudio();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  for (TVoice* voice : ChannelOwner)
    if (voice) voice->Stop();
  ChannelOwner.clear();
}

bool IsOpen() { return OpenCount > 0; }

TSample::TSample(std::vector<int16_t> pcm) : Pcm(std::move(pcm)) {}

TSample::~TSample() {
  if (Chunk) Mix_FreeChunk(Chunk);  // halts any channel still playing it
}

TVoice::TVoice(std::shared_ptr<TSample> sample) : Source(std::move(sample)) {
  if (!IsOpen()) throw EAudioError("Sound output is not open");
  if (!Source->Chunk && !Source->Pcm.empty()) {
    const size_t bytes = std::min<size_t>(Source->Pcm.size() * sizeof(int16_t), 0xFFFFFFF0u);
    Source->Chunk = Mix_QuickLoad_RAW(reinterpret_cast<Uint8*>(Source->Pcm.data()), Uint32(bytes));
  }
  ChannelNo = ClaimChannel(this);
  SessionNo = Session;
}

TVoice::~TVoice() {
  if (!IsOpen() || SessionNo != Session) return;
  Mix_HaltChannel(ChannelNo);
  Mix_UnregisterAllEffects(ChannelNo);
  Mix_Volume(ChannelNo, MIX_MAX_VOLUME);
  ChannelOwner[size_t(ChannelNo)] = nullptr;
}

bool TVoice::Live() const { return IsOpen() && SessionNo == Session; }

void TVoice::Play(bool looped) {
  if (!Live() || !Source->Chunk) return;
  Mix_HaltChannel(ChannelNo);
  LoopedNow = looped;
  ++StartCount;
  Mix_PlayChannel(ChannelNo, Source->Chunk, looped ? -1 : 0);
}

void TVoice::Stop() {
  LoopedNow = false;
  if (Live()) Mix_HaltChannel(ChannelNo);
}

bool TVoice::Playing() const { return Live() && Mix_Playing(ChannelNo) != 0; }

void TVoice::SetVolume(int attenuation) {
  if (Live()) Mix_Volume(ChannelNo, int(std::lround(MIX_MAX_VOLUME * AttenuationFactor(attenuation))));
}

void TVoice::SetPan(int pan) {
  if (!Live()) return;
  const auto quiet = Uint8(std::lround(255 * AttenuationFactor(-std::abs(pan))));
  // Full left and right volume unregisters the panning effect: no cost when centred.
  Mix_SetPanning(ChannelNo, pan > 0 ? quiet : 255, pan < 0 ? quiet : 255);
}

std::vector<TChannelState> Channels() {
  std::vector<TChannelState> states;
  for (TVoice* voice : ChannelOwner)
    if (voice) {
      const bool playing = voice->Playing();
      states.push_back({voice->Channel(), voice->Sample(), playing, playing && voice->Looped()});
    }
  return states;
}

int AllocatedChannels() { return int(ChannelOwner.size()); }

void SetMusicSource(TMusicSource source) {
  std::lock_guard lock(MusicLock);
  MusicSourceFn = source;
}

void RenderMusic(int16_t* out, int frames) {
  std::lock_guard lock(MusicLock);
  if (MusicSourceFn)
    MusicSourceFn(out, frames);
  else
    std::memset(out, 0, size_t(frames) * OutputChannels * sizeof(int16_t));
}

}  // namespace Platform::Audio
