// Sounds: descriptions render to what the game's sound library reads back, and the two
// looping sounds loop without a click.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "tests/data/DataTestUtil.h"
#include "tools/sprdata/FileUtil.h"
#include "tools/sprdata/SoundLibrary.h"
#include "tools/sprdata/Synth.h"

namespace {

std::vector<int> Samples16(const TWave& wave) {
  std::vector<int> out;
  for (size_t i = 0; i + 1 < wave.Data.size(); i += 2) out.push_back(int16_t(wave.Data[i] | wave.Data[i + 1] << 8));
  return out;
}

TEST(SoundLibrary, PackedSoundsReadBackThroughTheGamesReader) {
  TScratchDir dir;
  dir.Write("blip.txt", "sound length=0.1 peak=-3\ntone wave=square note=E6 decay=0.03\n");
  dir.Write("blip8.txt", "sound length=0.05 bits=8 rate=44100\nnoise decay=0.01 lp=3000\n");
  dir.Write("hum.txt", "sound length=0.25\ntone wave=saw freq=110 lp=800\n");
  const std::string manifest = dir.Write("manifest.txt",
      "Blip  blip.txt  max=2\n"
      "Crack blip8.txt\n"
      "Hum   hum.txt   looped=yes max=1\n");
  const auto packed = PackSounds(ReadSoundManifest(manifest));
  WriteFileAtomically(dir / "s.dxw", WriteWaveLibrary(packed));
  const auto back = ReadSoundLibrary(dir / "s.dxw");

  struct TWant {
    const char* Name;
    bool Looped;
    int Max;
    uint32_t Rate;
    uint16_t Bits;
    size_t Frames;
  };
  const TWant want[] = {{"Blip", false, 2, 22050, 16, 2205}, {"Crack", false, 0, 44100, 8, 2205}, {"Hum", true, 1, 22050, 16, 5513}};
  ASSERT_EQ(back.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(want[i].Name);
    EXPECT_EQ(back[i].Name, want[i].Name);
    EXPECT_EQ(back[i].Looped, want[i].Looped);
    EXPECT_EQ(back[i].MaxPlayingCount, want[i].Max);
    EXPECT_EQ(back[i].Wave.Format.SamplesPerSec, want[i].Rate);
    EXPECT_EQ(back[i].Wave.Format.BitsPerSample, want[i].Bits);
    EXPECT_EQ(back[i].Wave.Format.Channels, 1);
    EXPECT_EQ(back[i].Wave.Data.size(), want[i].Frames * want[i].Bits / 8);
    EXPECT_EQ(back[i].Wave.Data, packed[i].Wave.Data);
  }
  // Normalised to its peak: -3 dB is 0.708 of full scale.
  const auto blip = Samples16(back[0].Wave);
  const int peak = std::abs(*std::max_element(blip.begin(), blip.end(), [](int a, int b) { return std::abs(a) < std::abs(b); }));
  EXPECT_NEAR(peak, 0.708 * 32767, 60);
}

// The step from the loop's last sample to its first must look like any other step.
void ExpectSmoothSeam(const std::vector<float>& x, const std::string& what) {
  ASSERT_GT(x.size(), 100u);
  std::vector<float> steps;
  for (size_t i = 1; i < x.size(); ++i) steps.push_back(std::abs(x[i] - x[i - 1]));
  std::sort(steps.begin(), steps.end());
  const float seam = std::abs(x.front() - x.back());
  EXPECT_LE(seam, steps[steps.size() * 99 / 100]) << what << ": seam step " << seam;
}

TEST(SoundLoop, LoopsWrapWithoutAClick) {
  TScratchDir dir;
  // Frequencies that do not fit the loop, notes that run past its end, filtered noise.
  const std::string description = dir.Write("loop.txt",
      "sound length=0.3\n"
      "tone wave=saw freq=101.7 lp=900 q=2\n"
      "noise bp=400 q=1.5 vol=0.5 trem=13:0.7\n"
      "noise every=0.07 dur=0.09 decay=0.03 hp=300 vol=0.8\n");
  const auto x = RenderSynth(ReadSynthDescription(description), true);
  EXPECT_EQ(x.size(), 6615u);
  ExpectSmoothSeam(x, "test loop");
  // Rendered as one-shot the same text ends where it ends: the seam is a real jump.
  const auto once = RenderSynth(ReadSynthDescription(description), false);
  EXPECT_EQ(once.back(), 0.0f);
}

TEST(SoundLoop, ShippedEngineAndShotLoopSmoothly) {
  for (const char* name : {"engine", "shot"}) {
    const std::string path = std::string(SPRAYRUSH_SOURCE_DIR) + "/assets/sounds/" + name + ".txt";
    const auto x = RenderSynth(ReadSynthDescription(path), true);
    ExpectSmoothSeam(x, name);
    float peak = 0;
    for (float s : x) peak = std::max(peak, std::abs(s));
    EXPECT_LT(peak, 1.0f) << name;
  }
}

TEST(SoundDescription, MistakesNameFileAndLine) {
  const std::pair<const char*, const char*> cases[] = {
      {"sound length=0.1\ntone wave=sine pitch=440\n", ":2: unknown field 'pitch'"},
      {"sound length=0.1\ntone wave=organ\n", ":2: wave: 'organ'"},
      {"sound length=0.1\ntone note=H4\n", ":2: note: 'H4' is not a note"},
      {"tone freq=440\n", ":1: the sound line must come first"},
      {"sound length=0.1 rate=11025\ntone\n", ":1: rate: 11025 is neither 22050 nor 44100"},
      {"sound length=0.1\nchord C E G\n", ":2: unknown line 'chord'"},
  };
  for (const auto& [text, message] : cases) {
    TScratchDir dir;
    const std::string path = dir.Write("d.txt", text);
    try {
      MakeSound(path, false);
      ADD_FAILURE() << text;
    } catch (const EDataError& e) {
      EXPECT_NE(std::string(e.what()).find(path + message), std::string::npos) << e.what();
    }
  }
}

}  // namespace
