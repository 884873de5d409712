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
};

// Touching edges do not overlap; an empty rectangle overlaps nothing.
bool OverlapRect(const TRect& a, const TRect& b);

class TCanvas;

class TDirectDrawSurface {
 public:
  // A negative size counts as 0.
  TDirectDrawSurface(int width, int height);
  ~TDirectDrawSurface();
  TDirectDrawSurface(const TDirectDrawSurface&) = delete;
  TDirectDrawSurface& operator=(const TDirectDrawSurface&) = delete;

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  int Pitch() const { return FWidth; }  // in pixels
  uint16_t* Pixels() { return FPixels.data(); }
  const uint16_t* Pixels() const { return FPixels.data(); }
  TRect ClientRect() const { return {0, 0, FWidth, FHeight}; }

  void Fill(uint16_t color);

  // Source colour key used by transparent draws from this surface.
  void SetColorKey(uint16_t key) { FColorKey = key; FHasColorKey = true; }
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
  std::unique_ptr<TCanvas> FCanvas;
};

// 0x00BBGGRR colour to the surface format.
uint16_t ColorToSurface(uint32_t color);
