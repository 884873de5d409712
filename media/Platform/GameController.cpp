#include "media/Platform/GameController.h"

#include <SDL.h>

namespace Platform {

TGameController::TGameController() {
  Started = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
}

TGameController::~TGameController() {
  if (Controller) SDL_GameControllerClose(static_cast<SDL_GameController*>(Controller));
  if (Started) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}

TJoystickState TGameController::Read() {
  TJoystickState state;
  if (!Started) return state;
  auto* pad = static_cast<SDL_GameController*>(Controller);
  if (pad && !SDL_GameControllerGetAttached(pad)) {
    SDL_GameControllerClose(pad);
    pad = nullptr;
  }
  if (!pad) {
    SDL_GameControllerUpdate();
    for (int i = 0, n = SDL_NumJoysticks(); i < n && !pad; ++i)
      if (SDL_IsGameController(i)) pad = SDL_GameControllerOpen(i);
  }
  Controller = pad;
  if (!pad) return state;
  state.Present = true;
  state.X = SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTX);
  state.Y = SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTY);
  state.Z = SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_TRIGGERLEFT);
  static_assert(int(cbDPadRight) == int(SDL_CONTROLLER_BUTTON_DPAD_RIGHT));
  for (int b = 0; b < cbCount; ++b)
    if (SDL_GameControllerGetButton(pad, SDL_GameControllerButton(b))) state.Buttons |= 1u << b;
  return state;
}

}  // namespace Platform
