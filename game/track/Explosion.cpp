#include "game/track/Explosion.h"

#include "media/DXDraws/PictureCollection.h"

TExplosion::TExplosion(TMForm& form, std::string_view name, double x, double y)
    : TImageSprite(&form.MDXSpriteEngine->Engine()) {
  Image = &form.MDXImageList3->Items.Find(name);
  Width = Image->Width();
  Height = Image->Height();
  X = x;
  Y = y;
  SetZ(4);
  Visible = false;
  AnimFrame = 0;
  AnimLength = Image->PatternCount();
  AnimLoop = true;
  AnimRate = form.FrameStepMs / 1000.0 * 15;
}
