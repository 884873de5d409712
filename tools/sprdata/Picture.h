#pragma once
// Turning a rasterised source into the bitmap a picture library stores, and back.
#include <cstdint>
#include <optional>

#include "media/DXDraws/DIB/DIB.h"
#include "tools/sprdata/Image.h"

struct TPackedPicture {
  TDIB Dib;        // the pixels exactly as the game reads them back
  int Bits = 24;   // bit depth written to the library
  // The key as the game must be told it (0x00BBGGRR): the stored form of the manifest's
  // key, so it still matches at depths that cannot hold the key exactly.
  std::optional<uint32_t> TransparentColor;
};

// Pixels less than half covered become the key, the rest opaque with their own colour;
// without a key the picture is flattened onto black. Then the colours are reduced to
// what the bit depth stores (a palette for 8 bits), and any opaque colour that would
// become the key on the 5-6-5 screen is nudged off it.
// keyRgb is 0xRRGGBB. Throws EDataError if a packed picture would not read back as built.
TPackedPicture FlattenPicture(const TRgbaImage& image, std::optional<uint32_t> keyRgb, int bits);

// The picture as the game shows it: key pixels fully transparent.
TRgbaImage PictureToRgba(const TDIB& dib, bool transparent, uint32_t transparentColor);

// 0xRRGGBB <-> 0x00BBGGRR.
inline uint32_t SwapRB(uint32_t c) {
  return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}
