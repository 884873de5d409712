#pragma once
// What a frame draws onto the back surface, kept as a list of operations. A frame that
// fills the whole surface first and then draws exactly what the frame on screen drew
// changes no pixel: its operations are held back as they come and, when the list ends
// the same, never drawn, and the picture is not presented again. A menu at rest then
// costs no drawing; the first operation that differs draws what was held back and
// everything after it at once.
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "media/DXDraws/Surface.h"

namespace Platform {
class TFontFace;
}

// The whole surface filled with one colour.
struct TFillOp {
  uint16_t Color = 0;
  bool operator==(const TFillOp&) const = default;
};

// A picture's rectangle copied 1:1, stretched or blended onto a destination rectangle.
struct TBlitOp {
  const TDirectDrawSurface* Source = nullptr;
  uint64_t SourceVersion = 0;
  TRect SourceRect;
  int64_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  bool Transparent = false;
  int Alpha = 255;
  bool operator==(const TBlitOp&) const = default;
};

// A picture's rectangle turned about a point (RenderRotate).
struct TRotateOp {
  const TDirectDrawSurface* Source = nullptr;
  uint64_t SourceVersion = 0;
  TRect SourceRect;
  int X = 0, Y = 0, Width = 0, Height = 0;
  double CenterX = 0, CenterY = 0;
  int Angle = 0;
  bool Transparent = false;
  int Alpha = 255;
  bool operator==(const TRotateOp&) const = default;
};

// A line of text in one face; faces live as long as the program, their glyphs never change.
struct TTextOp {
  Platform::TFontFace* Face = nullptr;
  TRect Clip;
  int64_t X = 0, Y = 0;
  uint16_t Color = 0;
  std::string Text;
  bool operator==(const TTextOp&) const = default;
};

using TDrawOp = std::variant<TFillOp, TBlitOp, TRotateOp, TTextOp>;

// Each operation drawn at once, by the module that owns it.
void DrawNow(TDirectDrawSurface& dest, const TFillOp& op);
void DrawNow(TDirectDrawSurface& dest, const TBlitOp& op);
void DrawNow(TDirectDrawSurface& dest, const TRotateOp& op);
void DrawNow(TDirectDrawSurface& dest, const TTextOp& op);

class TFrameRecord {
 public:
  explicit TFrameRecord(TDirectDrawSurface& surface) : FSurface(surface) {}
  TFrameRecord(const TFrameRecord&) = delete;
  TFrameRecord& operator=(const TFrameRecord&) = delete;

  // Notes an operation of this frame. True: held back, since the frame so far repeats
  // the one on the surface; false: the caller draws it now (what was held back has been
  // drawn already).
  bool Hold(TDrawOp op);
  // Draws what is held back; the rest of the frame is drawn as it comes.
  void Flush() {
    if (FHeld > 0) DrawHeld();
  }
  // The pixels were written outside the operations: the frame has changed, and the
  // surface no longer shows what its list says.
  void Touch();
  // Ends the frame: false when the surface still holds the picture it held before,
  // untouched; true when the frame drew another one (now complete).
  bool EndFrame();
  // Operations the frame that ended last drew (none when it repeated the one before).
  size_t DrawnInLastFrame() const { return FDrawnBefore; }

 private:
  void DrawHeld();

  TDirectDrawSurface& FSurface;
  std::vector<TDrawOp> FLast, FNow;
  bool FLastShown = false;  // the picture on the surface is exactly what FLast draws
  bool FMatching = false;   // FNow so far repeats FLast, and none of it is drawn
  bool FTouched = false;
  size_t FHeld = 0;  // how many of FNow are held back
  size_t FDrawn = 0, FDrawnBefore = 0;
};

// Draws op onto dest, or holds it back while dest's frame repeats the last one.
template <class TOp>
void Draw(TDirectDrawSurface& dest, TOp&& op) {
  if (TFrameRecord* record = dest.Record(); record && record->Hold(op)) return;
  DrawNow(dest, op);
}
