#include "game/menus/MenuButton.h"

#include "app/MForm.h"
#include "media/DXDraws/PictureCollection.h"

TMenuButton::TMenuButton(TMForm& form, std::string_view activePicture,
                         std::string_view inactivePicture, int32_t activePattern,
                         int32_t inactivePattern, int32_t x, int32_t y)
    : TMenuButton(form, form.MDXImageList->Items, activePicture, inactivePicture, activePattern, inactivePattern,
                  x, y) {}

TMenuButton::TMenuButton(TMForm& form, const TPictureCollection& library, std::string_view activePicture,
                         std::string_view inactivePicture, int32_t activePattern, int32_t inactivePattern,
                         int32_t x, int32_t y)
    : TImageSprite(&form.MDXSpriteEngine->Engine()),
      ActivePicture(activePicture),
      InactivePicture(inactivePicture),
      ActivePattern(activePattern),
      InactivePattern(inactivePattern),
      FLibrary(library) {
  Show(InactivePicture, InactivePattern);
  Width = Image->Width();
  Height = Image->Height();
  AnimLength = Image->PatternCount();
  AnimLoop = true;
  AnimRate = 0;
  X = x;
  Y = y;
  SetZ(4);
}

void TMenuButton::Show(std::string_view picture, int32_t pattern) {
  Image = &FLibrary.Find(picture);
  AnimFrame = pattern;
}

void TMenuButton::SetActive() { Show(ActivePicture, ActivePattern); }

void TMenuButton::SetInactive() { Show(InactivePicture, InactivePattern); }

void TMenuButton::Advance(int32_t moveCount) { TImageSprite::Advance(moveCount); }
