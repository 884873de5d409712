#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "GameRig.h"
#include "app/StartupData.h"
#include "media/DXDraws/DXDraw.h"
#include "media/DXDraws/PictureCollection.h"
#include "media/DXSounds/WaveCollection.h"
#include "game/persist/HighScores.h"
#include "game/persist/Options.h"
#include "game/track/ScrollBackground.h"

namespace fs = std::filesystem;

namespace {

// Runs FormCreate in another working directory and comes back.
class TWorkingDirectory {
 public:
  explicit TWorkingDirectory(const fs::path& dir) : Old(fs::current_path()) { fs::current_path(dir); }
  ~TWorkingDirectory() { fs::current_path(Old); }

 private:
  fs::path Old;
};

fs::path EmptyDirectory(const std::string& name) {
  fs::path dir = fs::temp_directory_path() / (name + "-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

struct TRunResult {
  int ExitCode = -1;
  std::string Output;
};

TRunResult RunGame(const fs::path& dir) {
  const std::string command = "cd '" + dir.string() + "' && '" SPRAYRUSH_GAME_DIR "/sprayrush' 2>&1";
  TRunResult result;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return result;
  std::array<char, 256> buffer;
  while (size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe)) result.Output.append(buffer.data(), n);
  const int status = ::pclose(pipe);
  result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace

TEST(Startup, AMissingDataFileStopsTheStartWithTheLibraryMessage) {
  const fs::path dir = EmptyDirectory("sprayrush-nodata");
  TGameRig rig;
  Platform::SetGameFolders({dir, dir});  // the game's data in the empty folder
  {
    TWorkingDirectory cd(dir);
    try {
      rig.Form->FormCreate();
      FAIL() << "FormCreate went through without data";
    } catch (const std::exception& error) {
      EXPECT_NE(std::string(error.what()).find("Cannot open file"), std::string::npos) << error.what();
    }
  }
  EXPECT_FALSE(rig.Form->Created());
  EXPECT_EQ(rig.Form->Background, nullptr);
  fs::remove_all(dir);
}

TEST(Startup, TheProgramReportsAFatalErrorAndFails) {
  if (!fs::exists(SPRAYRUSH_GAME_DIR "/sprayrush")) GTEST_SKIP() << "the game is not built";
  const fs::path dir = EmptyDirectory("sprayrush-fatal");
  fs::create_directories(dir / "Data/Res");
  {
    FILE* damaged = std::fopen((dir / "Data/Res/Res1.dxg").c_str(), "wb");
    std::fputs("not a picture library", damaged);
    std::fclose(damaged);
  }
  const TRunResult run = RunGame(dir);
  EXPECT_NE(run.ExitCode, 0);
  EXPECT_NE(run.Output.find("Sprayrush: "), std::string::npos) << run.Output;
  fs::remove_all(dir);
}

TEST(Startup, FormCreateLoadsTheDataAndSetsUpTheRun) {
  if (!TGameFolder::DataBuilt()) GTEST_SKIP() << "the game data is not built";
  TGameRig rig;
  TMForm& form = *rig.Form;
  form.RandomGen.RandSeed = 0;
  form.FormCreate();
  EXPECT_TRUE(form.Created());
  ASSERT_NE(form.Background, nullptr);
  EXPECT_NE(form.RandomGen.RandSeed, 0u);
  EXPECT_EQ(form.FrameStepMs, 15);
  EXPECT_DOUBLE_EQ(form.SpeedScale, 0.5);
  EXPECT_FALSE(form.Options.FullScreen);
  EXPECT_TRUE(form.MDXTimer->Enabled());
  rig.Frame();
  rig.Frame();
  EXPECT_EQ(rig.Frames, 2);
}

TEST(Startup, SavedOptionsAndTableComeBackAndAHandEditedTableResets) {
  if (!TGameFolder::DataBuilt()) GTEST_SKIP() << "the game data is not built";
  struct {
    const char* Name;
    bool EditTable;
    int32_t TopPoints;
  } cases[] = {{"kept", false, 7777}, {"edited", true, 5000}};
  for (const auto& c : cases) {
    TGameRig rig;
    {
      THighScoreTable table;
      ResetHighScores(table);
      table.HighScores[1] = {"Kolya", 7777, 0, 0};
      TGameOptions options;
      options.SoundOn = false;
      options.AddInfo = "club 7";
      SaveOptions(options, HighScoreSignature(table));
      if (c.EditTable) table.HighScores[1].Points = 7778;  // edited outside the game
      SaveHighScores(table);
    }
    rig.Start();
    TMForm& form = *rig.Form;
    EXPECT_EQ(form.HighScoreTable.HighScores[1].Points, c.TopPoints) << c.Name;
    EXPECT_FALSE(form.Options.SoundOn) << c.Name;
    EXPECT_EQ(form.Options.AddInfo, "club 7") << c.Name;
  }
}

TEST(Startup, AFirstRunIsWindowedWithMusicSoundAndTheDefaultTable) {
  if (!TGameFolder::DataBuilt()) GTEST_SKIP() << "the game data is not built";
  TGameRig rig;
  rig.Start();
  TMForm& form = *rig.Form;
  EXPECT_FALSE(form.Options.FullScreen);
  EXPECT_TRUE(form.Options.MusicOn);
  EXPECT_TRUE(form.Options.SoundOn);
  EXPECT_EQ(form.Options.AddInfo, "_______");
  EXPECT_EQ(form.HighScoreTable.HighScores[1].Points, 5000);
  EXPECT_EQ(form.HighScoreTable.HighScores[10].Points, 500);
  EXPECT_EQ(form.CurrentScreen, 0);
}

namespace {

// FormCreate of a fresh game on the data in dataDir, its data read beside the window's
// opening or by FormCreate itself; the error it raised, empty when it went through.
std::string StartOn(const fs::path& dataDir, bool readBeside, std::vector<uint16_t>* firstFrame = nullptr) {
  TGameFolder folder;
  Platform::SetGameFolders({dataDir, folder.Dir});
  TApplication application{[] { return 50000u; }};
  auto data = readBeside ? std::make_unique<TStartupData>() : nullptr;
  TMForm form(application, std::move(data));
  try {
    form.FormCreate();
  } catch (const std::exception& error) {
    return error.what();
  }
  if (firstFrame) {
    form.MDXTimer->OnTimer(*form.MDXTimer, 1);
    const TDirectDrawSurface& s = form.MDXDraw->Surface();
    firstFrame->assign(s.Pixels(), s.Pixels() + s.Pitch() * s.Height());
  }
  return {};
}

}  // namespace

// The start reads the libraries while the window opens; what the game then has is what
// it would have read itself, and a missing or damaged file stops it with the same
// message, the first file in reading order winning.
TEST(Startup, DataReadWhileTheWindowOpensComesOutAsReadInPlace) {
  if (!TGameFolder::DataBuilt()) GTEST_SKIP() << "the game data is not built";
  const fs::path built = fs::path(SPRAYRUSH_GAME_DIR);
  std::vector<uint16_t> beside, inPlace;
  ASSERT_EQ(StartOn(built, true, &beside), "");
  ASSERT_EQ(StartOn(built, false, &inPlace), "");
  EXPECT_TRUE(beside == inPlace) << "the first menu frame differs";

  struct TCase {
    const char* What;
    std::vector<const char*> Missing, Damaged;
    const char* Message;  // the start of the error
  };
  const TCase cases[] = {
      {"no menu pictures", {"Res1.dxg"}, {}, "Cannot open file"},
      {"damaged race pictures", {}, {"Res3.dxg"}, "Invalid stream format"},
      {"no sounds", {"Sounds.dxw"}, {}, "Cannot open file"},
      {"damaged menu pictures before missing sounds", {"Sounds.dxw"}, {"Res1.dxg"}, "Invalid stream format"},
      {"missing race pictures before damaged sounds", {"Res3.dxg"}, {"Sounds.dxw"}, "Cannot open file"},
  };
  for (const TCase& c : cases) {
    const fs::path dir = EmptyDirectory("sprayrush-startdata");
    fs::create_directories(dir / "Data/Res");
    for (const char* file : {"Res1.dxg", "Res3.dxg", "Sounds.dxw"})
      fs::create_symlink(built / "Data/Res" / file, dir / "Data/Res" / file);
    for (const char* file : c.Missing) fs::remove(dir / "Data/Res" / file);
    for (const char* file : c.Damaged) {
      fs::remove(dir / "Data/Res" / file);
      std::ofstream(dir / "Data/Res" / file, std::ios::binary) << "not a library";
    }
    const std::string besideError = StartOn(dir, true), inPlaceError = StartOn(dir, false);
    EXPECT_EQ(besideError.rfind(c.Message, 0), 0u) << c.What << ": " << besideError;
    EXPECT_EQ(besideError, inPlaceError) << c.What;
    fs::remove_all(dir);
  }
}
