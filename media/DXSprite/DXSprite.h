#pragma once
// The sprite tree: everything that moves or is drawn lives under one engine root,
// is moved once per frame, drawn in Z order and searched for collisions.
//
// Sprites are created with new under their parent and freed with delete by whoever
// created them; freeing unlinks a sprite from the tree at once. A parent still holding
// children when it is freed frees them (last first), so the root frees what is left.
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

#include "media/DXDraws/DXDraw.h"
#include "media/DXDraws/Surface.h"

class TPictureCollectionItem;
class TSpriteEngine;

// Frees a sprite at once (it leaves the tree) and forgets it; a null one is fine.
template <typename T>
void FreeSprite(T*& sprite) {
  delete sprite;
  sprite = nullptr;
}

class ESpriteError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TSprite {
 public:
  explicit TSprite(TSprite* parent);
  virtual ~TSprite();
  TSprite(const TSprite&) = delete;
  TSprite& operator=(const TSprite&) = delete;

  TSpriteEngine* Engine = nullptr;  // none for the root itself
  TSprite* Parent = nullptr;
  bool CanCollide = true;
  bool CanMove = true;
  bool Visible = true;
  double X = 0, Y = 0;  // relative to the parent
  int32_t Width = 0, Height = 0;

  int32_t Z() const { return FZ; }
  void SetZ(int32_t value);
  double WorldX() const;
  double WorldY() const;

  int32_t Count() const;
  // i-th child in order of creation.
  TSprite* Child(int32_t index) const;

  void Move(int32_t moveCount);
  void Draw();
  // Runs the collision search for this sprite against the whole tree; the number of hits.
  int32_t Collide();

  virtual void HitBy(TSprite& other, bool& done);
  virtual void Render();
  virtual void Advance(int32_t moveCount);
  virtual TRect BoundsRect();
  virtual bool Overlaps(TSprite& other);

 protected:
  // Frees the children, last first.
  void FreeChildren();

 private:
  void AddChild(TSprite* child);
  void RemoveChild(TSprite* child);
  void InsertDrawn(TSprite* child);
  void CollideWith(TSprite& candidate);

  int32_t FZ = 0;
  // Both created with the first child and dropped with the last one.
  std::unique_ptr<std::vector<TSprite*>> FChildren;  // order of creation
  std::unique_ptr<std::vector<TSprite*>> FDrawList;  // ascending Z
};

class TImageSprite : public TSprite {
 public:
  explicit TImageSprite(TSprite* parent);

  uint8_t Angle = 0;  // 256ths of a turn, clockwise; 0 draws unrotated
  int32_t Alpha = 255;
  int32_t AnimLength = 0;
  bool AnimLoop = false;
  double AnimFrame = 0;
  double AnimRate = 0;  // patterns per unit of move count
  int32_t AnimFirst = 0;
  TPictureCollectionItem* Image = nullptr;
  bool PixelExact = false;
  bool Tiled = false;  // the bounds wrap around the surface

  int32_t PatternIndex() const;

  void Render() override;
  void Advance(int32_t moveCount) override;
  TRect BoundsRect() override;
  bool Overlaps(TSprite& other) override;
};

class TBackgroundSprite : public TSprite {
 public:
  explicit TBackgroundSprite(TSprite* parent);
  ~TBackgroundSprite() override;

  TPictureCollectionItem* Image = nullptr;
  bool Tiled = false;  // the grid repeats endlessly both ways

  int32_t MapWidth() const { return FMapWidth; }
  int32_t MapHeight() const { return FMapHeight; }
  // A size of 0 or less in either direction empties the grid; a new size resets every
  // cell to pattern 0 taking part in collisions.
  void SetMapSize(int32_t mapWidth, int32_t mapHeight);
  // Pattern index of a cell (negative = empty); -1 outside the grid.
  int32_t Cell(int32_t x, int32_t y) const;
  void SetCell(int32_t x, int32_t y, int32_t pattern);
  // Whether the cell takes part in collisions; false outside the grid.
  bool CellCollides(int32_t x, int32_t y) const;
  void SetCellCollides(int32_t x, int32_t y, bool value);

  void Render() override;
  TRect BoundsRect() override;
  bool Overlaps(TSprite& other) override;

 private:
  bool InGrid(int32_t x, int32_t y) const { return x >= 0 && y >= 0 && x < FMapWidth && y < FMapHeight; }

  std::vector<uint8_t> FCellCollides;
  std::vector<int32_t> FCells;  // row-major
  int32_t FMapWidth = 0, FMapHeight = 0;
};

class TSpriteEngine : public TSprite {
 public:
  explicit TSpriteEngine(TSprite* parent = nullptr);
  ~TSpriteEngine() override;

  int32_t SpriteCount = 0;  // live sprites below the root
  int32_t HitCount = 0;
  bool HitDone = false;  // set to end the running collision search
  TRect HitRect;
  TSprite* HitSprite = nullptr;
  int32_t DrawnCount = 0;
  TDirectDrawSurface* Surface = nullptr;  // none while the drawing surface is down
  TRect SurfaceRect;

  // Binds the engine to a surface (or to none); the root takes the surface's size.
  void SetSurface(TDirectDrawSurface* surface);
  void MoveAll(int32_t moveCount) { Move(moveCount); }
  void DrawAll();
};

// The component on the main window: one engine kept bound to the drawing surface.
class TDXSpriteEngine : public TDXDrawListener {
 public:
  explicit TDXSpriteEngine(TDXDraw* dxDraw);
  ~TDXSpriteEngine() override;
  TDXSpriteEngine(const TDXSpriteEngine&) = delete;
  TDXSpriteEngine& operator=(const TDXSpriteEngine&) = delete;

  TSpriteEngine& Engine() { return *FEngine; }
  TDXDraw* DXDraw() const { return FDXDraw; }

  void Draw();  // only while the drawing surface is initialised
  void Move(int32_t moveCount) { FEngine->MoveAll(moveCount); }

  void DXDrawNotify(TDXDraw& sender, TDXDrawNotifyType type) override;

 private:
  std::unique_ptr<TSpriteEngine> FEngine;
  TDXDraw* FDXDraw = nullptr;
};
