// Every input kept from fuzzing (the seeds and each case a fuzzer ever found) goes through
// the readers again: the sound library and wave readers may only raise their own errors,
// the module player may only refuse a tune or play it.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/ModPlayer.h"
#include "media/DXClass/ComponentStream.h"
#include "media/DXSounds/WaveCollection.h"
#include "media/Platform/Audio.h"

namespace {

std::vector<std::pair<std::string, std::vector<uint8_t>>> Corpus(const char* name) {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
  const auto dir = std::filesystem::path(SPRAYRUSH_SOURCE_DIR) / "tests/fuzz/corpus" / name;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    std::ifstream in(entry.path(), std::ios::binary);
    files.emplace_back(entry.path().filename().string(),
                       std::vector<uint8_t>{std::istreambuf_iterator<char>(in), {}});
  }
  return files;
}

TEST(SoundLibraryFuzzCorpus, EveryKeptInputEndsInAReaderErrorOrLoads) {
  const auto files = Corpus("sound_library");
  EXPECT_GE(files.size(), 4u);
  for (const auto& [name, bytes] : files) {
    SCOPED_TRACE(name);
    try {
      if (bytes.size() >= 4 && std::memcmp(bytes.data(), "RIFF", 4) == 0) {
        const TWave w = ReadRiffWave(bytes);
        Platform::Audio::ConvertToOutput(
            {int(w.Format.SamplesPerSec), w.Format.Channels, w.Format.BitsPerSample}, w.Data);
      } else {
        TWaveCollection lib;
        lib.LoadFromBytes(bytes);
        for (int i = 0; i < lib.Count(); ++i) EXPECT_NO_THROW(lib.Find(lib.Items(i).Name()));
      }
    } catch (const EStreamError&) {
    } catch (const EWaveError&) {
    }
  }
}

TEST(MusicModuleFuzzCorpus, EveryKeptModuleIsRefusedOrPlays) {
  const auto files = Corpus("music_module");
  EXPECT_GE(files.size(), 2u);
  for (const auto& [name, bytes] : files) {
    SCOPED_TRACE(name);
    if (const uintptr_t song = SongLoadFromMemory(bytes)) {
      SongPlay(song);
      std::vector<int16_t> pcm(2 * 1024);
      for (int i = 0; i < 8; ++i) SongRender(pcm.data(), 1024);
      SongFree(song);
    }
  }
}

}  // namespace
