#include "tools/sprdata/SoundLibrary.h"

#include "tools/sprdata/FileUtil.h"
#include "tools/sprdata/Synth.h"

std::vector<TWaveEntry> PackSounds(const std::vector<TSoundSource>& sources) {
  std::vector<TWaveEntry> entries;
  for (const auto& source : sources) {
    TWaveEntry entry;
    entry.Name = source.Name;
    entry.Looped = source.Looped;
    entry.MaxPlayingCount = source.MaxPlayingCount;
    try {
      entry.Wave = MakeSound(source.Description, source.Looped);
    } catch (const EDataError& e) {
      TSourceLine{source.File, source.Line, {}}.Fail(source.Name + ": " + e.what());
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::vector<TWaveEntry> ReadSoundLibrary(const std::string& path) {
  TWaveCollection library;
  library.LoadFromBytes(ReadFileBytes(path));
  std::vector<TWaveEntry> entries;
  for (int i = 0; i < library.Count(); ++i) {
    const TWaveCollectionItem& item = library.Items(i);
    entries.push_back({item.Name(), item.Looped(), item.MaxPlayingCount(), item.Wave});
  }
  return entries;
}
