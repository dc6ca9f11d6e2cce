// Fast forms of the per-pixel alpha kernels, tone and the alpha-plane transforms on SSE2
// registers. The single-alpha members weigh the pixels of their leading (count - 1) / 2 pairs by
// a / 256 (1 for a = 255) and the last one or two pixels by the plain weight; everything else
// gives the plain forms' bytes, except that RGBTone32_MMX tones byte 3 as well.
#include <emmintrin.h>

#include <cstddef>
#include <cstring>

#include "media/zrpixelio.h"
#include "media/zrrgbeffect.h"
#include "media/zrrgbeffect_state.h"

using namespace zr_effect;
using namespace zr_pix;

namespace {

// Exactly twelve bytes, as an 8-byte and a 4-byte access; the top four bytes are zero.
inline __m128i Load12(const uint8_t* p) {
    const __m128i lo = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
    return _mm_unpacklo_epi64(lo, _mm_cvtsi32_si128(static_cast<int>(Load32(p + 8))));
}
inline void Store12(uint8_t* p, __m128i v) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v);
    const uint32_t top = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(v, 8)));
    std::memcpy(p + 8, &top, 4);
}

enum class Weighting { Single, Double };

// 32-bit lanes of weights (one per pixel) as 16-bit multipliers whose 16-bit product with a
// channel difference has the step in its high byte.
template <Weighting W>
inline __m128i Multipliers(__m128i alpha32, uint32_t alphaBytes) {
    if constexpr (W == Weighting::Single) {
        // a for a = 0..254, 256 for a = 255
        const __m128i full = _mm_cmpeq_epi32(alpha32, _mm_set1_epi32(255));
        return _mm_sub_epi32(alpha32, full);
    } else {
        (void)alpha32;
        const uint8_t* w = g_doubleAlphaWeights;
        const __m128i k = _mm_setr_epi32(w[alphaBytes & 0xFF], w[(alphaBytes >> 8) & 0xFF],
                                         w[(alphaBytes >> 16) & 0xFF], w[alphaBytes >> 24]);
        return _mm_add_epi32(k, k);
    }
}

// D + floor((S - D) x m / 256) on blue, green and red of four 32-bit pixels; byte 3 keeps D.
// Even bytes (blue, red) and odd bytes (green, alpha) are worked in separate 16-bit words.
inline __m128i Blend4(__m128i d, __m128i s, __m128i m32) {
    const __m128i low = _mm_set1_epi16(0x00FF);
    const __m128i mEven = _mm_or_si128(m32, _mm_slli_epi32(m32, 16));
    const __m128i evenDiff = _mm_sub_epi16(_mm_and_si128(s, low), _mm_and_si128(d, low));
    const __m128i oddDiff = _mm_sub_epi16(_mm_srli_epi16(s, 8), _mm_srli_epi16(d, 8));
    const __m128i evenStep = _mm_srli_epi16(_mm_mullo_epi16(evenDiff, mEven), 8);
    const __m128i oddStep =
        _mm_and_si128(_mm_mullo_epi16(oddDiff, m32), _mm_set1_epi16(static_cast<short>(0xFF00)));
    return _mm_add_epi8(d, _mm_or_si128(evenStep, oddStep));
}

// The first n pixels of a 32-bit row, four at a time (n a multiple of 4); returns how many.
template <Weighting W, bool InChannel, bool Mirror>
unsigned int Alpha32Blocks(uint8_t* d, const uint8_t* s, const uint8_t* a, unsigned int n) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i rgbMask = _mm_set1_epi32(0x00FFFFFF);
    unsigned int i =
        WideVectors() ? Alpha32Wide(d, s, a, n, W == Weighting::Double, InChannel, Mirror) : 0;
    for (; i + 4 <= n; i += 4) {
        __m128i vs;
        uint32_t alphaBytes;
        if constexpr (Mirror) {
            vs = _mm_shuffle_epi32(Load(s - std::ptrdiff_t(i + 3) * 4), 0x1B);
        } else {
            vs = Load(s + std::size_t(i) * 4);
        }
        __m128i alpha32;
        if constexpr (InChannel) {
            alpha32 = _mm_srli_epi32(vs, 24);
            const __m128i packed = _mm_packs_epi32(alpha32, alpha32);
            alphaBytes = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(packed, packed)));
        } else {
            alphaBytes =
                Mirror ? __builtin_bswap32(Load32(a - std::ptrdiff_t(i + 3))) : Load32(a + i);
            const __m128i bytes = _mm_cvtsi32_si128(static_cast<int>(alphaBytes));
            alpha32 = _mm_unpacklo_epi16(_mm_unpacklo_epi8(bytes, zero), zero);
        }
        // Fully transparent groups, the common case around sprites, change nothing.
        if (alphaBytes == 0) continue;
        uint8_t* dp = d + std::size_t(i) * 4;
        const __m128i vd = Load(dp);
        if (W == Weighting::Single && alphaBytes == 0xFFFFFFFF) {
            Store(dp, _mm_or_si128(_mm_and_si128(vs, rgbMask), _mm_andnot_si128(rgbMask, vd)));
            continue;
        }
        Store(dp, Blend4(vd, vs, Multipliers<W>(alpha32, alphaBytes)));
    }
    return i;
}

// The first n pixels of a 24-bit row, four (twelve bytes) at a time, loaded and stored with
// exact accesses so nothing outside either row is touched. The weights are spread over the
// 3-byte stride: even bytes take w0 w0 w1 w2 w2 w3, odd bytes w0 w1 w1 w2 w3 w3; the four bytes
// above the group are zero on both sides, so their step is zero.
template <Weighting W, bool Mirror>
unsigned int Alpha24Blocks(uint8_t* d, const uint8_t* s, const uint8_t* a, unsigned int n) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i low = _mm_set1_epi16(0x00FF);
    unsigned int i = 0;
    for (; i + 4 <= n; i += 4) {
        const uint32_t alphaBytes =
            Mirror ? __builtin_bswap32(Load32(a - std::ptrdiff_t(i + 3))) : Load32(a + i);
        if (alphaBytes == 0) continue;
        uint8_t* dp = d + std::size_t(i) * 3;
        __m128i vs;
        if constexpr (Mirror) {
            alignas(16) uint8_t src4[16] = {};
            for (int p = 0; p < 4; ++p) std::memcpy(src4 + 3 * p, s - std::ptrdiff_t(i + p) * 3, 3);
            vs = _mm_load_si128(reinterpret_cast<const __m128i*>(src4));
        } else {
            vs = Load12(s + std::size_t(i) * 3);
        }
        const __m128i vd = Load12(dp);
        const __m128i bytes = _mm_cvtsi32_si128(static_cast<int>(alphaBytes));
        const __m128i m32 =
            Multipliers<W>(_mm_unpacklo_epi16(_mm_unpacklo_epi8(bytes, zero), zero), alphaBytes);
        const __m128i mw = _mm_packs_epi32(m32, zero);  // m0 m1 m2 m3 as words
        const __m128i mEven =
            _mm_or_si128(_mm_shufflelo_epi16(mw, _MM_SHUFFLE(2, 1, 0, 0)),
                         _mm_slli_si128(_mm_shufflelo_epi16(mw, _MM_SHUFFLE(3, 3, 3, 2)), 8));
        const __m128i mOdd =
            _mm_or_si128(_mm_shufflelo_epi16(mw, _MM_SHUFFLE(2, 1, 1, 0)),
                         _mm_slli_si128(_mm_shufflelo_epi16(mw, _MM_SHUFFLE(3, 3, 3, 3)), 8));
        const __m128i evenDiff = _mm_sub_epi16(_mm_and_si128(vs, low), _mm_and_si128(vd, low));
        const __m128i oddDiff = _mm_sub_epi16(_mm_srli_epi16(vs, 8), _mm_srli_epi16(vd, 8));
        const __m128i evenStep = _mm_srli_epi16(_mm_mullo_epi16(evenDiff, mEven), 8);
        const __m128i oddStep = _mm_andnot_si128(low, _mm_mullo_epi16(oddDiff, mOdd));
        Store12(dp, _mm_add_epi8(vd, _mm_or_si128(evenStep, oddStep)));
    }
    return i;
}

// The pixels before `fast` go through the block loop (whole groups of four) or one at a time
// with the fast weighting; the rest through the plain member.
template <unsigned PS, Weighting W, bool InChannel, bool Mirror, typename Plain>
void* AlphaRow(void* dst, const void* src, const void* alpha, unsigned int count, unsigned int fast,
               Plain plain) {
    uint8_t* d = static_cast<uint8_t*>(dst);
    const uint8_t* s = static_cast<const uint8_t*>(src);
    const uint8_t* a = static_cast<const uint8_t*>(alpha);
    unsigned int i;
    if constexpr (PS == 4) {
        i = Alpha32Blocks<W, InChannel, Mirror>(d, s, a, fast & ~3u);
    } else {
        i = Alpha24Blocks<W, Mirror>(d, s, a, fast & ~3u);
    }
    for (; i < fast; ++i) {
        const uint8_t* sp = Mirror ? s - std::ptrdiff_t(i) * PS : s + std::size_t(i) * PS;
        const int av = InChannel ? sp[3] : (Mirror ? a[-std::ptrdiff_t(i)] : a[i]);
        int m;
        if constexpr (W == Weighting::Single) {
            m = av == 255 ? 256 : av;
        } else {
            m = 2 * g_doubleAlphaWeights[av];
        }
        uint8_t* dp = d + std::size_t(i) * PS;
        for (int c = 0; c < 3; ++c)
            dp[c] = static_cast<uint8_t>(dp[c] + (((sp[c] - dp[c]) * m) >> 8));
    }
    if (i < count) {
        const std::ptrdiff_t off = Mirror ? -std::ptrdiff_t(i) : std::ptrdiff_t(i);
        plain(d + std::size_t(i) * PS, s + off * std::ptrdiff_t(PS), InChannel ? nullptr : a + off,
              count - i);
    }
    return dst;
}

// Single alpha: the leading pairs get the pair weighting, the last one or two pixels the plain.
inline unsigned int Paired(unsigned int count) {
    return count ? (count - 1) / 2 * 2 : 0;
}

}  // namespace

void* RGBAlphaOutChannel_MMX(void* dst, const void* src, const void* alpha, unsigned int count) {
    return AlphaRow<3, Weighting::Single, false, false>(dst, src, alpha, count, Paired(count),
                                                        RGBAlphaOutChannel);
}
void* RGBAlphaOutChannel32_MMX(void* dst, const void* src, const void* alpha, unsigned int count) {
    return AlphaRow<4, Weighting::Single, false, false>(dst, src, alpha, count, Paired(count),
                                                        RGBAlphaOutChannel32);
}
void* RGBAlphaInChannel_MMX(void* dst, const void* src, unsigned int count) {
    return AlphaRow<4, Weighting::Single, true, false>(
        dst, src, nullptr, count, Paired(count),
        [](void* d, const void* s, const void*, unsigned int n) {
            return RGBAlphaInChannel(d, s, n);
        });
}
void* RGBAlphaOutChannelR_MMX(void* dst, const void* src, const void* alpha, unsigned int count) {
    return AlphaRow<3, Weighting::Single, false, true>(dst, src, alpha, count, Paired(count),
                                                       RGBAlphaOutChannelR);
}
void* RGBAlphaOutChannelR32_MMX(void* dst, const void* src, const void* alpha, unsigned int count) {
    return AlphaRow<4, Weighting::Single, false, true>(dst, src, alpha, count, Paired(count),
                                                       RGBAlphaOutChannelR32);
}
void* RGBAlphaInChannelR_MMX(void* dst, const void* src, unsigned int count) {
    return AlphaRow<4, Weighting::Single, true, true>(
        dst, src, nullptr, count, Paired(count),
        [](void* d, const void* s, const void*, unsigned int n) {
            return RGBAlphaInChannelR(d, s, n);
        });
}

// Double alpha: twice the weight in a 16-bit product gives exactly the plain step, so the block
// loop may run over the whole row and only the last count mod 4 pixels go the plain way.
void* RGBDoubleAlphaOutChannel_MMX(void* dst, const void* src, const void* alpha,
                                   unsigned int count) {
    return AlphaRow<3, Weighting::Double, false, false>(dst, src, alpha, count, count & ~3u,
                                                        RGBDoubleAlphaOutChannel);
}
void* RGBDoubleAlphaOutChannel32_MMX(void* dst, const void* src, const void* alpha,
                                     unsigned int count) {
    return AlphaRow<4, Weighting::Double, false, false>(dst, src, alpha, count, count & ~3u,
                                                        RGBDoubleAlphaOutChannel32);
}
void* RGBDoubleAlphaInChannel_MMX(void* dst, const void* src, unsigned int count) {
    return AlphaRow<4, Weighting::Double, true, false>(
        dst, src, nullptr, count, count & ~3u,
        [](void* d, const void* s, const void*, unsigned int n) {
            return RGBDoubleAlphaInChannel(d, s, n);
        });
}
void* RGBDoubleAlphaOutChannelR_MMX(void* dst, const void* src, const void* alpha,
                                    unsigned int count) {
    return AlphaRow<3, Weighting::Double, false, true>(dst, src, alpha, count, count & ~3u,
                                                       RGBDoubleAlphaOutChannelR);
}
void* RGBDoubleAlphaOutChannelR32_MMX(void* dst, const void* src, const void* alpha,
                                      unsigned int count) {
    return AlphaRow<4, Weighting::Double, false, true>(dst, src, alpha, count, count & ~3u,
                                                       RGBDoubleAlphaOutChannelR32);
}
void* RGBDoubleAlphaInChannelR_MMX(void* dst, const void* src, unsigned int count) {
    return AlphaRow<4, Weighting::Double, true, true>(
        dst, src, nullptr, count, count & ~3u,
        [](void* d, const void* s, const void*, unsigned int n) {
            return RGBDoubleAlphaInChannelR(d, s, n);
        });
}

namespace {

// min(255, (S x f) >> 7) on sixteen bytes, f given per byte as two vectors of 16-bit factors.
inline __m128i Tone16(__m128i s, __m128i fLow, __m128i fHigh) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i lo = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(s, zero), fLow), 7);
    const __m128i hi = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(s, zero), fHigh), 7);
    return _mm_packus_epi16(lo, hi);
}

// Factor words for the 8 bytes starting at byte `first` of a run of pixels of `stride` bytes.
inline __m128i Factors(const int* f, int stride, int first) {
    alignas(16) int16_t w[8];
    for (int j = 0; j < 8; ++j) w[j] = static_cast<int16_t>(f[(first + j) % stride]);
    return _mm_load_si128(reinterpret_cast<const __m128i*>(w));
}

}  // namespace

// Sixteen pixels (48 bytes, three registers) per step, with the three factors rotated to the
// phase of each register; the rest through the plain member.
void* RGBTone24_MMX(void* dst, const void* src, uint32_t tone, unsigned int count) {
    uint8_t* d = static_cast<uint8_t*>(dst);
    const uint8_t* s = static_cast<const uint8_t*>(src);
    const int f[3] = {int(tone & 0xFF), int((tone >> 8) & 0xFF), int((tone >> 16) & 0xFF)};
    __m128i fl[3], fh[3];
    for (int r = 0; r < 3; ++r) {
        fl[r] = Factors(f, 3, 16 * r);
        fh[r] = Factors(f, 3, 16 * r + 8);
    }
    unsigned int i = 0;
    for (; i + 16 <= count; i += 16) {
        const std::size_t o = std::size_t(i) * 3;
        for (int r = 0; r < 3; ++r)
            Store(d + o + 16 * r, Tone16(Load(s + o + 16 * r), fl[r], fh[r]));
    }
    if (i < count) RGBTone24(d + std::size_t(i) * 3, s + std::size_t(i) * 3, tone, count - i);
    return dst;
}

void* RGBTone32_MMX(void* dst, const void* src, uint32_t tone, unsigned int count) {
    uint8_t* d = static_cast<uint8_t*>(dst);
    const uint8_t* s = static_cast<const uint8_t*>(src);
    const int f[4] = {int(tone & 0xFF), int((tone >> 8) & 0xFF), int((tone >> 16) & 0xFF),
                      int(tone >> 24)};
    const __m128i fv = Factors(f, 4, 0);
    unsigned int i = 0;
    for (; i + 4 <= count; i += 4) {
        const std::size_t o = std::size_t(i) * 4;
        Store(d + o, Tone16(Load(s + o), fv, fv));
    }
    for (; i < count; ++i) {
        for (int c = 0; c < 4; ++c) {
            const int v = (s[i * 4 + c] * f[c]) >> 7;
            d[i * 4 + c] = static_cast<uint8_t>(v > 255 ? 255 : v);
        }
    }
    return dst;
}

namespace {

template <typename Vec, typename Plain>
void* PlaneRow(void* dst, const void* src, int value, unsigned int count, Vec vec, Plain plain) {
    uint8_t* d = static_cast<uint8_t*>(dst);
    const uint8_t* s = static_cast<const uint8_t*>(src);
    const __m128i v = _mm_set1_epi8(static_cast<char>(value & 0xFF));
    unsigned int i = 0;
    for (; i + 16 <= count; i += 16) Store(d + i, vec(Load(s + i), v));
    if (i < count) plain(d + i, s + i, value, count - i);
    return dst;
}

}  // namespace

void* RGBExtractAlpha_MMX(void* dst, const void* src, const int value, unsigned int count) {
    return PlaneRow(
        dst, src, value, count,
        [](__m128i s, __m128i v) {
            const __m128i u =
                _mm_subs_epu8(_mm_adds_epu8(s, v), _mm_set1_epi8(static_cast<char>(240)));
            // u is below 16, so the shift cannot carry into the next byte.
            return _mm_or_si128(u, _mm_slli_epi16(u, 4));
        },
        RGBExtractAlpha);
}
void* RGBSAddAlpha_MMX(void* dst, const void* src, const int value, unsigned int count) {
    return PlaneRow(
        dst, src, value, count, [](__m128i s, __m128i v) { return _mm_adds_epu8(s, v); },
        RGBSAddAlpha);
}
void* RGBSSubAlpha_MMX(void* dst, const void* src, const int value, unsigned int count) {
    return PlaneRow(
        dst, src, value, count, [](__m128i s, __m128i v) { return _mm_subs_epu8(s, v); },
        RGBSSubAlpha);
}
