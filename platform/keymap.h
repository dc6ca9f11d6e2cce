// Key codes the input unit indexes its key-state arrays with, from SDL's physical key
// positions: the keyboard scan code of set 1 (extended keys with bit 7 set, as the input
// layer numbers them) and the virtual-key code of the system key-state array.
#pragma once
#include <cstdint>

namespace plat {

// 0 for an SDL scancode that has no code of that kind.
uint8_t ScanCodeFromSdl(int sdlScancode);
uint8_t VirtualKeyFromSdl(int sdlScancode);

// The character a key press types with the given SDL modifiers, on the US layout (letters
// follow Shift and Caps Lock, the keypad's digits Num Lock), or 0 when it types none (with
// Ctrl or Alt held, or a key that is no character). Characters come from key presses
// because the window keeps text composition off.
char TypedCharacter(int32_t sdlKeycode, uint16_t sdlMod);

// Virtual keys that stand for either side of a modifier.
constexpr uint8_t kVkShift = 0x10;
constexpr uint8_t kVkControl = 0x11;
constexpr uint8_t kVkAlt = 0x12;

}  // namespace plat
