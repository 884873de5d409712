#pragma once
// The modal overlays drawn into the game's own surface: announcements, questions with
// Yes/No buttons, the name entry. At most one is open; its code is ActiveDialog.
#include <array>
#include <cstdint>

class TMForm;
class TCaptionSprite;

struct TDialogState {
  int32_t DialogTimer = 0;       // ms left of a timed overlay
  int32_t CursorBlinkTimer = 0;  // ms until the name-entry cursor toggles
  TCaptionSprite* Window = nullptr;
  TCaptionSprite* TextCursor = nullptr;
  // The menu's ranges while the quit or clear-records question is up.
  int32_t SavedFirstButton = 0, SavedLastButton = 0, SavedHotButton = 0, SavedButtonCount = 0;
};

// Opens kind k, closing an open overlay first.
void OpenDialog(TMForm& form, uint8_t k);
// Closes the open overlay and applies its after-effects.
void CloseDialog(TMForm& form);
void DrawDialogOverlay(TMForm& form, int32_t lagCount);
