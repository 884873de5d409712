// The sprdata program as the build and a modder run it.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/data/DataTestUtil.h"
#include "tools/sprdata/Image.h"
#include "tools/sprdata/PictureLibrary.h"

namespace {

const char* const Square =
    "<svg xmlns='http://www.w3.org/2000/svg' width='24' height='12'>"
    "<rect x='2' y='2' width='8' height='8' fill='#FFD23F'/><rect x='14' y='2' width='8' height='8' fill='#E63946'/></svg>";

TEST(Tool, FailedPackLeavesTheLibraryAsItWas) {
  TScratchDir dir;
  dir.Write("square.svg", Square);
  dir.Write("broken.svg", "<svg xmlns='http://www.w3.org/2000/svg' width='8' height='8'><rect");
  const std::string good = dir.Write("good.txt", "Flag square.svg pattern=12x12\n");
  const std::string bad = dir.Write("bad.txt", "Flag square.svg pattern=12x12\nTree broken.svg\n");
  const std::string unknown = dir.Write("unknown.txt", "Flag square.svg pattern=12x12\nTree square.svg tint=red\n");
  ASSERT_EQ(RunSprdata("pack-pictures " + good + " " + (dir / "Res3.dxg")), 0);
  const std::string before = ReadAll(dir / "Res3.dxg");

  std::string errors;
  EXPECT_EQ(RunSprdata("pack-pictures " + bad + " " + (dir / "Res3.dxg"), &errors), 1);
  EXPECT_NE(errors.find(bad + ":2: Tree:"), std::string::npos) << errors;
  EXPECT_NE(errors.find("broken.svg"), std::string::npos) << errors;
  EXPECT_EQ(RunSprdata("pack-pictures " + unknown + " " + (dir / "Res3.dxg"), &errors), 1);
  EXPECT_NE(errors.find(unknown + ":2: unknown field 'tint'"), std::string::npos) << errors;

  EXPECT_EQ(ReadAll(dir / "Res3.dxg"), before);
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path)) files += entry.path().extension() != ".txt" && entry.path().extension() != ".svg";
  EXPECT_EQ(files, 1u) << "a temporary file was left behind";
}

TEST(Tool, ReplaceSwapsOnePictureAndKeepsItsLayout) {
  TScratchDir dir;
  dir.Write("square.svg", Square);
  dir.Write("other.svg", "<svg xmlns='http://www.w3.org/2000/svg' width='10' height='10'><rect width='10' height='10' fill='#5DBB4A'/></svg>");
  const std::string manifest = dir.Write("m.txt", "YesButton square.svg pattern=12x12 bits=16\nWindow other.svg key=none\n");
  ASSERT_EQ(RunSprdata("pack-pictures " + manifest + " " + (dir / "Res1.dxg")), 0);
  const auto before = ReadPictureLibrary(dir / "Res1.dxg");

  // The modder's picture: the same two-pattern layout in new colours, as a PNG.
  TRgbaImage png(24, 12);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 24; ++x) {
      uint8_t* p = png.At(x, y);
      p[0] = 0x3D, p[1] = 0xDC, p[2] = 0xFF, p[3] = (x % 12) < 10 ? 255 : 0;
    }
  SavePng(png, dir / "mod.png");
  ASSERT_EQ(RunSprdata("replace " + (dir / "Res1.dxg") + " yesbutton " + (dir / "mod.png")), 0);

  const auto after = ReadPictureLibrary(dir / "Res1.dxg");
  ASSERT_EQ(after.size(), 2u);
  EXPECT_EQ(after[0].Name, "YesButton");
  EXPECT_EQ(after[0].PatternCount(), 2);
  EXPECT_EQ(after[0].Bits, 16);
  EXPECT_TRUE(after[0].Transparent);
  EXPECT_NEAR(int(after[0].Dib.Pixel(0, 0) & 0xFF), 0x3D, 5);  // within a 5-5-5 step
  EXPECT_EQ(after[0].Dib.Pixel(11, 0), after[0].TransparentColor);
  EXPECT_EQ(after[1].Dib.Pixels(), before[1].Dib.Pixels());
  EXPECT_FALSE(after[1].Transparent);

  std::string errors;
  EXPECT_EQ(RunSprdata("replace " + (dir / "Res1.dxg") + " NoButton " + (dir / "mod.png"), &errors), 1);
  EXPECT_NE(errors.find("no picture 'NoButton'"), std::string::npos) << errors;
}

TEST(Tool, ExtractWritesEveryPictureAndPattern) {
  TScratchDir dir;
  dir.Write("square.svg", Square);
  ASSERT_EQ(RunSprdata("pack-pictures " + dir.Write("m.txt", "Next square.svg pattern=12x12\n") + " " + (dir / "R.dxg")), 0);
  ASSERT_EQ(RunSprdata("extract " + (dir / "R.dxg") + " " + (dir / "out") + " --patterns"), 0);
  const TRgbaImage whole = LoadPng(dir / "out/Next.png");
  const TRgbaImage lit = LoadPng(dir / "out/Next.1.png");
  EXPECT_EQ(whole.Width, 24);
  EXPECT_EQ(lit.Width, 12);
  EXPECT_EQ(lit.At(5, 5)[0], 0xE6);  // the red square of the second pattern
  EXPECT_EQ(lit.At(0, 0)[3], 0);     // and its transparent ground
}

}  // namespace
