#pragma once
// A picture button with a hot and a plain look, both from the menu library (or another
// one named). Its size is the plain look's and stays, because the mouse is tested against it.
#include <cstdint>
#include <string>
#include <string_view>

#include "media/DXSprite/DXSprite.h"

class TMForm;
class TPictureCollection;

class TMenuButton : public TImageSprite {
 public:
  TMenuButton(TMForm& form, std::string_view activePicture, std::string_view inactivePicture,
              int32_t activePattern, int32_t inactivePattern, int32_t x, int32_t y);
  TMenuButton(TMForm& form, const TPictureCollection& library, std::string_view activePicture,
              std::string_view inactivePicture, int32_t activePattern, int32_t inactivePattern, int32_t x,
              int32_t y);

  std::string ActivePicture;
  std::string InactivePicture;
  int32_t ActivePattern = 0;
  int32_t InactivePattern = 0;
  bool Hovered = false;  // showing the hot look; the callers keep it

  void SetActive();
  void SetInactive();
  void Advance(int32_t moveCount) override;

 private:
  void Show(std::string_view picture, int32_t pattern);
  const TPictureCollection& FLibrary;
};
