#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "GameRig.h"
#include "media/DXDraws/DXDraw.h"
#include "media/Platform/Paths.h"
#include "media/Platform/Text.h"

using namespace Platform;

TEST(MainWindow, IsAFixedSprayrushWindowWhoseSurfaceStartsTheTimer) {
  TGameRig rig;
  TMForm& form = *rig.Form;
  EXPECT_EQ(form.Window->Caption(), "Sprayrush");
  EXPECT_EQ(form.Window->ClientWidth(), 800);
  EXPECT_EQ(form.Window->ClientHeight(), 600);
  EXPECT_FALSE(form.Window->Resizable());
  EXPECT_TRUE(form.MDXDraw->CanDraw());
  EXPECT_EQ(form.MDXTimer->Interval(), 15u);
  EXPECT_TRUE(form.MDXTimer->Enabled());
  EXPECT_EQ(form.CurrentScreen, -1);
  EXPECT_EQ(form.FrameStepMs, 15);
  rig.Frame();
  EXPECT_EQ(rig.Frames, 1);
}

TEST(MainWindow, KeyTableFeedsTheInputStates) {
  struct {
    uint16_t Key;
    TDXInputState State;
  } cases[] = {
      {VK_UP, isUp},         {VK_NUMPAD8, isUp},    {VK_DOWN, isDown},     {VK_LEFT, isLeft},
      {VK_RIGHT, isRight},   {'Z', isButton1},      {'X', isButton2},      {'C', isButton3},
      {'P', isButton4},      {VK_ESCAPE, isButton5}, {'Y', isButton6},     {'N', isButton7},
      {VK_SPACE, isButton8}, {VK_RETURN, isButton9},
  };
  for (const auto& c : cases) {
    TGameRig rig;
    rig.Hold({c.Key});
    rig.Frame();
    TDXInputStates expected;
    expected.set(c.State);
    EXPECT_EQ(rig.Form->MDXInput->States, expected) << "key " << c.Key;
  }
}

TEST(MainWindow, EdgeFlagsAreOnOnlyInTheFrameTheKeyWentDown) {
  struct {
    uint16_t Key;
    bool TMForm::*Flag;
  } cases[] = {{'P', &TMForm::PausePressed},
               {VK_ESCAPE, &TMForm::EscapePressed},
               {'Y', &TMForm::YesPressed},
               {'N', &TMForm::NoPressed}};
  for (const auto& c : cases) {
    TGameRig rig;
    TMForm& form = *rig.Form;
    rig.Hold({c.Key});
    std::vector<bool> seen;
    for (int i = 0; i < 3; ++i) {
      rig.Frame();
      seen.push_back(form.*c.Flag);
    }
    rig.Hold({});
    rig.Frame();
    seen.push_back(form.*c.Flag);
    rig.Hold({c.Key});
    rig.Frame();
    seen.push_back(form.*c.Flag);
    EXPECT_EQ(seen, (std::vector<bool>{true, false, false, false, true})) << "key " << c.Key;
    EXPECT_EQ(rig.Frames, 5);
  }
}

TEST(MainWindow, ResetKeyEdgesForgetsTheLastFrame) {
  TGameRig rig;
  rig.Hold({VK_ESCAPE});
  rig.Frame();
  rig.Form->ResetKeyEdges();
  EXPECT_FALSE(rig.Form->EscapePressed);
  rig.Frame();  // still held: counts as going down again
  EXPECT_TRUE(rig.Form->EscapePressed);
}

TEST(MainWindow, InBackgroundNoFramesRunAndKeysReadReleased) {
  TGameRig rig;
  rig.Hold({VK_ESCAPE, VK_UP});
  rig.Frame();
  ASSERT_EQ(rig.Frames, 1);
  TEventQueue::Post(TEventKind::Deactivated, rig.Form->Window->Id());
  for (int i = 0; i < 5; ++i) rig.Frame();
  EXPECT_EQ(rig.Frames, 1);
  EXPECT_EQ(rig.Application.IdleWaitMs(), -1);  // sleeps until something happens
  rig.Form->MDXInput->Update();
  EXPECT_TRUE(rig.Form->MDXInput->States.none());
  TEventQueue::Post(TEventKind::Activated, rig.Form->Window->Id());
  rig.Application.ProcessMessages();  // coming back restarts the timer's reference time
  rig.Frame();
  EXPECT_EQ(rig.Frames, 2);
}

TEST(MainWindow, CloseRequestAsksTheQuitQuestionInstead) {
  if (!TGameFolder::DataBuilt()) GTEST_SKIP() << "the game data is not built";
  TGameRig rig;
  rig.Start();
  TEventQueue::Post(TEventKind::CloseRequest, rig.Form->Window->Id());
  rig.Frame();
  EXPECT_FALSE(rig.Application.Terminated());
  EXPECT_EQ(rig.Form->ActiveDialog, 9);
  EXPECT_EQ(rig.Frames, 1);
}

TEST(MainWindow, MinimisingOffTheRaceJustMinimises) {
  if (!TGameFolder::DataBuilt()) GTEST_SKIP() << "the game data is not built";
  TGameRig rig;
  rig.Start();
  TEventQueue::Post(TEventKind::Minimized, rig.Form->Window->Id());
  rig.Frame();
  EXPECT_EQ(rig.Form->WindowState, TWindowState::wsMinimized);
  EXPECT_EQ(rig.Form->ActiveDialog, 0);
  EXPECT_FALSE(rig.Application.Terminated());
}

TEST(MainWindow, DisplayModeSwitchRebuildsTheSurfaceAndKeepsTheTimer) {
  TGameRig rig;
  TMForm& form = *rig.Form;
  int finalised = 0;
  auto finalise = form.MDXDraw->OnFinalize;
  form.MDXDraw->OnFinalize = [&] {
    ++finalised;
    finalise();
  };
  form.ToggleFullScreen();
  EXPECT_TRUE(form.Options.FullScreen);
  EXPECT_TRUE(form.MDXDraw->NowOptions() & OptionBit(doFullScreen));
  EXPECT_TRUE(form.Window->IsFullScreen());
  EXPECT_TRUE(form.MDXTimer->Enabled());
  form.ToggleFullScreen();
  EXPECT_FALSE(form.Options.FullScreen);
  EXPECT_FALSE(form.MDXDraw->NowOptions() & OptionBit(doFullScreen));
  EXPECT_FALSE(form.Window->IsFullScreen());
  EXPECT_TRUE(form.MDXDraw->CanDraw());
  EXPECT_TRUE(form.MDXTimer->Enabled());
  EXPECT_EQ(finalised, 2);
  rig.Frame();
  EXPECT_EQ(rig.Frames, 1);
}

TEST(MainWindow, SurfaceFinaliseStopsTheFrames) {
  TGameRig rig;
  rig.Form->MDXDraw->Finalize();
  EXPECT_FALSE(rig.Form->MDXTimer->Enabled());
  rig.Frame();
  EXPECT_EQ(rig.Frames, 0);
  rig.Form->MDXDraw->Initialize();
  rig.Frame();
  EXPECT_EQ(rig.Frames, 1);
}

TEST(MainWindow, CursorHelpersForceTheStateWhateverTheCounter) {
  TGameRig rig;
  TMForm& form = *rig.Form;
  form.HideSystemCursor();
  EXPECT_EQ(form.Window->ShowCursor(true), 0);  // it was -1
  form.Window->ShowCursor(false);
  form.Window->ShowCursor(false);
  form.Window->ShowCursor(false);
  form.ShowSystemCursor();
  EXPECT_EQ(form.Window->ShowCursor(false), 0);  // it was 1
  form.ShowSystemCursor();
  form.ShowSystemCursor();
  form.HideSystemCursor();
  EXPECT_EQ(form.Window->ShowCursor(true), 0);
}

TEST(MainWindow, QuitDialogYesEndsTheProgram) {
  TGameRig rig;
  TMForm& form = *rig.Form;
  form.Options.SoundOn = false;
  form.ActiveDialog = 9;
  form.HotButton = 11;
  form.ButtonClick(false);
  EXPECT_TRUE(rig.Application.Terminated());
  EXPECT_TRUE(std::filesystem::exists("Data/Save/options"));  // saved on the way out
}

TEST(MainWindow, SavesThatFailOnTheWayOutAreToldOnceInOneRussianMessage) {
  TGameRig rig;
  TMForm& form = *rig.Form;
  // A file where the save folder should be: neither save can make its folder.
  std::filesystem::remove_all("Data/Save");
  std::ofstream("Data/Save") << "in the way";
  const auto count = [](const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
  };
  // Headless, a message box goes to standard error.
  testing::internal::CaptureStderr();
  form.QuitProgram();  // the quit question's Yes saves the options...
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  testing::internal::CaptureStderr();
  form.FormDestroy();  // ...and the window's end saves them again, and the table
  const std::string told = testing::internal::GetCapturedStderr();
  EXPECT_EQ(count(told, "Не удалось сохранить файлы."), 1) << told;
  const std::string folderIsAFile = ": на месте его папки лежит файл.";
  EXPECT_EQ(count(told, PathToUtf8(NativePath(OptionsFile)) + folderIsAFile), 1) << told;
  EXPECT_EQ(count(told, PathToUtf8(NativePath(HighScoreFile)) + folderIsAFile), 1) << told;
  EXPECT_EQ(count(told, "Прежние данные на диске не пострадали."), 1) << told;
  std::ifstream in("Data/Save");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "in the way");
}

TEST(MainWindow, OptionsButtonsToggleTheirSettings) {
  TGameRig rig;
  TMForm& form = *rig.Form;
  form.CurrentScreen = 2;
  form.HotButton = 9;
  form.ButtonClick(false);
  EXPECT_FALSE(form.Options.SoundOn);
  form.ButtonClick(true);
  EXPECT_TRUE(form.Options.SoundOn);
  form.HotButton = 7;
  form.MDXDrawClick();
  EXPECT_TRUE(form.Options.FullScreen);
  form.CurrentScreen = 8;  // another screen: the same slot means something else
  form.HotButton = 0;
  form.ButtonClick(false);
  EXPECT_TRUE(form.Options.FullScreen);
}
