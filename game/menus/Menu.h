#pragma once
// The main menu and the helpers every menu-like screen shares: highlight, keyboard
// navigation through the button slots, and the two halves of drawing a frame.
#include <cstdint>

class TMForm;

// Enters the main menu. Rebuild creates its sprites and starts the menu tune (program
// start, after a race); without it the sprites are still in place under a closing
// secondary screen. EntryMode 3 (after a race) opens the high scores once the intro ends.
void ShowMainMenu(TMForm& form, bool rebuild, int32_t entryMode);
void MainMenuFrame(TMForm& form, int32_t lagCount);
// Frees the main menu's sprites when a race begins.
void CloseMainMenu(TMForm& form);
// The language switch's click: the next language, every picture and text at once.
void ToggleLanguage(TMForm& form);
// A secondary screen's panel covers the switch's corner.
void HideLanguageSwitch(TMForm& form);

void UpdateButtonHighlight(TMForm& form);
void UpdateDialogButtonHighlight(TMForm& form);
void SelectNextButton(TMForm& form, bool wrap);
void SelectPreviousButton(TMForm& form, bool wrap);
void NavigateVertical(TMForm& form, bool wrap);
void NavigateHorizontal(TMForm& form, bool wrap);

// Clears the back surface, moves the sprites if asked and draws them; texts go on top
// before PresentFrame shows the picture.
void RenderFrame(TMForm& form, int32_t lagCount, bool moveSprites);
void PresentFrame(TMForm& form);

// Frees the buttons of slots first..last at once.
void FreeButtonSlots(TMForm& form, int32_t first, int32_t last);
// Frees slots 1..ButtonCount / FirstButton..LastButton at once; both leave ButtonCount 0.
void FreeButtons(TMForm& form);
void FreeDialogButtons(TMForm& form);
