#pragma once
// The keyboard as the game sees it: Windows virtual-key codes, 0x80 = pressed.
#include <array>
#include <cstdint>

namespace Platform {

constexpr uint16_t VK_BACK = 0x08, VK_TAB = 0x09, VK_RETURN = 0x0D, VK_SHIFT = 0x10,
                   VK_CONTROL = 0x11, VK_MENU = 0x12, VK_PAUSE = 0x13, VK_CAPITAL = 0x14,
                   VK_ESCAPE = 0x1B, VK_SPACE = 0x20, VK_PRIOR = 0x21, VK_NEXT = 0x22,
                   VK_END = 0x23, VK_HOME = 0x24, VK_LEFT = 0x25, VK_UP = 0x26, VK_RIGHT = 0x27,
                   VK_DOWN = 0x28, VK_SNAPSHOT = 0x2C, VK_INSERT = 0x2D, VK_DELETE = 0x2E,
                   VK_LWIN = 0x5B, VK_RWIN = 0x5C, VK_APPS = 0x5D, VK_NUMPAD0 = 0x60,
                   VK_NUMPAD8 = 0x68, VK_MULTIPLY = 0x6A, VK_ADD = 0x6B, VK_SUBTRACT = 0x6D,
                   VK_DECIMAL = 0x6E, VK_DIVIDE = 0x6F, VK_F1 = 0x70, VK_NUMLOCK = 0x90,
                   VK_SCROLL = 0x91, VK_LSHIFT = 0xA0, VK_RSHIFT = 0xA1, VK_LCONTROL = 0xA2,
                   VK_RCONTROL = 0xA3, VK_LMENU = 0xA4, VK_RMENU = 0xA5;

using TKeyboardState = std::array<uint8_t, 256>;

// Position-based code of an SDL scancode (a key of the US layout); 0 when it has none.
uint16_t ScancodeToVirtualKey(int scancode);

// The shared code a side-specific modifier also sets (VK_LCONTROL -> VK_CONTROL), else 0.
uint16_t GenericModifierKey(uint16_t virtualKey);

// The code for a key event or the keyboard state: letter keys follow the active layout
// where it puts a Latin letter there, like the system's own key mapping.
uint16_t VirtualKeyOf(int scancode);

// Clears all 256 flags and sets 0x80 for every key held now.
void ReadKeyboardState(TKeyboardState& keys);

}  // namespace Platform
