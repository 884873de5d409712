#pragma once
// Named pictures cut into equal patterns, loaded from a picture library file.
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "media/DXDraws/DIB/DIB.h"
#include "media/DXDraws/DXDraw.h"
#include "media/DXDraws/Surface.h"

// "Image '%s' not found", "%s cannot be initialized". A malformed file raises
// EStreamError ("Invalid stream format") or EDIBError ("DIB is invalid") instead.
class EPictureCollectionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TPictureCollection;
struct TLoadedPictures;

class TPictureCollectionItem {
 public:
  explicit TPictureCollectionItem(TPictureCollection* collection = nullptr);
  ~TPictureCollectionItem();
  TPictureCollectionItem(const TPictureCollectionItem&) = delete;
  TPictureCollectionItem& operator=(const TPictureCollectionItem&) = delete;

  // Published properties as stored in the file. Pattern sizes and skips take effect
  // at the next Initialize.
  const std::string& Name() const { return FName; }
  void SetName(std::string_view name);  // re-files the item in its library's index
  int32_t PatternWidth = 0, PatternHeight = 0, SkipWidth = 0, SkipHeight = 0;
  bool SystemMemory = false;
  bool Transparent = true;
  uint32_t TransparentColor() const { return FTransparentColor; }  // 0x00BBGGRR
  void SetTransparentColor(uint32_t color);  // re-keys the surface at once
  TDIB Picture;

  int32_t Width() const;
  int32_t Height() const;
  // The pattern grid of the picture; the same before and after initialisation.
  int32_t PatternCount() const;

  // Cuts the patterns and converts the picture to the surface format with its colour
  // key, once; drawing then only copies. Finalize frees the surface, the picture stays.
  void Initialize();
  void Finalize();
  void Restore();  // reloads the pixels into the surface
  bool Initialized() const { return FInitialized; }

  // All do nothing when the item is not initialised or the pattern is out of range.
  void Draw(TDirectDrawSurface& dest, int x, int y, int pattern) const;
  void StretchDraw(TDirectDrawSurface& dest, const TRect& destRect, int pattern) const;
  void DrawAlpha(TDirectDrawSurface& dest, const TRect& destRect, int pattern, int alpha) const;
  void DrawRotate(TDirectDrawSurface& dest, int x, int y, int width, int height, int pattern,
                  double centerX, double centerY, int angle) const;
  void DrawRotateAlpha(TDirectDrawSurface& dest, int x, int y, int width, int height, int pattern,
                       double centerX, double centerY, int angle, int alpha) const;

  // For the pixel-exact collision test: the surface a pattern lies on (null when not
  // initialised or out of range) and its rectangle there. The colour key is the
  // surface's ColorKey() when Transparent.
  const TDirectDrawSurface* PatternSurface(int pattern) const;
  TRect PatternRect(int pattern) const;

  // Trades pixels with a picture of the same size, pattern grid, skips and colour key, so
  // that everything showing either shows the other's at once; doing it again trades back.
  // Raises EPictureCollectionError "Image '%s' does not fit" for any other picture.
  void SwapPixels(TPictureCollectionItem& other);

 private:
  friend class TPictureCollection;
  TPictureCollection* FCollection;
  std::string FName;
  uint32_t FTransparentColor = 0;
  bool FInitialized = false;
  bool FPictureReleased = false;  // the surface is the only copy of the pixels
  // Our surfaces are software ones, so one surface holds the whole picture.
  std::unique_ptr<TDirectDrawSurface> FSurface;
  struct TGrid {
    int32_t Columns = 0, Count = 0, StepX = 0, StepY = 0, W = 0, H = 0;
  };
  TGrid FGrid;  // fixed at Initialize
  TGrid Grid() const;
  bool ValidPattern(int pattern) const { return FInitialized && pattern >= 0 && pattern < FGrid.Count; }
};

class TPictureCollection {
 public:
  TPictureCollection();
  ~TPictureCollection();
  TPictureCollection(const TPictureCollection&) = delete;
  TPictureCollection& operator=(const TPictureCollection&) = delete;

  // The drawing surface the pictures are initialised for.
  TDXDraw* DXDraw = nullptr;
  // False: a picture keeps only its surface once it has one, for the library's whole
  // life, and drops its decoded bitmap, so a running game holds each picture once. The
  // data tool keeps the bitmaps to write them back.
  bool KeepPictures = true;
  // Set before loading: the pictures' sizes alone, no pixels and no surfaces, for a game
  // whose logic runs with nothing drawn (it never asks for a pixel).
  bool SizesOnly = false;

  // Throws EPictureCollectionError "Image '%s' not found".
  TPictureCollectionItem& Find(std::string_view name) const;
  // Null when absent.
  TPictureCollectionItem* FindOrNull(std::string_view name) const;
  int Count() const { return int(FItems.size()); }
  TPictureCollectionItem& Items(int index) const { return *FItems.at(size_t(index)); }
  TPictureCollectionItem& Add();
  void Delete(int index);
  void Clear();

  // Clears the library and reads a picture library file image into it; a malformed
  // image raises its error and leaves the library as it was.
  void LoadFromBytes(std::span<const uint8_t> bytes);
  // The game path of a ".dxg" file ("Data\Res\Res1.dxg").
  void LoadFromFile(const std::string& gamePath);
  // Loading in two halves: reading, which needs no library and may run on another
  // thread (keepPictures as KeepPictures of the library that takes them), and taking
  // the pictures in, which replaces the library's and initialises them when the drawing
  // surface is (sizesOnly as SizesOnly).
  static TLoadedPictures Read(std::span<const uint8_t> bytes, bool keepPictures, bool sizesOnly = false);
  static TLoadedPictures ReadFile(const std::string& gamePath, bool keepPictures, bool sizesOnly = false);
  void Take(TLoadedPictures loaded);
  // The file image of this library, pictures written with the given bits per pixel.
  std::vector<uint8_t> SaveToBytes(int bitCount) const;

  // SwapPixels with the same-named picture of this library for every picture of other;
  // a picture this library lacks raises "Image '%s' not found". Nothing is traded then.
  void SwapPixels(TPictureCollection& other);

  // Raises "TPictureCollection cannot be initialized" when DXDraw is missing or not
  // initialised.
  void Initialize();
  void Finalize();
  void Restore();
  bool Initialized() const { return FInitialized; }

  // The bucket of the name index a name falls in.
  static int HashName(std::string_view name);

 private:
  friend class TPictureCollectionItem;
  std::vector<std::unique_ptr<TPictureCollectionItem>> FItems;
  // Each chain is kept newest last, so a lookup walks it backwards.
  std::array<std::vector<TPictureCollectionItem*>, 256> FIndex;
  bool FInitialized = false;

  void Unindex(TPictureCollectionItem* item);
  void IndexAtHead(TPictureCollectionItem* item);
};

// Pictures read from a library file, not yet in a library.
struct TLoadedPictures {
  std::vector<std::unique_ptr<TPictureCollectionItem>> Items;
};

// The component: owns one library and keeps it bound to the drawing surface.
class TDXImageList : public TDXDrawListener {
 public:
  explicit TDXImageList(TDXDraw* dxDraw);
  ~TDXImageList() override;
  TDXImageList(const TDXImageList&) = delete;
  TDXImageList& operator=(const TDXImageList&) = delete;

  TPictureCollection Items;
  // Reads a ".dxg" file given as a game path ("Data\Res\Res1.dxg"); initialises the
  // pictures at once when the drawing surface is initialised.
  void LoadFromFile(const std::string& gamePath);
  void DXDrawNotify(TDXDraw& sender, TDXDrawNotifyType type) override;
};
