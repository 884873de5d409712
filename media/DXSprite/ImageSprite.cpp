#include <algorithm>
#include <cmath>

#include "media/DXDraws/PictureCollection.h"
#include "media/DXSprite/DXSprite.h"
#include "media/DXSprite/SpriteMath.h"

using SpriteMath::Add;
using SpriteMath::Trunc;

TImageSprite::TImageSprite(TSprite* parent) : TSprite(parent) {}

int32_t TImageSprite::PatternIndex() const { return Add(Trunc(AnimFrame), AnimFirst); }

void TImageSprite::Advance(int32_t moveCount) {
  AnimFrame += moveCount * AnimRate;
  if (AnimLoop) {
    if (AnimLength <= 0) {
      AnimFrame = 0;
    } else {
      AnimFrame -= AnimLength * std::trunc(AnimFrame / AnimLength);
      if (AnimFrame < 0) AnimFrame += AnimLength;
    }
    return;
  }
  // A one-shot stops on its last pattern and drops its rate, which marks it finished.
  if (AnimFrame >= AnimLength) {
    AnimFrame = AnimLength - 1;
    AnimRate = 0;
  }
  if (AnimFrame < 0) {
    AnimFrame = 0;
    AnimRate = 0;
  }
}

void TImageSprite::Render() {
  if (!Image || !Engine || !Engine->Surface) return;
  TDirectDrawSurface& dest = *Engine->Surface;
  const int32_t left = Trunc(WorldX()), top = Trunc(WorldY());
  const TRect rect{left, top, Add(left, Width), Add(top, Height)};
  const int pattern = PatternIndex();
  const bool opaque = Alpha >= 255;
  const int alpha = std::max(Alpha, 0);
  if (Angle == 0) {
    if (opaque)
      Image->StretchDraw(dest, rect, pattern);
    else
      Image->DrawAlpha(dest, rect, pattern, alpha);
    return;
  }
  const int centerX = int((int64_t(rect.Left) + rect.Right) / 2);
  const int centerY = int((int64_t(rect.Top) + rect.Bottom) / 2);
  if (opaque)
    Image->DrawRotate(dest, centerX, centerY, Width, Height, pattern, 0.5, 0.5, Angle);
  else
    Image->DrawRotateAlpha(dest, centerX, centerY, Width, Height, pattern, 0.5, 0.5, Angle, alpha);
}

TRect TImageSprite::BoundsRect() {
  TRect rect = TSprite::BoundsRect();
  if (!Tiled || !Engine) return rect;
  // Wraps so that a sprite leaving one edge comes back in at the other.
  auto wrap = [](int64_t pos, int64_t surfaceSize, int64_t size) {
    const int64_t period = surfaceSize + size;
    if (period <= 0) return pos;
    pos %= period;
    if (pos < 0) pos += period;
    if (pos > surfaceSize) pos -= period;
    return pos;
  };
  const int32_t left = int32_t(wrap(rect.Left, Engine->SurfaceRect.Width(), Width));
  const int32_t top = int32_t(wrap(rect.Top, Engine->SurfaceRect.Height(), Height));
  return {left, top, Add(left, Width), Add(top, Height)};
}

bool TImageSprite::Overlaps(TSprite& other) {
  auto* o = dynamic_cast<TImageSprite*>(&other);
  if (!o || !PixelExact) return true;
  // Pixel test: where both patterns, centred in their sprites, have a drawn pixel.
  if (!Image || !o->Image) return false;
  const int p1 = PatternIndex(), p2 = o->PatternIndex();
  const TDirectDrawSurface* s1 = Image->PatternSurface(p1);
  const TDirectDrawSurface* s2 = o->Image->PatternSurface(p2);
  if (!s1 || !s2) return false;
  const TRect src1 = Image->PatternRect(p1), src2 = o->Image->PatternRect(p2);
  auto placed = [](TImageSprite& s, const TRect& src) {
    const TRect b = s.BoundsRect();
    const int32_t left = Add(b.Left, (s.Width - s.Image->Width()) / 2);
    const int32_t top = Add(b.Top, (s.Height - s.Image->Height()) / 2);
    return TRect{left, top, Add(left, src.Width()), Add(top, src.Height())};
  };
  const TRect d1 = placed(*this, src1), d2 = placed(*o, src2);
  const TRect common{std::max(d1.Left, d2.Left), std::max(d1.Top, d2.Top),
                     std::min(d1.Right, d2.Right), std::min(d1.Bottom, d2.Bottom)};
  if (common.IsEmpty()) return false;
  auto drawn = [](const TPictureCollectionItem& item, const TDirectDrawSurface& s, const TRect& src,
                  const TRect& dst, int x, int y) {
    const uint16_t pixel =
        s.Pixels()[size_t(src.Top + y - dst.Top) * s.Pitch() + size_t(src.Left + x - dst.Left)];
    return !(item.Transparent && s.HasColorKey() && pixel == s.ColorKey());
  };
  for (int y = common.Top; y < common.Bottom; ++y)
    for (int x = common.Left; x < common.Right; ++x)
      if (drawn(*Image, *s1, src1, d1, x, y) && drawn(*o->Image, *s2, src2, d2, x, y)) return true;
  return false;
}
