#include "media/DXDraws/DXRender/DXRender.h"

#include "media/DXDraws/FrameRecord.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr int64_t One = int64_t(1) << 16;  // 1.0 in 16.16

TRect Intersect(const TRect& a, const TRect& b) {
  return {std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
          std::min(a.Bottom, b.Bottom)};
}

int64_t FloorDiv(int64_t a, int64_t b) {
  const int64_t q = a / b;
  return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}
int64_t CeilDiv(int64_t a, int64_t b) { return -FloorDiv(-a, b); }

// ---- 5-6-5 blending -------------------------------------------------------------
// The three fields spread 16 bits apart, so one multiply blends them all without
// one field's carries reaching the next.
inline uint64_t Spread(uint16_t c) {
  return (c & 0x001Fu) | (uint64_t(c & 0x07E0u) << 16) | (uint64_t(c & 0xF800u) << 32);
}
inline uint16_t Blend(uint16_t s, uint16_t d, uint32_t a256) {
  const uint64_t v = (Spread(s) * a256 + Spread(d) * (256 - a256)) >> 8;
  return uint16_t((v & 0x001Fu) | ((v >> 16) & 0x07E0u) | ((v >> 32) & 0xF800u));
}
// 0..255 onto 0..256, so 255 is exactly opaque.
inline uint32_t Alpha256(int alpha) { return uint32_t(alpha + (alpha >> 7)); }

// ---- 1:1 rows ----------------------------------------------------------------------
inline void KeyedRow(uint16_t* d, const uint16_t* s, int n, uint16_t key) {
  int i = 0;
#if defined(__SSE2__)
  const __m128i k = _mm_set1_epi16(int16_t(key));
  for (; i + 8 <= n; i += 8) {
    const __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
    const __m128i m = _mm_cmpeq_epi16(sv, k);
    // Most blocks are all picture or all key; only the edges of a shape need a merge.
    const int keyed = _mm_movemask_epi8(m);
    if (keyed == 0xFFFF) continue;
    __m128i* dp = reinterpret_cast<__m128i*>(d + i);
    if (keyed == 0)
      _mm_storeu_si128(dp, sv);
    else
      _mm_storeu_si128(dp, _mm_or_si128(_mm_and_si128(m, _mm_loadu_si128(dp)), _mm_andnot_si128(m, sv)));
  }
#endif
  for (; i < n; ++i)
    if (s[i] != key) d[i] = s[i];
}

// ---- axis mapping for scaled draws -------------------------------------------------
// Destination pixel i of the span samples the source at s0 + (i * Step + Step / 2) >> 16
// (pixel centres). Clipping trims the destination span to the surface and to the
// source pixels that may be read, once per draw.
struct TAxis {
  int DestStart = 0, Count = 0;
  int64_t Src = 0, Step = 0;  // 16.16 source position of the first drawn pixel, and its step
};

bool MapAxis(int64_t d0, int64_t d1, int64_t s0, int64_t s1, int64_t destSize, int64_t c0,
             int64_t c1, TAxis& out) {
  const int64_t dn = d1 - d0, sn = s1 - s0;
  if (dn <= 0 || sn <= 0 || c1 <= c0) return false;
  const int64_t step = (sn << 16) / dn;
  auto sample = [&](int64_t i) { return s0 + ((i * step + step / 2) >> 16); };
  int64_t first = std::max<int64_t>(0, -d0), last = std::min(dn, destSize - d0);
  // Only a source rectangle reaching past its surface makes these loops run.
  while (first < last && sample(first) < c0) ++first;
  while (last > first && sample(last - 1) >= c1) --last;
  if (first >= last) return false;
  out.DestStart = int(d0 + first);
  out.Count = int(last - first);
  out.Src = (s0 << 16) + first * step + step / 2;
  out.Step = step;
  return true;
}

template <bool Keyed, bool Blended>
void ScaledRows(TDirectDrawSurface& dest, const TDirectDrawSurface& src, const TAxis& ax,
                const TAxis& ay, uint16_t key, uint32_t a256) {
  const int dp = dest.Pitch(), sp = src.Pitch();
  const uint16_t* sBase = src.Bits();
  uint16_t* dRow = dest.Bits() + ptrdiff_t(ay.DestStart) * dp + ax.DestStart;
  int64_t sy = ay.Src;
  for (int r = 0; r < ay.Count; ++r, sy += ay.Step, dRow += dp) {
    const uint16_t* sRow = sBase + ptrdiff_t(sy >> 16) * sp;
    int64_t sx = ax.Src;
    for (int i = 0; i < ax.Count; ++i, sx += ax.Step) {
      const uint16_t p = sRow[sx >> 16];
      if (Keyed && p == key) continue;
      dRow[i] = Blended ? Blend(p, dRow[i], a256) : p;
    }
  }
}

// Every copy of a rectangle, 1:1, stretched or blended, is one operation of the frame.
void Blit(TDirectDrawSurface& dest, int64_t dl, int64_t dt, int64_t dr, int64_t db,
          const TDirectDrawSurface& src, const TRect& srcRect, bool transparent, int alpha) {
  Draw(dest, TBlitOp{&src, src.Version(), srcRect, dl, dt, dr, db, transparent, alpha});
}

}  // namespace

void DrawNow(TDirectDrawSurface& dest, const TBlitOp& op) {
  const TDirectDrawSurface& src = *op.Source;
  const TRect& srcRect = op.SourceRect;
  const int64_t dl = op.Left, dt = op.Top, dr = op.Right, db = op.Bottom;
  const bool transparent = op.Transparent;
  const int alpha = op.Alpha;
  if (alpha <= 0 || srcRect.IsEmpty()) return;
  const TRect clip = Intersect(srcRect, src.ClientRect());
  if (clip.IsEmpty()) return;
  TAxis ax, ay;
  if (!MapAxis(dl, dr, srcRect.Left, srcRect.Right, dest.Width(), clip.Left, clip.Right, ax) ||
      !MapAxis(dt, db, srcRect.Top, srcRect.Bottom, dest.Height(), clip.Top, clip.Bottom, ay))
    return;
  const bool keyed = transparent && src.HasColorKey();
  const uint16_t key = src.ColorKey();
  if (alpha >= 255 && ax.Step == One && ay.Step == One) {
    // 1:1, the common case: whole rows at once.
    const int dp = dest.Pitch(), sp = src.Pitch(), n = ax.Count;
    uint16_t* d = dest.Bits() + ptrdiff_t(ay.DestStart) * dp + ax.DestStart;
    const uint16_t* s = src.Bits() + ptrdiff_t(ay.Src >> 16) * sp + (ax.Src >> 16);
    for (int r = 0; r < ay.Count; ++r, d += dp, s += sp) {
      if (keyed)
        KeyedRow(d, s, n, key);
      else
        std::memmove(d, s, size_t(n) * sizeof(uint16_t));
    }
    return;
  }
  if (alpha >= 255) {
    if (keyed)
      ScaledRows<true, false>(dest, src, ax, ay, key, 256);
    else
      ScaledRows<false, false>(dest, src, ax, ay, key, 256);
  } else {
    const uint32_t a = Alpha256(alpha);
    if (keyed)
      ScaledRows<true, true>(dest, src, ax, ay, key, a);
    else
      ScaledRows<false, true>(dest, src, ax, ay, key, a);
  }
}

namespace {

// ---- rotation ----------------------------------------------------------------------
// cos(2*pi*i/256) in 16.16; the sine of i is entry (i + 192) mod 256. A quarter turn of
// constants and its mirror images, not the C runtime's cosine, so every platform draws
// the same pixels.
const std::array<int32_t, 256>& CosTable() {
  static constexpr int32_t Quarter[65] = {
      65536, 65516, 65457, 65358, 65220, 65043, 64827, 64571, 64277, 63944, 63572, 63162, 62714,
      62228, 61705, 61145, 60547, 59914, 59244, 58538, 57798, 57022, 56212, 55368, 54491, 53581,
      52639, 51665, 50660, 49624, 48559, 47464, 46341, 45190, 44011, 42806, 41576, 40320, 39040,
      37736, 36410, 35062, 33692, 32303, 30893, 29466, 28020, 26558, 25080, 23586, 22078, 20557,
      19024, 17479, 15924, 14359, 12785, 11204, 9616,  8022,  6424,  4821,  3216,  1608,  0};
  static const std::array<int32_t, 256> table = [] {
    std::array<int32_t, 256> t{};
    for (int i = 0; i < 256; ++i) {
      const int k = i & 127;
      const int32_t c = k <= 64 ? Quarter[k] : -Quarter[128 - k];
      t[size_t(i)] = i < 128 ? c : -c;
    }
    return t;
  }();
  return table;
}

// Narrows [t0, t1) to the t for which lo <= v + t * dv < hi.
void KeepInside(int64_t v, int64_t dv, int64_t lo, int64_t hi, int64_t& t0, int64_t& t1) {
  if (dv == 0) {
    if (v < lo || v >= hi) t1 = t0;
    return;
  }
  if (dv > 0) {
    t0 = std::max(t0, CeilDiv(lo - v, dv));
    t1 = std::min(t1, FloorDiv(hi - 1 - v, dv) + 1);
  } else {
    t0 = std::max(t0, CeilDiv(hi - 1 - v, dv));
    t1 = std::min(t1, FloorDiv(lo - v, dv) + 1);
  }
}

struct TRotation {
  int X0, Y0, X1, Y1;       // destination box, clipped
  int64_t U, V;             // 16.16 source position (from the clipped source's corner) at (X0, Y0)
  int64_t DUx, DVx, DUy, DVy;
  int SrcW, SrcH;           // clipped source size
};

template <bool Keyed, bool Blended>
void RotatedRows(TDirectDrawSurface& dest, const TDirectDrawSurface& src, const TRect& clip,
                 const TRotation& t, uint16_t key, uint32_t a256) {
  const int dp = dest.Pitch(), sp = src.Pitch();
  const uint16_t* sBase = src.Bits() + ptrdiff_t(clip.Top) * sp + clip.Left;
  const int64_t maxU = int64_t(t.SrcW) << 16, maxV = int64_t(t.SrcH) << 16;
  int64_t rowU = t.U, rowV = t.V;
  for (int y = t.Y0; y < t.Y1; ++y, rowU += t.DUy, rowV += t.DVy) {
    // The span of this row that lands inside the source, so the pixel loop needs no tests.
    int64_t i0 = 0, i1 = t.X1 - t.X0;
    KeepInside(rowU, t.DUx, 0, maxU, i0, i1);
    KeepInside(rowV, t.DVx, 0, maxV, i0, i1);
    if (i0 >= i1) continue;
    uint16_t* d = dest.Bits() + ptrdiff_t(y) * dp + t.X0;
    int64_t u = rowU + i0 * t.DUx, v = rowV + i0 * t.DVx;
    for (int64_t i = i0; i < i1; ++i, u += t.DUx, v += t.DVx) {
      const uint16_t p = sBase[ptrdiff_t(v >> 16) * sp + (u >> 16)];
      if (Keyed && p == key) continue;
      d[i] = Blended ? Blend(p, d[i], a256) : p;
    }
  }
}

}  // namespace

void RenderDraw(TDirectDrawSurface& dest, int x, int y, const TDirectDrawSurface& src,
                const TRect& srcRect, bool transparent) {
  Blit(dest, x, y, int64_t(x) + srcRect.Right - srcRect.Left,
       int64_t(y) + srcRect.Bottom - srcRect.Top, src, srcRect, transparent, 255);
}

void RenderStretch(TDirectDrawSurface& dest, const TRect& destRect, const TDirectDrawSurface& src,
                   const TRect& srcRect, bool transparent) {
  if (destRect.IsEmpty()) return;
  Blit(dest, destRect.Left, destRect.Top, destRect.Right, destRect.Bottom, src, srcRect,
       transparent, 255);
}

void RenderAlpha(TDirectDrawSurface& dest, const TRect& destRect, const TDirectDrawSurface& src,
                 const TRect& srcRect, bool transparent, int alpha) {
  if (destRect.IsEmpty()) return;
  Blit(dest, destRect.Left, destRect.Top, destRect.Right, destRect.Bottom, src, srcRect,
       transparent, std::min(alpha, 255));
}

void RenderRotate(TDirectDrawSurface& dest, int x, int y, int width, int height,
                  const TDirectDrawSurface& src, const TRect& srcRect, double centerX,
                  double centerY, int angle, bool transparent, int alpha) {
  Draw(dest, TRotateOp{&src, src.Version(), srcRect, x, y, width, height, centerX, centerY, angle,
                       transparent, alpha});
}

void DrawNow(TDirectDrawSurface& dest, const TRotateOp& op) {
  const TDirectDrawSurface& src = *op.Source;
  const TRect& srcRect = op.SourceRect;
  const int x = op.X, y = op.Y, width = op.Width, height = op.Height, angle = op.Angle, alpha = op.Alpha;
  const double centerX = op.CenterX, centerY = op.CenterY;
  const bool transparent = op.Transparent;
  if (width <= 0 || height <= 0 || alpha <= 0 || srcRect.IsEmpty()) return;
  if (!std::isfinite(centerX) || !std::isfinite(centerY)) return;
  // Beyond these sizes nothing sensible is drawn; they keep the 16.16 sums inside int64.
  constexpr int64_t MaxSource = 1 << 16;
  constexpr double Far = 1 << 24;
  const int64_t sw = int64_t(srcRect.Right) - srcRect.Left, sh = int64_t(srcRect.Bottom) - srcRect.Top;
  if (sw > MaxSource || sh > MaxSource) return;
  const TRect clip = Intersect(srcRect, src.ClientRect());
  if (clip.IsEmpty()) return;

  const auto& table = CosTable();
  const int64_t c = table[angle & 255], s = table[((angle & 255) + 192) & 255];
  const double cd = double(c) / One, sd = double(s) / One;

  // Screen box of the turned picture: its corners about the pivot, turned clockwise
  // (x' = u cos - v sin, y' = u sin + v cos, Y pointing down).
  const double u0 = -centerX * width, u1 = u0 + width, v0 = -centerY * height, v1 = v0 + height;
  double minX = HUGE_VAL, maxX = -HUGE_VAL, minY = HUGE_VAL, maxY = -HUGE_VAL;
  for (double u : {u0, u1})
    for (double v : {v0, v1}) {
      const double px = x + u * cd - v * sd, py = y + u * sd + v * cd;
      minX = std::min(minX, px), maxX = std::max(maxX, px);
      minY = std::min(minY, py), maxY = std::max(maxY, py);
    }
  minX = std::floor(minX), minY = std::floor(minY), maxX = std::ceil(maxX), maxY = std::ceil(maxY);
  if (std::max({-minX, -minY, maxX, maxY}) > Far) return;
  const int64_t bx0 = int64_t(minX), by0 = int64_t(minY);

  TRotation t;
  t.X0 = int(std::max<int64_t>(bx0, 0)), t.Y0 = int(std::max<int64_t>(by0, 0));
  t.X1 = int(std::min<int64_t>(int64_t(maxX), dest.Width()));
  t.Y1 = int(std::min<int64_t>(int64_t(maxY), dest.Height()));
  if (t.X0 >= t.X1 || t.Y0 >= t.Y1) return;
  t.SrcW = clip.Width(), t.SrcH = clip.Height();
  // Screen steps turned back into the pattern and scaled to source pixels.
  t.DUx = c * sw / width, t.DUy = s * sw / width;
  t.DVx = -s * sh / height, t.DVy = c * sh / height;
  // Source position of the unclipped box's first pixel centre, relative to the clipped
  // source, then stepped to the clipped box: clipping never shifts the sampling.
  const double dx = bx0 + 0.5 - x, dy = by0 + 0.5 - y;
  const double pu = (dx * cd + dy * sd - u0) * double(sw) / width - (clip.Left - srcRect.Left);
  const double pv = (-dx * sd + dy * cd - v0) * double(sh) / height - (clip.Top - srcRect.Top);
  t.U = std::llround(pu * double(One)) + (t.X0 - bx0) * t.DUx + (t.Y0 - by0) * t.DUy;
  t.V = std::llround(pv * double(One)) + (t.X0 - bx0) * t.DVx + (t.Y0 - by0) * t.DVy;

  const bool keyed = transparent && src.HasColorKey();
  const uint16_t key = src.ColorKey();
  if (alpha >= 255) {
    if (keyed)
      RotatedRows<true, false>(dest, src, clip, t, key, 256);
    else
      RotatedRows<false, false>(dest, src, clip, t, key, 256);
  } else {
    const uint32_t a = Alpha256(alpha);
    if (keyed)
      RotatedRows<true, true>(dest, src, clip, t, key, a);
    else
      RotatedRows<false, true>(dest, src, clip, t, key, a);
  }
}
