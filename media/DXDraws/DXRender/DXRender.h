#pragma once
// Software drawing between 16-bit surfaces. Every operation clips to both surfaces
// and, when `transparent`, skips source pixels equal to the source's colour key.
#include "media/DXDraws/Surface.h"

// 1:1 copy of srcRect with its top-left corner at (x, y).
void RenderDraw(TDirectDrawSurface& dest, int x, int y, const TDirectDrawSurface& src,
                const TRect& srcRect, bool transparent);
// Scales srcRect into destRect; an empty or reversed destRect draws nothing.
void RenderStretch(TDirectDrawSurface& dest, const TRect& destRect, const TDirectDrawSurface& src,
                   const TRect& srcRect, bool transparent);
// As RenderStretch, blended with opacity alpha (0..255).
void RenderAlpha(TDirectDrawSurface& dest, const TRect& destRect, const TDirectDrawSurface& src,
                 const TRect& srcRect, bool transparent, int alpha);
// srcRect scaled to width x height, rotated by angle (256ths of a turn, clockwise on
// screen) about the point at fractions (centerX, centerY) of it; that point lands at (x, y).
// alpha < 255 blends.
void RenderRotate(TDirectDrawSurface& dest, int x, int y, int width, int height,
                  const TDirectDrawSurface& src, const TRect& srcRect, double centerX,
                  double centerY, int angle, bool transparent, int alpha);
