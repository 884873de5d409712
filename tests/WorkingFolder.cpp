// Every test program finds the game's data and the player's folders in its working
// folder, as the game does on Linux, whatever the platform: each test makes the folder
// it works in, and a rig points the data elsewhere when it needs the built game's.
#include "media/Platform/Paths.h"

namespace {

const bool InWorkingFolder = [] {
  Platform::SetGameFolders({});
  return true;
}();

}  // namespace
