#include "media/DXInput/DXInput.h"

#include <cstdlib>

#include "media/DXClass/Application.h"

TKeyboard::TKeyboard() : Source(Platform::ReadKeyboardState) {}

void TKeyboard::Update(bool released) {
  Keys.fill(0);
  if (!released && Source) Source(Keys);
  States.reset();
  for (int i = 0; i < InputStateCount; ++i)
    for (uint32_t key : KeyAssigns[i])
      if (key >= 1 && key <= 255 && (Keys[key] & 0x80)) States.set(i);
}

TJoystick::TJoystick() {
  // A controller held like a keyboard player's hands: the main button fires and answers
  // Yes, the second leaves and answers No, Start pauses.
  ButtonAssigns[Platform::cbA].set(isButton8).set(isButton6);
  ButtonAssigns[Platform::cbX].set(isButton8);
  ButtonAssigns[Platform::cbB].set(isButton5).set(isButton7);
  ButtonAssigns[Platform::cbStart].set(isButton4);
  ButtonAssigns[Platform::cbDPadUp].set(isUp);
  ButtonAssigns[Platform::cbDPadDown].set(isDown);
  ButtonAssigns[Platform::cbDPadLeft].set(isLeft);
  ButtonAssigns[Platform::cbDPadRight].set(isRight);
  Source = [this] {
    // Opening the controller subsystem costs a device scan; do it only when read.
    if (!Controller) Controller = std::make_shared<Platform::TGameController>();
    return Controller->Read();
  };
}

int32_t TJoystick::ScaleAxis(int raw, int32_t range, int32_t deadZone) {
  // Centre c of the unsigned span, offset from it, dead band as a share of c.
  const int64_t c = 65535 / 2;
  const int64_t o = int64_t(raw) + 32768 - c;
  const int64_t d = int64_t(deadZone) * c / 100;
  if (std::llabs(o) <= d || c <= d) return 0;
  return int32_t((o < 0 ? o + d : o - d) * range / (c - d));
}

void TJoystick::Update(bool released) {
  States.reset();
  X = Y = Z = 0;
  Buttons = 0;
  if (released || !Source) return;
  const Platform::TJoystickState pad = Source();
  if (!pad.Present) return;
  Buttons = pad.Buttons;
  X = ScaleAxis(pad.X, RangeX, DeadZoneX);
  Y = ScaleAxis(pad.Y, RangeY, DeadZoneY);
  Z = ScaleAxis(pad.Z, RangeZ, DeadZoneZ);
  if (X < 0) States.set(isLeft);
  if (X > 0) States.set(isRight);
  if (Y < 0) States.set(isUp);
  if (Y > 0) States.set(isDown);
  for (int b = 0; b < Platform::cbCount; ++b)
    if (pad.Buttons & (1u << b)) States |= ButtonAssigns[b];
}

TDXInput::TDXInput(TApplication* application) : Application(application) {}

void TDXInput::Update() {
  const bool released = ActiveOnly && Application && !Application->Active();
  TDXInputStates now;
  for (TCustomInput* device : {static_cast<TCustomInput*>(&Keyboard), static_cast<TCustomInput*>(&Joystick)}) {
    if (!device->Enabled) continue;
    device->Update(released);
    if (device->BindInputStates) now |= device->States;
  }
  // Only changes of the hardware reach States.
  States |= now & ~OldStates;
  States &= ~(OldStates & ~now);
  OldStates = now;
}
