#pragma once
// The menus' shared state: the button slots every menu-like screen fills, the hot-button
// navigation latches, the main menu's own sprites and the secondary screens' panels.
#include <array>
#include <cstdint>

class TMenuButton;
class TCaptionSprite;

// The main menu's language switch: a slot of its own, outside every range the arrow keys
// walk through and the mouse tests by ButtonCount.
constexpr int32_t LanguageSwitchSlot = 13;

struct TMenuState {
  // [1..13]: 1-6 the main menu, 7-10 a secondary screen, 11-12 a dialog's buttons,
  // 13 the language switch.
  std::array<TMenuButton*, 14> Buttons{};
  int32_t ButtonCount = 0;  // slots hit by the mouse and highlighted
  int32_t FirstButton = 0, LastButton = 0;  // the range the arrow keys move through
  bool MuteNextHoverSound = false;
  bool NavKeysReleased = false;  // one step per key press, however long it is held
  bool NavHitEdge = false;       // a step without wrap was refused at the end of the range

  TCaptionSprite* MenuCaption = nullptr;
  TCaptionSprite* UpPanelSprite = nullptr;
  TCaptionSprite* DownPanelSprite = nullptr;
  int32_t MenuIntroPhase = 0;  // 1 panels sliding, 3 buttons sliding, 0 ready
  int32_t MenuEntryMode = 0;   // 3 after a race: the high scores open once the intro ends
  int32_t ColumnSlot = 1;      // the last of slots 1-6 hot; the keys go back to it from the switch

  TCaptionSprite* BoatScreenCaption = nullptr;
  TCaptionSprite* HelpCaption = nullptr;
  TCaptionSprite* HighScoreCaption = nullptr;
  int32_t HelpPage = 1;  // 1..3
};

// The options screen's own state.
struct TOptionsScreenState {
  bool EditingAddInfo = false;
  std::array<TCaptionSprite*, 4> Captions{};  // the four option rows
  TCaptionSprite* Panel = nullptr;
  TCaptionSprite* TextCursor = nullptr;
  int32_t CursorBlinkTimer = 0;  // ms
};
