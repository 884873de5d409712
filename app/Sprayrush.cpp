// The program: the main window runs until the quit question's Yes, then the companion
// files beside the game are opened.
//
//   sprayrush                 the game
//   sprayrush --replay FILE   the game, showing the replay in FILE first (Space pauses,
//                             Right plays four times faster, Escape leaves to the menu)
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/MForm.h"
#include "app/StartupData.h"
#include "game/online/GoToLink.h"
#include "game/race/Texts.h"
#include "game/replay/Playback.h"
#include "game/replay/ReplayFile.h"
#include "media/DXClass/Application.h"
#include "media/Platform/Paths.h"
#include "media/Platform/Shell.h"
#include "media/Platform/System.h"
#include "media/Platform/Text.h"

namespace {

// Starts the replay named on the command line; false, after telling the player why, when
// it cannot be shown. Status: 2 unreadable or damaged, 3 of another version of the game.
bool WatchReplayArgument(TMForm& form, const std::string& file, int& status) {
  auto tell = [&](std::string_view text, int code) {
    Platform::ShowErrorMessage(form.Application.Title, Platform::Cp1251ToUtf8(text) + "\n" + file);
    status = code;
    return false;
  };
  std::ifstream in(Platform::PathFromUtf8(file), std::ios::binary);
  if (!in) return tell(Texts::ReplayUnreadable, 2);
  try {
    StartPlayback(form, DecodeReplay(ReadReplayBytes(in)), TPlaybackView::Window);
  } catch (const EReplayDamaged&) {
    return tell(Texts::ReplayDamaged, 2);
  } catch (const EReplayVersion&) {
    return tell(Texts::ReplayOtherVersion, 3);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args = Platform::Utf8Arguments(argc, argv);
  std::string replayFile;
  if (args.size() == 3 && args[1] == "--replay") {
    replayFile = args[2];
  } else if (args.size() != 1) {
    Platform::ShowErrorMessage("Sprayrush", "usage: sprayrush [--replay FILE]");
    return 2;
  }
  Platform::TSystemLifetime system;
  TApplication application;
  application.Title = "Sprayrush";
  try {
    // The data is read while the window opens.
    auto form = std::make_unique<TMForm>(application, std::make_unique<TStartupData>());
    form->Replay.Mode = TRecordMode::Games;
    form->FormCreate();
    // Nothing is saved when the replay cannot be shown: the game has not begun.
    if (int status = 0; !replayFile.empty() && !WatchReplayArgument(*form, replayFile, status)) return status;
    application.Run();
    form->FormDestroy();
    form.reset();
  } catch (const std::exception& error) {
    // A missing or damaged data file: the player sees the library's message.
    Platform::ShowErrorMessage(application.Title, Platform::Cp1251ToUtf8(error.what()));
    return 1;
  }
  OpenPlayLink();
  std::error_code ec;
  if (std::filesystem::exists(Platform::NativePath("fscommand/wgame.exe"), ec))
    Platform::ShellOpen("fscommand/wgame.exe");
  return 0;
}
