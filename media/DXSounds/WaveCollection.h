#pragma once
// Named sound effects loaded from a sound library file, played through the sound output.
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "media/DXSounds/DXSound.h"
#include "media/DXSounds/Wave/Wave.h"

namespace Platform::Audio {
class TSample;
class TVoice;
}  // namespace Platform::Audio

// "Wave '%s' not found".
class EWaveCollectionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TWaveCollection;
struct TLoadedWaves;

class TWaveCollectionItem {
 public:
  explicit TWaveCollectionItem(TWaveCollection* owner);
  ~TWaveCollectionItem();
  TWaveCollectionItem(const TWaveCollectionItem&) = delete;
  TWaveCollectionItem& operator=(const TWaveCollectionItem&) = delete;

  // Stored in the library file.
  const std::string& Name() const { return ItemName; }
  void SetName(std::string name);  // re-files the item in its library's index
  bool Looped() const { return IsLooped; }
  void SetLooped(bool value);  // stops the item first
  int32_t MaxPlayingCount() const { return MaxCount; }
  void SetMaxPlayingCount(int32_t value);  // clamped to >= 0 (0 = unlimited); frees the copies
  TWave Wave;  // takes effect at the next Initialize

  // Not stored; the game leaves them at 0.
  int32_t Frequency() const { return FrequencyHz; }
  void SetFrequency(int32_t value);  // 0 = the wave's own rate
  int32_t Pan() const { return PanValue; }
  void SetPan(int32_t value);  // hundredths of a decibel towards one side, 0 = centre
  int32_t Volume() const { return VolumeValue; }
  void SetVolume(int32_t value);  // attenuation in hundredths of a decibel, 0 = full

  bool Initialized() const { return IsInitialized; }
  // Makes the master buffer from the wave; finalises first. Needs an initialised output.
  void Initialize();
  void Finalize();

  void Play(bool wait);
  void Stop();

  int Index() const;
  // The buffers, for looking at what plays: the master (looping) and the copies, oldest first.
  const Platform::Audio::TVoice* Master() const { return MasterVoice.get(); }
  const std::vector<std::unique_ptr<Platform::Audio::TVoice>>& Copies() const { return CopyVoices; }

 private:
  friend class TWaveCollection;
  TWaveCollection* Owner;
  std::string ItemName;
  bool IsLooped = false;
  int32_t MaxCount = 0;
  int32_t FrequencyHz = 0, PanValue = 0, VolumeValue = 0;
  bool IsInitialized = false;
  std::shared_ptr<Platform::Audio::TSample> Sample;
  // Converted while the library was read, for the first Initialize to take.
  std::shared_ptr<Platform::Audio::TSample> Prepared;
  std::shared_ptr<Platform::Audio::TSample> Convert() const;
  std::unique_ptr<Platform::Audio::TVoice> MasterVoice;
  std::vector<std::unique_ptr<Platform::Audio::TVoice>> CopyVoices;
};

class TWaveCollection {
 public:
  explicit TWaveCollection(TDXSound* dxSound = nullptr) : Sound(dxSound) {}
  ~TWaveCollection();
  TWaveCollection(const TWaveCollection&) = delete;
  TWaveCollection& operator=(const TWaveCollection&) = delete;

  // Throws EWaveCollectionError "Wave '%s' not found". Case does not matter; of two items
  // with the same name the one added (or renamed) later is found.
  TWaveCollectionItem& Find(std::string_view name) const;
  int Count() const { return int(List.size()); }
  TWaveCollectionItem& Items(int index) const { return *List.at(size_t(index)); }
  TWaveCollectionItem& Add();
  void Delete(int index);
  void Clear();

  // Reads a sound library: the file as a game path, or its bytes. Replaces the items and
  // initialises them when the output is. Throws EStreamError, EWaveError, EFOpenError.
  void LoadFromFile(const std::string& gamePath);
  void LoadFromBytes(std::span<const uint8_t> bytes);
  // Loading in two halves: reading the file, which needs no library and may run on
  // another thread, and taking the sounds in, which replaces the items and initialises
  // them when the output is.
  static TLoadedWaves Read(std::span<const uint8_t> bytes);
  static TLoadedWaves ReadFile(const std::string& gamePath);
  void Take(TLoadedWaves loaded);

  void Initialize();
  void Finalize();
  TDXSound* DXSound() const { return Sound; }
  void SetDXSound(TDXSound* dxSound) { Sound = dxSound; }

 private:
  friend class TWaveCollectionItem;
  void Link(TWaveCollectionItem* item);
  void Unlink(TWaveCollectionItem* item);

  TDXSound* Sound;
  std::vector<std::unique_ptr<TWaveCollectionItem>> List;
  std::array<std::vector<TWaveCollectionItem*>, 256> Buckets;  // chain head at the back
};

// Sounds read from a library file, not yet in a library.
struct TLoadedWaves {
  std::vector<std::unique_ptr<TWaveCollectionItem>> Items;
};

// The component: owns one library and keeps it bound to the sound output.
class TDXWaveList : public TDXSoundListener {
 public:
  explicit TDXWaveList(TDXSound* dxSound);
  ~TDXWaveList() override;
  TWaveCollection Items;
  void LoadFromFile(const std::string& gamePath) { Items.LoadFromFile(gamePath); }
  void DXSoundNotify(TDXSound& sender, TDXSoundNotifyType type) override;
};

// The file image of a sound library holding the given items; the data tools write it.
struct TWaveEntry {
  std::string Name;
  bool Looped = false;
  int32_t MaxPlayingCount = 0;
  TWave Wave;
};
std::vector<uint8_t> WriteWaveLibrary(std::span<const TWaveEntry> entries);
