#pragma once
// Picture libraries (".dxg") as the data tool builds, reads and edits them.
#include <cstdint>
#include <string>
#include <vector>

#include "media/DXClass/ComponentStream.h"
#include "media/DXDraws/DIB/DIB.h"
#include "tools/sprdata/Manifest.h"
#include "tools/sprdata/Picture.h"

struct TLibraryPicture {
  std::string Name;
  int32_t PatternWidth = 0, PatternHeight = 0, SkipWidth = 0, SkipHeight = 0;
  bool Transparent = true;
  uint32_t TransparentColor = 0;  // 0x00BBGGRR
  int Bits = 0;                   // as stored in the file
  TDIB Dib;
  int32_t Patterns = -1;          // as the game's reader counts them; -1 = not read

  int32_t Width() const { return PatternWidth > 0 ? PatternWidth : Dib.Width(); }
  int32_t Height() const { return PatternHeight > 0 ? PatternHeight : Dib.Height(); }
  int32_t PatternCount() const;
  // Pattern `index` cut out of the picture, as the game cuts it.
  TDIB Pattern(int index) const;
};

// Rasterises and packs one manifest entry; errors name the manifest line.
TLibraryPicture PackPicture(const TPictureSource& source);

// The component stream of a library holding these pictures in this order.
TStreamComponent PictureLibraryComponent(const std::vector<TLibraryPicture>& pictures);
// The item properties of one picture.
std::vector<TStreamProperty> PictureItemProperties(const TLibraryPicture& picture);
std::vector<uint8_t> WritePictureLibrary(const std::vector<TLibraryPicture>& pictures);

// Reads through the game's own stream and bitmap readers; throws their errors.
std::vector<TLibraryPicture> ReadPictureLibrary(const std::string& path);

// The bit depth recorded in a picture's stored data (0 when unreadable).
int StoredBitCount(const std::vector<uint8_t>& pictureData);
