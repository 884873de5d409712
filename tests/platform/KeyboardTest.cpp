#include <gtest/gtest.h>

#include "media/Platform/Keyboard.h"

using namespace Platform;

// Scancodes are the USB usage codes SDL uses.
TEST(Keyboard, ScancodesMapToVirtualKeys) {
  struct {
    int Scancode;
    uint16_t Key;
  } cases[] = {
      {4, 'A'},          {29, 'Z'},          {30, '1'},          {39, '0'},
      {40, VK_RETURN},   {41, VK_ESCAPE},    {42, VK_BACK},      {44, VK_SPACE},
      {58, VK_F1},       {79, VK_RIGHT},     {80, VK_LEFT},      {81, VK_DOWN},
      {82, VK_UP},       {88, VK_RETURN},    {96, VK_NUMPAD8},   {98, VK_NUMPAD0},
      {224, VK_LCONTROL}, {228, VK_RCONTROL}, {226, VK_LMENU},    {0, 0},
      {300, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(ScancodeToVirtualKey(c.Scancode), c.Key) << c.Scancode;
}

TEST(Keyboard, SideSpecificModifiersAlsoSetTheSharedCode) {
  EXPECT_EQ(GenericModifierKey(VK_LCONTROL), VK_CONTROL);
  EXPECT_EQ(GenericModifierKey(VK_RCONTROL), VK_CONTROL);
  EXPECT_EQ(GenericModifierKey(VK_RSHIFT), VK_SHIFT);
  EXPECT_EQ(GenericModifierKey(VK_LMENU), VK_MENU);
  EXPECT_EQ(GenericModifierKey(VK_UP), 0);
}
