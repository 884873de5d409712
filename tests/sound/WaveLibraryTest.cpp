// Reading waves and sound libraries: what is accepted, what is refused, and lookup by name.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "media/DXClass/ComponentStream.h"
#include "tests/sound/SoundFixture.h"

namespace {

std::vector<uint8_t> Riff(const TWave& w) { return WriteRiffWave(w); }

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(v >> (8 * i));
}

TEST(Wave, RoundTripsEveryPlayableFormat) {
  for (uint16_t bits : {8, 16})
    for (uint16_t channels : {1, 2})
      for (uint32_t rate : {4000u, 11025u, 44100u, 192000u}) {
        const TWave w = ToneWave(rate, channels, bits, 0.01);
        const TWave back = ReadRiffWave(Riff(w));
        EXPECT_EQ(back.Format.Channels, channels);
        EXPECT_EQ(back.Format.BitsPerSample, bits);
        EXPECT_EQ(back.Format.SamplesPerSec, rate);
        EXPECT_EQ(back.Format.BlockAlign, channels * bits / 8);
        EXPECT_EQ(back.Data, w.Data);
      }
}

TEST(Wave, SkipsOtherChunksAndKeepsWholeFrames) {
  TWave w = ToneWave(22050, 2, 16, 0.001);
  std::vector<uint8_t> riff = Riff(w);
  // A "LIST" chunk of odd size (with its pad byte) between the header and "fmt ".
  const std::vector<uint8_t> list{'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0};
  riff.insert(riff.begin() + 12, list.begin(), list.end());
  // Three stray bytes at the end of the samples are not a whole stereo 16-bit frame.
  const size_t dataSizeAt = 12 + list.size() + 8 + 16 + 4;
  Put32(riff, dataSizeAt, uint32_t(w.Data.size() + 3));
  riff.insert(riff.end(), {1, 2, 3, 0});
  const TWave back = ReadRiffWave(riff);
  EXPECT_EQ(back.Data, w.Data);
}

TEST(Wave, RefusesWhatIsNotAPlayableWave) {
  const std::vector<uint8_t> good = Riff(ToneWave(8000, 1, 8, 0.01));
  constexpr size_t Fmt = 12, FmtBody = 20, Data = 36;
  const std::vector<std::pair<const char*, std::function<void(std::vector<uint8_t>&)>>> cases{
      {"empty", [](auto& b) { b.clear(); }},
      {"header cut", [](auto& b) { b.resize(11); }},
      {"not RIFF", [](auto& b) { b[0] = 'X'; }},
      {"not WAVE", [](auto& b) { b[11] = 'X'; }},
      {"no fmt", [](auto& b) { b[Fmt] = 'x'; }},
      {"no data", [](auto& b) { b[Data] = 'x'; }},
      {"fmt too short", [](auto& b) { Put32(b, Fmt + 4, 14); }},
      {"chunk past the end", [](auto& b) { Put32(b, Data + 4, uint32_t(b.size())); }},
      {"huge chunk size", [](auto& b) { Put32(b, Data + 4, 0xFFFFFFFF); }},
      {"compressed", [](auto& b) { b[FmtBody] = 2; }},
      {"24 bits", [](auto& b) { b[FmtBody + 14] = 24; }},
      {"three channels", [](auto& b) { b[FmtBody + 2] = 3; }},
      {"rate 0", [](auto& b) { Put32(b, FmtBody + 4, 0); }},
      {"rate far too high", [](auto& b) { Put32(b, FmtBody + 4, 4000000); }},
  };
  for (const auto& [name, damage] : cases) {
    std::vector<uint8_t> bad = good;
    damage(bad);
    try {
      ReadRiffWave(bad);
      ADD_FAILURE() << name << " was accepted";
    } catch (const EWaveError& e) {
      EXPECT_STREQ(e.what(), "Wave is invalid") << name;
    }
  }
}

TEST(WaveLibrary, ReadsItemsAndFindsThemRegardlessOfCase) {
  const std::vector<TWaveEntry> entries{Entry("Shot", 0.1, true), Entry("Money", 0.1, false, 3),
                                        Entry("B_Act", 0.05)};
  TWaveCollection waves;
  waves.LoadFromBytes(WriteWaveLibrary(entries));
  ASSERT_EQ(waves.Count(), 3);
  EXPECT_EQ(&waves.Find("shot"), &waves.Items(0));
  EXPECT_EQ(&waves.Find("MONEY"), &waves.Items(1));
  EXPECT_EQ(waves.Find("b_act").Index(), 2);
  EXPECT_TRUE(waves.Find("Shot").Looped());
  EXPECT_EQ(waves.Find("Money").MaxPlayingCount(), 3);
  EXPECT_EQ(waves.Find("Money").Wave.Data, entries[1].Wave.Data);
  EXPECT_FALSE(waves.Find("Money").Initialized());  // no output bound
  try {
    waves.Find("Shots");
    ADD_FAILURE();
  } catch (const EWaveCollectionError& e) {
    EXPECT_STREQ(e.what(), "Wave 'Shots' not found");
  }
}

TEST(WaveLibrary, LaterNamesWinAndRenamingRefilesTheIndex) {
  TWaveCollection waves;
  TWaveCollectionItem& first = waves.Add();
  first.SetName("Tick");
  TWaveCollectionItem& second = waves.Add();
  second.SetName("TICK");
  EXPECT_EQ(&waves.Find("tick"), &second);
  second.SetName("Tock");
  EXPECT_EQ(&waves.Find("tick"), &first);
  EXPECT_EQ(&waves.Find("tock"), &second);
  waves.Delete(0);
  EXPECT_EQ(second.Index(), 0);
  EXPECT_THROW(waves.Find("Tick"), EWaveCollectionError);
}

TEST(WaveLibrary, ADamagedFileIsRefusedAndLeavesTheLibraryAsItWas) {
  const std::vector<TWaveEntry> entries{Entry("Engine", 0.1, true)};
  TWaveCollection waves;
  waves.LoadFromBytes(WriteWaveLibrary(entries));

  std::vector<TWaveEntry> badWave{Entry("Bad", 0.1)};
  badWave[0].Wave.Format.BitsPerSample = 12;
  EXPECT_THROW(waves.LoadFromBytes(WriteWaveLibrary(badWave)), EWaveError);

  TStreamComponent other;
  other.ClassName = "TPictureCollectionComponent";
  EXPECT_THROW(waves.LoadFromBytes(WriteComponentResource(other, "X")), EStreamError);

  // "Looped" written as a number instead of a boolean.
  TStreamComponent mistyped = ReadComponentResource(WriteWaveLibrary(entries));
  for (auto& item : mistyped.Properties[0].Value.Items)
    for (auto& p : item.Properties)
      if (p.Name == "Looped") p.Value.Type = TValueType::vaInt8;
  EXPECT_THROW(waves.LoadFromBytes(WriteComponentResource(mistyped, "X")), EStreamError);

  std::vector<uint8_t> cut = WriteWaveLibrary(entries);
  cut.resize(cut.size() / 2);
  EXPECT_THROW(waves.LoadFromBytes(cut), EStreamError);

  ASSERT_EQ(waves.Count(), 1);
  EXPECT_TRUE(waves.Find("Engine").Looped());
}

TEST(WaveLibrary, LoadsFromAGamePath) {
  const std::string dir = ::testing::TempDir();
  const std::vector<uint8_t> bytes = WriteWaveLibrary(std::vector{Entry("Tree", 0.05)});
  FILE* f = std::fopen((dir + "/Sounds.dxw").c_str(), "wb");
  ASSERT_TRUE(f);
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  TWaveCollection waves;
  waves.LoadFromFile(dir + "\\Sounds.dxw");
  EXPECT_EQ(waves.Find("tree").Index(), 0);
  EXPECT_THROW(waves.LoadFromFile(dir + "\\Missing.dxw"), EFOpenError);
}

TEST(Conversion, BringsEveryFormatToStereo16BitAtTheOutputRate) {
  namespace Audio = Platform::Audio;
  for (uint16_t bits : {8, 16})
    for (uint16_t channels : {1, 2})
      for (uint32_t rate : {8000u, 22050u, 44100u, 48000u}) {
        const TWave w = ToneWave(rate, channels, bits, 0.5, 441);
        const std::vector<int16_t> pcm =
            Audio::ConvertToOutput({int(rate), channels, bits}, w.Data);
        const double frames = double(pcm.size()) / Audio::OutputChannels;
        EXPECT_NEAR(frames, Audio::OutputRate * 0.5, 64) << bits << "/" << channels << "/" << rate;
        // The tone survives: peaks near half scale on both sides, in both channels.
        int16_t top = 0, left = 0, right = 0;
        for (size_t i = 0; i < pcm.size(); i += 2) {
          top = std::max(top, pcm[i]);
          left = std::max(left, pcm[i]);
          right = std::max(right, pcm[i + 1]);
        }
        EXPECT_NEAR(top, 16384, 1200) << bits << "/" << channels << "/" << rate;
        EXPECT_EQ(left, right);
      }
  EXPECT_THROW(Audio::ConvertToOutput({100, 1, 8}, std::vector<uint8_t>(10)), Audio::EAudioError);
}

}  // namespace
