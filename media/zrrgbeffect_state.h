// Blend state shared between the plain and the fast kernel files of the effect unit.
#pragma once
#include <cstdint>

namespace zr_effect {

// Rate of the Alpha family, 0-128.
extern int g_alphaRate;
// Entry d + 256 holds floor(d x rate / 128) truncated to 8 bits, for d = -256..255.
extern int8_t g_alphaTable[512];
inline const int8_t* AlphaTableMiddle() {
    return g_alphaTable + 256;
}

// Weight table of the double-alpha members: entry a = floor(a x rate / 255), 0-128.
extern const uint8_t* g_doubleAlphaWeights;

}  // namespace zr_effect
