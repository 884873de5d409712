#include "media/DXSprite/DXSprite.h"

TSpriteEngine::TSpriteEngine(TSprite* parent) : TSprite(parent) {}

// The sprites left in the tree go while the engine's own fields still exist.
TSpriteEngine::~TSpriteEngine() { FreeChildren(); }

void TSpriteEngine::SetSurface(TDirectDrawSurface* surface) {
  Surface = surface;
  if (!surface) return;  // the rectangle stays: culling does not depend on the surface's life
  SurfaceRect = surface->ClientRect();
  Width = SurfaceRect.Width();
  Height = SurfaceRect.Height();
}

void TSpriteEngine::DrawAll() {
  DrawnCount = 0;
  Draw();
}

TDXSpriteEngine::TDXSpriteEngine(TDXDraw* dxDraw)
    : FEngine(std::make_unique<TSpriteEngine>()), FDXDraw(dxDraw) {
  if (FDXDraw) FDXDraw->RegisterListener(this);
}

TDXSpriteEngine::~TDXSpriteEngine() {
  if (FDXDraw) FDXDraw->UnregisterListener(this);
}

void TDXSpriteEngine::Draw() {
  if (FDXDraw && FDXDraw->Initialized() && FEngine->Surface) FEngine->DrawAll();
}

void TDXSpriteEngine::DXDrawNotify(TDXDraw& sender, TDXDrawNotifyType type) {
  switch (type) {
    case TDXDrawNotifyType::Initialize:
      FEngine->SetSurface(&sender.Surface());
      break;
    case TDXDrawNotifyType::Finalize:
      FEngine->SetSurface(nullptr);
      break;
    case TDXDrawNotifyType::Destroying:
      FEngine->SetSurface(nullptr);
      FDXDraw = nullptr;
      break;
    case TDXDrawNotifyType::Restore:
      break;
  }
}
