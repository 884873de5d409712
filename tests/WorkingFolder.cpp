// Every test program finds the game's data and the player's folders in its working
// folder, as the game does on Linux, whatever the platform: each test makes the folder
// it works in, and a rig points the data elsewhere when it needs the built game's.
// None needs a display or a sound device: SDL's dummy drivers, unless the caller chose.
#include <SDL.h>

#include "media/Platform/Paths.h"

namespace {

const bool InWorkingFolder = [] {
  Platform::SetGameFolders({});
  SDL_setenv("SDL_VIDEODRIVER", "dummy", 0);
  SDL_setenv("SDL_AUDIODRIVER", "dummy", 0);
  return true;
}();

}  // namespace
