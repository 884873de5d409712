#pragma once
// Game paths are written with backslashes ("Data\Res\Res1.dxg"); this is the one place
// that turns them into the host's form and decides which folder they lie in.
//
// The player's own folders, "Data\Save" and "Data\Replays", lie below the player folder;
// everything else the game names (Data\Res, Data\Music, Fonts, Data\ScoreServer.txt, the
// companion files) is the game's read-only data and lies below the data folder.
// - Linux: both are the working folder; the installed launcher gives each player one.
// - Windows: the data lies beside the program, whatever the working folder. The player's
//   folders do too in the portable folder; the installed game, which finds the file
//   InstalledMarker beside the program (the installer writes it), keeps them in
//   %APPDATA%\Sprayrush, since Program Files is not writable.
//
// On Windows every file name goes through std::filesystem::path, whose native form is
// wide; text paths are UTF-8 and are turned into paths only by PathFromUtf8.
#include <filesystem>
#include <string>
#include <string_view>

namespace Platform {

inline constexpr std::string_view InstalledMarker = "Sprayrush.installed";

std::filesystem::path NativePath(std::string_view gamePath);

// Whether a game path lies in the player's own folders.
bool IsPlayerPath(std::string_view gamePath);

// Where the two kinds of path lie; an empty folder is the working folder.
struct TGameFolders {
  std::filesystem::path Data, Player;
};
TGameFolders GameFolders();
// For the headless runner and the tests: the built game's data and a folder of their own
// for saves, with no links and no change of the working folder.
void SetGameFolders(TGameFolders folders);
// Back to the folders the program finds by itself.
void ResetGameFolders();

// The folder of the running program.
std::filesystem::path ProgramFolder();

std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string PathToUtf8(const std::filesystem::path& path);

}  // namespace Platform
