#pragma once
// The animated wake under the player's boat: drawn turned with the boat, centred on it.
// A hidden one serves as the enemy wakes' frame clock.
#include <cstdint>
#include <string_view>

#include "media/DXSprite/DXSprite.h"

class TMForm;

class TMyCarAnim : public TImageSprite {
 public:
  // The named race picture at (x, y, z), looping at one pattern per 1000 / FrameStepMs moves.
  TMyCarAnim(TMForm& form, std::string_view name, int32_t x, int32_t y, int32_t z);

  void Advance(int32_t moveCount) override;
  void Render() override;

 private:
  TMForm& FForm;
};
