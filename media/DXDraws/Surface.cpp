#include "media/DXDraws/Surface.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "media/DXDraws/Canvas.h"
#include "media/DXDraws/FrameRecord.h"

namespace {

// Pictures are made on the loading thread too.
uint64_t NextVersion() {
  static std::atomic<uint64_t> counter{0};
  return ++counter;
}

}  // namespace

bool OverlapRect(const TRect& a, const TRect& b) {
  if (a.IsEmpty() || b.IsEmpty()) return false;
  return a.Left < b.Right && b.Left < a.Right && a.Top < b.Bottom && b.Top < a.Bottom;
}

TDirectDrawSurface::TDirectDrawSurface(int width, int height)
    : FWidth(std::max(width, 0)),
      FHeight(std::max(height, 0)),
      FPixels(size_t(FWidth) * size_t(FHeight)),
      FVersion(NextVersion()) {}

TDirectDrawSurface::TDirectDrawSurface(int width, int height, std::vector<uint16_t> pixels)
    : FWidth(std::max(width, 0)), FHeight(std::max(height, 0)), FPixels(std::move(pixels)), FVersion(NextVersion()) {
  FPixels.resize(size_t(FWidth) * size_t(FHeight));
}

// Defined here, where TCanvas and TFrameRecord are complete.
TDirectDrawSurface::~TDirectDrawSurface() = default;

uint16_t* TDirectDrawSurface::Pixels() {
  if (FRecord) FRecord->Touch();
  FVersion = NextVersion();
  return FPixels.data();
}

const uint16_t* TDirectDrawSurface::Pixels() const {
  if (FRecord) FRecord->Flush();
  return FPixels.data();
}

void TDirectDrawSurface::StartRecording() {
  if (!FRecord) FRecord = std::make_unique<TFrameRecord>(*this);
}

void TDirectDrawSurface::SetColorKey(uint16_t key) {
  FColorKey = key;
  FHasColorKey = true;
  FVersion = NextVersion();
}

void TDirectDrawSurface::Fill(uint16_t color) { Draw(*this, TFillOp{color}); }

// Done every frame: a plain element loop runs at a fraction of memory speed, so the
// filled part is doubled with memcpy.
void DrawNow(TDirectDrawSurface& dest, const TFillOp& op) {
  const uint16_t color = op.Color;
  const size_t n = size_t(dest.Width()) * size_t(dest.Height());
  uint16_t* p = dest.Bits();
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
