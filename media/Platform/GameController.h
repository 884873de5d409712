#pragma once
// The first game controller plugged in, read as one joystick.
#include <cstdint>

namespace Platform {

// Buttons in the controller's standard layout; bit i of TJoystickState::Buttons.
enum TControllerButton : uint8_t {
  cbA, cbB, cbX, cbY, cbBack, cbGuide, cbStart, cbLeftStick, cbRightStick,
  cbLeftShoulder, cbRightShoulder, cbDPadUp, cbDPadDown, cbDPadLeft, cbDPadRight,
  cbCount
};

struct TJoystickState {
  bool Present = false;
  int X = 0, Y = 0, Z = 0;  // left stick and left trigger, -32768..32767, Y down positive
  uint32_t Buttons = 0;
};

class TGameController {
 public:
  TGameController();
  ~TGameController();
  TGameController(const TGameController&) = delete;
  TGameController& operator=(const TGameController&) = delete;

  // Opens a controller when one has been plugged in since the last read.
  TJoystickState Read();

 private:
  void* Controller = nullptr;
  bool Started = false;
};

}  // namespace Platform
