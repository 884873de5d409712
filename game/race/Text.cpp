#include "game/race/Text.h"

#include "app/MForm.h"
#include "media/DXDraws/Canvas.h"
#include "media/DXDraws/DXDraw.h"
#include "media/Platform/Fonts.h"

namespace {

struct TTextStyle {
  const char* Face;
  int Size;
  bool Bold;
  uint8_t R, G, B;
};

constexpr TTextStyle TextStyles[] = {
    {"Arial", 16, false, 3, 9, 255},            // 1 high-score table
    {"DS Crystal", 16, false, 255, 255, 255},   // 2 score
    {"Arial", 20, true, 255, 180, 27},          // 3 free text
    {"DS Crystal", 19, false, 11, 39, 210},     // 4 clock and lives
    {"DS Crystal", 19, false, 255, 255, 255},   // 5 level
    {"DS Crystal", 14, false, 11, 39, 210},     // 6 upgrade seconds
    {"Arial", 30, false, 255, 241, 0},          // 7
    {"Arial Black", 30, false, 11, 39, 210},    // 8
    {"Arial", 30, false, 255, 241, 0},          // 9
    {"Arial", 26, false, 255, 241, 0},          // 10
    {"Times New Roman", 30, true, 45, 91, 240}, // 11
    {"Arial", 24, false, 255, 241, 0},          // 12
    {"DS Crystal", 30, false, 255, 241, 0},     // 13 banners
};

// What the start-up renders of each style: the figures the HUD draws at once.
constexpr std::string_view StyleDigits = "0123456789:";

// No surface (lost, or between display modes): text is skipped like every other draw.
TCanvas* CanvasOf(TMForm& form) {
  if (!form.MDXDraw || !form.MDXDraw->CanDraw()) return nullptr;
  return &form.MDXDraw->Surface().Canvas();
}

}  // namespace

void SetFont(TMForm& form, int n) {
  if (n < 1 || n > 13) return;
  TCanvas* canvas = CanvasOf(form);
  if (!canvas) return;
  const TTextStyle& s = TextStyles[n - 1];
  canvas->Font.Name = s.Face;
  canvas->Font.Size = s.Size;
  canvas->Font.Bold = s.Bold;
  canvas->Font.Color = uint32_t(s.B) << 16 | uint32_t(s.G) << 8 | s.R;
}

void DrawString(TMForm& form, std::string_view text, int32_t x, int32_t y, bool centered) {
  TCanvas* canvas = CanvasOf(form);
  if (!canvas || form.SkipPictures) return;
  if (centered) x = int32_t(x - canvas->TextWidth(text) / 2.0);
  canvas->TextOut(x, y, text);
}

void DrawStringClipped(TMForm& form, std::string_view text, int32_t x, int32_t y, const TRect& clip) {
  if (TCanvas* canvas = CanvasOf(form); canvas && !form.SkipPictures) canvas->TextRect(clip, x, y, text);
}

int32_t TextWidth(TMForm& form, std::string_view text) {
  TCanvas* canvas = CanvasOf(form);
  return canvas ? canvas->TextWidth(text) : 0;
}

void PrepareTextStyles(TMForm& form) {
  for (int n = 1; n <= 13; ++n) {
    SetFont(form, n);
    TextWidth(form, StyleDigits);
  }
}

void OpenTextFaces() {
  for (const TTextStyle& s : TextStyles)
    Platform::FindFont(s.Face, s.Size, s.Bold).FaceFor(StyleDigits).TextWidth(StyleDigits);
}

int32_t ExtraDigits(uint16_t v) { return (v > 9) + (v > 99) + (v > 999) + (v > 9999); }
