#include "game/track/ScrollBackground.h"

#include "game/track/ScreenPictures.h"
#include "media/DXDraws/PictureCollection.h"

TScrollBackground::TScrollBackground(TMForm& form, std::string_view name)
    : TBackgroundSprite(&form.MDXSpriteEngine->Engine()), FForm(form) {
  SetMapSize(1, 1);
  Image = &ScreenPictures(form).Find(name);
  X = 0;
  Y = 0;
  SetZ(1);
  Tiled = true;
}

void TScrollBackground::Advance(int32_t moveCount) {
  TBackgroundSprite::Advance(moveCount);
  if (FForm.CurrentScreen != 1) return;
  Y += FForm.ScrollStep;
  // Tiling draws the picture above and below, so one screen height of travel is enough.
  if (Y > 600) Y -= 600;
}
