#include "media/Platform/Events.h"

#include <SDL.h>

#include <string>

#include "media/Platform/Keyboard.h"
#include "media/Platform/Text.h"

namespace Platform {

namespace {

uint8_t ShiftOf(uint16_t mod) {
  uint8_t shift = 0;
  if (mod & KMOD_SHIFT) shift |= ssShift;
  if (mod & KMOD_ALT) shift |= ssAlt;
  if (mod & KMOD_CTRL) shift |= ssCtrl;
  return shift;
}

uint8_t MouseShift() {
  uint8_t shift = ShiftOf(uint16_t(SDL_GetModState()));
  Uint32 buttons = SDL_GetMouseState(nullptr, nullptr);
  if (buttons & SDL_BUTTON_LMASK) shift |= ssLeft;
  if (buttons & SDL_BUTTON_RMASK) shift |= ssRight;
  if (buttons & SDL_BUTTON_MMASK) shift |= ssMiddle;
  return shift;
}

uint8_t ButtonOf(Uint8 sdlButton) {
  switch (sdlButton) {
    case SDL_BUTTON_LEFT: return mbLeft;
    case SDL_BUTTON_MIDDLE: return mbMiddle;
    case SDL_BUTTON_RIGHT: return mbRight;
    default: return 0;
  }
}

// Keys that also type a control character, as the system's character messages do.
uint8_t ControlCharOf(uint16_t key, uint8_t shift) {
  if (shift & ssAlt) return 0;
  switch (key) {
    case VK_RETURN: return (shift & ssCtrl) ? 10 : 13;
    case VK_ESCAPE: return 27;
    case VK_BACK: return 8;
    case VK_TAB: return (shift & ssCtrl) ? 0 : 9;
    default: return 0;
  }
}

}  // namespace

bool TEventQueue::TakePending(TEvent& event) {
  if (Pending.empty()) return false;
  event = Pending.front();
  Pending.pop_front();
  return true;
}

// Translates one system event into zero or more of ours, queued in Pending.
static void Translate(const SDL_Event& e, std::deque<TEvent>& out) {
  TEvent ev;
  switch (e.type) {
    case SDL_QUIT:
      ev.Kind = TEventKind::Quit;
      out.push_back(ev);
      break;
    case SDL_WINDOWEVENT:
      ev.WindowId = e.window.windowID;
      switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE: ev.Kind = TEventKind::CloseRequest; break;
        case SDL_WINDOWEVENT_MINIMIZED: ev.Kind = TEventKind::Minimized; break;
        case SDL_WINDOWEVENT_RESTORED: ev.Kind = TEventKind::Restored; break;
#ifdef __EMSCRIPTEN__
        // The page's tab hidden and shown again, as a window minimised and restored.
        case SDL_WINDOWEVENT_HIDDEN: ev.Kind = TEventKind::Minimized; break;
        case SDL_WINDOWEVENT_SHOWN: ev.Kind = TEventKind::Restored; break;
#else
        case SDL_WINDOWEVENT_SHOWN:
#endif
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_MOVED:
        case SDL_WINDOWEVENT_SIZE_CHANGED:
        case SDL_WINDOWEVENT_DISPLAY_CHANGED: ev.Kind = TEventKind::Exposed; break;
        case SDL_WINDOWEVENT_FOCUS_GAINED: ev.Kind = TEventKind::Activated; break;
        case SDL_WINDOWEVENT_FOCUS_LOST: ev.Kind = TEventKind::Deactivated; break;
        default: return;
      }
      out.push_back(ev);
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      ev.WindowId = e.key.windowID;
      ev.Key = VirtualKeyOf(e.key.keysym.scancode);
      // Key messages name a modifier without its side, as the system's own do.
      if (uint16_t generic = GenericModifierKey(ev.Key)) ev.Key = generic;
      ev.Shift = ShiftOf(e.key.keysym.mod);
      ev.Repeat = e.key.repeat != 0;
      ev.Kind = e.type == SDL_KEYDOWN ? TEventKind::KeyDown : TEventKind::KeyUp;
      if (ev.Key == 0) return;
      out.push_back(ev);
      if (e.type == SDL_KEYDOWN) {
        if (uint8_t ch = ControlCharOf(ev.Key, ev.Shift)) {
          TEvent c = ev;
          c.Kind = TEventKind::Char;
          c.Char = ch;
          out.push_back(c);
        }
      }
      break;
    }
    case SDL_TEXTINPUT: {
      for (char ch : Utf8ToCp1251(e.text.text)) {
        TEvent c;
        c.Kind = TEventKind::Char;
        c.WindowId = e.text.windowID;
        c.Char = uint8_t(ch);
        out.push_back(c);
      }
      break;
    }
    case SDL_MOUSEMOTION:
      ev.Kind = TEventKind::MouseMove;
      ev.WindowId = e.motion.windowID;
      ev.X = e.motion.x;
      ev.Y = e.motion.y;
      ev.Shift = MouseShift();
      out.push_back(ev);
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      ev.Kind = e.type == SDL_MOUSEBUTTONDOWN ? TEventKind::MouseDown : TEventKind::MouseUp;
      ev.WindowId = e.button.windowID;
      ev.X = e.button.x;
      ev.Y = e.button.y;
      ev.Button = ButtonOf(e.button.button);
      ev.Clicks = e.button.clicks;
      ev.Shift = MouseShift();
      if (ev.Button == 0) return;
      out.push_back(ev);
      break;
    default:
      break;
  }
}

bool TEventQueue::Poll(TEvent& event) {
  if (TakePending(event)) return true;
  SDL_Event e;
  while (SDL_PollEvent(&e)) {
    Translate(e, Pending);
    if (TakePending(event)) return true;
  }
  return false;
}

bool TEventQueue::Wait(TEvent& event, int timeoutMs) {
  if (Poll(event)) return true;
  SDL_Event e;
  int got = timeoutMs < 0 ? SDL_WaitEvent(&e) : SDL_WaitEventTimeout(&e, timeoutMs);
  if (!got) return false;
  Translate(e, Pending);
  return TakePending(event);
}

void TEventQueue::Post(TEventKind kind, uint32_t windowId) {
  SDL_Event e{};
  if (kind == TEventKind::Quit) {
    e.type = SDL_QUIT;
  } else {
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = windowId;
    switch (kind) {
      case TEventKind::CloseRequest: e.window.event = SDL_WINDOWEVENT_CLOSE; break;
      case TEventKind::Minimized: e.window.event = SDL_WINDOWEVENT_MINIMIZED; break;
      case TEventKind::Restored: e.window.event = SDL_WINDOWEVENT_RESTORED; break;
      case TEventKind::Exposed: e.window.event = SDL_WINDOWEVENT_EXPOSED; break;
      case TEventKind::Activated: e.window.event = SDL_WINDOWEVENT_FOCUS_GAINED; break;
      case TEventKind::Deactivated: e.window.event = SDL_WINDOWEVENT_FOCUS_LOST; break;
      default: return;
    }
  }
  SDL_PushEvent(&e);
}

}  // namespace Platform
