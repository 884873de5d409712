#pragma once
// Files and addresses handed to the desktop to open; nothing is checked or reported.
#include <string>

// Opens a file beside the game or an address with its default handler.
void OpenLink(const std::string& target);
// Opens "play.url" if it lies beside the game.
void OpenPlayLink();
