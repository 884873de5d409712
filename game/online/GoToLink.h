#pragma once
// Files and addresses handed to the desktop to open; nothing is checked or reported.
#include <functional>
#include <string>

// Opens a file beside the game or an address with its default handler.
void OpenLink(const std::string& target);
// Opens "play.url" if it lies beside the game.
void OpenPlayLink();

// Who opens links: the desktop unless a test listens instead; an empty one restores it.
using TLinkOpener = std::function<void(const std::string& target)>;
void SetLinkOpener(TLinkOpener opener);
