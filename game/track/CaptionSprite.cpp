#include "game/track/CaptionSprite.h"

#include "game/track/ScreenPictures.h"
#include "media/DXDraws/DXDraw.h"
#include "media/DXDraws/PictureCollection.h"

TCaptionSprite::TCaptionSprite(TMForm& form, std::string_view name)
    : TImageSprite(&form.MDXSpriteEngine->Engine()), FForm(form) {
  Image = &ScreenPictures(form).Find(name);
  Width = Image->Width();
  Height = Image->Height();
  const int surfaceWidth = form.MDXDraw ? form.MDXDraw->SurfaceWidth : 800;
  const int surfaceHeight = form.MDXDraw ? form.MDXDraw->SurfaceHeight : 600;
  X = surfaceWidth / 2.0 - Width / 2.0;
  Y = surfaceHeight / 2.0 - Height / 2.0;
  SetZ(3);
  AnimFrame = 0;
  AnimLength = Image->PatternCount();
  AnimLoop = false;
  AnimRate = 0;
}

void TCaptionSprite::SetPicture(std::string_view name) {
  Image = &FForm.MDXImageList->Items.Find(name);
}
