#include "media/DXSounds/WaveCollection.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>

#include "media/DXClass/ComponentStream.h"
#include "media/DXClass/NameBucket.h"
#include "media/Platform/Audio.h"

namespace Audio = Platform::Audio;

namespace {

constexpr const char* ClassName = "TWaveCollectionComponent";

[[noreturn]] void BadStream() { throw EStreamError("Invalid stream format"); }

void ReadItem(const TStreamItem& source, TWaveCollectionItem& item) {
  for (const TStreamProperty& p : source.Properties) {
    const TStreamValue& v = p.Value;
    if (p.Name == "Name") {
      if (!v.IsString()) BadStream();
      item.SetName(v.Text);
    } else if (p.Name == "Looped") {
      if (!v.IsBoolean()) BadStream();
      item.SetLooped(v.Int != 0);
    } else if (p.Name == "MaxPlayingCount") {
      if (!v.IsInteger()) BadStream();
      item.SetMaxPlayingCount(v.Int);
    } else if (p.Name == "Wave.WAVE") {
      if (v.Type != TValueType::vaBinary) BadStream();
      item.Wave = ReadRiffWave(v.Binary());
    }
    // Anything else a newer writer might add is left alone.
  }
}

}  // namespace

// --- TWaveCollectionItem ---

TWaveCollectionItem::TWaveCollectionItem(TWaveCollection* owner) : Owner(owner) {}

TWaveCollectionItem::~TWaveCollectionItem() { Finalize(); }

void TWaveCollectionItem::SetName(std::string name) {
  if (Owner) Owner->Unlink(this);
  ItemName = std::move(name);
  if (Owner) Owner->Link(this);
}

void TWaveCollectionItem::SetLooped(bool value) {
  if (value == IsLooped) return;
  Stop();
  IsLooped = value;
}

void TWaveCollectionItem::SetMaxPlayingCount(int32_t value) {
  value = std::max(value, 0);
  if (value == MaxCount) return;
  MaxCount = value;
  CopyVoices.clear();
}

void TWaveCollectionItem::SetFrequency(int32_t value) {
  if (value == FrequencyHz) return;
  FrequencyHz = value;
  Prepared.reset();
  // The rate is baked into the converted samples, so the buffers are made anew.
  if (IsInitialized) Initialize();
}

void TWaveCollectionItem::SetPan(int32_t value) {
  PanValue = std::clamp(value, -10000, 10000);
  if (MasterVoice) MasterVoice->SetPan(PanValue);
}

void TWaveCollectionItem::SetVolume(int32_t value) {
  VolumeValue = std::clamp(value, -10000, 0);
  if (MasterVoice) MasterVoice->SetVolume(VolumeValue);
}

std::shared_ptr<Audio::TSample> TWaveCollectionItem::Convert() const {
  const TWaveFormat& f = Wave.Format;
  const int rate = FrequencyHz > 0 ? std::clamp<int>(FrequencyHz, Audio::MinSourceRate, Audio::MaxSourceRate)
                                   : int(f.SamplesPerSec);
  try {
    return std::make_shared<Audio::TSample>(Audio::ConvertToOutput({rate, f.Channels, f.BitsPerSample}, Wave.Data));
  } catch (const Audio::EAudioError&) {
    throw EWaveError("Wave is invalid");
  }
}

void TWaveCollectionItem::Initialize() {
  Finalize();
  if (!Wave.Empty()) {
    Sample = Prepared ? std::exchange(Prepared, nullptr) : Convert();
    MasterVoice = std::make_unique<Audio::TVoice>(Sample);
    MasterVoice->SetPan(PanValue);
    MasterVoice->SetVolume(VolumeValue);
  }
  IsInitialized = true;
}

void TWaveCollectionItem::Finalize() {
  CopyVoices.clear();
  MasterVoice.reset();
  Sample.reset();
  IsInitialized = false;
}

void TWaveCollectionItem::Play(bool wait) {
  if (!IsInitialized || !MasterVoice) return;
  if (IsLooped) {
    MasterVoice->Stop();
    MasterVoice->Play(true);
    return;
  }
  auto idle = std::find_if(CopyVoices.begin(), CopyVoices.end(),
                           [](const auto& copy) { return !copy->Playing(); });
  Audio::TVoice* copy;
  if (idle != CopyVoices.end()) {
    copy = idle->get();
  } else if (MaxCount > 0 && CopyVoices.size() >= size_t(MaxCount)) {
    // All copies busy and no room for another: the oldest starts over as the newest.
    std::rotate(CopyVoices.begin(), CopyVoices.begin() + 1, CopyVoices.end());
    copy = CopyVoices.back().get();
  } else {
    copy = CopyVoices.emplace_back(std::make_unique<Audio::TVoice>(Sample)).get();
  }
  copy->Stop();
  copy->SetPan(PanValue);
  copy->SetVolume(VolumeValue);
  copy->Play(false);
  if (wait)
    while (copy->Playing()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

void TWaveCollectionItem::Stop() {
  if (!IsInitialized) return;
  if (MasterVoice) MasterVoice->Stop();
  for (auto& copy : CopyVoices) copy->Stop();
}

int TWaveCollectionItem::Index() const {
  if (!Owner) return -1;
  for (int i = 0; i < Owner->Count(); ++i)
    if (&Owner->Items(i) == this) return i;
  return -1;
}

// --- TWaveCollection ---

TWaveCollection::~TWaveCollection() { Clear(); }

void TWaveCollection::Link(TWaveCollectionItem* item) {
  Buckets[NameBucket(item->ItemName)].push_back(item);
}

void TWaveCollection::Unlink(TWaveCollectionItem* item) {
  std::erase(Buckets[NameBucket(item->ItemName)], item);
}

TWaveCollectionItem& TWaveCollection::Find(std::string_view name) const {
  const auto& chain = Buckets[NameBucket(name)];
  for (auto it = chain.rbegin(); it != chain.rend(); ++it)
    if (SameName((*it)->ItemName, name)) return **it;
  throw EWaveCollectionError("Wave '" + std::string(name) + "' not found");
}

TWaveCollectionItem& TWaveCollection::Add() {
  auto& item = *List.emplace_back(std::make_unique<TWaveCollectionItem>(this));
  Link(&item);
  return item;
}

void TWaveCollection::Delete(int index) {
  auto& item = List.at(size_t(index));
  Unlink(item.get());
  List.erase(List.begin() + index);
}

void TWaveCollection::Clear() {
  List.clear();
  for (auto& chain : Buckets) chain.clear();
}

void TWaveCollection::LoadFromFile(const std::string& gamePath) {
  LoadFromBytes(MapWholeFile(gamePath).Bytes());
}

void TWaveCollection::LoadFromBytes(std::span<const uint8_t> bytes) {
  // Read in full first, so a bad file leaves the current items alone.
  Take(Read(bytes));
}

TLoadedWaves TWaveCollection::Read(std::span<const uint8_t> bytes) {
  const TStreamComponent component = ReadComponentResourceInPlace(bytes);
  if (component.ClassName != ClassName) BadStream();
  TLoadedWaves loaded;
  if (const TStreamValue* list = component.Find("List")) {
    if (list->Type != TValueType::vaCollection) BadStream();
    for (const TStreamItem& source : list->Items) {
      TWaveCollectionItem& item = *loaded.Items.emplace_back(std::make_unique<TWaveCollectionItem>(nullptr));
      ReadItem(source, item);
      // Converted here, off the main thread when read beside it; a wave that cannot be
      // is left to Initialize, which raises its error where it always has.
      if (!item.Wave.Empty()) try {
          item.Prepared = item.Convert();
        } catch (const EWaveError&) {
        }
    }
  }
  return loaded;
}

TLoadedWaves TWaveCollection::ReadFile(const std::string& gamePath) { return Read(MapWholeFile(gamePath).Bytes()); }

void TWaveCollection::Take(TLoadedWaves loaded) {
  Clear();
  List = std::move(loaded.Items);
  for (auto& item : List) {
    item->Owner = this;
    Link(item.get());
  }
  if (Sound && Sound->Initialized())
    Initialize();
  else
    for (auto& item : List) item->Prepared.reset();  // nothing to play them on
}

void TWaveCollection::Initialize() {
  for (auto& item : List) item->Initialize();
}

void TWaveCollection::Finalize() {
  for (auto& item : List) item->Finalize();
}

// --- TDXWaveList ---

TDXWaveList::TDXWaveList(TDXSound* dxSound) : Items(dxSound) {
  if (dxSound) dxSound->RegisterNotifyEvent(this);
}

TDXWaveList::~TDXWaveList() {
  if (Items.DXSound()) Items.DXSound()->UnRegisterNotifyEvent(this);
  Items.Finalize();
}

void TDXWaveList::DXSoundNotify(TDXSound& sender, TDXSoundNotifyType type) {
  switch (type) {
    case TDXSoundNotifyType::Initialize:
      Items.Initialize();
      break;
    case TDXSoundNotifyType::Finalize:
      Items.Finalize();
      break;
    case TDXSoundNotifyType::Destroy:
      Items.Finalize();
      sender.UnRegisterNotifyEvent(this);
      Items.SetDXSound(nullptr);
      break;
  }
}

// --- writing ---

std::vector<uint8_t> WriteWaveLibrary(std::span<const TWaveEntry> entries) {
  TStreamComponent component;
  component.ClassName = ClassName;
  component.ObjectName = "WaveList";
  TStreamValue list;
  list.Type = TValueType::vaCollection;
  for (const TWaveEntry& e : entries) {
    TStreamItem& item = list.Items.emplace_back();
    auto add = [&](const char* name, TValueType type) -> TStreamValue& {
      TStreamProperty& p = item.Properties.emplace_back();
      p.Name = name;
      p.Value.Type = type;
      return p.Value;
    };
    add("Name", TValueType::vaString).Text = e.Name;
    add("Looped", e.Looped ? TValueType::vaTrue : TValueType::vaFalse).Int = e.Looped;
    add("MaxPlayingCount", TValueType::vaInt8).Int = e.MaxPlayingCount;
    add("Wave.WAVE", TValueType::vaBinary).Data = WriteRiffWave(e.Wave);
  }
  component.Properties.push_back({"List", std::move(list)});
  return WriteComponentResource(component, "TWaveCollectionComponent");
}
