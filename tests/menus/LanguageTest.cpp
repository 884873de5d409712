// The language switch of the main menu, and what a language changes: every picture with
// words and every text at once, and nothing the game plays by.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>

#include "game/language/English.h"
#include "game/language/Language.h"
#include "game/language/Russian.h"
#include "game/menus/Menu.h"
#include "game/replay/Recorder.h"
#include "game/track/CaptionSprite.h"
#include "media/DXDraws/PictureCollection.h"
#include "media/DXDraws/Surface.h"
#include "media/DXInput/DXInput.h"
#include "media/Platform/GameController.h"
#include "media/Platform/Text.h"
#include "tests/menus/MenuRig.h"

using namespace Platform;

namespace {

// What a picture's first pattern looks like as the game draws it, as one number.
size_t Drawn(const TPictureCollection& library, std::string_view name) {
  const TPictureCollectionItem& item = library.Find(name);
  TDirectDrawSurface surface(item.Width(), item.Height());
  surface.Fill(0);
  item.Draw(surface, 0, 0, 0);
  return std::hash<std::string_view>()(std::string_view(reinterpret_cast<const char*>(surface.Pixels()),
                                                        size_t(item.Width()) * item.Height() * 2));
}

class Languages : public Menus {
 protected:
  TMenuButton& Switch() { return *Menu().Buttons[LanguageSwitchSlot]; }
  // The look of pictures with words and without, from both libraries.
  std::vector<size_t> Looks() {
    return {Drawn(Form().MDXImageList->Items, "StartC"), Drawn(Form().MDXImageList->Items, "Help3"),
            Drawn(Form().MDXImageList3->Items, "LeftPanel"), Drawn(Form().MDXImageList->Items, "MMBackground"),
            Drawn(Form().MDXImageList3->Items, "Land")};
  }
};

TEST_F(Languages, LeftReachesTheSwitchAndTheOtherArrowsGoBackToTheColumn) {
  FinishIntro();
  Press(VK_DOWN);
  ASSERT_EQ(Form().HotButton, 2);
  for (uint16_t back : {VK_RIGHT, VK_DOWN, VK_UP}) {
    Press(VK_LEFT);
    ASSERT_EQ(Form().HotButton, LanguageSwitchSlot) << back;
    EXPECT_TRUE(Switch().Hovered);
    EXPECT_FALSE(Menu().Buttons[2]->Hovered);
    EXPECT_EQ(PictureOf(Menu().MenuCaption), "OptionsC");  // the caption stays
    Press(VK_LEFT);
    EXPECT_EQ(Form().HotButton, LanguageSwitchSlot);
    Press(back);
    EXPECT_EQ(Form().HotButton, 2) << back;  // back where it was, without a step
    EXPECT_FALSE(Switch().Hovered);
  }
  // Right does nothing on the column, as it never did.
  Press(VK_RIGHT);
  EXPECT_EQ(Form().HotButton, 2);
}

TEST_F(Languages, AControllersStickReachesTheSwitchAndATakesIt) {
  TJoystickState pad;
  pad.Present = true;
  Form().MDXInput->Joystick.Source = [&pad] { return pad; };
  FinishIntro();
  pad.X = -32767;
  Rig.Frame();
  pad.X = 0;
  Rig.Frame();
  ASSERT_EQ(Form().HotButton, LanguageSwitchSlot);
  pad.Buttons = 1u << cbA;
  Rig.Frame();
  pad.Buttons = 0;
  Rig.Frame();
  EXPECT_EQ(Form().Language.Current, TLanguage::English);
}

TEST_F(Languages, TheSwitchTurnsEveryPictureAndTextEnglishAndBackButNotTheGameData) {
  FinishIntro();
  const std::vector<size_t> russian = Looks();
  const uint32_t fingerprint = DataFingerprint(Form());
  EXPECT_EQ(Switch().InactivePattern, 0);
  Form().Replay.Fingerprint.reset();

  Press(VK_LEFT);
  Rig.Type(13);  // Enter
  EXPECT_EQ(Form().Language.Current, TLanguage::English);
  const std::vector<size_t> english = Looks();
  for (size_t i = 0; i < 3; ++i) EXPECT_NE(english[i], russian[i]) << "picture with words " << i;
  for (size_t i = 3; i < 5; ++i) EXPECT_EQ(english[i], russian[i]) << "picture without words " << i;
  EXPECT_EQ(std::string_view(Texts(Form()).Pause), "Paused");
  Rig.Frame();
  EXPECT_EQ(Switch().AnimFrame, 3);  // English in use, lit
  EXPECT_EQ(DataFingerprint(Form()), fingerprint);

  Rig.Type(13);
  EXPECT_EQ(Form().Language.Current, TLanguage::Russian);
  EXPECT_EQ(Looks(), russian);
  EXPECT_EQ(std::string_view(Texts(Form()).Pause), Utf8ToCp1251("Пауза"));
}

TEST_F(Languages, TheMouseFindsTheSwitchOnTheMainMenuOnly) {
  FinishIntro();
  Click(LanguageSwitchSlot);
  EXPECT_EQ(Form().Language.Current, TLanguage::English);
  Click(3);  // the high scores' panel covers the corner
  ASSERT_EQ(Form().CurrentScreen, 3);
  EXPECT_FALSE(Switch().Visible);
  PointAt(LanguageSwitchSlot);
  Rig.Frame();
  EXPECT_EQ(Form().CurrentScreen, 3);
  EXPECT_EQ(Form().HotButton, 8);
  Click(3);
  EXPECT_TRUE(Switch().Visible);
}

TEST_F(Languages, TheChoiceIsKeptInAFileOfItsOwnOnceMade) {
  FinishIntro();
  const std::filesystem::path file = Rig.Folder.Dir / "Data/Save/language";
  Form().FormDestroy();  // never chosen: no file, the saves as they always were
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_TRUE(std::filesystem::exists(Rig.Folder.Dir / "Data/Save/options"));

  Click(LanguageSwitchSlot);
  Form().FormDestroy();
  std::ifstream in(file, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "en\r\n");
}

TEST(LanguageFile, AGameStartsInTheLanguageItNamesElseInRussian) {
  if (!TGameFolder::DataBuilt()) GTEST_SKIP() << "the game data is not built";
  struct {
    const char* Content;  // nullptr: no file
    TLanguage Language;
  } cases[] = {{nullptr, TLanguage::Russian}, {"en\r\n", TLanguage::English}, {"ru\r\n", TLanguage::Russian},
               {"en", TLanguage::English},    {"de\r\n", TLanguage::Russian}, {"", TLanguage::Russian}};
  for (const auto& c : cases) {
    TGameRig rig;
    if (c.Content) std::ofstream(rig.Folder.Dir / "Data/Save/language", std::ios::binary) << c.Content;
    rig.Start();
    EXPECT_EQ(rig.Form->Language.Current, c.Language) << (c.Content ? c.Content : "no file");
    EXPECT_EQ(rig.Form->Language.MenusIn && rig.Form->Language.RaceIn, c.Language == TLanguage::English);
  }
}

TEST(Texts, EveryLanguageSaysEveryTextTheEnglishInPlainAscii) {
  for (const TTexts* texts : {&RussianTexts, &EnglishTexts})
    for (auto text : AllTexts) EXPECT_FALSE(std::string_view(texts->*text).empty());
  for (auto text : AllTexts)
    for (char c : std::string_view(EnglishTexts.*text)) EXPECT_LT(static_cast<unsigned char>(c), 0x80) << c;
}

}  // namespace
