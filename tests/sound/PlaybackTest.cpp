// Playing named waves through the sound output: copies, restarts, loops, and silence
// without a device. What sounds is read from the mixer's channels, not from the clock.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/ModPlayer.h"
#include "tests/sound/SoundFixture.h"
#include "tests/sound/XmBuilder.h"

namespace {

// Long enough that nothing ends by itself while a test looks at it.
constexpr double Long = 20;

class Playback : public TSoundTest {
 protected:
  void SetUp() override {
    OpenOutput("dummy");
    ASSERT_TRUE(Sound->Initialized());
    Waves->Items.LoadFromBytes(WriteWaveLibrary(std::vector{
        Entry("Money", Long), Entry("Shot", Long, true), Entry("Duck", Long, false, 2)}));
  }
  TWaveCollectionItem& Item(const char* name) { return Waves->Items.Find(name); }
};

TEST_F(Playback, LoadingWithTheOutputOpenInitialisesEveryItem) {
  for (int i = 0; i < Waves->Items.Count(); ++i) {
    EXPECT_TRUE(Waves->Items.Items(i).Initialized());
    ASSERT_NE(Waves->Items.Items(i).Master(), nullptr);
  }
  Sound->Finalize();
  EXPECT_FALSE(Item("Money").Initialized());
  Item("Money").Play(false);  // an uninitialised item plays nothing and does not fail
  EXPECT_EQ(Sounding(Item("Money")), 0);
  Sound->Initialize();
  EXPECT_TRUE(Item("Money").Initialized());
}

TEST_F(Playback, StopThenPlayCutsAndRestartsOneInstance) {
  for (const char* name : {"Money", "Shot"}) {
    TWaveCollectionItem& item = Item(name);
    for (int i = 0; i < 3; ++i) {
      item.Stop();
      item.Play(false);
    }
    EXPECT_EQ(Sounding(item), 1) << name;
    const Platform::Audio::TVoice* voice = item.Looped() ? item.Master() : item.Copies()[0].get();
    EXPECT_EQ(voice->Starts(), 3) << name;
    EXPECT_LE(item.Copies().size(), 1u) << name;
  }
}

TEST_F(Playback, PlayWithoutStopAddsCopiesAndTheLimitRestartsTheOldest) {
  TWaveCollectionItem& money = Item("Money");  // unlimited
  for (int i = 0; i < 3; ++i) money.Play(false);
  EXPECT_EQ(Sounding(money), 3);

  TWaveCollectionItem& duck = Item("Duck");  // at most two
  duck.Play(false);
  duck.Play(false);
  ASSERT_EQ(duck.Copies().size(), 2u);
  const Platform::Audio::TVoice* oldest = duck.Copies()[0].get();
  const Platform::Audio::TVoice* newer = duck.Copies()[1].get();
  duck.Play(false);
  ASSERT_EQ(duck.Copies().size(), 2u);
  EXPECT_EQ(duck.Copies()[0].get(), newer);
  EXPECT_EQ(duck.Copies()[1].get(), oldest);  // moved to the end as the newest
  EXPECT_EQ(oldest->Starts(), 2);
  EXPECT_EQ(newer->Starts(), 1);
  EXPECT_EQ(Sounding(duck), 2);

  // Changing the limit frees the copies; stopping silences everything.
  duck.SetMaxPlayingCount(-5);
  EXPECT_EQ(duck.MaxPlayingCount(), 0);
  EXPECT_TRUE(duck.Copies().empty());
  money.Stop();
  EXPECT_EQ(Sounding(money), 0);
}

TEST_F(Playback, EachPlayingBufferHoldsItsOwnChannel) {
  for (int i = 0; i < 12; ++i) Item("Money").Play(false);
  Item("Shot").Play(false);
  int money = 0, shot = 0;
  for (const auto& c : Platform::Audio::Channels()) {
    if (!c.Playing) continue;
    money += c.Sample == Item("Money").Master()->Sample();
    shot += c.Sample == Item("Shot").Master()->Sample() && c.Looped;
  }
  EXPECT_EQ(money, 12);
  EXPECT_EQ(shot, 1);
  // Three masters and twelve copies: more channels than the mixer starts with.
  EXPECT_GE(Platform::Audio::AllocatedChannels(), 15);
}

TEST_F(Playback, ChangingLoopedStopsTheItem) {
  TWaveCollectionItem& shot = Item("Shot");
  shot.Play(false);
  EXPECT_TRUE(shot.Master()->Playing());
  shot.SetLooped(false);
  EXPECT_EQ(Sounding(shot), 0);
  shot.Play(false);
  EXPECT_EQ(shot.Copies().size(), 1u);
}

TEST_F(Playback, FrequencyRemakesTheBuffersPanAndVolumeApply) {
  TWaveCollectionItem& money = Item("Money");
  const int64_t frames = money.Master()->Sample()->Frames();
  money.SetFrequency(16000);  // twice the wave's own rate: half as long
  ASSERT_TRUE(money.Initialized());
  EXPECT_NEAR(double(money.Master()->Sample()->Frames()), frames / 2.0, 64);
  money.SetPan(-10000);
  money.SetVolume(-600);
  money.Play(false);
  EXPECT_EQ(Sounding(money), 1);
  EXPECT_EQ(money.Pan(), -10000);
}

// The disk driver mixes faster than real time into a file, so a loop is heard passing its
// end many times within moments.
class DiskPlayback : public TSoundTest {
 protected:
  void SetUp() override {
    // One file per test: ctest may run them side by side.
    OutFile = ::testing::TempDir() + "/sprayrush_mix_" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".raw";
    Platform::SetEnvironment("SDL_DISKAUDIOFILE", OutFile);
    Platform::SetEnvironment("SDL_DISKAUDIODELAY", "1");
    OpenOutput("disk");
    if (!Sound->Initialized()) GTEST_SKIP() << "no disk audio driver";
  }
  void TearDown() override {
    TSoundTest::TearDown();
    std::filesystem::remove(OutFile);
  }
  // Waits until the mixer has written this many more bytes (a minute at the very most).
  void MixAtLeast(uintmax_t bytes) {
    const uintmax_t start = Size();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (Size() < start + bytes && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_GE(Size(), start + bytes);
  }
  uintmax_t Size() const {
    std::error_code ec;
    const uintmax_t n = std::filesystem::file_size(OutFile, ec);
    return ec ? 0 : n;
  }
  // The loudest sample among the last bytes written.
  int LoudestLately(size_t bytes) const {
    std::ifstream in(OutFile, std::ios::binary);
    in.seekg(-std::streamoff(bytes), std::ios::end);
    std::vector<int16_t> pcm(bytes / 2);
    in.read(reinterpret_cast<char*>(pcm.data()), std::streamsize(bytes));
    int loudest = 0;
    for (int16_t s : pcm) loudest = std::max(loudest, std::abs(int(s)));
    return loudest;
  }
  std::string OutFile;
};

TEST_F(DiskPlayback, ALoopedItemSoundsUntilStopped) {
  // 50 ms each: a tenth of a second of mixing is twice their length.
  Waves->Items.LoadFromBytes(
      WriteWaveLibrary(std::vector{Entry("Engine", 0.05, true), Entry("Tick", 0.05)}));
  TWaveCollectionItem& engine = Waves->Items.Find("Engine");
  TWaveCollectionItem& tick = Waves->Items.Find("Tick");
  engine.Play(false);
  tick.Play(false);
  constexpr uintmax_t Second = 44100 * 4;
  MixAtLeast(Second);
  EXPECT_TRUE(engine.Master()->Playing());
  EXPECT_FALSE(tick.Copies()[0]->Playing());
  EXPECT_GT(LoudestLately(Second / 10), 8000);  // the loop is still heard

  engine.Stop();
  EXPECT_EQ(Sounding(engine), 0);
  MixAtLeast(Second / 2);
  EXPECT_EQ(LoudestLately(Second / 10), 0);
}

TEST_F(DiskPlayback, PlayWithWaitReturnsWhenTheCopyHasEnded) {
  Waves->Items.LoadFromBytes(WriteWaveLibrary(std::vector{Entry("Finish", 0.2)}));
  TWaveCollectionItem& finish = Waves->Items.Find("Finish");
  finish.Play(true);
  EXPECT_EQ(Sounding(finish), 0);
  EXPECT_EQ(finish.Copies()[0]->Starts(), 1);
}

TEST_F(DiskPlayback, TheSongIsMixedUnderTheEffectsAndMovesOnByItself) {
  const uintptr_t song = SongLoadFromMemory(ThreeOrderModule());
  ASSERT_NE(song, 0u);
  SongPlay(song);
  bool moved = false, wrapped = false;
  for (int i = 0; i < 200 && !wrapped; ++i) {
    MixAtLeast(4096);
    const int32_t order = SongGetOrder(song);
    wrapped = moved && order == 0;
    moved = moved || order != 0;
  }
  EXPECT_TRUE(wrapped);
  EXPECT_GT(LoudestLately(4096), 1000);
  SongFree(song);
  MixAtLeast(44100);
  EXPECT_EQ(LoudestLately(4096), 0);
}

class NoDevice : public TSoundTest {};

TEST_F(NoDevice, ItemsAreFoundButNothingPlays) {
  OpenOutput("no-such-driver");
  EXPECT_FALSE(Sound->Initialized());
  EXPECT_THROW(Sound->Initialize(), EDirectSoundError);
  Waves->Items.LoadFromBytes(WriteWaveLibrary(std::vector{Entry("Shot", 1, true), Entry("Tree", 1)}));
  for (const char* name : {"Shot", "Tree"}) {
    TWaveCollectionItem& item = Waves->Items.Find(name);
    EXPECT_FALSE(item.Initialized());
    item.Play(true);  // would never return if it waited on a silent output
    item.Stop();
    EXPECT_EQ(Sounding(item), 0);
  }
  EXPECT_THROW(Waves->Items.Find("Duck"), EWaveCollectionError);
}

TEST_F(NoDevice, TheOutputMayGoBeforeItsLibrary) {
  OpenOutput("dummy");
  Waves->Items.LoadFromBytes(WriteWaveLibrary(std::vector{Entry("Shot", Long, true)}));
  Waves->Items.Find("Shot").Play(false);
  Sound.reset();
  EXPECT_FALSE(Waves->Items.Find("Shot").Initialized());
  Waves->Items.Find("Shot").Play(false);
}

}  // namespace
