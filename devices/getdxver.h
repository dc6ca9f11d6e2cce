// The display-library version probe: which release of the display, input and music
// interfaces the machine offers, tried in the order the releases introduced them. The
// answers come from the display service; the start-up refuses to run below 0x800.
#pragma once
#include <cstdint>

// 0, 0x100, 0x200, 0x300, 0x500, 0x600, 0x601, 0x700 or 0x800: major version in the high
// byte, minor in the low one.
uint32_t GetDXVersion();
