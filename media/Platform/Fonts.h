#pragma once
// Fonts found by face name and rendered into coverage masks; the text canvas blends
// them onto the game's surfaces. Game text is Windows-1251, so glyphs are keyed by byte.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace Platform {

// A glyph as coverage (0..255), placed relative to the pen at the top of the text line.
struct TGlyph {
  int Advance = 0;
  int Left = 0, Top = 0;
  int Width = 0, Height = 0;
  std::vector<uint8_t> Coverage;  // Width * Height, row-major
};

// One face at one size. Glyphs the face lacks come from a fallback face on the same
// baseline, so a display face without Cyrillic still shows Russian text.
class TFontFace {
 public:
  ~TFontFace();
  TFontFace(const TFontFace&) = delete;
  TFontFace& operator=(const TFontFace&) = delete;

  const TGlyph& Glyph(uint8_t c);  // rendered once, then kept
  // The face to draw a whole text with: this one when it has every glyph of the text,
  // else its fallback alone, so a line never mixes two faces (a digit display face
  // under a Russian word would).
  TFontFace& FaceFor(std::string_view text);
  int Ascent() const { return FAscent; }
  int Height() const { return FHeight; }
  int TextWidth(std::string_view text);
  const std::string& File() const { return FFile; }  // the face's font file

 private:
  friend class TFontCache;
  TFontFace() = default;
  bool PrimaryHas(char32_t cp) const;
  void* FPrimary = nullptr;   // TTF_Font*
  void* FFallback = nullptr;  // TTF_Font*, may be null
  int FAscent = 0, FHeight = 0;
  double FScaleX = 1;  // the primary face's glyphs are narrowed by this
  bool FDigitsOnly = false;  // the primary face's letters go to the fallback
  std::string FFile, FFallbackFile;
  std::array<std::unique_ptr<TGlyph>, 256> FGlyphs;
  std::array<int8_t, 256> FProvided{};  // 1 the primary face has the glyph, -1 not, 0 unknown
  std::unique_ptr<TFontFace> FWholeFallback;
};

// The face that the game calls faceName ("Arial", "Arial Black", "Times New Roman",
// "DS Crystal") at a size in points as a 96-dpi desktop renders it: the open stand-in in
// the game's Fonts folder, else (Linux) the same stand-in or any face fontconfig knows. Opened faces are kept for the whole process: they never change.
// Throws std::runtime_error when no usable font file is found at all.
TFontFace& FindFont(std::string_view faceName, int points, bool bold);

// Pixel height of the em for a size in points on a 96-dpi desktop.
int PointsToPixels(int points);

}  // namespace Platform
