#pragma once
// Sound output: one mixer on the default device, a voice per playing buffer, and one
// music source mixed underneath the voices. Everything is mixed as interleaved signed
// 16-bit stereo at OutputRate.
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <vector>

struct Mix_Chunk;

namespace Platform::Audio {

inline constexpr int OutputRate = 44100;
inline constexpr int OutputChannels = 2;
// Source rates accepted for conversion; the bounds keep a wave from growing more than
// about fifty-fold when it is brought to the output rate.
inline constexpr int MinSourceRate = 4000;
inline constexpr int MaxSourceRate = 192000;

class EAudioError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TPcmFormat {
  int Rate = 0;      // frames per second
  int Channels = 0;  // 1 or 2
  int Bits = 0;      // 8 (unsigned) or 16 (signed, little-endian)
};

// Converts PCM to the output format; throws EAudioError for a format outside the
// accepted ones. A trailing partial frame is dropped.
std::vector<int16_t> ConvertToOutput(const TPcmFormat& format, std::span<const uint8_t> data);

// Opens the default output device (reference-counted). False when there is no device or
// it cannot be opened; the caller then stays silent.
bool Open();
void Close();
bool IsOpen();

// Converted samples, shared by a master buffer and its copies.
class TSample {
 public:
  explicit TSample(std::vector<int16_t> pcm);
  ~TSample();
  TSample(const TSample&) = delete;
  TSample& operator=(const TSample&) = delete;
  int64_t Frames() const { return int64_t(Pcm.size() / OutputChannels); }

 private:
  friend class TVoice;
  std::vector<int16_t> Pcm;
  Mix_Chunk* Chunk = nullptr;  // made by the first voice, while the device is open
};

// A buffer that can play: owns one mixer channel for its lifetime. Needs an open device.
class TVoice {
 public:
  explicit TVoice(std::shared_ptr<TSample> sample);
  ~TVoice();
  TVoice(const TVoice&) = delete;
  TVoice& operator=(const TVoice&) = delete;

  void Play(bool looped);  // from the start
  void Stop();
  bool Playing() const;
  bool Looped() const { return LoopedNow; }
  void SetVolume(int attenuation);  // hundredths of a decibel: 0 full, -10000 silent
  void SetPan(int pan);             // -10000 left only, 0 centre, 10000 right only
  int Channel() const { return ChannelNo; }
  int Starts() const { return StartCount; }
  const TSample* Sample() const { return Source.get(); }

 private:
  bool Live() const;  // the device is open and still the one the channel was taken from

  std::shared_ptr<TSample> Source;
  int ChannelNo = -1;
  int SessionNo = 0;
  int StartCount = 0;
  bool LoopedNow = false;
};

// What a mixer channel is doing now; lets tests look at the mix without listening.
struct TChannelState {
  int Channel = 0;
  const TSample* Sample = nullptr;
  bool Playing = false;
  bool Looped = false;
};
std::vector<TChannelState> Channels();  // every channel a voice holds
int AllocatedChannels();

// The music source fills frames * OutputChannels samples (it must write every one).
// Called on the mixer thread; SetMusicSource returns only when the old source is no
// longer running. nullptr mixes silence.
using TMusicSource = void (*)(int16_t* out, int frames);
void SetMusicSource(TMusicSource source);
// Runs the music source as the mixer does, for measurements without a device.
void RenderMusic(int16_t* out, int frames);

}  // namespace Platform::Audio
