#pragma once
// Small pictures and sprites built in memory for the sprite tests.
#include <functional>
#include <string>
#include <vector>

#include "media/DXDraws/PictureCollection.h"
#include "media/DXSprite/DXSprite.h"

// A picture of w x h pixels coloured by colorAt(x, y) (0x00BBGGRR), cut into patterns.
inline TPictureCollectionItem& MakePicture(TPictureCollection& library, const std::string& name,
                                           int w, int h, int patternWidth, int patternHeight,
                                           const std::function<uint32_t(int, int)>& colorAt,
                                           uint32_t transparentColor = 0) {
  TPictureCollectionItem& item = library.Add();
  item.SetName(name);
  item.Picture = TDIB(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) item.Picture.SetPixel(x, y, colorAt(x, y));
  item.PatternWidth = patternWidth;
  item.PatternHeight = patternHeight;
  item.SetTransparentColor(transparentColor);
  item.Initialize();
  return item;
}

// Colours that survive the trip to 5-6-5 unchanged, so tests compare exactly.
inline uint32_t Rgb(int r, int g, int b) { return uint32_t(r) | uint32_t(g) << 8 | uint32_t(b) << 16; }

// A sprite that writes its name into a shared log when drawn, moved or hit.
class TLogSprite : public TSprite {
 public:
  TLogSprite(TSprite* parent, std::string name, std::vector<std::string>& log)
      : TSprite(parent), Name(std::move(name)), Log(log) {
    Width = Height = 10;
  }
  void Render() override { Log.push_back("draw " + Name); }
  void Advance(int32_t moveCount) override {
    Log.push_back("move " + Name + " " + std::to_string(moveCount));
    if (OnAdvance) OnAdvance();
  }
  void HitBy(TSprite& other, bool& done) override {
    auto* o = dynamic_cast<TLogSprite*>(&other);
    Log.push_back("hit " + (o ? o->Name : std::string("?")));
    if (OnHit) OnHit(done);
  }
  std::string Name;
  std::vector<std::string>& Log;
  std::function<void()> OnAdvance;
  std::function<void(bool&)> OnHit;
};
