#pragma once
// The menus driven frame by frame through the real start-up, keys and mouse.
#include <gtest/gtest.h>

#include <string>

#include "game/menus/MenuButton.h"
#include "media/DXDraws/PictureCollection.h"
#include "tests/app/GameRig.h"

class Menus : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!TGameFolder::DataBuilt()) GTEST_SKIP() << "the game data is not built";
    Rig.Start();
  }

  TMForm& Form() { return *Rig.Form; }
  TMenuState& Menu() { return Rig.Form->Menu; }

  // Lets the intro play out, then one frame with no key held.
  void FinishIntro() {
    for (int i = 0; i < 1000 && Menu().MenuIntroPhase != 0; ++i) Rig.Frame();
    Rig.Hold({});
    Rig.Frame();
  }
  // Presses a key for one frame and lets it go for one frame.
  void Press(uint16_t key) {
    Rig.Hold({key});
    Rig.Frame();
    Rig.Hold({});
    Rig.Frame();
  }
  // The pointer at a surface point, as the window reports it.
  void Point(int x, int y) { Form().MDXDrawMouseMove(0, x, y); }
  void PointAt(int slot) {
    const TMenuButton& b = *Menu().Buttons[slot];
    Point(int(b.X) + 2, int(b.Y) + 2);
  }
  void Click(int slot) {
    PointAt(slot);
    Form().MDXDrawClick();
  }
  std::string PictureOf(const TImageSprite* sprite) { return sprite->Image->Name(); }

  TGameRig Rig;
};
