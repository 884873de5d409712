#pragma once
// The one full-screen background: a picture repeated over the whole surface, still in
// the menus and scrolling down with the boat during a race.
#include <string_view>

#include "app/MForm.h"
#include "media/DXSprite/DXSprite.h"

class TScrollBackground : public TBackgroundSprite {
 public:
  // In the engine's root, with the named picture of the current screen's library.
  TScrollBackground(TMForm& form, std::string_view name);

  void Advance(int32_t moveCount) override;

 private:
  TMForm& FForm;
};
