#include "media/DXDraws/DIB/DIB.h"

#include "media/DXDraws/Surface.h"

#include <algorithm>
#include <array>
#include <bit>
#include <map>
#include <string_view>

namespace {

// Larger than any picture a library needs, small enough that a forged header cannot
// make us allocate much; run-length pictures can claim many pixels from few bytes,
// so they get the tighter limit.
constexpr int MaxSide = 32767;
constexpr uint64_t MaxPixels = uint64_t(1) << 24;
constexpr uint64_t MaxRlePixels = uint64_t(1) << 22;

[[noreturn]] void Invalid() { throw EDIBError("DIB is invalid"); }

class TByteReader {
 public:
  explicit TByteReader(std::span<const uint8_t> bytes) : FBytes(bytes) {}
  size_t Left() const { return FBytes.size() - FPos; }
  const uint8_t* Take(size_t n) {
    if (n > Left()) Invalid();
    const uint8_t* p = FBytes.data() + FPos;
    FPos += n;
    return p;
  }
  uint8_t Byte() { return *Take(1); }
  uint32_t U16() {
    const uint8_t* p = Take(2);
    return p[0] | uint32_t(p[1]) << 8;
  }
  uint32_t U32() {
    const uint8_t* p = Take(4);
    return p[0] | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
  }
  std::span<const uint8_t> Rest() const { return FBytes.subspan(FPos); }

 private:
  std::span<const uint8_t> FBytes;
  size_t FPos = 0;
};

constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) { return r | g << 8 | b << 16; }

// One colour channel given by a bit mask, scaled to 0..255.
struct TChannel {
  uint32_t Mask = 0;
  int Shift = 0;
  uint32_t Max = 0;
  std::vector<uint8_t> Table;  // the scaled values of narrow channels, the usual case
  explicit TChannel(uint32_t mask) : Mask(mask) {
    if (!mask) return;
    Shift = std::countr_zero(mask);
    Max = mask >> Shift;
    if (Max < 4096) {
      Table.resize(Max + 1);
      for (uint32_t v = 0; v <= Max; ++v) Table[v] = uint8_t(Scale(v));
    }
  }
  uint32_t Scale(uint32_t v) const { return uint32_t((uint64_t(v) * 255 + Max / 2) / Max); }
  uint32_t operator()(uint32_t pixel) const {
    if (!Max) return 0;
    const uint32_t v = (pixel & Mask) >> Shift;
    return Table.empty() ? Scale(v) : Table[v];
  }
};

struct TMasks {
  TChannel R, G, B;
  uint32_t operator()(uint32_t p) const { return Rgb(R(p), G(p), B(p)); }
};

// Writes the pixels in the form the caller keeps them: 0x00BBGGRR colours, or the
// surface format straight away.
template <class TPixel, class TConvert>
class TDecoder {
 public:
  TDecoder(int width, int height, bool topDown, std::vector<TPixel>& pixels, TConvert convert)
      : FWidth(width), FHeight(height), FTopDown(topDown), FPixels(pixels), FConvert(convert) {}

  // Row as stored (0 = first in the data) to the picture's row.
  TPixel* Row(int stored) {
    int y = FTopDown ? stored : FHeight - 1 - stored;
    return FPixels.data() + size_t(y) * FWidth;
  }

  void Uncompressed(TByteReader& in, int bits, const std::vector<TPixel>& palette,
                    const TMasks& masks) {
    const size_t stride = (size_t(FWidth) * bits + 31) / 32 * 4;
    if (stride * FHeight > in.Left()) Invalid();
    for (int r = 0; r < FHeight; ++r) {
      const uint8_t* src = in.Take(stride);
      TPixel* dst = Row(r);
      for (int x = 0; x < FWidth; ++x) {
        switch (bits) {
          case 1: dst[x] = Lookup(palette, (src[x >> 3] >> (7 - (x & 7))) & 1); break;
          case 4: dst[x] = Lookup(palette, (src[x >> 1] >> (x & 1 ? 0 : 4)) & 15); break;
          case 8: dst[x] = Lookup(palette, src[x]); break;
          case 16: dst[x] = FConvert(masks(src[2 * x] | uint32_t(src[2 * x + 1]) << 8)); break;
          case 24: dst[x] = FConvert(Rgb(src[3 * x + 2], src[3 * x + 1], src[3 * x])); break;
          default: {
            const uint8_t* p = src + 4 * x;
            dst[x] = FConvert(masks(p[0] | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24));
          }
        }
      }
    }
  }

  // Run-length encoding of 8-bit (one index per count) or 4-bit (two alternating
  // nibbles) pictures. Pixels beyond the picture are dropped; the data must end
  // with the end-of-bitmap mark or fill the last row.
  void RunLength(TByteReader& in, int bits, const std::vector<TPixel>& palette) {
    std::fill(FPixels.begin(), FPixels.end(), Lookup(palette, 0));
    int x = 0, y = 0;
    auto put = [&](uint32_t index) {
      if (x < FWidth && y < FHeight) Row(y)[x] = Lookup(palette, index);
      ++x;
    };
    for (;;) {
      if (in.Left() == 0 && (y >= FHeight || (y == FHeight - 1 && x >= FWidth))) return;
      uint8_t count = in.Byte(), value = in.Byte();
      if (count > 0) {
        int n = std::min<int>(count, FWidth - x);  // no time spent on dropped pixels
        for (int i = 0; i < n; ++i)
          put(bits == 8 ? value : (i & 1 ? value & 15 : value >> 4));
        x += count - n;
      } else if (value == 0) {  // end of line
        x = 0;
        ++y;
      } else if (value == 1) {  // end of bitmap
        return;
      } else if (value == 2) {  // delta
        x += in.Byte();
        y += in.Byte();
      } else {  // absolute run, padded to a 16-bit boundary
        size_t bytes = bits == 8 ? value : (value + 1) / 2;
        const uint8_t* p = in.Take((bytes + 1) & ~size_t(1));
        for (int i = 0; i < value; ++i)
          put(bits == 8 ? p[i] : (i & 1 ? p[i / 2] & 15 : p[i / 2] >> 4));
      }
      // Past the edges nothing more lands; keeping the counters there stops them growing.
      x = std::min(x, FWidth);
      y = std::min(y, FHeight);
    }
  }

 private:
  int FWidth, FHeight;
  bool FTopDown;
  std::vector<TPixel>& FPixels;
  TConvert FConvert;

  TPixel Lookup(const std::vector<TPixel>& palette, uint32_t index) const {
    return index < palette.size() ? palette[index] : FConvert(0);
  }
};

// A bitmap (information header, masks, palette, rows) to pixels in the caller's form;
// without pixels, its size alone.
template <class TPixel, class TConvert>
void DecodeBitmap(std::span<const uint8_t> bytes, TConvert convert, int& outWidth, int& outHeight,
                  std::vector<TPixel>& out, bool withPixels = true) {
  TByteReader in(bytes);
  const uint32_t headerSize = in.U32();
  int64_t width, height;
  uint32_t bits, compression = 0, colorsUsed = 0;
  bool core = headerSize == 12;
  if (core) {
    width = in.U16();
    height = in.U16();
    in.U16();  // planes
    bits = in.U16();
  } else if (headerSize == 40) {
    width = int32_t(in.U32());
    height = int32_t(in.U32());
    in.U16();  // planes
    bits = in.U16();
    compression = in.U32();
    in.Take(12);  // image size, resolution
    colorsUsed = in.U32();
    in.U32();  // important colours
  } else {
    Invalid();
  }
  const bool topDown = height < 0;
  height = topDown ? -height : height;
  if (width <= 0 || height <= 0 || width > MaxSide || height > MaxSide ||
      uint64_t(width) * uint64_t(height) > MaxPixels)
    Invalid();
  switch (bits) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: Invalid();
  }
  switch (compression) {
    case 0: break;
    case 1: if (bits != 8 || topDown) Invalid(); break;
    case 2: if (bits != 4 || topDown) Invalid(); break;
    case 3: if (bits != 16 && bits != 32) Invalid(); break;
    default: Invalid();
  }
  if ((compression == 1 || compression == 2) && uint64_t(width) * uint64_t(height) > MaxRlePixels)
    Invalid();
  if (!withPixels) {
    outWidth = int(width);
    outHeight = int(height);
    std::vector<TPixel>().swap(out);
    return;
  }

  TMasks masks{TChannel(bits == 16 ? 0x7C00 : 0xFF0000), TChannel(bits == 16 ? 0x03E0 : 0xFF00),
               TChannel(bits == 16 ? 0x001F : 0xFF)};
  if (compression == 3) {
    uint32_t r = in.U32(), g = in.U32(), b = in.U32();
    masks = TMasks{TChannel(r), TChannel(g), TChannel(b)};
  }

  uint32_t entries = colorsUsed ? colorsUsed : bits <= 8 ? 1u << bits : 0;
  entries = std::min<uint32_t>(entries, 256);
  const size_t entrySize = core ? 3 : 4;
  const uint8_t* pal = in.Take(entries * entrySize);
  std::vector<TPixel> palette(entries);
  for (uint32_t i = 0; i < entries; ++i) {
    const uint8_t* e = pal + i * entrySize;
    palette[i] = convert(Rgb(e[2], e[1], e[0]));
  }

  std::vector<TPixel> pixels(size_t(width) * size_t(height));
  TDecoder<TPixel, TConvert> decoder(int(width), int(height), topDown, pixels, convert);
  if (compression == 1 || compression == 2)
    decoder.RunLength(in, bits, palette);
  else
    decoder.Uncompressed(in, int(bits), palette, masks);
  outWidth = int(width);
  outHeight = int(height);
  out = std::move(pixels);
}

// Function objects, so that the decoder's loops inline them.
struct TAsColor {
  uint32_t operator()(uint32_t rgb) const { return rgb; }
};
struct TAsSurface {
  uint16_t operator()(uint32_t rgb) const { return ColorToSurface(rgb); }
};

// The bitmap of a picture's stored data: after the class name "TDIB".
std::span<const uint8_t> BitmapOfPictureData(std::span<const uint8_t> bytes) {
  TByteReader in(bytes);
  const uint8_t n = in.Byte();
  const uint8_t* name = in.Take(n);
  if (std::string_view(reinterpret_cast<const char*>(name), n) != "TDIB") Invalid();
  return in.Rest();
}

}  // namespace

TDIB::TDIB(int width, int height) {
  if (width < 0 || height < 0 || width > MaxSide || height > MaxSide ||
      uint64_t(width) * uint64_t(height) > MaxPixels)
    Invalid();
  FWidth = width;
  FHeight = height;
  FPixels.assign(size_t(width) * height, 0);
}

void TDIB::LoadFromBitmap(std::span<const uint8_t> bytes, bool withPixels) {
  DecodeBitmap<uint32_t>(bytes, TAsColor(), FWidth, FHeight, FPixels, withPixels);
}

std::vector<uint8_t> TDIB::SaveToBitmap(int bitCount) const {
  if (bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
    throw EDIBError("A DIB is written with 8, 16, 24 or 32 bits per pixel");
  std::vector<uint32_t> palette;
  std::map<uint32_t, uint8_t> indexOf;
  if (bitCount == 8) {
    for (uint32_t c : FPixels) {
      if (indexOf.count(c)) continue;
      if (palette.size() == 256) throw EDIBError("More than 256 colours for an 8-bit DIB");
      indexOf[c] = uint8_t(palette.size());
      palette.push_back(c);
    }
  }
  const size_t stride = (size_t(FWidth) * bitCount + 31) / 32 * 4;
  std::vector<uint8_t> out;
  auto u16 = [&](uint32_t v) { out.push_back(uint8_t(v)); out.push_back(uint8_t(v >> 8)); };
  auto u32 = [&](uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); };
  out.reserve(40 + palette.size() * 4 + stride * FHeight);
  u32(40);
  u32(uint32_t(FWidth));
  u32(uint32_t(FHeight));
  u16(1);
  u16(uint32_t(bitCount));
  u32(0);
  u32(uint32_t(stride * FHeight));
  u32(3780);  // 96 dpi
  u32(3780);
  u32(uint32_t(palette.size()));
  u32(0);
  for (uint32_t c : palette) {
    out.push_back(uint8_t(c >> 16));
    out.push_back(uint8_t(c >> 8));
    out.push_back(uint8_t(c));
    out.push_back(0);
  }
  for (int y = FHeight - 1; y >= 0; --y) {
    size_t start = out.size();
    for (int x = 0; x < FWidth; ++x) {
      uint32_t c = Pixel(x, y);
      uint32_t r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
      switch (bitCount) {
        case 8: out.push_back(indexOf[c]); break;
        case 16: u16((r >> 3) << 10 | (g >> 3) << 5 | b >> 3); break;
        case 24: out.insert(out.end(), {uint8_t(b), uint8_t(g), uint8_t(r)}); break;
        default: out.insert(out.end(), {uint8_t(b), uint8_t(g), uint8_t(r), uint8_t(0)});
      }
    }
    out.resize(start + stride, 0);
  }
  return out;
}

void TDIB::LoadFromPictureData(std::span<const uint8_t> bytes, bool withPixels) {
  if (bytes.empty()) {
    *this = TDIB();
    return;
  }
  LoadFromBitmap(BitmapOfPictureData(bytes), withPixels);
}

std::vector<uint16_t> TDIB::LoadSurfaceFromPictureData(std::span<const uint8_t> bytes) {
  std::vector<uint16_t> pixels;
  if (bytes.empty()) {
    *this = TDIB();
    return pixels;
  }
  int width = 0, height = 0;
  DecodeBitmap<uint16_t>(BitmapOfPictureData(bytes), TAsSurface(), width, height, pixels);
  *this = TDIB();
  FWidth = width;
  FHeight = height;
  return pixels;
}

std::vector<uint8_t> TDIB::SavePictureData(int bitCount) const {
  std::vector<uint8_t> out{4, 'T', 'D', 'I', 'B'};
  std::vector<uint8_t> bitmap = SaveToBitmap(bitCount);
  out.insert(out.end(), bitmap.begin(), bitmap.end());
  return out;
}
