#pragma once
// A 16-bit (RGB 5-6-5) software surface: the back surface and every picture's pixels.
#include <cstdint>
#include <memory>
#include <vector>

struct TRect {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  int32_t Width() const { return Right - Left; }
  int32_t Height() const { return Bottom - Top; }
  bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  bool operator==(const TRect&) const = default;
};

// Touching edges do not overlap; an empty rectangle overlaps nothing.
bool OverlapRect(const TRect& a, const TRect& b);

class TCanvas;
class TFrameRecord;

class TDirectDrawSurface {
 public:
  // A negative size counts as 0.
  TDirectDrawSurface(int width, int height);
  // Over pixels already made, width * height of them, rows top-down.
  TDirectDrawSurface(int width, int height, std::vector<uint16_t> pixels);
  ~TDirectDrawSurface();
  TDirectDrawSurface(const TDirectDrawSurface&) = delete;
  TDirectDrawSurface& operator=(const TDirectDrawSurface&) = delete;

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  int Pitch() const { return FWidth; }  // in pixels
  // The pixels to read or write directly: whatever a frame record holds back is drawn
  // first, and a write counts as a change the record cannot see.
  uint16_t* Pixels();
  const uint16_t* Pixels() const;
  // The pixels as they are, for the drawing operations that a record accounts for.
  uint16_t* Bits() { return FPixels.data(); }
  const uint16_t* Bits() const { return FPixels.data(); }
  TRect ClientRect() const { return {0, 0, FWidth, FHeight}; }
  // Changes whenever the pixels or the colour key may have changed: a record tells two
  // pictures apart by it, even one that comes to lie where another was freed.
  uint64_t Version() const { return FVersion; }

  void Fill(uint16_t color);

  // Keeps a record of the frames drawn onto this surface (the back surface), so that a
  // frame that repeats the last one is neither drawn nor presented (FrameRecord.h).
  void StartRecording();
  TFrameRecord* Record() const { return FRecord.get(); }

  // Source colour key used by transparent draws from this surface.
  void SetColorKey(uint16_t key);
  bool HasColorKey() const { return FHasColorKey; }
  uint16_t ColorKey() const { return FColorKey; }

  // Text canvas over this surface, created on first use.
  TCanvas& Canvas();
  // Ends the canvas's run of text before the surface is presented; creates nothing.
  void ReleaseCanvas();

 private:
  int FWidth, FHeight;
  std::vector<uint16_t> FPixels;
  bool FHasColorKey = false;
  uint16_t FColorKey = 0;
  uint64_t FVersion;
  std::unique_ptr<TCanvas> FCanvas;
  std::unique_ptr<TFrameRecord> FRecord;
};

// 0x00BBGGRR colour to the surface format; inline, as decoding a picture does it per pixel.
inline uint16_t ColorToSurface(uint32_t color) {
  const uint32_t r = color & 0xFF, g = (color >> 8) & 0xFF, b = (color >> 16) & 0xFF;
  return uint16_t(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}
