// The program: the main window runs until the quit question's Yes, then the companion
// files beside the game are opened.
#include <exception>
#include <filesystem>
#include <memory>

#include "app/MForm.h"
#include "game/online/GoToLink.h"
#include "media/DXClass/Application.h"
#include "media/Platform/Paths.h"
#include "media/Platform/Shell.h"
#include "media/Platform/System.h"
#include "media/Platform/Text.h"

int main() {
  Platform::TSystemLifetime system;
  TApplication application;
  application.Title = "Sprayrush";
  try {
    auto form = std::make_unique<TMForm>(application);
    form->FormCreate();
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
