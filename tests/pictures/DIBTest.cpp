#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "media/DXDraws/DIB/DIB.h"
#include "media/DXDraws/Surface.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, uint32_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

Bytes Info(int32_t w, int32_t h, int bits, uint32_t compression = 0, uint32_t colorsUsed = 0) {
  Bytes b;
  Put32(b, 40);
  Put32(b, uint32_t(w));
  Put32(b, uint32_t(h));
  Put16(b, 1);
  Put16(b, uint32_t(bits));
  Put32(b, compression);
  for (int i = 0; i < 3; ++i) Put32(b, 0);
  Put32(b, colorsUsed);
  Put32(b, 0);
  return b;
}

Bytes Core(int w, int h, int bits) {
  Bytes b;
  Put32(b, 12);
  Put16(b, uint32_t(w));
  Put16(b, uint32_t(h));
  Put16(b, 1);
  Put16(b, uint32_t(bits));
  return b;
}

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A bitmap as a picture library stores it: its class name first.
Bytes AsPictureData(const Bytes& bitmap) { return Bytes{4, 'T', 'D', 'I', 'B'} + bitmap; }

constexpr uint32_t Black = 0x000000, Red = 0x0000FF, Green = 0x00FF00, Blue = 0xFF0000;

// Palette black, red, green, blue; `entries` pads it with grey.
Bytes Palette(int entries, bool core = false) {
  Bytes b;
  const uint32_t colors[4] = {Black, Red, Green, Blue};
  for (int i = 0; i < entries; ++i) {
    uint32_t c = i < 4 ? colors[i] : 0x808080;
    b.insert(b.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
    if (!core) b.push_back(0);
  }
  return b;
}

Bytes Words16(std::initializer_list<uint32_t> values) {
  Bytes b;
  for (uint32_t v : values) Put16(b, v);
  return b;
}
Bytes Words32(std::initializer_list<uint32_t> values) {
  Bytes b;
  for (uint32_t v : values) Put32(b, v);
  return b;
}

// 3 x 2 pictures: top row red, green, blue; bottom row blue, green, red
// (1 bit: top red, black, red; bottom black, red, black).
const std::vector<uint32_t> Rgb3x2 = {Red, Green, Blue, Blue, Green, Red};

}  // namespace

TEST(DIB, ReadsEveryBitmapKind) {
  struct Case {
    const char* What;
    Bytes Data;
    std::vector<uint32_t> Expected;
  };
  const std::vector<Case> cases = {
      {"1 bit", Info(3, 2, 1, 0, 2) + Palette(2) + Bytes{0x40, 0, 0, 0, 0xA0, 0, 0, 0},
       {Red, Black, Red, Black, Red, Black}},
      {"4 bit", Info(3, 2, 4, 0, 4) + Palette(4) + Bytes{0x32, 0x10, 0, 0, 0x12, 0x30, 0, 0}, Rgb3x2},
      {"8 bit, full palette", Info(3, 2, 8) + Palette(256) + Bytes{3, 2, 1, 0, 1, 2, 3, 0}, Rgb3x2},
      {"16 bit 5-5-5", Info(3, 2, 16) + Words16({0x001F, 0x03E0, 0x7C00, 0, 0x7C00, 0x03E0, 0x001F, 0}),
       Rgb3x2},
      {"16 bit masks 5-6-5",
       Info(3, 2, 16, 3) + Words32({0xF800, 0x07E0, 0x001F}) +
           Words16({0x001F, 0x07E0, 0xF800, 0, 0xF800, 0x07E0, 0x001F, 0}),
       Rgb3x2},
      {"24 bit top-down",
       Info(3, -2, 24) + Bytes{0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 0} +
           Bytes{255, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0},
       Rgb3x2},
      {"32 bit", Info(3, 2, 32) + Words32({0xFF, 0xFF00, 0xFF0000, 0xFF0000, 0xFF00, 0xFF}), Rgb3x2},
      {"32 bit masks",
       Info(3, 2, 32, 3) + Words32({0xFF, 0xFF00, 0xFF0000}) +
           Words32({0xFF0000, 0xFF00, 0xFF, 0xFF, 0xFF00, 0xFF0000}),
       Rgb3x2},
      // Bottom row as an absolute run, then a run, a delta that leaves a pixel unset, a run.
      {"RLE8", Info(3, 2, 8, 1, 4) + Palette(4) + Bytes{0, 3, 3, 2, 1, 0, 0, 0, 1, 1, 0, 2, 1, 0, 1, 3, 0, 1},
       {Red, Black, Blue, Blue, Green, Red}},
      // Bottom row as runs of two alternating nibbles, top row as an absolute run.
      {"RLE4", Info(3, 2, 4, 2, 4) + Palette(4) + Bytes{2, 0x32, 1, 0x10, 0, 0, 0, 3, 0x12, 0x30, 0, 1},
       Rgb3x2},
      {"12-byte header, 8 bit", Core(3, 2, 8) + Palette(256, true) + Bytes{3, 2, 1, 0, 1, 2, 3, 0}, Rgb3x2},
      {"12-byte header, 24 bit",
       Core(3, 2, 24) + Bytes{255, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0} +
           Bytes{0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 0},
       Rgb3x2},
  };
  for (const Case& c : cases) {
    TDIB dib;
    try {
      dib.LoadFromBitmap(c.Data);
    } catch (const std::exception& e) {
      ADD_FAILURE() << c.What << ": " << e.what();
      continue;
    }
    ASSERT_EQ(dib.Width(), 3) << c.What;
    ASSERT_EQ(dib.Height(), 2) << c.What;
    EXPECT_EQ(dib.Pixels(), c.Expected) << c.What;
    // Straight to the surface format, the same pixels as converting them afterwards.
    TDIB sized;
    const std::vector<uint16_t> surface = sized.LoadSurfaceFromPictureData(AsPictureData(c.Data));
    std::vector<uint16_t> converted;
    for (uint32_t color : c.Expected) converted.push_back(ColorToSurface(color));
    EXPECT_EQ(surface, converted) << c.What;
    EXPECT_EQ(sized.Width(), 3) << c.What;
    EXPECT_FALSE(sized.HasPixels()) << c.What;
  }
}

TEST(DIB, WriterRoundTrips) {
  TDIB dib(5, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) dib.SetPixel(x, y, uint32_t(x * 0x3F1F07 + y * 0x1F0000));
  for (int bits : {8, 24, 32}) {
    TDIB back;
    back.LoadFromPictureData(dib.SavePictureData(bits));
    EXPECT_EQ(back.Pixels(), dib.Pixels()) << bits;
  }
  // 16 bits keep five bits of each channel.
  TDIB back;
  back.LoadFromPictureData(dib.SavePictureData(16));
  for (size_t i = 0; i < dib.Pixels().size(); ++i) {
    uint32_t expected = 0;
    for (int shift : {0, 8, 16})
      expected |= ((((dib.Pixels()[i] >> shift) & 0xFF) >> 3) * 255 + 15) / 31 << shift;
    EXPECT_EQ(back.Pixels()[i], expected) << i;
  }
  EXPECT_THROW(dib.SaveToBitmap(4), EDIBError);
  TDIB many(300, 1);
  for (int x = 0; x < 300; ++x) many.SetPixel(x, 0, uint32_t(x));
  EXPECT_THROW(many.SaveToBitmap(8), EDIBError);
}

TEST(DIB, MalformedBitmapsAreInvalid) {
  const Bytes rows8 = {3, 2, 1, 0, 1, 2, 3, 0};
  struct Case {
    const char* What;
    Bytes Data;
  };
  const Bytes info8 = Info(3, 2, 8);
  Bytes badSize = info8;
  badSize[0] = 108;  // a newer header we do not take
  const std::vector<Case> cases = {
      {"header size 108", badSize + Palette(256) + rows8},
      {"2 bits", Info(3, 2, 2) + Palette(4) + rows8},
      {"compression 4", Info(3, 2, 8, 4) + Palette(256) + rows8},
      {"RLE8 on 4 bits", Info(3, 2, 4, 1) + Palette(16) + rows8},
      {"masks on 24 bits", Info(3, 2, 24, 3) + Words32({1, 2, 4}) + Bytes(24)},
      {"top-down RLE", Info(3, -2, 8, 1, 4) + Palette(4) + Bytes{0, 1}},
      {"zero width", Info(0, 2, 8) + Palette(256)},
      {"rows cut short", Info(3, 2, 8) + Palette(256) + Bytes{3, 2, 1, 0, 1, 2, 3}},
      {"palette cut short", Info(3, 2, 8) + Palette(100)},
      {"header cut short", Bytes(info8.begin(), info8.begin() + 30)},
      {"absurd width", Info(0x7FFFFFFF, 1, 24) + Bytes(64)},
      {"absurd height", Info(1, int32_t(0x80000000), 24) + Bytes(64)},
      {"absurd area", Info(20000, 20000, 1, 0, 2) + Palette(2) + Bytes(64)},
      {"RLE area bomb", Info(16000, 16000, 8, 1, 4) + Palette(4) + Bytes{0, 1}},
      {"RLE without end mark", Info(3, 2, 8, 1, 4) + Palette(4) + Bytes{3, 1, 0, 0}},
      {"RLE absolute run past end", Info(3, 2, 8, 1, 4) + Palette(4) + Bytes{0, 9, 1, 2}},
      {"RLE delta past end", Info(3, 2, 8, 1, 4) + Palette(4) + Bytes{0, 2, 1}},
  };
  for (const Case& c : cases) {
    try {
      TDIB().LoadFromBitmap(c.Data);
      ADD_FAILURE() << c.What << ": no error";
    } catch (const EDIBError& e) {
      EXPECT_STREQ(e.what(), "DIB is invalid") << c.What;
    }
    EXPECT_THROW(TDIB().LoadSurfaceFromPictureData(AsPictureData(c.Data)), EDIBError) << c.What;
  }
  // Runs and deltas far past the edges are dropped, not written out of bounds.
  TDIB dib;
  dib.LoadFromBitmap(Info(3, 2, 8, 1, 4) + Palette(4) + Bytes{255, 1, 0, 2, 255, 255, 200, 2, 0, 0, 0, 1});
  EXPECT_EQ(dib.Pixels(), (std::vector<uint32_t>{Black, Black, Black, Red, Red, Red}));
}

TEST(DIB, PictureDataNamesItsClass) {
  TDIB dib(2, 1);
  dib.SetPixel(1, 0, Green);
  Bytes data = dib.SavePictureData(24);
  ASSERT_EQ(std::string(data.begin(), data.begin() + 5), "\x04TDIB");
  TDIB back;
  back.LoadFromPictureData(data);
  EXPECT_EQ(back.Pixel(1, 0), Green);

  back.LoadFromPictureData({});
  EXPECT_TRUE(back.Empty());
  for (Bytes bad : {Bytes{7, 'T', 'B', 'i', 't', 'm', 'a', 'p'}, Bytes{9, 'T', 'D'}}) {
    bad.insert(bad.end(), data.begin() + 5, data.end());
    EXPECT_THROW(back.LoadFromPictureData(bad), EDIBError);
  }
}
