#include <algorithm>

#include "media/DXDraws/PictureCollection.h"
#include "media/DXSprite/DXSprite.h"
#include "media/DXSprite/SpriteMath.h"

using SpriteMath::Mod;
using SpriteMath::Trunc;

namespace {

int32_t Clamp32(int64_t v) { return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

// Division rounding toward minus infinity, for cells left of or above the origin.
int32_t FloorDiv(int32_t a, int32_t b) {
  const int32_t q = a / b;
  return (a % b != 0 && a < 0) ? q - 1 : q;
}

}  // namespace

TBackgroundSprite::TBackgroundSprite(TSprite* parent) : TSprite(parent) { CanCollide = false; }

TBackgroundSprite::~TBackgroundSprite() { SetMapSize(0, 0); }

void TBackgroundSprite::SetMapSize(int32_t mapWidth, int32_t mapHeight) {
  if (mapWidth <= 0 || mapHeight <= 0) mapWidth = mapHeight = 0;
  if (mapWidth == FMapWidth && mapHeight == FMapHeight) return;
  const size_t cells = size_t(mapWidth) * size_t(mapHeight);
  FCells.assign(cells, 0);
  FCellCollides.assign(cells, 1);
  FMapWidth = mapWidth;
  FMapHeight = mapHeight;
}

int32_t TBackgroundSprite::Cell(int32_t x, int32_t y) const {
  return InGrid(x, y) ? FCells[size_t(y) * FMapWidth + x] : -1;
}

void TBackgroundSprite::SetCell(int32_t x, int32_t y, int32_t pattern) {
  if (InGrid(x, y)) FCells[size_t(y) * FMapWidth + x] = pattern;
}

bool TBackgroundSprite::CellCollides(int32_t x, int32_t y) const {
  return InGrid(x, y) && FCellCollides[size_t(y) * FMapWidth + x] != 0;
}

void TBackgroundSprite::SetCellCollides(int32_t x, int32_t y, bool value) {
  if (InGrid(x, y)) FCellCollides[size_t(y) * FMapWidth + x] = value ? 1 : 0;
}

void TBackgroundSprite::Render() {
  if (!Image || FMapWidth == 0 || !Engine || !Engine->Surface) return;
  const int32_t w = Image->Width(), h = Image->Height();
  if (w <= 0 || h <= 0) return;
  TDirectDrawSurface& dest = *Engine->Surface;
  const int32_t sw = Engine->SurfaceRect.Width(), sh = Engine->SurfaceRect.Height();
  const int32_t x = Trunc(WorldX()), y = Trunc(WorldY());
  const int32_t cols = (sw + w) / w + 1, rows = (sh + h) / h;
  const int32_t cellX = x / w, cellY = y / h, shiftX = x % w, shiftY = y % h;
  auto drawCell = [&](int32_t c, int32_t r, int32_t pattern) {
    if (pattern >= 0) Image->Draw(dest, c * w + shiftX, r * h + shiftY, pattern);
  };
  if (Tiled) {
    for (int32_t r = -1; r <= rows + 1; ++r)
      for (int32_t c = -1; c <= cols; ++c)
        drawCell(c, r, FCells[size_t(Mod(r - cellY, FMapHeight)) * FMapWidth + Mod(c - cellX, FMapWidth)]);
    return;
  }
  const int32_t rowEnd = int32_t(std::min<int64_t>(int64_t(FMapHeight) + cellY, rows + 1));
  const int32_t colEnd = int32_t(std::min<int64_t>(int64_t(FMapWidth) + cellX, cols));
  for (int32_t r = std::max(cellY, 0); r < rowEnd; ++r)
    for (int32_t c = std::max(cellX, 0); c < colEnd; ++c)
      drawCell(c, r, FCells[size_t(r - cellY) * FMapWidth + (c - cellX)]);
}

TRect TBackgroundSprite::BoundsRect() {
  if (Tiled) return Engine ? Engine->SurfaceRect : TRect{};
  const int32_t left = Trunc(WorldX()), top = Trunc(WorldY());
  if (!Image) return {left, top, left, top};
  return {left, top, Clamp32(left + int64_t(Image->Width()) * FMapWidth),
          Clamp32(top + int64_t(Image->Height()) * FMapHeight)};
}

bool TBackgroundSprite::Overlaps(TSprite& other) {
  if (!Image || FMapWidth == 0) return true;
  const int32_t w = Image->Width(), h = Image->Height();
  if (w <= 0 || h <= 0) return true;
  const TRect mine = BoundsRect(), theirs = other.BoundsRect();
  const TRect common{std::max(mine.Left, theirs.Left), std::max(mine.Top, theirs.Top),
                     std::min(mine.Right, theirs.Right), std::min(mine.Bottom, theirs.Bottom)};
  if (common.IsEmpty()) return false;
  const int32_t x = Trunc(WorldX()), y = Trunc(WorldY());
  const int32_t c0 = FloorDiv(common.Left - x, w), c1 = FloorDiv(common.Right - 1 - x, w);
  const int32_t r0 = FloorDiv(common.Top - y, h), r1 = FloorDiv(common.Bottom - 1 - y, h);
  for (int32_t r = r0; r <= r1; ++r)
    for (int32_t c = c0; c <= c1; ++c) {
      if (!FCellCollides[size_t(Mod(r, FMapHeight)) * FMapWidth + Mod(c, FMapWidth)]) continue;
      const TRect cell{Clamp32(x + int64_t(c) * w), Clamp32(y + int64_t(r) * h),
                       Clamp32(x + int64_t(c + 1) * w), Clamp32(y + int64_t(r + 1) * h)};
      if (OverlapRect(cell, theirs)) return true;
    }
  return false;
}
