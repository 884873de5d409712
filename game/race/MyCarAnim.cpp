#include "game/race/MyCarAnim.h"

#include "app/MForm.h"
#include "game/race/MyCarSprite.h"
#include "media/DXDraws/PictureCollection.h"
#include "media/DXSprite/SpriteMath.h"

TMyCarAnim::TMyCarAnim(TMForm& form, std::string_view name, int32_t x, int32_t y, int32_t z)
    : TImageSprite(&form.MDXSpriteEngine->Engine()), FForm(form) {
  Image = &form.MDXImageList3->Items.Find(name);
  Width = Image->Width();
  Height = Image->Height();
  X = x;
  Y = y;
  SetZ(z);
  AnimFrame = 0;
  AnimLength = Image->PatternCount();
  AnimLoop = true;
  AnimRate = form.FrameStepMs / 1000.0;
}

void TMyCarAnim::Advance(int32_t moveCount) {
  TImageSprite::Advance(moveCount);
  // The wake picture is 84 wide, centred under the boat.
  if (const TMyCarSprite* boat = FForm.Race.PlayerBoat) X = boat->X - (84 - boat->Width) / 2.0;
}

void TMyCarAnim::Render() {
  const TMyCarSprite* boat = FForm.Race.PlayerBoat;
  if (!Image || !boat || !Engine || !Engine->Surface) return;
  Image->DrawRotate(*Engine->Surface, SpriteMath::Trunc(boat->CenterX), SpriteMath::Trunc(boat->CenterY),
                    Width, Height, SpriteMath::Trunc(AnimFrame), 0.5, 0.5, boat->Heading);
}
