#include <algorithm>
#include <string>

#include "media/DXSprite/DXSprite.h"
#include "media/DXSprite/SpriteMath.h"

TSprite::TSprite(TSprite* parent) : Parent(parent) {
  if (!parent) return;
  parent->AddChild(this);
  Engine = parent->Engine ? parent->Engine : dynamic_cast<TSpriteEngine*>(parent);
  if (Engine) ++Engine->SpriteCount;
}

TSprite::~TSprite() {
  FreeChildren();
  if (Parent) {
    if (Engine) --Engine->SpriteCount;
    Parent->RemoveChild(this);
  }
}

void TSprite::FreeChildren() {
  // Each child unlinks itself, and the lists go when the last one has left.
  while (FChildren && !FChildren->empty()) delete FChildren->back();
}

void TSprite::AddChild(TSprite* child) {
  if (!FChildren) {
    FChildren = std::make_unique<std::vector<TSprite*>>();
    FDrawList = std::make_unique<std::vector<TSprite*>>();
  }
  FChildren->push_back(child);
  InsertDrawn(child);
}

void TSprite::InsertDrawn(TSprite* child) {
  // Before the first sibling whose Z is not lower: a newcomer goes under its equals.
  auto at = std::lower_bound(FDrawList->begin(), FDrawList->end(), child->FZ,
                             [](const TSprite* s, int32_t z) { return s->FZ < z; });
  FDrawList->insert(at, child);
}

void TSprite::RemoveChild(TSprite* child) {
  if (!FChildren) return;
  std::erase(*FChildren, child);
  std::erase(*FDrawList, child);
  if (FChildren->empty()) {
    FChildren.reset();
    FDrawList.reset();
  }
}

void TSprite::SetZ(int32_t value) {
  if (value == FZ) return;
  FZ = value;
  if (Parent && Parent->FDrawList) {
    std::erase(*Parent->FDrawList, this);
    Parent->InsertDrawn(this);
  }
}

double TSprite::WorldX() const { return Parent ? X + Parent->WorldX() : X; }
double TSprite::WorldY() const { return Parent ? Y + Parent->WorldY() : Y; }

int32_t TSprite::Count() const { return FChildren ? int32_t(FChildren->size()) : 0; }

TSprite* TSprite::Child(int32_t index) const {
  if (!FChildren)
    throw ESpriteError("Index of the list exceeds the range. (" + std::to_string(index) + ")");
  if (index < 0 || index >= int32_t(FChildren->size()))
    throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
  return (*FChildren)[index];
}

void TSprite::Move(int32_t moveCount) {
  if (!CanMove) return;
  Advance(moveCount);
  // Counted once: a sprite created during the pass moves from the next frame on.
  const int32_t count = Count();
  for (int32_t i = 0; i < count; ++i) {
    // Sprites are freed between passes; should one go inside it, the pass ends here.
    if (!FChildren || i >= int32_t(FChildren->size())) break;
    (*FChildren)[i]->Move(moveCount);
  }
}

void TSprite::Draw() {
  if (!Visible) return;
  if (Engine && OverlapRect(BoundsRect(), Engine->SurfaceRect)) {
    Render();
    ++Engine->DrawnCount;
  }
  for (size_t i = 0; FDrawList && i < FDrawList->size(); ++i) (*FDrawList)[i]->Draw();
}

int32_t TSprite::Collide() {
  if (!Engine || !CanCollide) return 0;
  TSpriteEngine& engine = *Engine;
  engine.HitCount = 0;
  engine.HitDone = false;
  engine.HitRect = BoundsRect();
  engine.HitSprite = this;
  for (int32_t i = 0; i < engine.Count() && !engine.HitDone; ++i) CollideWith(*engine.Child(i));
  return engine.HitCount;
}

void TSprite::CollideWith(TSprite& candidate) {
  if (!candidate.CanCollide) return;  // and none below it
  TSpriteEngine& engine = *Engine;
  if (&candidate != this && OverlapRect(candidate.BoundsRect(), engine.HitRect) &&
      Overlaps(candidate) && candidate.Overlaps(*this)) {
    ++engine.HitCount;
    HitBy(candidate, engine.HitDone);
    // A sprite that stops colliding while hit (it exploded) needs no further hits.
    if (!CanCollide) engine.HitDone = true;
  }
  for (int32_t i = 0; i < candidate.Count() && !engine.HitDone; ++i)
    CollideWith(*candidate.Child(i));
}

void TSprite::HitBy(TSprite&, bool&) {}
void TSprite::Render() {}
void TSprite::Advance(int32_t) {}

TRect TSprite::BoundsRect() {
  const int32_t left = SpriteMath::Trunc(WorldX()), top = SpriteMath::Trunc(WorldY());
  return {left, top, SpriteMath::Add(left, Width), SpriteMath::Add(top, Height)};
}

bool TSprite::Overlaps(TSprite&) { return true; }
