// The menus driven frame by frame through the real start-up, keys and mouse.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "game/menus/Menu.h"
#include "game/menus/MenuButton.h"
#include "game/menus/Screens.h"
#include "game/online/GoToLink.h"
#include "game/persist/HighScores.h"
#include "game/persist/Options.h"
#include "game/track/CaptionSprite.h"
#include "media/DXDraws/DXDraw.h"
#include "media/DXDraws/FrameRecord.h"
#include "media/DXDraws/PictureCollection.h"
#include "media/DXDraws/Surface.h"
#include "tests/menus/MenuRig.h"

using namespace Platform;

namespace {

TEST_F(Menus, IntroSlidesThePanelsThenTheButtonsAndIgnoresClicksUntilTheyRest) {
  EXPECT_EQ(Form().CurrentScreen, 0);
  EXPECT_EQ(Form().HotButton, 1);
  EXPECT_EQ(Menu().MenuIntroPhase, 1);
  const TCaptionSprite& up = *Menu().UpPanelSprite;
  const TCaptionSprite& down = *Menu().DownPanelSprite;
  EXPECT_EQ(up.Y, -up.Height);
  EXPECT_EQ(down.Y, 600);
  EXPECT_EQ(down.X, 800 - down.Width);

  // The buttons wait for both panels; their first step comes in the frame the panels arrive.
  int steps = 0;
  while (Menu().MenuIntroPhase != 0) {
    const bool panelsSliding = Menu().MenuIntroPhase == 1;
    if (panelsSliding) {
      for (int slot = 1; slot <= 6; ++slot) ASSERT_EQ(Menu().Buttons[slot]->X, 800);
    }
    Form().HotButton = 2;
    Form().ButtonClick(false);  // too early: nothing opens
    ASSERT_EQ(Form().CurrentScreen, 0);
    const double x = Menu().Buttons[1]->X;
    Rig.Frame();
    if (Menu().Buttons[1]->X != x) ++steps;
    if (panelsSliding && Menu().MenuIntroPhase != 1) {
      EXPECT_GE(up.Y, 0);
      EXPECT_LT(up.Y, 1.75);
      EXPECT_LE(down.Y, 600 - down.Height);
    }
  }
  EXPECT_EQ(steps, 61);
  for (int slot = 1; slot <= 6; ++slot) EXPECT_EQ(Menu().Buttons[slot]->X, 556) << slot;
  Form().HotButton = 2;
  Form().ButtonClick(false);
  EXPECT_EQ(Form().CurrentScreen, 2);
}

TEST_F(Menus, ArrowKeysStepOncePerPressAndWrapRound) {
  FinishIntro();
  ASSERT_EQ(Form().HotButton, 1);
  Rig.Hold({VK_DOWN});
  for (int i = 0; i < 5; ++i) Rig.Frame();
  EXPECT_EQ(Form().HotButton, 2);  // held: one step only
  Rig.Hold({});
  Rig.Frame();
  Press(VK_UP);
  EXPECT_EQ(Form().HotButton, 1);
  Press(VK_UP);
  EXPECT_EQ(Form().HotButton, 6);
  Press(VK_DOWN);
  EXPECT_EQ(Form().HotButton, 1);
  Press(VK_NUMPAD8);
  EXPECT_EQ(Form().HotButton, 6);

  // From no hot button the first press lands on the first slot, then steps from there.
  Form().HotButton = 0;
  Rig.Frame();
  EXPECT_FALSE(Menu().MenuCaption->Visible);
  Press(VK_DOWN);
  EXPECT_EQ(Form().HotButton, 2);
  EXPECT_TRUE(Menu().MenuCaption->Visible);
  EXPECT_EQ(PictureOf(Menu().MenuCaption), "OptionsC");
  EXPECT_TRUE(Menu().Buttons[2]->Hovered);
  EXPECT_FALSE(Menu().Buttons[1]->Hovered);
}

// At rest the menu costs no drawing and no present; a change is drawn and presented in
// its frame, and the free text's cursor blinks at its own pace.
TEST_F(Menus, OnlyAFrameThatChangesThePictureIsDrawnAndPresented) {
  const TFrameRecord& record = *Form().MDXDraw->Surface().Record();
  const Platform::TWindow& window = *Form().Window;
  auto presentsOver = [&](int frames) {
    const uint64_t before = window.PresentCount();
    int drawn = 0;
    for (int i = 0; i < frames; ++i) {
      Rig.Frame();
      drawn += record.DrawnInLastFrame() > 0;
    }
    EXPECT_EQ(uint64_t(drawn), window.PresentCount() - before) << "drawn but not presented";
    return window.PresentCount() - before;
  };
  EXPECT_EQ(presentsOver(20), 20u) << "the panels slide in";
  FinishIntro();
  EXPECT_EQ(presentsOver(100), 0u) << "at rest";
  Rig.Hold({VK_DOWN});
  EXPECT_EQ(presentsOver(1), 1u) << "the next button lights up";
  Rig.Hold({});
  EXPECT_EQ(presentsOver(100), 0u) << "at rest again";
  Click(2);
  EXPECT_EQ(presentsOver(1), 1u) << "the options open";
  Click(10);
  // The row lights up, then the cursor turns on and off every 500 ms (34 frames of 15 ms).
  EXPECT_EQ(presentsOver(200), 6u) << "the cursor blinks";
  Click(10);
  presentsOver(1);
  EXPECT_EQ(presentsOver(100), 0u) << "no cursor";
}

TEST_F(Menus, PointingAtAnotherMainButtonLeavesASecondaryScreen) {
  FinishIntro();
  Click(3);
  ASSERT_EQ(Form().CurrentScreen, 3);
  EXPECT_EQ(Form().HotButton, 8);
  PointAt(2);
  Rig.Frame();
  EXPECT_EQ(Form().CurrentScreen, 0);
  EXPECT_EQ(Form().HotButton, 2);  // lit, but the options open only on a click
  EXPECT_EQ(Menu().HighScoreCaption, nullptr);
  EXPECT_EQ(Menu().ButtonCount, 6);

  Click(2);
  ASSERT_EQ(Form().CurrentScreen, 2);
  PointAt(2);  // its own button keeps it open
  Rig.Frame();
  EXPECT_EQ(Form().CurrentScreen, 2);
  PointAt(4);
  Rig.Frame();
  EXPECT_EQ(Form().CurrentScreen, 0);

  // A click on the high-score screen's own slot closes it.
  Click(3);
  ASSERT_EQ(Form().CurrentScreen, 3);
  Click(3);
  EXPECT_EQ(Form().CurrentScreen, 0);
}

TEST_F(Menus, ClicksWithoutAHotButtonDoNothingOnSecondaryScreens) {
  FinishIntro();
  for (int slot : {1, 3, 4}) {
    Click(slot);
    const int32_t screen = Form().CurrentScreen;
    ASSERT_NE(screen, 0) << slot;
    Form().HotButton = 0;
    Form().ButtonClick(false);
    EXPECT_EQ(Form().CurrentScreen, screen) << slot;
    uint8_t escape = 27;
    Form().FormKeyPress(escape);
    EXPECT_EQ(Form().CurrentScreen, 0) << "Escape leaves screen " << screen;
    Rig.Frame();
  }
}

TEST_F(Menus, HelpPagesTurnAtTheEndsOfTheRowAndWrap) {
  FinishIntro();
  Click(4);
  ASSERT_EQ(Form().CurrentScreen, 4);
  ASSERT_EQ(Form().HotButton, 8);
  Rig.Frame();
  EXPECT_EQ(PictureOf(Menu().HelpCaption), "Help1");
  const int32_t width = Menu().HelpCaption->Width;

  Rig.Hold({VK_RIGHT});
  for (int i = 0; i < 4; ++i) Rig.Frame();
  EXPECT_EQ(PictureOf(Menu().HelpCaption), "Help2");  // held: one page
  Rig.Hold({});
  Rig.Frame();
  Press(VK_RIGHT);
  EXPECT_EQ(PictureOf(Menu().HelpCaption), "Help3");
  Press(VK_RIGHT);
  EXPECT_EQ(PictureOf(Menu().HelpCaption), "Help1");
  EXPECT_EQ(Menu().HelpCaption->Width, width);

  Press(VK_LEFT);  // from "Next" only the highlight moves
  EXPECT_EQ(Form().HotButton, 7);
  EXPECT_EQ(PictureOf(Menu().HelpCaption), "Help1");
  Press(VK_LEFT);
  EXPECT_EQ(PictureOf(Menu().HelpCaption), "Help3");
  Form().HotButton = 8;
  Form().MDXDrawClick();
  EXPECT_EQ(PictureOf(Menu().HelpCaption), "Help1");
}

TEST_F(Menus, BoatScreenWrapsAndEscapeReturnsToTheMainMenu) {
  FinishIntro();
  Click(1);
  ASSERT_EQ(Form().CurrentScreen, 8);
  ASSERT_EQ(Form().HotButton, 7);
  Rig.Frame();
  Press(VK_LEFT);
  EXPECT_EQ(Form().HotButton, 9);
  Press(VK_RIGHT);
  EXPECT_EQ(Form().HotButton, 7);
  EXPECT_EQ(PictureOf(Menu().Buttons[1]), "MMB_Active");  // its main-menu button stays lit
  uint8_t escape = 27;
  Form().FormKeyPress(escape);
  EXPECT_EQ(Form().CurrentScreen, 0);
  EXPECT_EQ(Form().HotButton, 1);
  EXPECT_EQ(Menu().BoatScreenCaption, nullptr);

  // Escape on the main menu does nothing; Backspace clicks the hot button.
  Form().FormKeyPress(escape);
  EXPECT_EQ(Form().CurrentScreen, 0);
  EXPECT_EQ(Form().ActiveDialog, 0);
  Form().HotButton = 4;
  uint8_t backspace = 8;
  Form().FormKeyPress(backspace);
  EXPECT_EQ(Form().CurrentScreen, 4);
}

TEST_F(Menus, MouseHitTestCountsBothEdgesAndKeepsTheLastButtonOutsideDialogs) {
  FinishIntro();
  const TMenuButton& b = *Menu().Buttons[5];
  Point(int(b.X + b.Width), int(b.Y + b.Height));
  EXPECT_EQ(Form().HotButton, 5);
  Point(int(b.X + b.Width) + 1, int(b.Y + b.Height));
  EXPECT_EQ(Form().HotButton, 5);  // empty space keeps it
  Point(int(b.X) - 1, int(b.Y));
  EXPECT_EQ(Form().HotButton, 5);

  Click(6);
  ASSERT_EQ(Form().ActiveDialog, 9);
  EXPECT_EQ(Form().HotButton, 12);
  PointAt(11);
  EXPECT_EQ(Form().HotButton, 11);
  Point(5, 5);
  EXPECT_EQ(Form().HotButton, 0);  // inside a dialog nothing stays hot
}

TEST_F(Menus, QuitQuestionOverTheOptionsFreezesThemAndNoGivesThemBack) {
  FinishIntro();
  Click(2);
  Click(10);
  ASSERT_TRUE(Form().OptionsScreen.EditingAddInfo);
  for (int i = 0; i < 5; ++i) Rig.Frame();
  const int32_t blink = Form().OptionsScreen.CursorBlinkTimer;

  TEventQueue::Post(TEventKind::CloseRequest, Form().Window->Id());
  Rig.Frame();
  ASSERT_EQ(Form().ActiveDialog, 9);
  EXPECT_EQ(Menu().FirstButton, 11);
  EXPECT_EQ(Menu().LastButton, 12);
  for (int i = 0; i < 5; ++i) Rig.Frame();
  EXPECT_EQ(Form().OptionsScreen.CursorBlinkTimer, blink);  // the screen stands still
  EXPECT_EQ(Form().CurrentScreen, 2);

  Press('N');
  EXPECT_EQ(Form().ActiveDialog, 0);
  EXPECT_EQ(Menu().Buttons[11], nullptr);
  EXPECT_EQ(Form().HotButton, 10);
  EXPECT_EQ(Menu().ButtonCount, 10);
  EXPECT_EQ(Menu().FirstButton, 7);
  EXPECT_EQ(Menu().LastButton, 10);
  EXPECT_TRUE(Form().OptionsScreen.EditingAddInfo);
  Rig.Frame();
  EXPECT_NE(Form().OptionsScreen.CursorBlinkTimer, blink);
  EXPECT_FALSE(Rig.Application.Terminated());
}

TEST_F(Menus, ClearRecordsQuestionResetsTheTableOnYes) {
  FinishIntro();
  Form().HighScoreTable.HighScores[1] = {"Petya", 99999, 0, 0};
  Click(3);
  Click(7);
  ASSERT_EQ(Form().ActiveDialog, 10);
  Press('N');
  EXPECT_EQ(Form().HighScoreTable.HighScores[1].Points, 99999);
  EXPECT_EQ(Form().HotButton, 7);
  Click(7);
  Press('Y');
  EXPECT_EQ(Form().ActiveDialog, 0);
  EXPECT_EQ(Form().HighScoreTable.HighScores[1].Points, 5000);
  EXPECT_EQ(Form().CurrentScreen, 3);
}

TEST_F(Menus, FreeTextTakesDigitsLettersAndSpacesUpToTen) {
  FinishIntro();
  Click(2);
  std::string& text = Form().Options.AddInfo;
  text.clear();
  auto type = [&](uint8_t ch) { Form().FormKeyPress(ch); };
  type('a');  // not editing yet: ignored
  EXPECT_EQ(text, "");
  Click(10);
  ASSERT_TRUE(Form().OptionsScreen.EditingAddInfo);
  for (uint8_t ch : {uint8_t('#'), uint8_t('!'), uint8_t('/'), uint8_t('7'), uint8_t('Q'),
                     uint8_t(' '), uint8_t(0xC6), uint8_t('z'), uint8_t('@')})
    type(ch);
  EXPECT_EQ(text, "7Q \xC6z@");
  type(8);
  EXPECT_EQ(text, "7Q \xC6z");
  for (int i = 0; i < 9; ++i) type('x');
  EXPECT_EQ(text, "7Q \xC6zxxxxx");
  Click(10);  // a second click stops editing
  EXPECT_FALSE(Form().OptionsScreen.EditingAddInfo);
  Click(10);
  PointAt(9);  // leaving the row stops it too
  Rig.Frame();
  EXPECT_FALSE(Form().OptionsScreen.EditingAddInfo);
  EXPECT_FALSE(Form().OptionsScreen.TextCursor->Visible);
}

TEST_F(Menus, ALongFreeTextIsDrawnOnlyInsideItsFieldAndKeptWhole) {
  FinishIntro();
  Click(2);
  // A hand-edited file may hold a line of thousands of bytes.
  const std::string longText(4096, '\xC6');
  Form().Options.AddInfo = longText;
  TDirectDrawSurface& surface = Form().MDXDraw->Surface();
  constexpr uint16_t Blank = 0x1084;
  surface.Fill(Blank);
  UpdateOptionCaptions(Form());
  int left = 800, right = -1, top = 600, bottom = -1;
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 800; ++x)
      if (surface.Pixels()[y * surface.Pitch() + x] != Blank) {
        left = std::min(left, x), right = std::max(right, x);
        top = std::min(top, y), bottom = std::max(bottom, y);
      }
  // The dark field of the row: from the text's start to short of its rounded end and the
  // highlight's arrow there, well left of the menu buttons at X 556.
  EXPECT_GE(left, 254);
  EXPECT_GE(right, 495);
  EXPECT_LT(right, 514);
  EXPECT_GE(top, 357);
  EXPECT_LT(bottom, 396);
  // Typing on keeps the cursor in the field too.
  Click(10);
  Rig.Frame();
  const TCaptionSprite& cursor = *Form().OptionsScreen.TextCursor;
  EXPECT_LE(cursor.X + cursor.Width, 514);
  EXPECT_EQ(Form().Options.AddInfo, longText);
}

TEST_F(Menus, NameEntryTakesAnyPrintableCharacterUpToTen) {
  FinishIntro();
  Form().CurrentScreen = 1;
  Form().ActiveDialog = 5;
  std::string& name = Form().Race.PlayerName;
  auto type = [&](uint8_t ch) { Form().FormKeyPress(ch); };
  type(8);
  EXPECT_EQ(name, "");
  for (uint8_t ch : {uint8_t('#'), uint8_t(0xC2), uint8_t(0xE0), uint8_t(' '), uint8_t(9)}) type(ch);
  EXPECT_EQ(name, "#\xC2\xE0 ");
  for (int i = 0; i < 10; ++i) type('k');
  EXPECT_EQ(name.size(), 10u);
  type(8);
  EXPECT_EQ(name.size(), 9u);
  Form().ActiveDialog = 0;
  Form().CurrentScreen = 0;
}

TEST_F(Menus, OptionSwitchesShowTheirState) {
  FinishIntro();
  Click(2);
  Rig.Frame();
  const auto& rows = Form().OptionsScreen.Captions;
  EXPECT_EQ(PictureOf(rows[0]), "Options1_1");
  EXPECT_EQ(PictureOf(rows[1]), "Options2_1");
  EXPECT_EQ(PictureOf(rows[2]), "Options3_1");
  Click(8);
  Click(9);
  Rig.Frame();
  EXPECT_FALSE(Form().Options.MusicOn);
  EXPECT_FALSE(Form().Options.SoundOn);
  EXPECT_EQ(Form().SongHandle, 0u);
  EXPECT_EQ(PictureOf(rows[1]), "Options2_2");
  EXPECT_EQ(PictureOf(rows[2]), "Options3_2");
  Click(7);
  Rig.Frame();
  EXPECT_TRUE(Form().Options.FullScreen);
  EXPECT_EQ(PictureOf(rows[0]), "Options1_2");
  Click(7);
  EXPECT_FALSE(Form().Options.FullScreen);
  uint8_t escape = 27;
  Form().FormKeyPress(escape);
  EXPECT_EQ(Form().CurrentScreen, 0);
  EXPECT_EQ(Form().HotButton, 2);
}

TEST_F(Menus, QuittingSavesOptionsAndTable) {
  FinishIntro();
  Form().Options.MusicOn = false;
  Form().Options.AddInfo = "club";
  Click(6);
  Press('Y');
  EXPECT_TRUE(Rig.Application.Terminated());
  Form().FormDestroy();
  TGameOptions options;
  THighScoreTable table;
  LoadHighScores(table);
  LoadOptions(options, table.StoredSignature);
  EXPECT_FALSE(options.MusicOn);
  EXPECT_EQ(options.AddInfo, "club");
  EXPECT_TRUE(HighScoresValid(table));
  EXPECT_EQ(table.HighScores[10].Points, 500);
}

}  // namespace

namespace {

TEST_F(Menus, AControllerMovesThroughTheMenusAndAnswersQuestions) {
  TJoystickState pad;
  pad.Present = true;
  Form().MDXInput->Joystick.Source = [&pad] { return pad; };
  auto press = [&](TControllerButton button) {
    pad.Buttons = 1u << button;
    Rig.Frame();
    pad.Buttons = 0;
    Rig.Frame();
  };
  FinishIntro();
  press(cbDPadDown);
  press(cbDPadDown);
  EXPECT_EQ(Form().HotButton, 3);
  press(cbA);
  EXPECT_EQ(Form().CurrentScreen, 3);
  press(cbB);
  EXPECT_EQ(Form().CurrentScreen, 0);
  EXPECT_EQ(Form().HotButton, 3);
  pad.Y = 32767;  // the stick steers like the pad
  Rig.Frame();
  pad.Y = 0;
  Rig.Frame();
  EXPECT_EQ(Form().HotButton, 4);

  Click(6);
  ASSERT_EQ(Form().ActiveDialog, 9);
  press(cbB);  // No, and nothing else
  EXPECT_EQ(Form().ActiveDialog, 0);
  EXPECT_EQ(Form().CurrentScreen, 0);
  EXPECT_FALSE(Rig.Application.Terminated());
}

}  // namespace

namespace {

TEST_F(Menus, CtrlIsWatchedAndAltEnterSwitchesTheDisplayOnAnyScreen) {
  uint16_t ctrl = VK_CONTROL, enter = VK_RETURN;
  Form().FormKeyDown(ctrl, ssCtrl);
  EXPECT_TRUE(Form().CtrlHeld);
  Form().FormKeyUp(ctrl, 0);
  EXPECT_FALSE(Form().CtrlHeld);
  Form().FormKeyDown(enter, 0);
  Form().FormKeyUp(enter, 0);
  EXPECT_FALSE(Form().Options.FullScreen);
  Form().FormKeyDown(enter, ssAlt);
  EXPECT_TRUE(Form().Options.FullScreen);
  EXPECT_TRUE(Form().Window->IsFullScreen());
  // Held, the key repeats; the display switches once a press.
  Form().FormKeyDown(enter, ssAlt);
  Form().FormKeyDown(enter, ssAlt);
  EXPECT_TRUE(Form().Options.FullScreen);
  Form().FormKeyUp(enter, ssAlt);
  FinishIntro();
  Click(4);
  Form().FormKeyDown(enter, ssAlt);
  EXPECT_FALSE(Form().Options.FullScreen);
  EXPECT_EQ(Form().CurrentScreen, 4);
  Rig.Frame();
  EXPECT_TRUE(Form().MDXTimer->Enabled());
}

}  // namespace

namespace {

TEST_F(Menus, LinksGoToTheMoreGamesFileAndTheOnlineTable) {
  std::vector<std::string> opened;
  SetLinkOpener([&opened](const std::string& target) { opened.push_back(target); });
  FinishIntro();
  Click(5);
  EXPECT_EQ(Form().CurrentScreen, 0);  // the menu stays as it was
  Click(3);
  // The game's data in this test's folder: first without the file, the default server.
  Platform::SetGameFolders({std::filesystem::current_path(), std::filesystem::current_path()});
  SetScoreServerOverride("");
  Click(8);
  EXPECT_EQ(Form().CurrentScreen, 3);
  std::ofstream("Data/ScoreServer.txt") << "scores.example.org:9000\r\n";
  Click(8);
  SetLinkOpener({});
  EXPECT_EQ(opened, (std::vector<std::string>{
                        "moregames.url",
                        "http://localhost:8080/cgi/version.pl?prg=Sprayrush&show&type=0",
                        "http://scores.example.org:9000/cgi/version.pl?prg=Sprayrush&show&type=0"}));
}

}  // namespace
