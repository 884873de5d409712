#include "media/DXDraws/Surface.h"

#include <algorithm>
#include <cstring>

#include "media/DXDraws/Canvas.h"

bool OverlapRect(const TRect& a, const TRect& b) {
  if (a.IsEmpty() || b.IsEmpty()) return false;
  return a.Left < b.Right && b.Left < a.Right && a.Top < b.Bottom && b.Top < a.Bottom;
}

TDirectDrawSurface::TDirectDrawSurface(int width, int height)
    : FWidth(std::max(width, 0)),
      FHeight(std::max(height, 0)),
      FPixels(size_t(FWidth) * size_t(FHeight)) {}

// Defined here, where TCanvas is complete.
TDirectDrawSurface::~TDirectDrawSurface() = default;

// Done every frame: a plain element loop runs at a fraction of memory speed, so the
// filled part is doubled with memcpy.
void TDirectDrawSurface::Fill(uint16_t color) {
  const size_t n = FPixels.size();
  uint16_t* p = FPixels.data();
  if (n == 0) return;
  if ((color & 0xFF) == (color >> 8)) {
    std::memset(p, color & 0xFF, n * sizeof(uint16_t));
    return;
  }
  size_t done = std::min<size_t>(n, 64);
  std::fill(p, p + done, color);
  for (; done < n; done *= 2) std::memcpy(p + done, p, std::min(done, n - done) * sizeof(uint16_t));
}

TCanvas& TDirectDrawSurface::Canvas() {
  if (!FCanvas) FCanvas = std::make_unique<TCanvas>(*this);
  return *FCanvas;
}

void TDirectDrawSurface::ReleaseCanvas() {
  if (FCanvas) FCanvas->Release();
}

uint16_t ColorToSurface(uint32_t color) {
  const uint32_t r = color & 0xFF, g = (color >> 8) & 0xFF, b = (color >> 16) & 0xFF;
  return uint16_t(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}
