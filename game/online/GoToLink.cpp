#include "game/online/GoToLink.h"

#include <filesystem>

#include "media/Platform/Paths.h"
#include "media/Platform/Shell.h"

namespace {

TLinkOpener& LinkOpener() {
  static TLinkOpener opener;
  return opener;
}

}  // namespace

void SetLinkOpener(TLinkOpener opener) { LinkOpener() = std::move(opener); }

void OpenLink(const std::string& target) {
  if (LinkOpener())
    LinkOpener()(target);
  else
    Platform::ShellOpen(target);
}

void OpenPlayLink() {
  std::error_code ec;
  if (std::filesystem::exists(Platform::NativePath("play.url"), ec)) OpenLink("play.url");
}
