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
  bool Sending = false;   // the sending notice's request has gone out
  bool SendOver = false;  // and has its answer, as a frame's start found
  // The window was minimised while the time-over or the end of the game was up; the
  // pause it asked for comes as soon as the race can take one.
  bool PauseOwed = false;
  // The menu's ranges while the quit or clear-records question is up.
  int32_t SavedFirstButton = 0, SavedLastButton = 0, SavedHotButton = 0, SavedButtonCount = 0;
};

// Opens kind k, closing an open overlay first.
void OpenDialog(TMForm& form, uint8_t k);
// Closes the open overlay and applies its after-effects.
void CloseDialog(TMForm& form);
// Takes the open overlay away without its after-effects (a replay left halfway).
void DropDialog(TMForm& form);
void DrawDialogOverlay(TMForm& form, int32_t lagCount);

// The last life is gone: no lives left, and the game-over announcement.
void GameOverNow(TMForm& form);
// Whether a close or minimise request may put its own question over the race: not while
// the time-over announcement or the end of the game is under way.
bool RaceDialogMayBeReplaced(const TMForm& form);
