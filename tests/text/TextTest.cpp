#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <tuple>
#include <vector>

#include "media/DXDraws/Canvas.h"
#include "media/DXDraws/Surface.h"
#include "media/Platform/Fonts.h"
#include "media/Platform/Text.h"

namespace {

constexpr uint16_t kBackground = 0x1084;

struct TInk {
  int Left = 0, Top = 0, Right = -1, Bottom = -1;  // inclusive; Right < Left when empty
  std::vector<uint16_t> Pixels;                      // the cropped box
};

TInk InkOf(const TDirectDrawSurface& s) {
  TInk ink{s.Width(), s.Height(), -1, -1, {}};
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x)
      if (s.Pixels()[y * s.Pitch() + x] != kBackground) {
        ink.Left = std::min(ink.Left, x), ink.Right = std::max(ink.Right, x);
        ink.Top = std::min(ink.Top, y), ink.Bottom = std::max(ink.Bottom, y);
      }
  for (int y = ink.Top; y <= ink.Bottom; ++y)
    for (int x = ink.Left; x <= ink.Right; ++x) ink.Pixels.push_back(s.Pixels()[y * s.Pitch() + x]);
  return ink;
}

TFont Font(const char* name, int size, bool bold = false, uint32_t color = 0xFFFFFF) {
  TFont f;
  f.Name = name;
  f.Size = size;
  f.Bold = bold;
  f.Color = color;
  return f;
}

TInk Drawn(const TFont& font, std::string_view text, int x = 10, int y = 10) {
  TDirectDrawSurface s(400, 80);
  s.Fill(kBackground);
  s.Canvas().Font = font;
  s.Canvas().TextOut(x, y, text);
  return InkOf(s);
}

}  // namespace

TEST(Fonts, GameFacesResolveToTheirStandIns) {
  struct {
    const char* Face;
    bool Bold;
    const char* FilePart;
  } cases[] = {{"Arial", false, "LiberationSans-Regular"},
               {"Arial", true, "LiberationSans-Bold"},
               {"Times New Roman", true, "LiberationSerif-Bold"},
               {"Arial Black", false, "Roboto-Black"},
               {"DS Crystal", false, "DSEG7Classic-Regular"}};
  for (const auto& c : cases)
    EXPECT_NE(Platform::FindFont(c.Face, 16, c.Bold).File().find(c.FilePart), std::string::npos)
        << c.Face << " -> " << Platform::FindFont(c.Face, 16, c.Bold).File();
}

TEST(Fonts, Cp1251MapsToUnicode) {
  EXPECT_EQ(Platform::Cp1251ToUnicode('A'), U'A');
  EXPECT_EQ(Platform::Cp1251ToUnicode(0xC0), U'\u0410');  // А
  EXPECT_EQ(Platform::Cp1251ToUnicode(0xFF), U'\u044F');  // я
  EXPECT_EQ(Platform::Cp1251ToUnicode(0xA8), U'\u0401');  // Ё
  EXPECT_EQ(Platform::Cp1251ToUnicode(0xB8), U'\u0451');  // ё
  EXPECT_EQ(Platform::Cp1251ToUnicode(0xB9), U'\u2116');  // №
  EXPECT_EQ(Platform::Cp1251ToUnicode(0x98), U'\uFFFD');
}

TEST(Canvas, CyrillicInTheSevenSegmentFaceComesFromTheFallback) {
  // "Счёт": the display face has no Cyrillic, so the letters must match the fallback's.
  const std::string word = "\xD1\xF7\xB8\xF2";
  const TInk display = Drawn(Font("DS Crystal", 16), word);
  const TInk fallback = Drawn(Font("Arial", 16), word);
  ASSERT_GT(display.Right, display.Left);
  EXPECT_EQ(display.Right - display.Left, fallback.Right - fallback.Left);
  EXPECT_EQ(display.Bottom - display.Top, fallback.Bottom - fallback.Top);
  EXPECT_EQ(display.Pixels, fallback.Pixels);
  // Both faces share the baseline: the letters sit on the digits' bottom line.
  TDirectDrawSurface s(400, 80);
  s.Fill(kBackground);
  s.Canvas().Font = Font("DS Crystal", 16);
  s.Canvas().TextOut(10, 10, "8");
  const int digitBottom = InkOf(s).Bottom;
  EXPECT_NEAR(display.Bottom, digitBottom, 1);
}

TEST(Canvas, ALineTheDisplayFaceCannotShowWhollyIsDrawnInTheFallbackAlone) {
  // "Уровень 12!": a banner; its digits and mark must not come from the digit face.
  const std::string banner = "\xD3\xF0\xEE\xE2\xE5\xED\xFC 12!";
  const TInk display = Drawn(Font("DS Crystal", 30), banner);
  const TInk fallback = Drawn(Font("Arial", 30), banner);
  EXPECT_EQ(display.Pixels, fallback.Pixels);
  EXPECT_EQ(display.Right - display.Left, fallback.Right - fallback.Left);
  TDirectDrawSurface s(10, 10);
  s.Canvas().Font = Font("DS Crystal", 30);
  const int digitsAlone = s.Canvas().TextWidth("12");
  s.Canvas().Font = Font("Arial", 30);
  EXPECT_LT(digitsAlone, s.Canvas().TextWidth("12"));  // digits alone keep the narrow face
}

TEST(Canvas, SevenSegmentDigitsFitTheHudLayout) {
  // The clock's digits stand 15 pixels apart in 19-point type, and numbers are centred
  // by 4 to 5 pixels per extra digit: digits about 0.4 em wide.
  for (auto [size, lo, hi] : {std::tuple{16, 7, 10}, {19, 9, 12}, {14, 7, 9}}) {
    TDirectDrawSurface s(100, 60);
    s.Fill(kBackground);
    s.Canvas().Font = Font("DS Crystal", size);
    const int width = s.Canvas().TextWidth("8");
    EXPECT_GE(width, lo) << size;
    EXPECT_LE(width, hi) << size;
    s.Canvas().TextOut(10, 10, "8");
    const TInk ink = InkOf(s);
    EXPECT_LE(ink.Right, 10 + width);
    EXPECT_LE(ink.Bottom, 10 + s.Canvas().TextHeight("8"));
  }
}

TEST(Canvas, TextWidthIsThePenAdvanceOfTheDrawnText) {
  // Drawing the halves one after the other at the measured width gives the same pixels.
  struct {
    TFont Font;
    std::string Left, Right;
  } cases[] = {{Font("Arial", 20, true), "Level ", "12"},
               {Font("DS Crystal", 19), "12:", "45"},
               {Font("Times New Roman", 30, true), "\xC8\xE3\xF0\xE0", " over"},
               {Font("Arial Black", 30), "W", "A"}};
  for (const auto& c : cases) {
    TDirectDrawSurface whole(600, 80), parts(600, 80);
    whole.Fill(kBackground);
    parts.Fill(kBackground);
    whole.Canvas().Font = c.Font;
    parts.Canvas().Font = c.Font;
    whole.Canvas().TextOut(5, 5, c.Left + c.Right);
    const int leftWidth = parts.Canvas().TextWidth(c.Left);
    parts.Canvas().TextOut(5, 5, c.Left);
    parts.Canvas().TextOut(5 + leftWidth, 5, c.Right);
    EXPECT_EQ(InkOf(whole).Pixels, InkOf(parts).Pixels) << c.Font.Name;
    EXPECT_EQ(whole.Canvas().TextWidth(c.Left + c.Right),
              leftWidth + whole.Canvas().TextWidth(c.Right));
    const TInk ink = InkOf(whole);
    const int width = whole.Canvas().TextWidth(c.Left + c.Right);
    EXPECT_NEAR(ink.Right + 1 - 5, width, 3) << c.Font.Name;  // only side bearings differ
  }
}

TEST(Canvas, TextRectDrawsOnlyThePartInsideItsRectangle) {
  const std::string text = "WWWWWWWWWWWWWWWWWWWWWWWWWWWWWW";
  TDirectDrawSurface whole(600, 80), clipped(600, 80);
  for (TDirectDrawSurface* s : {&whole, &clipped}) {
    s->Fill(kBackground);
    s->Canvas().Font = Font("Arial", 20, true);
  }
  whole.Canvas().TextOut(5, 5, text);
  const TRect clip{40, 12, 300, 22};  // cuts glyphs through on every side
  clipped.Canvas().TextRect(clip, 5, 5, text);
  int inside = 0;
  for (int y = 0; y < 80; ++y)
    for (int x = 0; x < 600; ++x) {
      const bool in = x >= clip.Left && x < clip.Right && y >= clip.Top && y < clip.Bottom;
      const uint16_t want = in ? whole.Pixels()[y * 600 + x] : kBackground;
      ASSERT_EQ(clipped.Pixels()[y * 600 + x], want) << x << ", " << y;
      inside += in && want != kBackground;
    }
  EXPECT_GT(inside, 500);
  // A rectangle partly off the surface, or empty, is no fault.
  clipped.Canvas().TextRect({-50, -50, 2000, 2000}, -20, 60, text);
  clipped.Canvas().TextRect({100, 10, 100, 50}, 5, 5, text);
}

TEST(Canvas, TextIsDrawnInItsColourOverAnUntouchedBackground) {
  const uint32_t yellow = 0x00F1FF;  // 255, 241, 0
  TDirectDrawSurface s(200, 80);
  s.Fill(kBackground);
  s.Canvas().Font = Font("Arial", 30, false, yellow);
  s.Canvas().TextOut(20, 10, "H");
  const TInk ink = InkOf(s);
  int solid = 0;
  for (uint16_t p : ink.Pixels) solid += p == ColorToSurface(yellow);
  EXPECT_GT(solid, 60);  // the stems are fully covered
  // 30 points on a 96-dpi desktop is a 40-pixel em; a capital is about 0.72 of it.
  EXPECT_NEAR(ink.Bottom - ink.Top + 1, 29, 1);
  // Outside the glyph's box the surface is as it was; nothing is drawn above the line top.
  EXPECT_GE(ink.Top, 10);
  EXPECT_GE(ink.Left, 20);
}

TEST(Canvas, ControlBytesTakeNoRoomAndDrawNothing) {
  TDirectDrawSurface s(100, 40);
  s.Fill(kBackground);
  s.Canvas().Font = Font("Arial", 16);
  EXPECT_EQ(s.Canvas().TextWidth(std::string("\x01\x98", 2)), 0);
  s.Canvas().TextOut(5, 5, std::string("\x01\x98", 2));
  EXPECT_LT(InkOf(s).Right, 0);
}

TEST(Canvas, TextOffTheSurfaceIsClipped) {
  TDirectDrawSurface s(30, 20);
  s.Fill(kBackground);
  s.Canvas().Font = Font("Arial", 30);
  for (auto [x, y] : {std::pair{-15, -10}, {20, 10}, {-500, 0}, {0, 500}, {INT_MAX, INT_MAX},
                      {INT_MIN, INT_MIN}, {INT_MAX - 5, 0}})
    s.Canvas().TextOut(x, y, "WWW");
  SUCCEED();  // the sanitizer run checks the clipping
}
