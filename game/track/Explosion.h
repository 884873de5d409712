#pragma once
// A looping animation from the race library that starts hidden: the boat's explosion,
// and hidden frame clocks whose AnimFrame other sprites read.
#include <string_view>

#include "app/MForm.h"
#include "media/DXSprite/DXSprite.h"

class TExplosion : public TImageSprite {
 public:
  // In the engine's root at (x, y), 15 patterns a second.
  TExplosion(TMForm& form, std::string_view name, double x, double y);
};
