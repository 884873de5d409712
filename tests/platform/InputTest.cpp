#include <gtest/gtest.h>

#include <initializer_list>

#include "media/DXClass/Application.h"
#include "media/DXInput/DXInput.h"

using namespace Platform;

namespace {

struct TInputRig {
  TApplication Application{[] { return 0u; }};
  TDXInput Input{&Application};
  TKeyboardState Held{};
  TJoystickState Pad{};

  TInputRig() {
    Input.Keyboard.Source = [this](TKeyboardState& keys) { keys = Held; };
    Input.Joystick.Source = [this] { return Pad; };
    Input.Keyboard.KeyAssigns[isUp] = {VK_UP, 0, VK_NUMPAD8};
    Input.Keyboard.KeyAssigns[isButton5] = {VK_ESCAPE, 0, 0};
    Input.Keyboard.KeyAssigns[isButton8] = {VK_SPACE, 0, 0};
  }
  void Hold(std::initializer_list<uint16_t> keys) {
    Held.fill(0);
    for (uint16_t k : keys) Held[k] = 0x80;
  }
};

}  // namespace

TEST(DXInput, AnyAssignedKeySetsItsState) {
  TInputRig rig;
  for (uint16_t key : {VK_UP, VK_NUMPAD8}) {
    rig.Hold({key});
    rig.Input.Update();
    EXPECT_TRUE(rig.Input.States.test(isUp)) << key;
    rig.Hold({});
    rig.Input.Update();
    EXPECT_FALSE(rig.Input.States.test(isUp)) << key;
  }
  rig.Held.fill(0);
  rig.Held[VK_ESCAPE] = 0x01;  // toggle bit only: not pressed
  rig.Input.Update();
  EXPECT_TRUE(rig.Input.States.none());
}

TEST(DXInput, AHeldKeyStaysOnEveryFrame) {
  TInputRig rig;
  rig.Hold({VK_ESCAPE});
  for (int frame = 0; frame < 3; ++frame) {
    rig.Input.Update();
    EXPECT_TRUE(rig.Input.States.test(isButton5)) << frame;
  }
}

TEST(DXInput, StatesChangeOnlyWhenTheHardwareChanges) {
  TInputRig rig;
  rig.Hold({VK_SPACE});
  rig.Input.Update();
  rig.Input.States.reset(isButton8);  // taken away while held
  rig.Input.Update();
  EXPECT_FALSE(rig.Input.States.test(isButton8));
  rig.Hold({});
  rig.Input.Update();
  rig.Hold({VK_SPACE});
  rig.Input.Update();
  EXPECT_TRUE(rig.Input.States.test(isButton8));
}

TEST(DXInput, InBackgroundEverythingReadsReleased) {
  TInputRig rig;
  rig.Hold({VK_UP, VK_SPACE});
  rig.Pad.Present = true;
  rig.Pad.X = -32768;
  rig.Input.Update();
  ASSERT_TRUE(rig.Input.States.test(isUp));
  rig.Application.SetActive(false);
  rig.Input.Update();
  EXPECT_TRUE(rig.Input.States.none());
  rig.Input.ActiveOnly = false;
  rig.Input.Update();
  EXPECT_TRUE(rig.Input.States.test(isUp));
  EXPECT_TRUE(rig.Input.States.test(isLeft));
}

TEST(DXInput, StickDirectionsPassTheDeadBand) {
  struct {
    int X, Y;
    std::initializer_list<TDXInputState> On;
  } cases[] = {
      {0, 0, {}},
      {-16000, 16000, {}},  // inside half the travel: the dead band of 50
      {-20000, 0, {isLeft}},
      {32767, 0, {isRight}},
      {0, -32768, {isUp}},
      {20000, 20000, {isRight, isDown}},
  };
  for (const auto& c : cases) {
    TInputRig rig;
    rig.Pad.Present = true;
    rig.Pad.X = c.X;
    rig.Pad.Y = c.Y;
    rig.Input.Update();
    TDXInputStates expected;
    for (auto s : c.On) expected.set(s);
    EXPECT_EQ(rig.Input.States, expected) << c.X << "," << c.Y;
  }
  EXPECT_EQ(TJoystick::ScaleAxis(32767, 1000, 50), 1000);
  EXPECT_EQ(TJoystick::ScaleAxis(-32768, 1000, 50), -1000);
  EXPECT_EQ(TJoystick::ScaleAxis(100, 1000, 0), 3);
}

TEST(DXInput, ControllerButtonsActLikeTheGameKeys) {
  TInputRig rig;
  rig.Pad.Present = true;
  rig.Pad.Buttons = 1u << cbA | 1u << cbDPadLeft;
  rig.Input.Update();
  EXPECT_TRUE(rig.Input.States.test(isButton8));  // fire
  EXPECT_TRUE(rig.Input.States.test(isButton6));  // yes
  EXPECT_TRUE(rig.Input.States.test(isLeft));
  rig.Pad.Buttons = 1u << cbB | 1u << cbStart;
  rig.Input.Update();
  EXPECT_FALSE(rig.Input.States.test(isButton8));
  EXPECT_TRUE(rig.Input.States.test(isButton5));  // escape
  EXPECT_TRUE(rig.Input.States.test(isButton7));  // no
  EXPECT_TRUE(rig.Input.States.test(isButton4));  // pause
  rig.Pad.Present = false;
  rig.Input.Update();
  EXPECT_TRUE(rig.Input.States.none());
}
