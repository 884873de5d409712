#include <gtest/gtest.h>

#include "app/MForm.h"
#include "game/track/CaptionSprite.h"
#include "game/track/Explosion.h"
#include "game/track/ScrollBackground.h"
#include "media/DXClass/Application.h"
#include "media/DXDraws/PictureCollection.h"
#include "tests/sprites/SpriteFixture.h"

namespace {

// A main window whose two libraries hold a few pictures made in the test; the same
// names exist in both, told apart by their sizes.
class EffectSprites : public ::testing::Test {
 protected:
  EffectSprites() : Form(Application) {
    for (auto [library, w] : {std::pair{&Form.MDXImageList->Items, 40}, {&Form.MDXImageList3->Items, 90}}) {
      MakePicture(*library, "MMBackground", w, 60, 0, 0, [](int, int) { return Rgb(0, 0, 248); });
      MakePicture(*library, "Land", w, 60, 0, 0, [](int, int) { return Rgb(0, 248, 0); });
      MakePicture(*library, "StartC", w, 30, 0, 0, [](int, int) { return Rgb(248, 0, 0); });
    }
    MakePicture(Form.MDXImageList->Items, "OptionsC", 20, 10, 0, 0, [](int, int) { return 0u; });
    // Four 45 x 20 patterns, the only copy of it, in the race library.
    MakePicture(Form.MDXImageList3->Items, "Boom", 90, 40, 45, 20, [](int, int) { return 0u; });
  }
  TSpriteEngine& Engine() { return Form.MDXSpriteEngine->Engine(); }

  TApplication Application;
  TMForm Form;
};

TEST_F(EffectSprites, BackgroundIsATiledSingleCellAtZ1) {
  Form.CurrentScreen = -1;  // program start
  auto* bg = new TScrollBackground(Form, "mmbackground");
  EXPECT_EQ(bg->Parent, &Engine());
  EXPECT_EQ(bg->Image, &Form.MDXImageList->Items.Find("MMBackground"));
  EXPECT_EQ(bg->Z(), 1);
  EXPECT_TRUE(bg->Tiled);
  EXPECT_EQ(bg->MapWidth(), 1);
  EXPECT_EQ(bg->MapHeight(), 1);
  EXPECT_EQ(bg->Cell(0, 0), 0);
  EXPECT_EQ(bg->X, 0);
  EXPECT_EQ(bg->Y, 0);
  delete bg;
  Form.CurrentScreen = 1;
  bg = new TScrollBackground(Form, "Land");
  EXPECT_EQ(bg->Image, &Form.MDXImageList3->Items.Find("Land"));
  delete bg;
}

TEST_F(EffectSprites, BackgroundScrollsWithTheBoatOnlyDuringARace) {
  auto* bg = new TScrollBackground(Form, "MMBackground");
  struct {
    int32_t Screen;
    double Y, Step, NewY;
  } cases[] = {{1, 599, 5, 4},  {1, 595, 5, 600}, {1, 600, 0.5, 0.5}, {1, 10, 2.25, 12.25},
               {1, 0, 0, 0},    {0, 599, 5, 599}, {8, 10, 5, 10},     {-1, 10, 5, 10}};
  for (const auto& c : cases) {
    Form.CurrentScreen = c.Screen;
    Form.ScrollStep = c.Step;
    bg->Y = c.Y;
    Engine().MoveAll(1);
    EXPECT_DOUBLE_EQ(bg->Y, c.NewY) << "screen " << c.Screen << " from " << c.Y;
  }
}

TEST_F(EffectSprites, CaptionIsCentredAndTakesItsLibraryFromTheScreen) {
  Form.CurrentScreen = 0;
  auto* menu = new TCaptionSprite(Form, "StartC");
  EXPECT_EQ(menu->Image, &Form.MDXImageList->Items.Find("StartC"));
  EXPECT_EQ(menu->Width, 40);
  EXPECT_EQ(menu->Height, 30);
  EXPECT_DOUBLE_EQ(menu->X, 380);
  EXPECT_DOUBLE_EQ(menu->Y, 285);
  EXPECT_EQ(menu->Z(), 3);
  EXPECT_TRUE(menu->Visible);

  Form.CurrentScreen = 1;
  auto* race = new TCaptionSprite(Form, "StartC");
  EXPECT_EQ(race->Image, &Form.MDXImageList3->Items.Find("StartC"));
  EXPECT_EQ(race->Width, 90);
  EXPECT_DOUBLE_EQ(race->X, 355);
  // Switching the picture looks in the menu library whatever the screen; the size stays.
  race->SetPicture("OptionsC");
  EXPECT_EQ(race->Image, &Form.MDXImageList->Items.Find("OptionsC"));
  EXPECT_EQ(race->Width, 90);
  EXPECT_EQ(race->Height, 30);
  EXPECT_THROW(race->SetPicture("Boom"), EPictureCollectionError);

  // A still picture: one-shot, rate 0, so moving never changes its pattern.
  race->AnimFrame = 0;
  EXPECT_FALSE(race->AnimLoop);
  EXPECT_EQ(race->AnimRate, 0);
  EXPECT_EQ(race->AnimLength, 1);
  Engine().MoveAll(3);
  EXPECT_EQ(race->PatternIndex(), 0);
}

TEST_F(EffectSprites, HiddenExplosionKeepsCountingAsAClock) {
  Form.CurrentScreen = 0;  // always the race library
  auto* boom = new TExplosion(Form, "Boom", 12.5, -7);
  EXPECT_EQ(boom->Image, &Form.MDXImageList3->Items.Find("Boom"));
  EXPECT_FALSE(boom->Visible);
  EXPECT_EQ(boom->Z(), 4);
  EXPECT_EQ(boom->Width, 45);
  EXPECT_EQ(boom->Height, 20);
  EXPECT_DOUBLE_EQ(boom->X, 12.5);
  EXPECT_DOUBLE_EQ(boom->Y, -7);
  EXPECT_EQ(boom->AnimLength, 4);
  EXPECT_TRUE(boom->AnimLoop);
  EXPECT_DOUBLE_EQ(boom->AnimRate, 0.225);  // 15 patterns a second at 15 ms a frame
  for (int frame = 0; frame < 17; ++frame) Engine().MoveAll(1);
  EXPECT_EQ(boom->PatternIndex(), 3);
  Engine().MoveAll(1);
  EXPECT_NEAR(boom->AnimFrame, 18 * 0.225 - 4, 1e-9);
  EXPECT_EQ(boom->PatternIndex(), 0);
  Engine().DrawAll();
  EXPECT_EQ(Engine().DrawnCount, 0);
}

TEST_F(EffectSprites, UnknownPictureRaisesAndLeavesNoSpriteBehind) {
  const int32_t before = Engine().SpriteCount;
  try {
    new TCaptionSprite(Form, "NoSuchPicture");
    FAIL();
  } catch (const EPictureCollectionError& e) {
    EXPECT_STREQ(e.what(), "Image 'NoSuchPicture' not found");
  }
  EXPECT_THROW(new TScrollBackground(Form, "Missing"), EPictureCollectionError);
  EXPECT_THROW(new TExplosion(Form, "StartC_", 0, 0), EPictureCollectionError);
  EXPECT_EQ(Engine().SpriteCount, before);
}

}  // namespace
