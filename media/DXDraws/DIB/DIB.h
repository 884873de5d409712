#pragma once
// The device-independent bitmap a picture library stores each picture as.
#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

// Raised with "DIB is invalid" for any bitmap this reader does not take.
class EDIBError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TDIB {
 public:
  TDIB() = default;
  // A black picture; throws EDIBError for negative or absurd sizes.
  TDIB(int width, int height);

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  bool Empty() const { return FWidth == 0 || FHeight == 0; }
  // Colours as 0x00BBGGRR, rows top-down.
  uint32_t Pixel(int x, int y) const { return FPixels[size_t(y) * FWidth + x]; }
  void SetPixel(int x, int y, uint32_t color) { FPixels[size_t(y) * FWidth + x] = color & 0xFFFFFF; }
  const std::vector<uint32_t>& Pixels() const { return FPixels; }
  // Lets the pixels go and keeps the size, for a picture whose pixels live on elsewhere.
  void ReleasePixels() { std::vector<uint32_t>().swap(FPixels); }
  bool HasPixels() const { return !FPixels.empty(); }

  // The bitmap alone: information header (40 or 12 bytes), masks, palette, rows. Without
  // pixels only the size is read (a picture nobody will see).
  void LoadFromBitmap(std::span<const uint8_t> bytes, bool withPixels = true);
  // Writes an uncompressed bottom-up bitmap of 8 (palette of the colours used; at
  // most 256), 16 (5-5-5), 24 or 32 bits per pixel.
  std::vector<uint8_t> SaveToBitmap(int bitCount) const;

  // A picture's stored data: the class name "TDIB" as a length-prefixed string, then
  // the bitmap. Empty data leaves an empty picture.
  void LoadFromPictureData(std::span<const uint8_t> bytes, bool withPixels = true);
  std::vector<uint8_t> SavePictureData(int bitCount) const;
  // The same data decoded straight to the surface format (ColorToSurface of every
  // pixel), for a picture kept on its surface alone: the picture takes the size only.
  std::vector<uint16_t> LoadSurfaceFromPictureData(std::span<const uint8_t> bytes);

 private:
  int FWidth = 0, FHeight = 0;
  std::vector<uint32_t> FPixels;
};
