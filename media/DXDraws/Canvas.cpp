#include "media/DXDraws/Canvas.h"

#include <algorithm>

#include "media/DXDraws/FrameRecord.h"
#include "media/DXDraws/Surface.h"
#include "media/Platform/Fonts.h"

struct TCanvas::TImpl {
  // The face of the last font used: the game switches fonts a dozen times a frame.
  std::string Name;
  int Size = 0;
  bool Bold = false;
  Platform::TFontFace* Face = nullptr;

  Platform::TFontFace& FaceFor(const TFont& font) {
    if (!Face || font.Size != Size || font.Bold != Bold || font.Name != Name) {
      Face = &Platform::FindFont(font.Name, font.Size, font.Bold);
      Name = font.Name;
      Size = font.Size;
      Bold = font.Bold;
    }
    return *Face;
  }
};

TCanvas::TCanvas(TDirectDrawSurface& surface) : FSurface(surface), Impl(std::make_unique<TImpl>()) {}

TCanvas::~TCanvas() = default;

namespace {

// Glyph coverage over a 5-6-5 surface, inside clip (which lies on the surface): a
// transparent background, antialiased edges.
void BlendGlyph(TDirectDrawSurface& surface, const TRect& clip, const Platform::TGlyph& glyph,
                int left, int top, uint16_t color) {
  const int x0 = std::max(left, clip.Left), x1 = std::min(left + glyph.Width, clip.Right);
  const int y0 = std::max(top, clip.Top), y1 = std::min(top + glyph.Height, clip.Bottom);
  if (x0 >= x1 || y0 >= y1) return;
  const int sr = color >> 11, sg = (color >> 5) & 0x3F, sb = color & 0x1F;
  for (int y = y0; y < y1; ++y) {
    const uint8_t* cov = &glyph.Coverage[size_t(y - top) * glyph.Width + (x0 - left)];
    uint16_t* dst = surface.Bits() + size_t(y) * surface.Pitch() + x0;
    for (int x = x0; x < x1; ++x, ++cov, ++dst) {
      const int a = *cov;
      if (a == 0) continue;
      if (a == 255) {
        *dst = color;
        continue;
      }
      const int d = *dst, dr = d >> 11, dg = (d >> 5) & 0x3F, db = d & 0x1F;
      const int r = (sr * a + dr * (255 - a) + 127) / 255;
      const int g = (sg * a + dg * (255 - a) + 127) / 255;
      const int b = (sb * a + db * (255 - a) + 127) / 255;
      *dst = uint16_t((r << 11) | (g << 5) | b);
    }
  }
}

}  // namespace

void TCanvas::TextOut(int x, int y, std::string_view text) { TextRect(FSurface.ClientRect(), x, y, text); }

void TCanvas::TextRect(const TRect& clip, int x, int y, std::string_view text) {
  const TRect area{std::max(clip.Left, 0), std::max(clip.Top, 0), std::min(clip.Right, FSurface.Width()),
                   std::min(clip.Bottom, FSurface.Height())};
  if (area.IsEmpty()) return;
  Platform::TFontFace& face = Impl->FaceFor(Font).FaceFor(text);
  Draw(FSurface, TTextOp{&face, area, x, y, ColorToSurface(Font.Color), std::string(text)});
}

void DrawNow(TDirectDrawSurface& dest, const TTextOp& op) {
  Platform::TFontFace& face = *op.Face;
  const TRect& area = op.Clip;
  const uint16_t color = op.Color;
  // Wide arithmetic: a position far off the surface must not overflow, just clip.
  int64_t pen = op.X;
  const int64_t top = op.Y;
  for (char c : op.Text) {
    if (pen > area.Right) break;  // the rest lies right of the area
    const Platform::TGlyph& glyph = face.Glyph(static_cast<uint8_t>(c));
    const int64_t left = pen + glyph.Left, glyphTop = top + glyph.Top;
    if (glyph.Width > 0 && left + glyph.Width > area.Left && left < area.Right &&
        glyphTop + glyph.Height > area.Top && glyphTop < area.Bottom)
      BlendGlyph(dest, area, glyph, int(left), int(glyphTop), color);
    pen += glyph.Advance;
  }
}

int TCanvas::TextWidth(std::string_view text) {
  return Impl->FaceFor(Font).FaceFor(text).TextWidth(text);
}

int TCanvas::TextHeight(std::string_view) { return Impl->FaceFor(Font).Height(); }

// Text goes straight onto the surface's pixels, so there is nothing to hand back.
void TCanvas::Release() {}
