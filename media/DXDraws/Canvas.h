#pragma once
// Text drawn onto a surface between the sprites and the present.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "media/DXDraws/Surface.h"

struct TFont {
  std::string Name = "Arial";  // face name as the game gives it
  int Size = 10;               // points, as a 96-dpi desktop renders them
  uint32_t Color = 0;          // 0x00BBGGRR
  bool Bold = false;
};

class TCanvas {
 public:
  explicit TCanvas(TDirectDrawSurface& surface);
  ~TCanvas();

  TFont Font;
  // Text is Windows-1251 bytes; the background stays transparent.
  void TextOut(int x, int y, std::string_view text);
  // The same, with only the part inside clip drawn.
  void TextRect(const TRect& clip, int x, int y, std::string_view text);
  int TextWidth(std::string_view text);
  int TextHeight(std::string_view text);
  // Ends a run of text drawing (the present follows).
  void Release();

 private:
  TDirectDrawSurface& FSurface;
  struct TImpl;
  std::unique_ptr<TImpl> Impl;
};
