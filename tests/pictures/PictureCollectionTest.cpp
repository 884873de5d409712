#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "media/DXClass/ComponentStream.h"
#include "media/DXDraws/PictureCollection.h"
#include "media/Platform/Window.h"

namespace {

using Bytes = std::vector<uint8_t>;

TStreamValue Value(TValueType type, int32_t i = 0, std::string text = {}) {
  TStreamValue v;
  v.Type = type;
  v.Int = i;
  v.Text = std::move(text);
  return v;
}

TStreamValue Binary(Bytes data) {
  TStreamValue v = Value(TValueType::vaBinary);
  v.Data = std::move(data);
  return v;
}

TDIB Solid(int w, int h, uint32_t color) {
  TDIB dib(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) dib.SetPixel(x, y, color);
  return dib;
}

// A library file image with the given items, written the way a library stores them.
Bytes Library(std::vector<TStreamItem> items, std::string className = "TPictureCollectionComponent") {
  TStreamValue list = Value(TValueType::vaCollection);
  list.Items = std::move(items);
  return WriteComponentResource({std::move(className), "ImageList", {{"List", list}}}, "IMAGELIST");
}

TStreamItem Item(const std::string& name, const TDIB& picture, std::vector<TStreamProperty> more = {}) {
  TStreamItem item;
  item.Properties.push_back({"Name", Value(TValueType::vaString, 0, name)});
  item.Properties.push_back({"Picture.Data", Binary(picture.SavePictureData(24))});
  item.Properties.insert(item.Properties.end(), more.begin(), more.end());
  return item;
}

}  // namespace

TEST(PictureCollection, LookupIgnoresCaseAndLaterItemWins) {
  TPictureCollection lib;
  lib.LoadFromBytes(Library({Item("MMBackground", Solid(2, 2, 0x0000FF)),
                             Item("Boat", Solid(1, 1, 0)),
                             Item("mmbackGROUND", Solid(3, 3, 0x00FF00))}));
  ASSERT_EQ(lib.Count(), 3);
  EXPECT_EQ(lib.Find("mmbackground").Picture.Width(), 3);
  EXPECT_EQ(&lib.Find("BOAT"), &lib.Items(1));
  lib.Delete(2);
  EXPECT_EQ(lib.Find("MMBACKGROUND").Picture.Width(), 2);
  try {
    lib.Find("Missing");
    ADD_FAILURE();
  } catch (const EPictureCollectionError& e) {
    EXPECT_STREQ(e.what(), "Image 'Missing' not found");
  }
  // Renaming re-files the item under its new name and puts it ahead of older ones.
  lib.Items(1).SetName("mmBackground");
  EXPECT_EQ(&lib.Find("MMBackground"), &lib.Items(1));
  EXPECT_EQ(lib.FindOrNull("Boat"), nullptr);
}

TEST(PictureCollection, NameIndexBuckets) {
  // (16 * length + second-to-last byte + first byte) mod 256, lower-cased.
  EXPECT_EQ(TPictureCollection::HashName("MMBackground"), (16 * 12 + 'n' + 'm') % 256);
  EXPECT_EQ(TPictureCollection::HashName("mmbackground"), TPictureCollection::HashName("MMBACKGROUND"));
  EXPECT_EQ(TPictureCollection::HashName("A"), 16);
  EXPECT_EQ(TPictureCollection::HashName(""), 0);
  EXPECT_EQ(TPictureCollection::HashName(std::string(16, 'x')), ('x' + 'x') % 256);
  // Names sharing a bucket stay apart.
  ASSERT_EQ(TPictureCollection::HashName("Boat4"), TPictureCollection::HashName("Bxxt4"));
  TPictureCollection lib;
  lib.Add().SetName("Boat4");
  lib.Add().SetName("Bxxt4");
  lib.Add().SetName("\xC0\xE1");  // Cyrillic, compared without case too
  EXPECT_EQ(lib.Find("boat4").Name(), "Boat4");
  EXPECT_EQ(lib.Find("BXXT4").Name(), "Bxxt4");
  EXPECT_EQ(lib.Find("\xE0\xC1").Name(), "\xC0\xE1");
}

TEST(PictureCollection, PatternCutting) {
  struct Case {
    int PictureW, PictureH, PatternW, PatternH, SkipW, SkipH, Count;
    TRect Last;
  };
  const std::vector<Case> cases = {
      {300, 50, 100, 0, 0, 0, 3, {200, 0, 300, 50}},
      {300, 50, 100, 0, 10, 0, 2, {110, 0, 210, 50}},
      {300, 50, 0, 0, 0, 0, 1, {0, 0, 300, 50}},
      {300, 50, 300, 50, 10, 10, 1, {0, 0, 300, 50}},  // the whole picture ignores skips
      {100, 100, 40, 30, 10, 5, 6, {50, 70, 90, 100}},  // 2 columns, 3 rows, row by row
      {100, 100, 20, 0, -30, 0, 0, {}},                 // steps that go backwards cut nothing
      {100, 100, 120, 0, 0, 0, 0, {}},                  // a pattern larger than the picture
      {100, 10, 20, 0, -10, 0, 9, {80, 0, 100, 10}},    // overlapping patterns stay inside
      {100, 10, 1, 0, 0x7FFFFFFF, 0, 1, {0, 0, 1, 10}}, // a huge skip does not overflow
  };
  for (const Case& c : cases) {
    TPictureCollectionItem item;
    item.Picture = TDIB(c.PictureW, c.PictureH);
    item.PatternWidth = c.PatternW;
    item.PatternHeight = c.PatternH;
    item.SkipWidth = c.SkipW;
    item.SkipHeight = c.SkipH;
    EXPECT_EQ(item.PatternCount(), c.Count);
    item.Initialize();
    ASSERT_EQ(item.PatternCount(), c.Count) << c.PictureW << " " << c.PatternW << " " << c.SkipW;
    TRect r = item.PatternRect(c.Count - 1);
    EXPECT_EQ(std::vector<int>({r.Left, r.Top, r.Right, r.Bottom}),
              std::vector<int>({c.Last.Left, c.Last.Top, c.Last.Right, c.Last.Bottom}))
        << c.PictureW << " " << c.PatternW << " " << c.SkipW;
  }
  TPictureCollectionItem empty;
  empty.Initialize();
  EXPECT_EQ(empty.PatternCount(), 0);
}

TEST(PictureCollection, DrawsOnlyValidPatternsWithTheColourKey) {
  // Two 2 x 1 patterns: (key, red) and (red, key).
  TPictureCollectionItem item;
  item.Picture = TDIB(4, 1);
  item.Picture.SetPixel(1, 0, 0x0000FF);
  item.Picture.SetPixel(2, 0, 0x0000FF);
  for (int x : {0, 3}) item.Picture.SetPixel(x, 0, 0xFF00FF);
  item.PatternWidth = 2;
  item.SetTransparentColor(0xFF00FF);

  TDirectDrawSurface dest(4, 2);
  const uint16_t ground = 0x1234, red = ColorToSurface(0x0000FF), key = ColorToSurface(0xFF00FF);
  dest.Fill(ground);
  item.Draw(dest, 0, 0, 0);  // not initialised yet
  EXPECT_EQ(dest.Pixels()[1], ground);

  item.Initialize();
  ASSERT_EQ(item.PatternCount(), 2);
  ASSERT_NE(item.PatternSurface(0), nullptr);
  EXPECT_EQ(item.PatternSurface(0)->ColorKey(), key);
  TRect all{0, 0, 4, 2};
  for (int bad : {-1, 2, 1000}) {
    item.Draw(dest, 0, 0, bad);
    item.StretchDraw(dest, all, bad);
    item.DrawAlpha(dest, all, bad, 128);
    item.DrawRotate(dest, 2, 1, 4, 2, bad, 0.5, 0.5, 64);
    item.DrawRotateAlpha(dest, 2, 1, 4, 2, bad, 0.5, 0.5, 64, 128);
    EXPECT_EQ(item.PatternSurface(bad), nullptr);
  }
  for (int i = 0; i < 8; ++i) ASSERT_EQ(dest.Pixels()[i], ground) << i;

  item.Draw(dest, 0, 0, 0);
  item.Draw(dest, 2, 0, 1);
  EXPECT_EQ(std::vector<uint16_t>(dest.Pixels(), dest.Pixels() + 4),
            (std::vector<uint16_t>{ground, red, red, ground}));
  item.Transparent = false;
  item.Draw(dest, 0, 1, 0);
  EXPECT_EQ(dest.Pixels()[4], key);
  // Changing the key later re-keys the surface.
  item.SetTransparentColor(0x0000FF);
  EXPECT_EQ(item.PatternSurface(0)->ColorKey(), red);
  item.Finalize();
  EXPECT_EQ(item.PatternSurface(0), nullptr);
  EXPECT_EQ(item.Picture.Width(), 4);
}

TEST(PictureCollection, ReadsItemPropertiesAndKeepsDefaults) {
  TPictureCollection lib;
  lib.LoadFromBytes(Library({
      Item("Full", Solid(300, 20, 0),
           {{"PatternHeight", Value(TValueType::vaInt8, 20)},
            {"PatternWidth", Value(TValueType::vaInt16, 100)},
            {"SkipHeight", Value(TValueType::vaInt32, 0)},
            {"SkipWidth", Value(TValueType::vaInt8, 10)},
            {"SystemMemory", Value(TValueType::vaTrue)},
            {"Transparent", Value(TValueType::vaFalse)},
            {"TransparentColor", Value(TValueType::vaIdent, 0, "clFuchsia")}}),
      Item("Bare", Solid(1, 1, 0)),
      Item("Numbered", Solid(1, 1, 0), {{"TransparentColor", Value(TValueType::vaInt32, 0x00FF00)}}),
  }));
  const TPictureCollectionItem& full = lib.Find("Full");
  EXPECT_EQ(full.PatternWidth, 100);
  EXPECT_EQ(full.SkipWidth, 10);
  EXPECT_TRUE(full.SystemMemory);
  EXPECT_FALSE(full.Transparent);
  EXPECT_EQ(full.TransparentColor(), 0xFF00FFu);
  EXPECT_EQ(full.PatternCount(), 2);
  const TPictureCollectionItem& bare = lib.Find("Bare");
  EXPECT_TRUE(bare.Transparent);
  EXPECT_EQ(bare.PatternWidth, 0);
  EXPECT_EQ(bare.TransparentColor(), 0u);
  EXPECT_EQ(lib.Find("Numbered").TransparentColor(), 0x00FF00u);

  // The library writes itself back the same way.
  TPictureCollection again;
  again.LoadFromBytes(lib.SaveToBytes(24));
  ASSERT_EQ(again.Count(), 3);
  EXPECT_EQ(again.Find("full").SkipWidth, 10);
  EXPECT_EQ(again.Find("full").TransparentColor(), 0xFF00FFu);
  EXPECT_FALSE(again.Find("full").Transparent);
}

TEST(PictureCollection, MalformedLibrariesRaiseTheirMessage) {
  const TDIB pic = Solid(2, 2, 0);
  Bytes brokenDib = pic.SavePictureData(24);
  brokenDib.resize(brokenDib.size() - 3);
  struct Case {
    const char* What;
    Bytes File;
    const char* Message;
  };
  const std::vector<Case> cases = {
      {"wrong class", Library({Item("A", pic)}, "TWaveCollectionComponent"), "Invalid stream format"},
      {"name as number", Library({{std::nullopt, {{"Name", Value(TValueType::vaInt8, 1)}}}}),
       "Invalid stream format"},
      {"width as text", Library({Item("A", pic, {{"PatternWidth", Value(TValueType::vaString, 0, "9")}})}),
       "Invalid stream format"},
      {"unknown colour", Library({Item("A", pic, {{"TransparentColor", Value(TValueType::vaIdent, 0, "clPink")}})}),
       "Invalid stream format"},
      {"flag as number", Library({Item("A", pic, {{"Transparent", Value(TValueType::vaInt8, 1)}})}),
       "Invalid stream format"},
      {"picture as text", Library({{std::nullopt, {{"Picture.Data", Value(TValueType::vaString, 0, "x")}}}}),
       "Invalid stream format"},
      {"broken bitmap", Library({{std::nullopt, {{"Picture.Data", Binary(brokenDib)}}}}), "DIB is invalid"},
      {"not a library", Bytes{'M', 'Z', 0x90, 0}, "Invalid stream format"},
  };
  TPictureCollection lib;
  lib.LoadFromBytes(Library({Item("Kept", pic)}));
  for (const Case& c : cases) {
    try {
      lib.LoadFromBytes(c.File);
      ADD_FAILURE() << c.What << ": no error";
    } catch (const std::exception& e) {
      EXPECT_STREQ(e.what(), c.Message) << c.What;
    }
  }
  // A failed load leaves the library as it was.
  EXPECT_EQ(lib.Count(), 1);
  EXPECT_NO_THROW(lib.Find("Kept"));
}

TEST(PictureCollection, InitialisingNeedsTheDrawingSurface) {
  TPictureCollection lib;
  lib.LoadFromBytes(Library({Item("A", Solid(2, 2, 0))}));
  EXPECT_FALSE(lib.Items(0).Initialized());
  try {
    lib.Initialize();
    ADD_FAILURE();
  } catch (const EPictureCollectionError& e) {
    EXPECT_STREQ(e.what(), "TPictureCollection cannot be initialized");
  }
  TDXDraw draw(nullptr);  // not initialised
  lib.DXDraw = &draw;
  EXPECT_THROW(lib.Initialize(), EPictureCollectionError);
}

TEST(DXImageList, FollowsTheDrawingSurface) {
  const std::string path = std::string(SPRAYRUSH_BINARY_DIR) + "/image_list_test.dxg";
  TPictureCollection source;
  TPictureCollectionItem& boat = source.Add();
  boat.SetName("Boat");
  boat.Picture = Solid(40, 10, 0x00FF00);
  boat.PatternWidth = 20;
  {
    Bytes image = source.SaveToBytes(16);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(image.data()),
                                                std::streamsize(image.size()));
  }
  Platform::TWindow window("test", 800, 600);
  TDXDraw draw(&window);
  TDXImageList list(&draw);
  list.LoadFromFile(path);  // the surface is not up yet
  EXPECT_FALSE(list.Items.Find("boat").Initialized());
  draw.Initialize();
  ASSERT_TRUE(list.Items.Find("boat").Initialized());
  list.Items.Find("boat").Draw(draw.Surface(), 5, 5, 1);
  EXPECT_EQ(draw.Surface().Pixels()[5 * 800 + 5], ColorToSurface(0x00FF00));
  draw.Finalize();
  EXPECT_FALSE(list.Items.Find("boat").Initialized());
  draw.Initialize();
  list.LoadFromFile(path);  // initialised at once while the surface is up
  EXPECT_TRUE(list.Items.Find("boat").Initialized());
  EXPECT_EQ(list.Items.Find("boat").PatternCount(), 2);
  std::remove(path.c_str());
  EXPECT_THROW(list.LoadFromFile(path), EFOpenError);
  EXPECT_EQ(list.Items.Count(), 1);
}

TEST(DXImageList, WithoutItsBitmapsAPictureStillDrawsAfterEveryModeSwitch) {
  Platform::TWindow window("test", 800, 600);
  TDXDraw draw(&window);
  TDXImageList list(&draw);
  list.Items.KeepPictures = false;
  list.Items.LoadFromBytes(Library({Item("Boat", Solid(40, 10, 0x00FF00),
                                         {{"PatternWidth", Value(TValueType::vaInt8, 20)}})}));
  TPictureCollectionItem& boat = list.Items.Find("Boat");
  // Converted to its surface as it is read; drawn once there is a surface to draw on.
  EXPECT_FALSE(boat.Picture.HasPixels());
  EXPECT_EQ(boat.Picture.Width(), 40);
  EXPECT_FALSE(boat.Initialized());
  for (int round = 0; round < 3; ++round) {
    draw.Initialize();
    ASSERT_TRUE(boat.Initialized());
    EXPECT_FALSE(boat.Picture.HasPixels());
    EXPECT_EQ(boat.Width(), 20);
    EXPECT_EQ(boat.PatternCount(), 2);
    draw.Surface().Fill(0);
    boat.Draw(draw.Surface(), 5, 5, 1);
    EXPECT_EQ(draw.Surface().Pixels()[5 * 800 + 5], ColorToSurface(0x00FF00)) << round;
    draw.Finalize();
    TDirectDrawSurface elsewhere(40, 40);
    boat.Draw(elsewhere, 5, 5, 1);  // not initialised: draws nothing, raises nothing
    EXPECT_EQ(elsewhere.Pixels()[5 * 40 + 5], 0);
  }
}

// A language's pictures stand in for the game's own by trading pixels: every holder of the
// picture shows the other drawing at once, through display switches, and trades back whole.
TEST(DXImageList, SwappingPixelsShowsTheOtherDrawingUntilSwappedBack) {
  const auto pixelOf = [](TDXDraw& draw, TPictureCollectionItem& item) {
    draw.Surface().Fill(0);
    item.Draw(draw.Surface(), 5, 5, 1);
    return draw.Surface().Pixels()[5 * 800 + 5];
  };
  const auto boat = [](uint32_t color, std::vector<TStreamProperty> more = {}) {
    more.push_back({"PatternWidth", Value(TValueType::vaInt8, 20)});
    return Item("Boat", Solid(40, 10, color), more);
  };
  Platform::TWindow window("test", 800, 600);
  TDXDraw draw(&window);
  TDXImageList game(&draw), language(&draw);
  game.Items.KeepPictures = language.Items.KeepPictures = false;
  game.Items.LoadFromBytes(Library({boat(0x00FF00), Item("Sea", Solid(4, 4, 0xFF0000))}));
  draw.Initialize();
  language.Items.LoadFromBytes(Library({boat(0x0000FF)}));  // surfaces made at once
  TPictureCollectionItem& shown = game.Items.Find("Boat");
  const uint16_t green = ColorToSurface(0x00FF00), red = ColorToSurface(0x0000FF);

  game.Items.SwapPixels(language.Items);
  EXPECT_EQ(pixelOf(draw, shown), red);
  draw.Finalize();
  draw.Initialize();
  EXPECT_EQ(pixelOf(draw, shown), red);
  game.Items.SwapPixels(language.Items);
  EXPECT_EQ(pixelOf(draw, shown), green);

  // A drawing of another size, grid or key, or of a name the game lacks, trades nothing.
  struct {
    const char* What;
    TStreamItem Stranger;
    const char* Message;
  } misfits[] = {
      {"wider", Item("Boat", Solid(42, 10, 0x0000FF), {{"PatternWidth", Value(TValueType::vaInt8, 21)}}),
       "Image 'Boat' does not fit"},
      {"another grid", Item("Boat", Solid(40, 10, 0x0000FF), {{"PatternWidth", Value(TValueType::vaInt8, 10)}}),
       "Image 'Boat' does not fit"},
      {"another key", boat(0x0000FF, {{"TransparentColor", Value(TValueType::vaInt32, 0x00FF00)}}),
       "Image 'Boat' does not fit"},
      {"unknown", Item("Duck", Solid(4, 4, 0)), "Image 'Duck' not found"},
  };
  for (auto& m : misfits) {
    TDXImageList other(&draw);
    other.Items.LoadFromBytes(Library({boat(0x0000FF), m.Stranger}));
    try {
      game.Items.SwapPixels(other.Items);
      ADD_FAILURE() << m.What << " was traded";
    } catch (const EPictureCollectionError& e) {
      EXPECT_STREQ(e.what(), m.Message) << m.What;
    }
    EXPECT_EQ(pixelOf(draw, shown), green) << m.What;
  }
}
