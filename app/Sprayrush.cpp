// The program: the main window runs until the quit question's Yes, then the companion
// files beside the game are opened. In the browser the page runs it a frame at a time.
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
#include "app/StartupData.h"
#include "game/online/GoToLink.h"
#include "game/language/Language.h"
#include "game/persist/HighScores.h"
#include "game/replay/Playback.h"
#include "game/replay/ReplayFile.h"
#include "media/DXClass/Application.h"
#include "media/Platform/MainLoop.h"
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

// What the save files would hold now.
std::string PlayerData(const TMForm& form) {
  const TGameOptions& o = form.Options;
  std::string data = {char('0' + o.FullScreen), char('0' + o.MusicOn), char('0' + o.SoundOn)};
  data += o.AddInfo + '\n';
  for (const THighScore& entry : form.HighScoreTable.HighScores)
    data += entry.Name + '\n' + std::to_string(entry.Points) + ' ' + std::to_string(entry.Extra1) + ' ' +
            std::to_string(entry.Extra2) + '\n';
  if (form.Language.Chosen) data += LanguageCode(form.Language.Current);
  return data;
}

// The page outlives main: the game's objects live on and the page runs a frame at a
// time. A page is closed without a word, so the player's files are saved whenever they
// change rather than at the end (the same bytes); the quit question's Yes ends the game
// in the page, which then offers to start it again.
int RunInPage(const std::string& replayFile, std::optional<TLanguage> language) {
  new Platform::TSystemLifetime;  // for the page's life
  auto* application = new TApplication;
  application->Title = "Sprayrush";
  TMForm* form = nullptr;
  try {
    form = new TMForm(*application);
    form->Replay.Mode = TRecordMode::Games;
    if (language) SetLanguage(*form, *language);
    form->FormCreate();
    // A replay that cannot be shown has been told of; the game goes on to its menu.
    if (int status = 0; !replayFile.empty()) WatchReplayArgument(*form, replayFile, status);
  } catch (const std::exception& error) {
    Platform::ShowErrorMessage(application->Title, Platform::Cp1251ToUtf8(error.what()));
    return 1;
  }
  form->Show();
  Platform::RunDisplayFrames([application, form, saved = std::string(), spoken = std::string_view()]() mutable {
    try {
      application->AnimationFrame();
      if (const std::string_view code = LanguageCode(form->Language.Current); code != spoken)
        Platform::PageLanguage(spoken = code);
      if (application->Terminated()) {
        form->FormDestroy();
        Platform::GameEnded();
        return false;
      }
      if (Watching(*form)) return true;
      if (std::string now = PlayerData(*form); now != saved) {
        form->SavePlayerFiles();
        saved = std::move(now);
      }
      return true;
    } catch (const std::exception& error) {
      Platform::ShowErrorMessage(application->Title, Platform::Cp1251ToUtf8(error.what()));
      Platform::GameEnded();
      return false;
    }
  });
  return 0;
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
  if (Platform::InBrowser()) return RunInPage(replayFile, language);
  Platform::TSystemLifetime system;
  TApplication application;
  application.Title = "Sprayrush";
  try {
    // The data is read while the window opens.
    auto form = std::make_unique<TMForm>(application, std::make_unique<TStartupData>());
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
