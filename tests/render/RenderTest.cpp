#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <vector>

#include "media/DXDraws/DXRender/DXRender.h"
#include "media/DXDraws/Surface.h"

namespace {

constexpr uint16_t Key = 0xF81F;  // magenta
constexpr uint16_t Paper = 0x1234;

// Every pixel different, so a wrong sample shows; pixels 1 + x + 16 * y.
void Number(TDirectDrawSurface& s) {
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x) s.Pixels()[y * s.Pitch() + x] = uint16_t(1 + x + 16 * y);
}

uint16_t At(const TDirectDrawSurface& s, int x, int y) { return s.Pixels()[y * s.Pitch() + x]; }

TEST(Surface, ColorToSurfaceMapsRedGreenBlueFields) {
  EXPECT_EQ(ColorToSurface(0x000000FF), 0xF800);  // 0x00BBGGRR: red in the low byte
  EXPECT_EQ(ColorToSurface(0x0000FF00), 0x07E0);
  EXPECT_EQ(ColorToSurface(0x00FF0000), 0x001F);
  EXPECT_EQ(ColorToSurface(0x00FFFFFF), 0xFFFF);
  EXPECT_EQ(ColorToSurface(0x00808080), (16 << 11) | (32 << 5) | 16);
}

TEST(Surface, FillReachesEveryPixel) {
  for (auto [w, h] : {std::pair{7, 3}, std::pair{13, 11}, std::pair{800, 600}, std::pair{0, 5}})
    for (uint16_t color : {uint16_t(0), uint16_t(0xABCD), uint16_t(0x4242)}) {
      TDirectDrawSurface s(w, h);
      s.Fill(0x1111);
      s.Fill(color);
      EXPECT_EQ(std::count(s.Pixels(), s.Pixels() + w * h, color), w * h) << w << "x" << h;
    }
}

TEST(Surface, OverlapRectNeedsSharedArea) {
  const TRect a{0, 0, 10, 10};
  EXPECT_TRUE(OverlapRect(a, {9, 9, 20, 20}));
  EXPECT_FALSE(OverlapRect(a, {10, 0, 20, 10}));  // touching edges
  EXPECT_FALSE(OverlapRect(a, {0, 10, 10, 20}));
  EXPECT_FALSE(OverlapRect(a, {5, 5, 5, 5}));      // empty, even inside
  EXPECT_FALSE(OverlapRect({5, 5, 3, 8}, a));      // reversed
}

// Source 4 x 2 numbered 1..8, turned about its middle placed at (10, 10).
struct TTurnCase {
  int Angle;
  int (*DestX)(int sx, int sy);
  int (*DestY)(int sx, int sy);
};

TEST(RenderRotate, QuarterTurnsLandOnExpectedPixels) {
  const TTurnCase cases[] = {
      {0, [](int sx, int) { return 8 + sx; }, [](int, int sy) { return 9 + sy; }},
      // Clockwise on screen: the top row becomes the right column, read downwards.
      {64, [](int, int sy) { return 10 - sy; }, [](int sx, int) { return 8 + sx; }},
      {128, [](int sx, int) { return 11 - sx; }, [](int, int sy) { return 10 - sy; }},
      {192, [](int, int sy) { return 9 + sy; }, [](int sx, int) { return 11 - sx; }},
      {64 + 256, [](int, int sy) { return 10 - sy; }, [](int sx, int) { return 8 + sx; }},
      {-192, [](int, int sy) { return 10 - sy; }, [](int sx, int) { return 8 + sx; }},
  };
  TDirectDrawSurface src(4, 2);
  Number(src);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Angle);
    TDirectDrawSurface dest(20, 20);
    dest.Fill(Paper);
    RenderRotate(dest, 10, 10, 4, 2, src, {0, 0, 4, 2}, 0.5, 0.5, c.Angle, false, 255);
    std::vector<uint16_t> expected(400, Paper);
    for (int sy = 0; sy < 2; ++sy)
      for (int sx = 0; sx < 4; ++sx) expected[c.DestY(sx, sy) * 20 + c.DestX(sx, sy)] = At(src, sx, sy);
    EXPECT_EQ(std::vector<uint16_t>(dest.Pixels(), dest.Pixels() + 400), expected);
  }
}

TEST(RenderRotate, ScalesThePatternAndPlacesThePivot) {
  // Angle 0, doubled, pivot at the top-left corner: each source pixel covers 2 x 2.
  TDirectDrawSurface src(3, 2), dest(10, 10);
  Number(src);
  dest.Fill(Paper);
  RenderRotate(dest, 2, 3, 6, 4, src, {0, 0, 3, 2}, 0.0, 0.0, 0, false, 255);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) {
      const bool inside = x >= 2 && x < 8 && y >= 3 && y < 7;
      EXPECT_EQ(At(dest, x, y), inside ? At(src, (x - 2) / 2, (y - 3) / 2) : Paper) << x << "," << y;
    }
}

using TDrawOp = std::function<void(TDirectDrawSurface& dest, int x, int y,
                                   const TDirectDrawSurface& src, bool transparent)>;
struct TOpCase {
  const char* Name;
  TDrawOp Op;
};

// Each draws the 6 x 5 source with its top-left corner near (x, y).
const std::vector<TOpCase>& Ops() {
  static const std::vector<TOpCase> ops = {
      {"Draw", [](auto& d, int x, int y, auto& s, bool t) { RenderDraw(d, x, y, s, {0, 0, 6, 5}, t); }},
      {"Draw part",
       [](auto& d, int x, int y, auto& s, bool t) { RenderDraw(d, x, y, s, {1, 1, 5, 4}, t); }},
      {"Draw past source",  // reaches outside the source surface
       [](auto& d, int x, int y, auto& s, bool t) { RenderDraw(d, x, y, s, {-2, -1, 8, 7}, t); }},
      {"Stretch past source",
       [](auto& d, int x, int y, auto& s, bool t) {
         RenderStretch(d, {x, y, x + 11, y + 6}, s, {-3, 2, 9, 9}, t);
       }},
      {"Rotate past source",
       [](auto& d, int x, int y, auto& s, bool t) {
         RenderRotate(d, x, y, 8, 8, s, {-2, -2, 8, 8}, 0.5, 0.5, 90, t, 255);
       }},
      {"Stretch 1:1",
       [](auto& d, int x, int y, auto& s, bool t) {
         RenderStretch(d, {x, y, x + 6, y + 5}, s, {0, 0, 6, 5}, t);
       }},
      {"Stretch up",
       [](auto& d, int x, int y, auto& s, bool t) {
         RenderStretch(d, {x, y, x + 13, y + 7}, s, {0, 0, 6, 5}, t);
       }},
      {"Stretch down",
       [](auto& d, int x, int y, auto& s, bool t) {
         RenderStretch(d, {x, y, x + 4, y + 3}, s, {0, 0, 6, 5}, t);
       }},
      {"Alpha",
       [](auto& d, int x, int y, auto& s, bool t) {
         RenderAlpha(d, {x, y, x + 9, y + 5}, s, {0, 0, 6, 5}, t, 100);
       }},
      {"Rotate",
       [](auto& d, int x, int y, auto& s, bool t) {
         RenderRotate(d, x + 3, y + 3, 9, 7, s, {0, 0, 6, 5}, 0.5, 0.5, 37, t, 255);
       }},
      {"Rotate alpha",
       [](auto& d, int x, int y, auto& s, bool t) {
         RenderRotate(d, x + 3, y + 3, 6, 5, s, {0, 0, 6, 5}, 0.3, 0.8, 200, t, 90);
       }},
  };
  return ops;
}

// A draw clipped by a small surface must show exactly what the same draw shows on a
// large surface around it: no lost, shifted or wrapped pixels at any edge.
TEST(Render, ClippingAtEveryEdgeMatchesTheUnclippedDraw) {
  TDirectDrawSurface src(6, 5);
  Number(src);
  src.SetColorKey(At(src, 2, 2));
  constexpr int W = 12, H = 9, M = 20;  // small surface, margin of the large one
  const int positions[] = {-30, -14, -7, -4, -1, 0, 3, 7, 9, 11, 12, 25};
  for (const auto& op : Ops())
    for (int x : positions)
      for (int y : positions) {
        TDirectDrawSurface small(W, H), large(W + 2 * M, H + 2 * M);
        small.Fill(Paper);
        large.Fill(Paper);
        op.Op(small, x, y, src, true);
        op.Op(large, x + M, y + M, src, true);
        for (int py = 0; py < H; ++py)
          for (int px = 0; px < W; ++px)
            ASSERT_EQ(At(small, px, py), At(large, px + M, py + M))
                << op.Name << " at " << x << "," << y << " pixel " << px << "," << py;
      }
}

TEST(Render, ColourKeyedPixelsAreSkippedOnlyWhenTransparent) {
  // A source that is all key leaves the surface alone when transparent, whatever the op.
  TDirectDrawSurface keyed(6, 5);
  keyed.Fill(Key);
  keyed.SetColorKey(Key);
  for (const auto& op : Ops())
    for (bool transparent : {true, false}) {
      TDirectDrawSurface dest(30, 30);
      dest.Fill(Paper);
      op.Op(dest, 8, 8, keyed, transparent);
      int changed = 0;
      for (int i = 0; i < 900; ++i) changed += dest.Pixels()[i] != Paper;
      EXPECT_EQ(changed > 0, !transparent) << op.Name << " transparent " << transparent;
    }
  // Long rows take the wide path: keyed pixels anywhere in them keep what lay beneath.
  TDirectDrawSurface src(37, 2), dest(40, 3);
  src.SetColorKey(Key);
  for (int x = 0; x < 37; ++x) {
    src.Pixels()[x] = x % 3 ? uint16_t(x) : Key;
    src.Pixels()[37 + x] = x % 7 == 5 ? Key : uint16_t(100 + x);
  }
  dest.Fill(Paper);
  RenderDraw(dest, 2, 1, src, {0, 0, 37, 2}, true);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 37; ++x) {
      const uint16_t s = At(src, x, y);
      EXPECT_EQ(At(dest, x + 2, y + 1), s == Key ? Paper : s) << x << "," << y;
    }
}

TEST(Render, EmptyOrReversedDestinationDrawsNothing) {
  TDirectDrawSurface src(4, 4), dest(10, 10);
  src.Fill(0xFFFF);
  dest.Fill(Paper);
  const TRect rects[] = {{2, 2, 2, 6}, {2, 2, 6, 2}, {6, 2, 2, 6}, {2, 6, 6, 2}, {6, 6, 2, 2}};
  for (const TRect& r : rects) {
    RenderStretch(dest, r, src, {0, 0, 4, 4}, false);
    RenderAlpha(dest, r, src, {0, 0, 4, 4}, false, 128);
  }
  RenderStretch(dest, {2, 2, 6, 6}, src, {3, 3, 1, 1}, false);  // reversed source
  RenderRotate(dest, 5, 5, 0, 4, src, {0, 0, 4, 4}, 0.5, 0.5, 10, false, 255);
  RenderRotate(dest, 5, 5, 4, -4, src, {0, 0, 4, 4}, 0.5, 0.5, 10, false, 255);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(dest.Pixels()[i], Paper) << i;
}

// Sizes and positions at the ends of the integer range must neither overflow nor
// reach outside a surface (the sanitizers watch this test).
TEST(Render, AbsurdGeometryStaysInsideTheSurfaces) {
  constexpr int Lo = std::numeric_limits<int>::min(), Hi = std::numeric_limits<int>::max();
  TDirectDrawSurface src(5, 4), dest(16, 12);
  Number(src);
  src.SetColorKey(1);
  const TRect huge{Lo, Lo, Hi, Hi}, whole{0, 0, 5, 4};
  const int spots[] = {Lo, -100000, -3, 0, 7, 100000, Hi};
  for (int x : spots)
    for (int y : spots) {
      RenderDraw(dest, x, y, src, whole, true);
      RenderDraw(dest, x, y, src, huge, false);
      RenderStretch(dest, {x, y, Hi, Hi}, src, whole, true);
      RenderStretch(dest, {Lo, Lo, x, y}, src, huge, false);
      RenderAlpha(dest, {x, y, Hi, Hi}, src, huge, true, 77);
      for (int angle : {Lo, 37, Hi}) {
        RenderRotate(dest, x, y, Hi, Hi, src, whole, 0.5, 0.5, angle, true, 255);
        RenderRotate(dest, x, y, 1, Hi, src, huge, -3.0, 1e9, angle, false, 40);
        RenderRotate(dest, x, y, 7, 7, src, whole, 1e300, -1e300, angle, false, 255);
        RenderRotate(dest, x, y, 7, 7, src, whole, std::nan(""), 0.5, angle, false, 255);
      }
    }
  SUCCEED();
}

int Red(uint16_t c) { return c >> 11; }
int Green(uint16_t c) { return (c >> 5) & 63; }
int Blue(uint16_t c) { return c & 31; }

TEST(Render, AlphaBlendsEachFieldOnItsOwn) {
  struct TCase {
    uint16_t Src, Dest;
    int Alpha;
  };
  const TCase cases[] = {
      {0xFFFF, 0x0000, 0}, {0xFFFF, 0x0000, 128}, {0xFFFF, 0x0000, 255},
      {0xF800, 0x001F, 128},  // red over blue: no carry between fields
      {0x07E0, 0xF81F, 64},   {0x001F, 0x07E0, 200}, {0x1234, 0xFEDC, 300},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.Src << " over " << c.Dest << std::dec
                                    << " alpha " << c.Alpha);
    const int a = std::min(c.Alpha, 255);
    auto expect = [&](uint16_t got) {
      auto mix = [&](int s, int d) { return (s * a + d * (255 - a)) / 255.0; };
      EXPECT_NEAR(Red(got), mix(Red(c.Src), Red(c.Dest)), 1.0);
      EXPECT_NEAR(Green(got), mix(Green(c.Src), Green(c.Dest)), 1.0);
      EXPECT_NEAR(Blue(got), mix(Blue(c.Src), Blue(c.Dest)), 1.0);
      if (a == 0) {
        EXPECT_EQ(got, c.Dest);
      }
      if (a == 255) {
        EXPECT_EQ(got, c.Src);
      }
    };
    TDirectDrawSurface src(2, 2), dest(4, 4);
    src.Fill(c.Src);
    dest.Fill(c.Dest);
    RenderAlpha(dest, {0, 0, 2, 2}, src, {0, 0, 2, 2}, false, c.Alpha);
    RenderRotate(dest, 2, 2, 2, 2, src, {0, 0, 2, 2}, 0.0, 0.0, 0, false, c.Alpha);
    expect(At(dest, 1, 1));
    expect(At(dest, 2, 2));
  }
}

}  // namespace
