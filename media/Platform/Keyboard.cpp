#include "media/Platform/Keyboard.h"

#include <SDL.h>

namespace Platform {

namespace {

struct TScancodeRange {
  int First, Last;
  uint16_t FirstKey;
};

// Runs of scancodes whose codes are consecutive too.
constexpr TScancodeRange Ranges[] = {
    {SDL_SCANCODE_A, SDL_SCANCODE_Z, 'A'},
    {SDL_SCANCODE_1, SDL_SCANCODE_9, '1'},
    {SDL_SCANCODE_F1, SDL_SCANCODE_F12, VK_F1},
    {SDL_SCANCODE_F13, SDL_SCANCODE_F24, VK_F1 + 12},
    {SDL_SCANCODE_KP_1, SDL_SCANCODE_KP_9, VK_NUMPAD0 + 1},
};

struct TScancodeKey {
  int Scancode;
  uint16_t Key;
};

constexpr TScancodeKey Singles[] = {
    {SDL_SCANCODE_0, '0'},
    {SDL_SCANCODE_RETURN, VK_RETURN},
    {SDL_SCANCODE_ESCAPE, VK_ESCAPE},
    {SDL_SCANCODE_BACKSPACE, VK_BACK},
    {SDL_SCANCODE_TAB, VK_TAB},
    {SDL_SCANCODE_SPACE, VK_SPACE},
    {SDL_SCANCODE_MINUS, 0xBD},
    {SDL_SCANCODE_EQUALS, 0xBB},
    {SDL_SCANCODE_LEFTBRACKET, 0xDB},
    {SDL_SCANCODE_RIGHTBRACKET, 0xDD},
    {SDL_SCANCODE_BACKSLASH, 0xDC},
    {SDL_SCANCODE_NONUSHASH, 0xDC},
    {SDL_SCANCODE_SEMICOLON, 0xBA},
    {SDL_SCANCODE_APOSTROPHE, 0xDE},
    {SDL_SCANCODE_GRAVE, 0xC0},
    {SDL_SCANCODE_COMMA, 0xBC},
    {SDL_SCANCODE_PERIOD, 0xBE},
    {SDL_SCANCODE_SLASH, 0xBF},
    {SDL_SCANCODE_NONUSBACKSLASH, 0xE2},
    {SDL_SCANCODE_CAPSLOCK, VK_CAPITAL},
    {SDL_SCANCODE_PRINTSCREEN, VK_SNAPSHOT},
    {SDL_SCANCODE_SCROLLLOCK, VK_SCROLL},
    {SDL_SCANCODE_PAUSE, VK_PAUSE},
    {SDL_SCANCODE_INSERT, VK_INSERT},
    {SDL_SCANCODE_HOME, VK_HOME},
    {SDL_SCANCODE_PAGEUP, VK_PRIOR},
    {SDL_SCANCODE_DELETE, VK_DELETE},
    {SDL_SCANCODE_END, VK_END},
    {SDL_SCANCODE_PAGEDOWN, VK_NEXT},
    {SDL_SCANCODE_RIGHT, VK_RIGHT},
    {SDL_SCANCODE_LEFT, VK_LEFT},
    {SDL_SCANCODE_DOWN, VK_DOWN},
    {SDL_SCANCODE_UP, VK_UP},
    {SDL_SCANCODE_NUMLOCKCLEAR, VK_NUMLOCK},
    {SDL_SCANCODE_KP_DIVIDE, VK_DIVIDE},
    {SDL_SCANCODE_KP_MULTIPLY, VK_MULTIPLY},
    {SDL_SCANCODE_KP_MINUS, VK_SUBTRACT},
    {SDL_SCANCODE_KP_PLUS, VK_ADD},
    {SDL_SCANCODE_KP_ENTER, VK_RETURN},
    {SDL_SCANCODE_KP_0, VK_NUMPAD0},
    {SDL_SCANCODE_KP_PERIOD, VK_DECIMAL},
    {SDL_SCANCODE_APPLICATION, VK_APPS},
    {SDL_SCANCODE_LCTRL, VK_LCONTROL},
    {SDL_SCANCODE_LSHIFT, VK_LSHIFT},
    {SDL_SCANCODE_LALT, VK_LMENU},
    {SDL_SCANCODE_LGUI, VK_LWIN},
    {SDL_SCANCODE_RCTRL, VK_RCONTROL},
    {SDL_SCANCODE_RSHIFT, VK_RSHIFT},
    {SDL_SCANCODE_RALT, VK_RMENU},
    {SDL_SCANCODE_RGUI, VK_RWIN},
};

}  // namespace

uint16_t ScancodeToVirtualKey(int scancode) {
  for (const auto& r : Ranges)
    if (scancode >= r.First && scancode <= r.Last) return uint16_t(r.FirstKey + (scancode - r.First));
  for (const auto& s : Singles)
    if (s.Scancode == scancode) return s.Key;
  return 0;
}

uint16_t GenericModifierKey(uint16_t virtualKey) {
  switch (virtualKey) {
    case VK_LSHIFT:
    case VK_RSHIFT: return VK_SHIFT;
    case VK_LCONTROL:
    case VK_RCONTROL: return VK_CONTROL;
    case VK_LMENU:
    case VK_RMENU: return VK_MENU;
    default: return 0;
  }
}

uint16_t VirtualKeyOf(int scancode) {
  uint16_t key = ScancodeToVirtualKey(scancode);
  if (key >= 'A' && key <= 'Z') {
    SDL_Keycode code = SDL_GetKeyFromScancode(SDL_Scancode(scancode));
    if (code >= SDLK_a && code <= SDLK_z) return uint16_t('A' + (code - SDLK_a));
  }
  return key;
}

void ReadKeyboardState(TKeyboardState& keys) {
  keys.fill(0);
  int count = 0;
  const Uint8* state = SDL_GetKeyboardState(&count);
  if (!state) return;
  for (int sc = 0; sc < count; ++sc) {
    if (!state[sc]) continue;
    uint16_t key = VirtualKeyOf(sc);
    if (key == 0 || key > 255) continue;
    keys[key] = 0x80;
    if (uint16_t generic = GenericModifierKey(key)) keys[generic] = 0x80;
  }
}

}  // namespace Platform
