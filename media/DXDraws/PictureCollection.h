#pragma once
// Named pictures cut into equal patterns, loaded from a picture library file.
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "media/DXDraws/DXDraw.h"
#include "media/DXDraws/Surface.h"

class EPictureCollectionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TDIB;  // media/DXDraws/DIB

class TPictureCollectionItem {
 public:
  // Published properties as stored in the file.
  std::string Name;
  int32_t PatternWidth = 0, PatternHeight = 0, SkipWidth = 0, SkipHeight = 0;
  bool SystemMemory = false;
  bool Transparent = true;
  uint32_t TransparentColor = 0;  // 0x00BBGGRR

  int32_t Width() const;
  int32_t Height() const;
  int32_t PatternCount() const;
  bool Initialized() const;

  // All do nothing when the item is not initialised or the pattern is out of range.
  void Draw(TDirectDrawSurface& dest, int x, int y, int pattern) const;
  void StretchDraw(TDirectDrawSurface& dest, const TRect& destRect, int pattern) const;
  void DrawAlpha(TDirectDrawSurface& dest, const TRect& destRect, int pattern, int alpha) const;
  void DrawRotate(TDirectDrawSurface& dest, int x, int y, int width, int height, int pattern,
                  double centerX, double centerY, int angle) const;
  void DrawRotateAlpha(TDirectDrawSurface& dest, int x, int y, int width, int height, int pattern,
                       double centerX, double centerY, int angle, int alpha) const;
  // (pattern surfaces and rectangles, for the pixel collision test)
};

class TPictureCollection {
 public:
  // Throws EPictureCollectionError "Image '%s' not found".
  TPictureCollectionItem& Find(std::string_view name) const;
  int Count() const;
  TPictureCollectionItem& Items(int index) const;
  // ... (name index, load, initialise/finalise)
};

// The component: owns one library and keeps it bound to the drawing surface.
class TDXImageList : public TDXDrawListener {
 public:
  explicit TDXImageList(TDXDraw* dxDraw);
  ~TDXImageList() override;
  TPictureCollection Items;
  // Reads a ".dxg" file given as a game path ("Data\Res\Res1.dxg").
  void LoadFromFile(const std::string& gamePath);
  void DXDrawNotify(TDXDraw& sender, TDXDrawNotifyType type) override;
};
