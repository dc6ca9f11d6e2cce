// Fast forms of the two-row kernels for byte rows (24- and 32-bit pixels, 8-bit planes), on SSE2
// registers of 16 bytes; every result byte equals the plain form's.
#include <emmintrin.h>

#include <cstddef>
#include <cstring>

#include "media/zrpixelio.h"
#include "media/zrrgbeffect.h"
#include "media/zrrgbeffect_state.h"

using namespace zr_effect;
using namespace zr_pix;

namespace {

// A + floor((B - A) x rate / 128) mod 256 per byte: the difference times twice the rate as a
// 16-bit product, whose high byte is the step modulo 256. Even and odd bytes go in separate
// words so no unpacking is needed.
void* AlphaBytes(void* dst, const void* a, const void* b, std::size_t n) {
    uint8_t* d = static_cast<uint8_t*>(dst);
    const uint8_t* pa = static_cast<const uint8_t*>(a);
    const uint8_t* pb = static_cast<const uint8_t*>(b);
    const __m128i rate2 = _mm_set1_epi16(static_cast<short>(g_alphaRate * 2));
    const __m128i low = _mm_set1_epi16(0x00FF);
    const __m128i high = _mm_set1_epi16(static_cast<short>(0xFF00));
    std::size_t i = WideVectors() ? AlphaBytesWide(d, pa, pb, n) : 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i va = Load(pa + i), vb = Load(pb + i);
        const __m128i evenDiff = _mm_sub_epi16(_mm_and_si128(vb, low), _mm_and_si128(va, low));
        const __m128i oddDiff = _mm_sub_epi16(_mm_srli_epi16(vb, 8), _mm_srli_epi16(va, 8));
        const __m128i evenStep = _mm_srli_epi16(_mm_mullo_epi16(evenDiff, rate2), 8);
        const __m128i oddStep = _mm_and_si128(_mm_mullo_epi16(oddDiff, rate2), high);
        Store(d + i, _mm_add_epi8(va, _mm_or_si128(evenStep, oddStep)));
    }
    const int8_t* table = AlphaTableMiddle();
    for (; i < n; ++i) d[i] = static_cast<uint8_t>(pa[i] + table[pb[i] - pa[i]]);
    return dst;
}

// floor((A + B) / 2): the rounded-up average less the bit the rounding added.
void* HalfBytes(void* dst, const void* a, const void* b, std::size_t n) {
    uint8_t* d = static_cast<uint8_t*>(dst);
    const uint8_t* pa = static_cast<const uint8_t*>(a);
    const uint8_t* pb = static_cast<const uint8_t*>(b);
    const __m128i one = _mm_set1_epi8(1);
    std::size_t i = WideVectors() ? HalfBytesWide(d, pa, pb, n) : 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i va = Load(pa + i), vb = Load(pb + i);
        const __m128i odd = _mm_and_si128(_mm_xor_si128(va, vb), one);
        Store(d + i, _mm_sub_epi8(_mm_avg_epu8(va, vb), odd));
    }
    for (; i < n; ++i) d[i] = static_cast<uint8_t>((pa[i] + pb[i]) >> 1);
    return dst;
}

void* AddBytes(void* dst, const void* src, std::size_t n) {
    uint8_t* d = static_cast<uint8_t*>(dst);
    const uint8_t* s = static_cast<const uint8_t*>(src);
    std::size_t i = WideVectors() ? AddBytesWide(d, s, n) : 0;
    for (; i + 16 <= n; i += 16) Store(d + i, _mm_adds_epu8(Load(d + i), Load(s + i)));
    for (; i < n; ++i) {
        const unsigned v = d[i] + s[i];
        d[i] = static_cast<uint8_t>(v > 255 ? 255 : v);
    }
    return dst;
}

void* SubBytes(void* dst, const void* src, std::size_t n) {
    uint8_t* d = static_cast<uint8_t*>(dst);
    const uint8_t* s = static_cast<const uint8_t*>(src);
    std::size_t i = WideVectors() ? SubBytesWide(d, s, n) : 0;
    for (; i + 16 <= n; i += 16) Store(d + i, _mm_subs_epu8(Load(d + i), Load(s + i)));
    for (; i < n; ++i) d[i] = static_cast<uint8_t>(d[i] > s[i] ? d[i] - s[i] : 0);
    return dst;
}

}  // namespace

void* RGBAlpha24_888_MMX(void* dst, const void* a, const void* b, unsigned int count) {
    return AlphaBytes(dst, a, b, std::size_t(count) * 3);
}
void* RGBAlpha32_888_MMX(void* dst, const void* a, const void* b, unsigned int count) {
    return AlphaBytes(dst, a, b, std::size_t(count) * 4);
}
void* RGBAlpha32_8888_MMX(void* dst, const void* a, const void* b, unsigned int count) {
    return AlphaBytes(dst, a, b, std::size_t(count) * 4);
}
void* RGBAlpha8_MMX(void* dst, const void* a, const void* b, unsigned int count) {
    return AlphaBytes(dst, a, b, count);
}

void* RGBHalf24_888_MMX(void* dst, const void* a, const void* b, unsigned int count) {
    return HalfBytes(dst, a, b, std::size_t(count) * 3);
}
void* RGBHalf32_888_MMX(void* dst, const void* a, const void* b, unsigned int count) {
    return HalfBytes(dst, a, b, std::size_t(count) * 4);
}
void* RGBHalf32_8888_MMX(void* dst, const void* a, const void* b, unsigned int count) {
    return HalfBytes(dst, a, b, std::size_t(count) * 4);
}
void* RGBHalf8_MMX(void* dst, const void* a, const void* b, unsigned int count) {
    return HalfBytes(dst, a, b, count);
}

void* RGBAdd24_888_MMX(void* dst, const void* src, unsigned int count) {
    return AddBytes(dst, src, std::size_t(count) * 3);
}
void* RGBAdd32_888_MMX(void* dst, const void* src, unsigned int count) {
    return AddBytes(dst, src, std::size_t(count) * 4);
}
void* RGBAdd32_8888_MMX(void* dst, const void* src, unsigned int count) {
    return AddBytes(dst, src, std::size_t(count) * 4);
}

void* RGBSub24_888_MMX(void* dst, const void* src, unsigned int count) {
    return SubBytes(dst, src, std::size_t(count) * 3);
}
void* RGBSub32_888_MMX(void* dst, const void* src, unsigned int count) {
    return SubBytes(dst, src, std::size_t(count) * 4);
}
void* RGBSub32_8888_MMX(void* dst, const void* src, unsigned int count) {
    return SubBytes(dst, src, std::size_t(count) * 4);
}
