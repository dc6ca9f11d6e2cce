// Block copies and fills: the general memory copy the whole system uses, a backward copy for
// overlapping moves, and the pixel-row copies (mirrored, skipping a colour key, through a
// repeating bit mask) and fills for 1, 2, 3 and 4 bytes per pixel, reached through tables
// indexed by ZRBitDepth. No member reads or writes a byte outside the spans it is given.
#pragma once
#include <cstdint>

// Forward copy; overlap is allowed when dst is at or below src.
void* ZRMemcpy(void* dst, const void* src, unsigned int n);
void* ZRMemcpyS(void* dst, const void* src, unsigned int n);
// Backward copy; overlap is allowed when dst is at or above src.
void* ZRMemcpyB(void* dst, const void* src, unsigned int n);

using ZRReverseProc = void* (*)(void* dst, const void* src, unsigned int count);
using ZRKeyColorProc = void* (*)(void* dst, const void* src, unsigned int count, uint32_t key);
using ZRMaskColorProc = void* (*)(void* dst, const void* src, unsigned int count, const void* mask,
                                  unsigned int maskBits);
using ZRFillProc = void* (*)(void* dst, uint32_t value, unsigned int count);

// Mirrored copies: destination pixel i is source pixel count - 1 - i.
void* ZRMemcpyR(void* dst, const void* src, unsigned int count);
void* ZRMemcpy2R(void* dst, const void* src, unsigned int count);
void* ZRMemcpy3R(void* dst, const void* src, unsigned int count);
void* ZRMemcpy4R(void* dst, const void* src, unsigned int count);

// Copies that leave the destination pixel alone where the source pixel equals the key, compared
// at the pixel's width (a 3-byte pixel against the whole key).
void* ZRMemcpyK(void* dst, const void* src, unsigned int count, uint32_t key);
void* ZRMemcpy2K(void* dst, const void* src, unsigned int count, uint32_t key);
void* ZRMemcpy3K(void* dst, const void* src, unsigned int count, uint32_t key);
void* ZRMemcpy4K(void* dst, const void* src, unsigned int count, uint32_t key);
void* ZRMemcpyRK(void* dst, const void* src, unsigned int count, uint32_t key);
void* ZRMemcpy2RK(void* dst, const void* src, unsigned int count, uint32_t key);
void* ZRMemcpy3RK(void* dst, const void* src, unsigned int count, uint32_t key);
void* ZRMemcpy4RK(void* dst, const void* src, unsigned int count, uint32_t key);

// Copies through a bit string of maskBits bits (most significant bit first, 1 = copy) that
// starts again after its last bit. The mirrored members read the source forwards and write the
// destination from its end, the mask following the source.
void* ZRMemcpyM(void* dst, const void* src, unsigned int count, const void* mask,
                unsigned int maskBits);
void* ZRMemcpy2M(void* dst, const void* src, unsigned int count, const void* mask,
                 unsigned int maskBits);
void* ZRMemcpy3M(void* dst, const void* src, unsigned int count, const void* mask,
                 unsigned int maskBits);
void* ZRMemcpy4M(void* dst, const void* src, unsigned int count, const void* mask,
                 unsigned int maskBits);
void* ZRMemcpyRM(void* dst, const void* src, unsigned int count, const void* mask,
                 unsigned int maskBits);
void* ZRMemcpy2RM(void* dst, const void* src, unsigned int count, const void* mask,
                  unsigned int maskBits);
void* ZRMemcpy3RM(void* dst, const void* src, unsigned int count, const void* mask,
                  unsigned int maskBits);
void* ZRMemcpy4RM(void* dst, const void* src, unsigned int count, const void* mask,
                  unsigned int maskBits);

// Fills with the low 8, 16, 24 or 32 bits of value (3-byte pixels in little-endian order).
void* ZRMemset(void* dst, uint32_t value, unsigned int count);
void* ZRMemset2(void* dst, uint32_t value, unsigned int count);
void* ZRMemset3(void* dst, uint32_t value, unsigned int count);
void* ZRMemset4(void* dst, uint32_t value, unsigned int count);

extern const ZRReverseProc RGBReverseProcTable[5];
extern const ZRKeyColorProc RGBKeyColorProcTable[5];
extern const ZRKeyColorProc RGBRevKeyColorProcTable[5];
extern const ZRMaskColorProc RGBMaskColorProcTable[5];
extern const ZRMaskColorProc RGBRevMaskColorProcTable[5];
extern const ZRFillProc RGBFillProcTable[5];
