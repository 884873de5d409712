// The catalogue check is what stops a build that would make the game fail to start or
// look broken: every rule kind must catch its fault and name the catalogue line.
#include <gtest/gtest.h>

#include <functional>

#include "tests/data/DataTestUtil.h"
#include "tools/sprdata/Catalogue.h"

namespace {

TLibraryPicture Picture(const std::string& name, int width, int height, int patternWidth = 0) {
  TLibraryPicture p;
  p.Name = name;
  p.Dib = TDIB(width, height);
  p.PatternWidth = patternWidth;
  return p;
}

TBuiltData Data() {
  TBuiltData data;
  data.Res1 = {Picture("MMBackground", 800, 600), Picture("MMB_Active", 232, 270), Picture("YesButton", 120, 40, 60)};
  data.Res1[1].PatternHeight = 54;
  TLibraryPicture land = Picture("Land", 538, 200);
  for (int x = 0; x < 538; ++x)
    for (int y = 0; y < 200; ++y) land.Dib.SetPixel(x, y, uint32_t(x * 7 + (y % 50) / 10) & 0xFF);
  data.Res3 = {land, Picture("CarAnim", 504, 96, 84), Picture("BoatAnim", 480, 140, 80), Picture("BoxLeft", 40, 40),
               Picture("BoxRight", 40, 40), Picture("Bonus10", 30, 30), Picture("UmbrellaRed", 46, 46)};
  data.Sounds = {{"Engine", true, 1, {}}, {"Tick", false, 2, {}}};
  return data;
}

const char* const Catalogue =
    "# test catalogue\n"
    "Res1 MMBackground count=1\n"
    "Res1 MMB_Active count>=5\n"
    "Res1 YesButton count=2\n"
    "Res3 Land width=538 tile=600\n"
    "Res3 CarAnim count>=2 width=84\n"
    "Res3 BoatAnim count>=CarAnim\n"
    "Res3 BoxRight size=BoxLeft\n"
    "Res3 Bonus10 smaller=BoxLeft\n"
    "Res3 UmbrellaRed width<48\n"
    "Sounds Engine looped=yes\n"
    "Sounds Tick looped=no max<=2\n";

TEST(Catalogue, CompleteDataPasses) {
  TScratchDir dir;
  const auto problems = CheckCatalogue(dir.Write("catalogue.txt", Catalogue), Data());
  EXPECT_TRUE(problems.empty()) << problems.front();
}

TEST(Catalogue, EachBrokenRuleIsNamedWithItsLine) {
  struct TCase {
    const char* What;
    std::function<void(TBuiltData&)> Break;
    const char* Message;
    int Line;
  };
  const TCase cases[] = {
      {"missing picture", [](TBuiltData& d) { d.Res1.erase(d.Res1.begin()); }, "Res1.dxg: picture 'MMBackground' is missing", 2},
      {"picture in the wrong library", [](TBuiltData& d) { d.Res3.push_back(d.Res1[2]); d.Res1.pop_back(); },
       "Res1.dxg: picture 'YesButton' is missing", 4},
      {"missing sound", [](TBuiltData& d) { d.Sounds.pop_back(); }, "Sounds.dxw: sound 'Tick' is missing", 12},
      {"too few button patterns", [](TBuiltData& d) { d.Res1[1].PatternHeight = 90; },
       "'MMB_Active' has count 3, wanted count>=5", 3},
      {"dialog button with one pattern", [](TBuiltData& d) { d.Res1[2].PatternWidth = 0; },
       "'YesButton' has count 1, wanted count=2", 4},
      {"wake of the wrong width", [](TBuiltData& d) { d.Res3[1].PatternWidth = 90; }, "'CarAnim' has width 90", 6},
      {"fewer enemy wake frames than the player's",
       [](TBuiltData& d) { d.Res3[2].PatternWidth = 120; }, "'BoatAnim' has count 4, wanted count>=CarAnim's 6", 7},
      {"crates of different sizes", [](TBuiltData& d) { d.Res3[4].Dib = TDIB(42, 40); }, "wanted the size of 'BoxLeft'", 8},
      {"bonus as big as its crate", [](TBuiltData& d) { d.Res3[5].Dib = TDIB(40, 30); }, "wanted smaller than 'BoxLeft'", 9},
      {"bank decoration too wide", [](TBuiltData& d) { d.Res3[6].Dib = TDIB(48, 46); }, "'UmbrellaRed' has width 48", 10},
      {"background height not dividing 600", [](TBuiltData& d) { d.Res3[0].Dib = TDIB(538, 250); },
       "'Land' is 250 high, which does not divide 600", 5},
      {"background with a seam",
       [](TBuiltData& d) {
         for (int x = 0; x < 538; ++x) d.Res3[0].Dib.SetPixel(x, 199, 0xFFFFFF);
       },
       "'Land' does not tile", 5},
      {"engine not looped", [](TBuiltData& d) { d.Sounds[0].Looped = false; }, "'Engine' must be looped", 11},
  };
  TScratchDir dir;
  const std::string catalogue = dir.Write("catalogue.txt", Catalogue);
  for (const auto& c : cases) {
    TBuiltData data = Data();
    c.Break(data);
    const auto problems = CheckCatalogue(catalogue, data);
    ASSERT_EQ(problems.size(), 1u) << c.What;
    EXPECT_NE(problems[0].find(c.Message), std::string::npos) << c.What << ": " << problems[0];
    EXPECT_NE(problems[0].find("catalogue.txt:" + std::to_string(c.Line) + ")"), std::string::npos) << problems[0];
  }
}

TEST(Catalogue, BadRuleIsRefusedWithItsLine) {
  TScratchDir dir;
  const std::string catalogue = dir.Write("catalogue.txt", "Res1 MMBackground count=1\nRes1 Window colour=red\n");
  EXPECT_THROW(
      {
        try {
          CheckCatalogue(catalogue, Data());
        } catch (const EDataError& e) {
          EXPECT_NE(std::string(e.what()).find("catalogue.txt:2:"), std::string::npos) << e.what();
          throw;
        }
      },
      EDataError);
}

// The shipped catalogue must name every picture and sound the game looks up; a quick
// guard that the list itself parses and knows the core names.
TEST(Catalogue, ShippedCatalogueParsesAndNamesTheCoreItems) {
  const std::string path = std::string(SPRAYRUSH_SOURCE_DIR) + "/assets/catalogue.txt";
  const auto problems = CheckCatalogue(path, TBuiltData{});
  const std::string all = [&] {
    std::string s;
    for (const auto& p : problems) s += p + "\n";
    return s;
  }();
  for (const char* name : {"'MMBackground'", "'Land'", "'CarAnim'", "'YesButton'", "'Engine'", "'GameOver'"})
    EXPECT_NE(all.find(name), std::string::npos) << name;
}

}  // namespace

namespace {

// A language folder stands in for the pictures with words, each drawn alike; nothing more.
TEST(Catalogue, LanguageFoldersHoldEveryPictureWithWordsAlikeAndNothingElse) {
  TScratchDir dir;
  const std::string catalogue = dir.Write("catalogue.txt",
                                          "Res1 MMB_Active count>=5 words=yes\n"
                                          "Res1 YesButton count=2 words=yes\n"
                                          "Res1 MMBackground count=1\n"
                                          "Res3 Land width=538 words=no\n"
                                          "Languages LanguageSwitch count=4\n");
  const auto withEnglish = [] {
    TBuiltData d = Data();
    d.Languages = {Picture("LanguageSwitch", 240, 84, 120)};
    d.Languages[0].PatternHeight = 42;
    d.LanguageFolders.push_back({"en", {d.Res1[1], d.Res1[2]}, {}});
    return d;
  };
  EXPECT_TRUE(CheckCatalogue(catalogue, withEnglish()).empty());
  struct {
    const char* What;
    std::function<void(TLanguagePictures&)> Break;
    const char* Message;
  } cases[] = {
      {"missing", [](TLanguagePictures& en) { en.Res1.pop_back(); },
       "en/Res1.dxg: picture 'YesButton' is missing; it carries words"},
      {"another size", [](TLanguagePictures& en) { en.Res1[1].Dib = TDIB(122, 40); },
       "en/Res1.dxg: 'YesButton' is 122x40 pattern 60x40 x 2"},
      {"another grid", [](TLanguagePictures& en) { en.Res1[0].PatternHeight = 45; },
       "'MMB_Active' is 232x270 pattern 232x45 x 6"},
      {"another key", [](TLanguagePictures& en) { en.Res1[1].TransparentColor = 0x00FF00; }, "key 00FF00, wanted as"},
      {"another depth", [](TLanguagePictures& en) { en.Res1[1].Bits = 8; }, "8 bits"},
      {"a picture without words", [](TLanguagePictures& en) { en.Res3.push_back(Picture("Land", 538, 200)); },
       "en/Res3.dxg: 'Land' stands in for no picture with words"},
  };
  for (const auto& c : cases) {
    TBuiltData data = withEnglish();
    c.Break(data.LanguageFolders[0]);
    const auto problems = CheckCatalogue(catalogue, data);
    ASSERT_EQ(problems.size(), 1u) << c.What;
    EXPECT_NE(problems[0].find(c.Message), std::string::npos) << c.What << ": " << problems[0];
  }
}

}  // namespace
