#include "game/online/GoToLink.h"

#include <filesystem>

#include "media/Platform/Paths.h"
#include "media/Platform/Shell.h"

void OpenLink(const std::string& target) { Platform::ShellOpen(target); }

void OpenPlayLink() {
  std::error_code ec;
  if (std::filesystem::exists(Platform::NativePath("play.url"), ec)) OpenLink("play.url");
}
