#pragma once
// Keyboard and joystick folded into 36 on/off input states, refreshed once per frame.
#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <memory>

#include "media/Platform/GameController.h"
#include "media/Platform/Keyboard.h"

class TApplication;

enum TDXInputState : uint8_t {
  isUp, isDown, isLeft, isRight,
  isButton1, isButton2, isButton3, isButton4, isButton5, isButton6, isButton7, isButton8,
  isButton9, isButton10, isButton11, isButton12, isButton13, isButton14, isButton15,
  isButton16, isButton17, isButton18, isButton19, isButton20, isButton21, isButton22,
  isButton23, isButton24, isButton25, isButton26, isButton27, isButton28, isButton29,
  isButton30, isButton31, isButton32
};
constexpr int InputStateCount = 36;
using TDXInputStates = std::bitset<InputStateCount>;

// A device's view of the states; bound devices feed TDXInput::States.
class TCustomInput {
 public:
  virtual ~TCustomInput() = default;
  bool Enabled = true;
  bool BindInputStates = true;
  TDXInputStates States;
  // Reads the hardware; released reads every control as let go.
  virtual void Update(bool released) = 0;
};

class TKeyboard : public TCustomInput {
 public:
  using TKeyAssigns = std::array<std::array<uint32_t, 3>, InputStateCount>;
  using TSource = std::function<void(Platform::TKeyboardState&)>;

  TKeyboard();
  // Up to three virtual-key codes per state, 0 = none.
  TKeyAssigns KeyAssigns{};
  // 256 key flags, 0x80 = pressed, as of the last update.
  Platform::TKeyboardState Keys{};
  // Where the key flags come from (the system keyboard unless a test puts its own).
  TSource Source;
  void Update(bool released) override;
};

class TJoystick : public TCustomInput {
 public:
  using TSource = std::function<Platform::TJoystickState()>;
  // Controller buttons (TControllerButton bits) onto input states.
  using TButtonAssigns = std::array<TDXInputStates, Platform::cbCount>;

  TJoystick();
  int32_t ID = 0;
  bool AutoCenter = true;
  int32_t RangeX = 1000, RangeY = 1000, RangeZ = 1000;
  int32_t DeadZoneX = 50, DeadZoneY = 50, DeadZoneZ = 50;  // per cent of the half range
  TButtonAssigns ButtonAssigns{};
  // Axis positions of the last update, scaled to the ranges.
  int32_t X = 0, Y = 0, Z = 0;
  // The controller's own buttons (TControllerButton bits) of the last update.
  uint32_t Buttons = 0;
  TSource Source;
  void Update(bool released) override;

  // A raw axis value (-32768..32767) through the dead band onto -range..range.
  static int32_t ScaleAxis(int raw, int32_t range, int32_t deadZone);

 private:
  std::shared_ptr<Platform::TGameController> Controller;
};

class TDXInput {
 public:
  // application may be null: then the input counts as always in front.
  explicit TDXInput(TApplication* application);
  // While the application is not in front every device reads as released.
  bool ActiveOnly = true;
  // What the game reads; a state changes here only when its hardware changes.
  TDXInputStates States;
  TKeyboard Keyboard;
  TJoystick Joystick;
  void Update();

 private:
  TApplication* Application;
  TDXInputStates OldStates;
};
