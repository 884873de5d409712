// Each language's pictures stand in for the game's own in place, so each must have the
// same size, pattern grid and colour key as the Russian picture of its name, read as the
// game reads them; and every picture the catalogue marks as carrying words must be there.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <string>

#include "media/DXDraws/PictureCollection.h"

namespace {

const std::string Res = std::string(SPRAYRUSH_GAME_DIR) + "/Data/Res/";

std::set<std::string> PicturesWithWords(const std::string& library) {
  std::ifstream catalogue(std::string(SPRAYRUSH_SOURCE_DIR) + "/assets/catalogue.txt");
  const std::regex line("^" + library + " +(\\w+) .*words=yes");
  std::set<std::string> names;
  std::smatch m;
  for (std::string text; std::getline(catalogue, text);)
    if (std::regex_search(text, m, line)) names.insert(m[1]);
  return names;
}

TEST(LanguagePictures, EveryEnglishPictureIsLaidOutAsItsRussianOne) {
  for (const char* library : {"Res1", "Res3"}) {
    TPictureCollection russian, english;
    russian.LoadFromFile(Res + library + ".dxg");
    english.LoadFromFile(Res + "en/" + library + ".dxg");
    std::set<std::string> names;
    for (int i = 0; i < english.Count(); ++i) {
      const TPictureCollectionItem& en = english.Items(i);
      names.insert(en.Name());
      const TPictureCollectionItem* ru = russian.FindOrNull(en.Name());
      ASSERT_NE(ru, nullptr) << library << " " << en.Name();
      EXPECT_EQ(en.Picture.Width(), ru->Picture.Width()) << en.Name();
      EXPECT_EQ(en.Picture.Height(), ru->Picture.Height()) << en.Name();
      EXPECT_EQ(en.Width(), ru->Width()) << en.Name();
      EXPECT_EQ(en.Height(), ru->Height()) << en.Name();
      EXPECT_EQ(en.PatternCount(), ru->PatternCount()) << en.Name();
      EXPECT_EQ(en.SkipWidth, ru->SkipWidth) << en.Name();
      EXPECT_EQ(en.SkipHeight, ru->SkipHeight) << en.Name();
      EXPECT_EQ(en.Transparent, ru->Transparent) << en.Name();
      EXPECT_EQ(en.TransparentColor(), ru->TransparentColor()) << en.Name();
    }
    EXPECT_EQ(names, PicturesWithWords(library)) << library;
  }
}

}  // namespace
