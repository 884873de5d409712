// The program: the main window runs until the quit question's Yes, then the companion
// files beside the game are opened.
//
//   sprayrush                   the game
//   sprayrush --replay FILE     the game, showing the replay in FILE first (Space pauses,
//                               Right plays four times faster, Escape leaves to the menu)
//   sprayrush --language en|ru  the game in English or Russian, from now on (as the main
//                               menu's switch); with --replay too
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/MForm.h"
#include "game/online/GoToLink.h"
#include "game/language/Language.h"
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
  const TTexts& texts = Texts(form);
  auto tell = [&](std::string_view text, int code) {
    Platform::ShowErrorMessage(form.Application.Title, Platform::Cp1251ToUtf8(text) + "\n" + file);
    status = code;
    return false;
  };
  std::ifstream in(Platform::PathFromUtf8(file), std::ios::binary);
  if (!in) return tell(texts.ReplayUnreadable, 2);
  try {
    StartPlayback(form, DecodeReplay(ReadReplayBytes(in)), TPlaybackView::Window);
  } catch (const EReplayDamaged&) {
    return tell(texts.ReplayDamaged, 2);
  } catch (const EReplayVersion&) {
    return tell(texts.ReplayOtherVersion, 3);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args = Platform::Utf8Arguments(argc, argv);
  std::string replayFile;
  std::optional<TLanguage> language;
  for (size_t i = 1; i < args.size(); i += 2) {
    const bool hasValue = i + 1 < args.size() && !args[i + 1].empty();
    if (args[i] == "--replay" && hasValue && replayFile.empty()) {
      replayFile = args[i + 1];
    } else if (args[i] == "--language" && hasValue && !language && LanguageOfCode(args[i + 1])) {
      language = LanguageOfCode(args[i + 1]);
    } else {
      Platform::ShowErrorMessage("Sprayrush", "usage: sprayrush [--language en|ru] [--replay FILE]");
      return 2;
    }
  }
  Platform::TSystemLifetime system;
  TApplication application;
  application.Title = "Sprayrush";
  try {
    auto form = std::make_unique<TMForm>(application);
    form->Replay.Mode = TRecordMode::Games;
    if (language) SetLanguage(*form, *language);
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
