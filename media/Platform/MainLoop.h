#pragma once
// The browser gives a program no loop of its own: it calls the program back once per
// display frame, and the program must return to it in between.
#include <functional>
#include <string_view>

namespace Platform {

// Calls frame once per display frame until it returns false. In the browser this returns
// at once and the page goes on calling (main's end is not the program's end there); on
// the desktop the frames run here, about 60 a second.
void RunDisplayFrames(std::function<bool()> frame);

// Whether the program runs in the browser, whose page outlives main.
bool InBrowser();

// The game has ended in the page (the quit question's Yes, or an error told already):
// the page offers to start it again. Nothing to do on the desktop.
void GameEnded();

// The player's files changed (a save, a replay kept or removed): the browser copies them
// to its lasting storage once the frame has ended. Nothing to do on the desktop.
void PlayerFilesChanged();

// The page around the game speaks the game's language ("ru", "en"). Nothing to do on the
// desktop.
void PageLanguage(std::string_view code);

}  // namespace Platform
