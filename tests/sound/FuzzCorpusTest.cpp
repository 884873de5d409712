// Every input kept from fuzzing the sound library reader (the seeds and each case it ever
// found) goes through the readers again: only their own errors may come out.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "media/DXClass/ComponentStream.h"
#include "media/DXSounds/WaveCollection.h"
#include "media/Platform/Audio.h"

namespace {

TEST(SoundLibraryFuzzCorpus, EveryKeptInputEndsInAReaderErrorOrLoads) {
  const std::filesystem::path dir =
      std::filesystem::path(SPRAYRUSH_SOURCE_DIR) / "tests/fuzz/corpus/sound_library";
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    std::ifstream in(entry.path(), std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    SCOPED_TRACE(entry.path().filename().string());
    ++files;
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
  EXPECT_GE(files, 4);
}

}  // namespace
