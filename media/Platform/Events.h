#pragma once
// Window-system events in the game's terms: virtual-key codes, Windows-1251 characters,
// surface coordinates.
#include <cstdint>
#include <deque>

namespace Platform {

enum class TEventKind : uint8_t {
  None,
  Quit,          // the system asks the program to end (a signal, a session end)
  CloseRequest,  // the user closes the window
  Minimized,
  Restored,
  Exposed,       // the picture in the window was spoilt (uncovered, shown, moved, resized): paint it again
  Activated,     // the window got the keyboard focus
  Deactivated,
  KeyDown,
  KeyUp,
  Char,          // a typed character, Enter (13), Escape (27) or Backspace (8)
  MouseMove,
  MouseDown,
  MouseUp,
};

// Shift-state bits as the key and mouse handlers see them.
enum TShiftFlag : uint8_t {
  ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32, ssDouble = 64
};

enum TMouseButton : uint8_t { mbLeft = 1, mbMiddle = 2, mbRight = 3 };

struct TEvent {
  TEventKind Kind = TEventKind::None;
  uint32_t WindowId = 0;
  uint16_t Key = 0;    // KeyDown, KeyUp
  uint8_t Shift = 0;   // TShiftFlag bits
  bool Repeat = false; // KeyDown from the keyboard's auto-repeat
  uint8_t Char = 0;    // Windows-1251
  int X = 0, Y = 0;    // mouse, in surface pixels
  uint8_t Button = 0;  // TMouseButton
  uint8_t Clicks = 0;  // 2 on the second press of a double click
};

// The program's one event queue. Text input may carry several characters in one system
// event; they are handed out one by one.
class TEventQueue {
 public:
  bool Poll(TEvent& event);
  // Waits up to timeoutMs (negative: without limit) for an event.
  bool Wait(TEvent& event, int timeoutMs);
  // Puts a window event into the system queue, as the window system would.
  static void Post(TEventKind kind, uint32_t windowId);

 private:
  bool TakePending(TEvent& event);
  std::deque<TEvent> Pending;
};

}  // namespace Platform
