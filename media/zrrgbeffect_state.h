// Blend state shared between the plain and the fast kernel files of the effect unit.
#pragma once
#include <cstddef>
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

namespace zr_effect {

// 32-byte (AVX2) forms of the fast kernels' block loops, used where the processor has them and
// the switch allows; each returns how many bytes or pixels it did, always a whole number of
// blocks, and the caller finishes the row. They give the same bytes as the 16-byte loops.
bool WideVectors();
void SetWideVectors(bool enabled);

std::size_t AlphaBytesWide(uint8_t* d, const uint8_t* a, const uint8_t* b, std::size_t n);
std::size_t HalfBytesWide(uint8_t* d, const uint8_t* a, const uint8_t* b, std::size_t n);
std::size_t AddBytesWide(uint8_t* d, const uint8_t* s, std::size_t n);
std::size_t SubBytesWide(uint8_t* d, const uint8_t* s, std::size_t n);
// The first n pixels of 32-bit rows through per-pixel alpha, eight at a time.
unsigned int Alpha32Wide(uint8_t* d, const uint8_t* s, const uint8_t* a, unsigned int n,
                         bool doubleWeights, bool inChannel, bool mirror);

}  // namespace zr_effect
