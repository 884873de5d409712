#pragma once
// A fresh game under the dummy drivers, driven frame by frame with its own clock and keys.
#include <initializer_list>
#include <memory>

#include "app/MForm.h"
#include "media/DXClass/Application.h"
#include "media/DXClass/DXTimer.h"
#include "media/DXInput/DXInput.h"

struct TGameRig {
  uint32_t Now = 50000;
  Platform::TKeyboardState Held{};
  TApplication Application{[this] { return Now; }};
  std::unique_ptr<TMForm> Form;
  int Frames = 0;

  TGameRig() {
    Form = std::make_unique<TMForm>(Application);
    Form->MDXInput->Keyboard.Source = [this](Platform::TKeyboardState& keys) { keys = Held; };
    Form->MDXInput->Joystick.Source = [] { return Platform::TJoystickState{}; };
    auto frame = Form->MDXTimer->OnTimer;
    Form->MDXTimer->OnTimer = [this, frame](TDXTimer& sender, int32_t lag) {
      ++Frames;
      frame(sender, lag);
    };
  }

  void Hold(std::initializer_list<uint16_t> keys) {
    Held.fill(0);
    for (uint16_t k : keys) Held[k] = 0x80;
  }
  // Lets one frame's worth of time pass and gives the loop its idle turn.
  void Frame() {
    Now += 15;
    Application.ProcessMessages();
    Application.Idle();
  }
};
