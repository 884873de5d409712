#pragma once
// The thirteen fixed text styles and the text helpers the HUD, the dialogs and the menu
// screens share. Texts are Windows-1251 bytes.
#include <cstdint>
#include <string_view>

#include "media/DXDraws/Surface.h"

class TMForm;

void SetFont(TMForm& form, int n);  // 1..13
// Top-left at (x, y); centred puts the middle of the text at x.
void DrawString(TMForm& form, std::string_view text, int32_t x, int32_t y, bool centered);
// The same, not centred, with only the part inside clip drawn.
void DrawStringClipped(TMForm& form, std::string_view text, int32_t x, int32_t y, const TRect& clip);
int32_t TextWidth(TMForm& form, std::string_view text);
// Opens the face of every style and renders its digits once, at start-up, so that the
// first race frame does not stall on opening fonts.
void PrepareTextStyles(TMForm& form);
// The same without a window, on any thread while no other uses the fonts: the start-up
// does it while the window opens, which leaves PrepareTextStyles little to do.
void OpenTextFaces();
// How many of 9, 99, 999 and 9999 the value exceeds: its decimal digits minus one.
int32_t ExtraDigits(uint16_t v);
