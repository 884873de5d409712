#pragma once
// A still picture, centred on the screen unless its creator moves it: menu captions
// and panels, the race's side panels and icons, the dialog windows.
#include <string_view>

#include "app/MForm.h"
#include "media/DXSprite/DXSprite.h"

class TCaptionSprite : public TImageSprite {
 public:
  // In the engine's root, with the named picture of the current screen's library.
  TCaptionSprite(TMForm& form, std::string_view name);

  // Takes the picture from the menu library whatever the screen; the size stays.
  void SetPicture(std::string_view name);

 private:
  TMForm& FForm;
};
