// Pictures go from a source through packing into a library file and come back through the
// game's own reader unchanged in layout, key and (within the stored depth) colour.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "media/DXDraws/PictureCollection.h"
#include "media/DXDraws/Surface.h"
#include "tests/data/DataTestUtil.h"
#include "tools/sprdata/FileUtil.h"
#include "tools/sprdata/Image.h"
#include "tools/sprdata/Picture.h"
#include "tools/sprdata/PictureLibrary.h"

namespace {

// A strip of `patterns` frames with gaps between them: each frame a coloured disc with
// soft edges on a transparent ground, so coverage runs through every alpha value.
TRgbaImage Strip(int w, int h, int patterns, int skip) {
  TRgbaImage image(patterns * w + (patterns - 1) * skip, h);
  for (int i = 0; i < patterns; ++i)
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        uint8_t* p = image.At(i * (w + skip) + x, y);
        const double dx = x - w / 2.0 + 0.5, dy = y - h / 2.0 + 0.5;
        const double edge = std::min(w, h) / 2.0 - std::sqrt(dx * dx + dy * dy);
        p[0] = uint8_t(40 + 50 * i), p[1] = uint8_t(8 * x), p[2] = uint8_t(200 - 6 * y);
        p[3] = uint8_t(std::clamp(edge * 64.0, 0.0, 255.0));
      }
  return image;
}

struct TCase {
  int Bits;
  bool Keyed;
  int Tolerance;  // per channel, what the depth may lose
};

class PictureRoundTrip : public ::testing::TestWithParam<TCase> {};

TEST_P(PictureRoundTrip, LayoutKeyAndColoursSurviveTheGamesReader) {
  const TCase c = GetParam();
  const TRgbaImage source = Strip(30, 20, 4, 6);
  const std::optional<uint32_t> key = c.Keyed ? std::optional<uint32_t>(0xFF00FF) : std::nullopt;

  TLibraryPicture strip;
  strip.Name = "EngineFire";
  strip.PatternWidth = 30, strip.PatternHeight = 20, strip.SkipWidth = 6;
  TPackedPicture packed = FlattenPicture(source, key, c.Bits);
  strip.Dib = packed.Dib, strip.Bits = c.Bits;
  strip.Transparent = c.Keyed, strip.TransparentColor = packed.TransparentColor.value_or(0);
  TLibraryPicture single = strip;
  single.Name = "Land";
  single.PatternWidth = single.PatternHeight = single.SkipWidth = 0;

  TScratchDir dir;
  WriteFileAtomically(dir / "t.dxg", WritePictureLibrary({strip, single}));
  const auto back = ReadPictureLibrary(dir / "t.dxg");
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[0].Name, "EngineFire");
  EXPECT_EQ(back[0].PatternCount(), 4);
  EXPECT_EQ(back[0].Width(), 30);
  EXPECT_EQ(back[0].SkipWidth, 6);
  EXPECT_EQ(back[0].Bits, c.Bits);
  EXPECT_EQ(back[0].Transparent, c.Keyed);
  EXPECT_EQ(back[1].PatternCount(), 1);

  // The game's index finds it whatever the case.
  TPictureCollection game;
  game.LoadFromBytes(ReadFileBytes(dir / "t.dxg"));
  EXPECT_EQ(game.Find("enginefire").PatternCount(), 4);

  const uint16_t key565 = ColorToSurface(back[0].TransparentColor);
  const TRgbaImage out = PictureToRgba(back[0].Dib, back[0].Transparent, back[0].TransparentColor);
  for (int y = 0; y < source.Height; ++y)
    for (int x = 0; x < source.Width; ++x) {
      const uint8_t* s = source.At(x, y);
      const uint8_t* o = out.At(x, y);
      const uint32_t stored = back[0].Dib.Pixel(x, y);
      if (c.Keyed) {
        // Less than half covered: the key; otherwise the pixel's own colour, never a blend.
        ASSERT_EQ(s[3] < 128, ColorToSurface(stored) == key565) << x << "," << y;
        ASSERT_EQ(o[3], s[3] < 128 ? 0 : 255);
        if (s[3] < 128) continue;
      }
      for (int ch = 0; ch < 3; ++ch) {
        const int want = c.Keyed ? s[ch] : (s[ch] * s[3] + 127) / 255;
        ASSERT_NEAR(o[ch], want, c.Tolerance) << "channel " << ch << " at " << x << "," << y;
      }
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, PictureRoundTrip,
                         ::testing::Values(TCase{24, true, 0}, TCase{32, true, 0}, TCase{24, false, 0},
                                           TCase{16, true, 5}, TCase{16, false, 5}, TCase{8, true, 24},
                                           TCase{8, false, 24}),
                         [](const auto& info) {
                           return std::to_string(info.param.Bits) + (info.param.Keyed ? "BitsKeyed" : "BitsOpaque");
                         });

// Colours that land on the key once the screen drops them to 5-6-5 are moved off it, by
// a step too small to see.
TEST(PictureKey, OpaqueColoursNearTheKeyAreNudgedOffIt) {
  const uint32_t nearKey[] = {0xFF00FF, 0xFA02FB, 0xF803F8, 0xFF01FF};
  for (int bits : {8, 16, 24, 32}) {
    TRgbaImage image(4, 1);
    for (int x = 0; x < 4; ++x) {
      uint8_t* p = image.At(x, 0);
      p[0] = uint8_t(nearKey[x] >> 16), p[1] = uint8_t(nearKey[x] >> 8), p[2] = uint8_t(nearKey[x]), p[3] = 255;
    }
    const TPackedPicture packed = FlattenPicture(image, 0xFF00FF, bits);
    const uint16_t key565 = ColorToSurface(*packed.TransparentColor);
    for (int x = 0; x < 4; ++x) {
      const uint32_t c = packed.Dib.Pixel(x, 0);
      EXPECT_NE(ColorToSurface(c), key565) << bits << " bits, pixel " << x;
      EXPECT_LE(std::abs(int((c >> 8) & 0xFF) - int((nearKey[x] >> 8) & 0xFF)), 12);
    }
  }
}

// An SVG goes through rsvg-convert: a solid disc keeps its one colour right to its edge.
TEST(PictureSource, RasterisedSvgHasNoFringe) {
  TScratchDir dir;
  const std::string svg = dir.Write("disc.svg",
      "<svg xmlns='http://www.w3.org/2000/svg' width='40' height='30'>"
      "<circle cx='20' cy='15' r='12.3' fill='#3DDCFF'/></svg>");
  const TRgbaImage image = LoadSource(svg);
  ASSERT_EQ(image.Width, 40);
  ASSERT_EQ(image.Height, 30);
  const TPackedPicture packed = FlattenPicture(image, 0xFF00FF, 24);
  int opaque = 0, keyed = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) {
      const uint32_t c = packed.Dib.Pixel(x, y);
      if (c == 0xFF00FF) {
        ++keyed;
      } else {
        ++opaque;
        EXPECT_NEAR(int(c & 0xFF), 0x3D, 2);
        EXPECT_NEAR(int((c >> 8) & 0xFF), 0xDC, 2);
        EXPECT_NEAR(int(c >> 16), 0xFF, 2);
      }
    }
  EXPECT_NEAR(opaque, 475, 20);  // about pi * 12.3^2
  EXPECT_GT(keyed, 0);
}

TEST(PictureSource, DamagedOrSizelessSvgIsRefusedWithItsName) {
  TScratchDir dir;
  const std::string cases[][2] = {
      {"broken.svg", "<svg xmlns='http://www.w3.org/2000/svg' width='10' height='10'><rect"},
      {"sizeless.svg", "<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 10 10'/>"},
      {"fraction.svg", "<svg xmlns='http://www.w3.org/2000/svg' width='10.5' height='10'/>"},
  };
  for (const auto& c : cases) {
    const std::string path = dir.Write(c[0], c[1]);
    try {
      LoadSource(path);
      ADD_FAILURE() << c[0] << " was accepted";
    } catch (const EDataError& e) {
      EXPECT_NE(std::string(e.what()).find(c[0]), std::string::npos) << e.what();
    }
  }
}

}  // namespace
