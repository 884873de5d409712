// The game's sound and music helpers on the main window: the sound option gates every
// effect, and the music follows its option, the screen and the tune's wrap.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/MForm.h"
#include "app/ModPlayer.h"
#include "media/DXClass/Application.h"
#include "media/DXSounds/WaveCollection.h"
#include "tests/sound/SoundFixture.h"
#include "tests/sound/XmBuilder.h"

namespace {

namespace fs = std::filesystem;

// A main window on the dummy video driver, its sound output on the given audio driver.
struct TFormRig {
  explicit TFormRig(const char* audioDriver) {
    Platform::SetEnvironment("SDL_VIDEODRIVER", "dummy");
    Platform::SetEnvironment("SDL_AUDIODRIVER", audioDriver);
    Form = std::make_unique<TMForm>(Application);
  }
  ~TFormRig() {
    if (Form->SongHandle) Form->StopMusic();
  }
  TApplication Application{[] { return 50000u; }};
  std::unique_ptr<TMForm> Form;
};

int Sounding(const TWaveCollectionItem& item) {
  int n = item.Master() && item.Master()->Playing() ? 1 : 0;
  for (const auto& copy : item.Copies()) n += copy->Playing() ? 1 : 0;
  return n;
}

class FormSound : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Rig.Form->MDXSound->Initialized());
    Rig.Form->MDXWaveList->Items.LoadFromBytes(
        WriteWaveLibrary(std::vector{Entry("Money", 20), Entry("Shot", 20, true)}));
  }
  TWaveCollectionItem& Item(const char* name) { return Rig.Form->MDXWaveList->Items.Find(name); }
  TFormRig Rig{"dummy"};
};

TEST_F(FormSound, PlaySoundCutsAndRestartsOneInstance) {
  TMForm& form = *Rig.Form;
  for (const char* name : {"Money", "Shot"}) {
    form.PlaySound(name);
    form.PlaySound(name);
    EXPECT_EQ(Sounding(Item(name)), 1) << name;
    const auto* voice = Item(name).Looped() ? Item(name).Master() : Item(name).Copies()[0].get();
    EXPECT_EQ(voice->Starts(), 2) << name;
  }
  form.StopSound("shot");
  EXPECT_EQ(Sounding(Item("Shot")), 0);
  EXPECT_EQ(Sounding(Item("Money")), 1);
  try {
    form.PlaySound("Splash");
    ADD_FAILURE();
  } catch (const EWaveCollectionError& e) {
    EXPECT_STREQ(e.what(), "Wave 'Splash' not found");
  }
}

TEST_F(FormSound, WithSoundOffNothingPlaysOrStopsAndTurningItOnStartsNothing) {
  TMForm& form = *Rig.Form;
  form.PlaySound("Shot");
  form.Options.SoundOn = false;
  form.PlaySound("Money");
  form.StopSound("Shot");  // off: not even stopping
  form.PlaySound("Splash");  // and no lookup either
  EXPECT_EQ(Sounding(Item("Money")), 0);
  EXPECT_TRUE(Item("Money").Copies().empty());
  EXPECT_EQ(Sounding(Item("Shot")), 1);
  form.ToggleSound();
  EXPECT_TRUE(form.Options.SoundOn);
  EXPECT_EQ(Sounding(Item("Money")), 0);
}

TEST(FormSoundWithoutDevice, EverySoundIsFoundAndNothingPlays) {
  TFormRig rig("no-such-driver");
  TMForm& form = *rig.Form;
  EXPECT_FALSE(form.MDXSound->Initialized());
  form.MDXWaveList->Items.LoadFromBytes(WriteWaveLibrary(std::vector{Entry("Engine", 1, true)}));
  form.PlaySound("Engine");
  form.StopSound("Engine");
  EXPECT_EQ(Sounding(form.MDXWaveList->Items.Find("Engine")), 0);
  EXPECT_THROW(form.PlaySound("Tick"), EWaveCollectionError);
}

// The tunes lie in Data\Music below a scratch working directory. No sound device: the
// test pulls the music itself, frame by frame, so the order moves only when it says.
class FormMusic : public ::testing::Test {
 protected:
  void SetUp() override {
    Home = fs::current_path();
    Dir = fs::path(::testing::TempDir()) /
          ("music_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::create_directories(Dir / "Data" / "Music");
    fs::current_path(Dir);
    const std::vector<uint8_t> xm = ThreeOrderModule();
    std::ofstream("Data/Music/Menu.xm", std::ios::binary)
        .write(reinterpret_cast<const char*>(xm.data()), std::streamsize(xm.size()));
    Rig = std::make_unique<TFormRig>("no-such-driver");
  }
  void TearDown() override {
    Rig.reset();
    fs::current_path(Home);
    fs::remove_all(Dir);
  }
  // One frame: a block of music is mixed, then the frame loop's first step.
  void Frame() {
    std::vector<int16_t> pcm(256 * Platform::Audio::OutputChannels);
    Platform::Audio::RenderMusic(pcm.data(), 256);
    Rig->Form->KeepMusicAlive();
  }
  fs::path Home, Dir;
  std::unique_ptr<TFormRig> Rig;
};

TEST_F(FormMusic, TheOptionStopsTheTuneAndRestartsItFromTheBeginning) {
  TMForm& form = *Rig->Form;
  form.CurrentScreen = 0;
  form.PlayScreenMusic();
  const uintptr_t first = form.SongHandle;
  ASSERT_NE(first, 0u);
  for (int i = 0; i < 4; ++i) Frame();
  EXPECT_NE(form.LastSongOrder, 0);

  form.ToggleMusic();
  EXPECT_FALSE(form.Options.MusicOn);
  EXPECT_EQ(form.SongHandle, 0u);
  form.PlayScreenMusic();  // a screen change while off loads nothing
  EXPECT_EQ(form.SongHandle, 0u);
  Frame();

  form.ToggleMusic();
  EXPECT_TRUE(form.Options.MusicOn);
  ASSERT_NE(form.SongHandle, 0u);
  EXPECT_NE(form.SongHandle, first);  // loaded afresh
  EXPECT_EQ(form.LastSongOrder, 0);
  EXPECT_EQ(SongGetOrder(form.SongHandle), 0);

  // The race tune is missing: no music, no message, and the frames carry on.
  form.CurrentScreen = 1;
  form.PlayScreenMusic();
  EXPECT_EQ(form.SongHandle, 0u);
  Frame();
  EXPECT_EQ(form.SongHandle, 0u);
}

TEST_F(FormMusic, ATuneThatWrapsIsLoadedAgainAndStartedAfresh) {
  TMForm& form = *Rig->Form;
  form.CurrentScreen = 0;
  form.PlayScreenMusic();
  const uintptr_t first = form.SongHandle;
  std::vector<int32_t> orders{0};
  for (int i = 0; i < 40 && form.SongHandle == first; ++i) {
    Frame();
    if (form.LastSongOrder != orders.back()) orders.push_back(form.LastSongOrder);
  }
  EXPECT_EQ(orders, (std::vector<int32_t>{0, 1, 2, 0}));
  EXPECT_NE(form.SongHandle, first);  // reloaded
  EXPECT_NE(form.SongHandle, 0u);
  EXPECT_EQ(SongGetOrder(first), 0);  // the old song is gone
  Frame();
  EXPECT_EQ(form.LastSongOrder, 0);
}

}  // namespace
