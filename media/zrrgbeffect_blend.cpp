// Plain forms of the two-row kernels (rate blend, average, saturating sum and difference), the
// blend state they share with the fast forms, and the format-indexed tables.
#include <cstddef>
#include <cstring>

#include "media/zrpixelio.h"
#include "media/zrrgbeffect.h"
#include "media/zrrgbeffect_state.h"

namespace zr_effect {
int g_alphaRate = 0;
int8_t g_alphaTable[512] = {};
}  // namespace zr_effect

using namespace zr_effect;
using namespace zr_pix;

void SetAlphaParam(int rate) {
    if (rate < 0) rate = 0;
    if (rate > 128) rate = 128;
    for (int i = 0; i < 512; ++i) g_alphaTable[i] = static_cast<int8_t>(((i - 256) * rate) >> 7);
    g_alphaRate = rate;
}

namespace {

// Field layout of a 16-bit format: the top bit of each colour field (Tops), the bits of the
// colour fields (Fields), and the bottom bit of the field whose top bit is set in c.
struct F565 {
    static constexpr uint32_t Tops = 0x8410, Fields = 0xFFFF, HalfMask = 0xF7DE;
    static constexpr int Shift[3] = {11, 5, 0}, Width[3] = {5, 6, 5};
    static uint32_t Bottoms(uint32_t c) { return (c & 0x8010) >> 4 | (c & 0x0400) >> 5; }
};
struct F555 {
    static constexpr uint32_t Tops = 0x4210, Fields = 0x7FFF, HalfMask = 0x7BDE;
    static constexpr int Shift[3] = {10, 5, 0}, Width[3] = {5, 5, 5};
    static uint32_t Bottoms(uint32_t c) { return c >> 4; }
};
struct F4444 {
    static constexpr uint32_t Tops = 0x0888, Fields = 0x0FFF, HalfMask = 0xEEEE;
    static constexpr int Shift[3] = {8, 4, 0}, Width[3] = {4, 4, 4};
    static uint32_t Bottoms(uint32_t c) { return c >> 3; }
};

// Sets every bit of each field whose top bit is set in c.
template <typename F>
inline uint32_t Spread(uint32_t c) {
    return (c << 1) - F::Bottoms(c);
}

template <typename F>
inline uint32_t Alpha16(uint32_t a, uint32_t b) {
    const int8_t* table = AlphaTableMiddle();
    uint32_t r = 0;
    for (int f = 0; f < 3; ++f) {
        const int mask = (1 << F::Width[f]) - 1;
        const int fa = (a >> F::Shift[f]) & mask, fb = (b >> F::Shift[f]) & mask;
        r |= uint32_t((fa + table[fb - fa]) & mask) << F::Shift[f];
    }
    return r;
}

template <typename F>
inline uint32_t Half16(uint32_t a, uint32_t b) {
    return ((a & b) + (((a ^ b) & F::HalfMask) >> 1)) & 0xFFFF;
}

// Adds every field without letting a carry cross into the next one, then saturates the fields
// that carried out. Bits outside the colour fields get the plain sum of their own bits.
template <typename F>
inline uint32_t Add16(uint32_t a, uint32_t b) {
    const uint32_t h = F::Tops;
    const uint32_t t = (a & ~h) + (b & ~h);
    const uint32_t top = (a ^ b ^ t) & h;
    const uint32_t carry = ((a & b) | ((a ^ b) & t)) & h;
    return ((t & ~h) | top | Spread<F>(carry)) & 0xFFFF;
}

// Subtracts every field with its top bit lent in advance, then clears the fields that borrowed.
template <typename F>
inline uint32_t Sub16(uint32_t a, uint32_t b) {
    const uint32_t h = F::Tops;
    const uint32_t t = (a | h) - (b & ~h);
    const uint32_t top = ~(a ^ b ^ t) & h;
    const uint32_t borrow = ((~a & b) | (~(a ^ b) & ~t)) & h;
    return ((t & ~h) | top) & ~Spread<F>(borrow) & F::Fields;
}

template <typename Fn>
inline void* Rows16(void* dst, const void* a, const void* b, unsigned int count, Fn fn) {
    uint8_t* d = static_cast<uint8_t*>(dst);
    const uint8_t* pa = static_cast<const uint8_t*>(a);
    const uint8_t* pb = static_cast<const uint8_t*>(b);
    for (unsigned int i = 0; i < count; ++i) {
        const std::size_t o = std::size_t(i) * 2;
        Store16(d + o, fn(Load16(pa + o), Load16(pb + o)));
    }
    return dst;
}

inline uint32_t HalfWord(uint32_t a, uint32_t b) {
    return (a & b) + (((a ^ b) & 0xFEFEFEFE) >> 1);
}

inline uint32_t AddWord(uint32_t a, uint32_t b) {
    const uint32_t h = 0x80808080;
    const uint32_t t = (a & ~h) + (b & ~h);
    const uint32_t carry = ((a & b) | ((a ^ b) & t)) & h;
    return ((t & ~h) | ((a ^ b ^ t) & h)) | (carry >> 7) * 0xFF;
}

inline uint32_t SubWord(uint32_t a, uint32_t b) {
    const uint32_t h = 0x80808080;
    const uint32_t t = (a | h) - (b & ~h);
    const uint32_t borrow = ((~a & b) | (~(a ^ b) & ~t)) & h;
    return ((t & ~h) | (~(a ^ b ^ t) & h)) & ~((borrow >> 7) * 0xFF);
}

// A run of n bytes through a word kernel, the trailing bytes through a byte kernel.
template <typename WordFn, typename ByteFn>
inline void* ByteRows(void* dst, const void* a, const void* b, std::size_t n, WordFn word,
                      ByteFn byte) {
    uint8_t* d = static_cast<uint8_t*>(dst);
    const uint8_t* pa = static_cast<const uint8_t*>(a);
    const uint8_t* pb = static_cast<const uint8_t*>(b);
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) Store32(d + i, word(Load32(pa + i), Load32(pb + i)));
    for (; i < n; ++i) d[i] = static_cast<uint8_t>(byte(pa[i], pb[i]));
    return dst;
}

void* AlphaBytes(void* dst, const void* a, const void* b, std::size_t n) {
    const int8_t* table = AlphaTableMiddle();
    uint8_t* d = static_cast<uint8_t*>(dst);
    const uint8_t* pa = static_cast<const uint8_t*>(a);
    const uint8_t* pb = static_cast<const uint8_t*>(b);
    for (std::size_t i = 0; i < n; ++i) d[i] = static_cast<uint8_t>(pa[i] + table[pb[i] - pa[i]]);
    return dst;
}

void* HalfBytes(void* dst, const void* a, const void* b, std::size_t n) {
    return ByteRows(dst, a, b, n, HalfWord, [](uint32_t x, uint32_t y) { return (x + y) >> 1; });
}

void* AddBytes(void* dst, const void* src, std::size_t n) {
    return ByteRows(dst, dst, src, n, AddWord,
                    [](uint32_t x, uint32_t y) { return x + y > 255 ? 255 : x + y; });
}

void* SubBytes(void* dst, const void* src, std::size_t n) {
    return ByteRows(dst, dst, src, n, SubWord,
                    [](uint32_t x, uint32_t y) { return x > y ? x - y : 0; });
}

}  // namespace

void* RGBAlpha16_565(void* dst, const void* a, const void* b, unsigned int count) {
    return Rows16(dst, a, b, count, Alpha16<F565>);
}
void* RGBAlpha16_555(void* dst, const void* a, const void* b, unsigned int count) {
    return Rows16(dst, a, b, count, Alpha16<F555>);
}
void* RGBAlpha16_5551(void* dst, const void* a, const void* b, unsigned int count) {
    return Rows16(dst, a, b, count, Alpha16<F555>);
}
void* RGBAlpha16_4444(void* dst, const void* a, const void* b, unsigned int count) {
    return Rows16(dst, a, b, count, Alpha16<F4444>);
}
void* RGBAlpha24_888(void* dst, const void* a, const void* b, unsigned int count) {
    return AlphaBytes(dst, a, b, std::size_t(count) * 3);
}
void* RGBAlpha32_888(void* dst, const void* a, const void* b, unsigned int count) {
    return AlphaBytes(dst, a, b, std::size_t(count) * 4);
}
void* RGBAlpha32_8888(void* dst, const void* a, const void* b, unsigned int count) {
    return AlphaBytes(dst, a, b, std::size_t(count) * 4);
}
void* RGBAlpha8(void* dst, const void* a, const void* b, unsigned int count) {
    return AlphaBytes(dst, a, b, count);
}

void* RGBHalf16_565(void* dst, const void* a, const void* b, unsigned int count) {
    return Rows16(dst, a, b, count, Half16<F565>);
}
void* RGBHalf16_555(void* dst, const void* a, const void* b, unsigned int count) {
    return Rows16(dst, a, b, count, Half16<F555>);
}
void* RGBHalf16_5551(void* dst, const void* a, const void* b, unsigned int count) {
    return Rows16(dst, a, b, count, Half16<F555>);
}
void* RGBHalf16_4444(void* dst, const void* a, const void* b, unsigned int count) {
    return Rows16(dst, a, b, count, Half16<F4444>);
}
void* RGBHalf24_888(void* dst, const void* a, const void* b, unsigned int count) {
    return HalfBytes(dst, a, b, std::size_t(count) * 3);
}
void* RGBHalf32_888(void* dst, const void* a, const void* b, unsigned int count) {
    return HalfBytes(dst, a, b, std::size_t(count) * 4);
}
void* RGBHalf32_8888(void* dst, const void* a, const void* b, unsigned int count) {
    return HalfBytes(dst, a, b, std::size_t(count) * 4);
}
void* RGBHalf8(void* dst, const void* a, const void* b, unsigned int count) {
    return HalfBytes(dst, a, b, count);
}

void* RGBAdd16_565(void* dst, const void* src, unsigned int count) {
    return Rows16(dst, dst, src, count, Add16<F565>);
}
void* RGBAdd16_555(void* dst, const void* src, unsigned int count) {
    return Rows16(dst, dst, src, count, Add16<F555>);
}
void* RGBAdd16_5551(void* dst, const void* src, unsigned int count) {
    return Rows16(dst, dst, src, count, Add16<F555>);
}
void* RGBAdd16_4444(void* dst, const void* src, unsigned int count) {
    return Rows16(dst, dst, src, count, Add16<F4444>);
}
void* RGBAdd24_888(void* dst, const void* src, unsigned int count) {
    return AddBytes(dst, src, std::size_t(count) * 3);
}
void* RGBAdd32_888(void* dst, const void* src, unsigned int count) {
    return AddBytes(dst, src, std::size_t(count) * 4);
}
void* RGBAdd32_8888(void* dst, const void* src, unsigned int count) {
    return AddBytes(dst, src, std::size_t(count) * 4);
}

void* RGBSub16_565(void* dst, const void* src, unsigned int count) {
    return Rows16(dst, dst, src, count, Sub16<F565>);
}
void* RGBSub16_555(void* dst, const void* src, unsigned int count) {
    return Rows16(dst, dst, src, count, Sub16<F555>);
}
void* RGBSub16_5551(void* dst, const void* src, unsigned int count) {
    return Rows16(dst, dst, src, count, Sub16<F555>);
}
void* RGBSub16_4444(void* dst, const void* src, unsigned int count) {
    return Rows16(dst, dst, src, count, Sub16<F4444>);
}
void* RGBSub24_888(void* dst, const void* src, unsigned int count) {
    return SubBytes(dst, src, std::size_t(count) * 3);
}
void* RGBSub32_888(void* dst, const void* src, unsigned int count) {
    return SubBytes(dst, src, std::size_t(count) * 4);
}
void* RGBSub32_8888(void* dst, const void* src, unsigned int count) {
    return SubBytes(dst, src, std::size_t(count) * 4);
}

const ZRBlendProc RGBAlphaProcTable[8] = {nullptr,         RGBAlpha16_565,  RGBAlpha16_555,
                                          RGBAlpha16_5551, RGBAlpha16_4444, RGBAlpha24_888,
                                          RGBAlpha32_888,  RGBAlpha32_8888};
const ZRBlendProc RGBAlphaMMXProcTable[8] = {
    nullptr,         RGBAlpha16_565,     RGBAlpha16_555,     RGBAlpha16_5551,
    RGBAlpha16_4444, RGBAlpha24_888_MMX, RGBAlpha32_888_MMX, RGBAlpha32_8888_MMX};
const ZRBlendProc RGBHalfProcTable[8] = {nullptr,        RGBHalf16_565,  RGBHalf16_555,
                                         RGBHalf16_5551, RGBHalf16_4444, RGBHalf24_888,
                                         RGBHalf32_888,  RGBHalf32_8888};
const ZRBlendProc RGBHalfMMXProcTable[8] = {nullptr,           RGBHalf16_565,     RGBHalf16_555,
                                            RGBHalf16_5551,    RGBHalf16_4444,    RGBHalf24_888_MMX,
                                            RGBHalf32_888_MMX, RGBHalf32_8888_MMX};
const ZRCombineProc RGBAddProcTable[8] = {nullptr,       RGBAdd16_565, RGBAdd16_555, RGBAdd16_5551,
                                          RGBAdd16_4444, RGBAdd24_888, RGBAdd32_888, RGBAdd32_8888};
const ZRCombineProc RGBAddMMXProcTable[8] = {nullptr,          RGBAdd16_565,     RGBAdd16_555,
                                             RGBAdd16_5551,    RGBAdd16_4444,    RGBAdd24_888_MMX,
                                             RGBAdd32_888_MMX, RGBAdd32_8888_MMX};
const ZRCombineProc RGBSubProcTable[8] = {nullptr,       RGBSub16_565, RGBSub16_555, RGBSub16_5551,
                                          RGBSub16_4444, RGBSub24_888, RGBSub32_888, RGBSub32_8888};
const ZRCombineProc RGBSubMMXProcTable[8] = {nullptr,          RGBSub16_565,     RGBSub16_555,
                                             RGBSub16_5551,    RGBSub16_4444,    RGBSub24_888_MMX,
                                             RGBSub32_888_MMX, RGBSub32_8888_MMX};
