// 32-byte (AVX2) block loops of the fast kernels, compiled for AVX2 function by function and
// entered only when the processor has it; the same arithmetic as the 16-byte loops.
#include <immintrin.h>

#include <atomic>
#include <cstring>

#include "media/zrcpuid.h"
#include "media/zrrgbeffect_state.h"

#define ZR_WIDE __attribute__((target("avx2")))

namespace zr_effect {

namespace {
std::atomic<bool> g_wide{ProcessorHasAvx2()};
}

bool WideVectors() {
    return g_wide.load(std::memory_order_relaxed);
}
void SetWideVectors(bool enabled) {
    g_wide.store(enabled && ProcessorHasAvx2(), std::memory_order_relaxed);
}

namespace {

ZR_WIDE inline __m256i Load(const uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
ZR_WIDE inline void Store(uint8_t* p, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

}  // namespace

ZR_WIDE std::size_t AlphaBytesWide(uint8_t* d, const uint8_t* a, const uint8_t* b, std::size_t n) {
    const __m256i rate2 = _mm256_set1_epi16(static_cast<short>(g_alphaRate * 2));
    const __m256i low = _mm256_set1_epi16(0x00FF);
    std::size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        const __m256i va = Load(a + i), vb = Load(b + i);
        const __m256i evenDiff =
            _mm256_sub_epi16(_mm256_and_si256(vb, low), _mm256_and_si256(va, low));
        const __m256i oddDiff =
            _mm256_sub_epi16(_mm256_srli_epi16(vb, 8), _mm256_srli_epi16(va, 8));
        const __m256i evenStep = _mm256_srli_epi16(_mm256_mullo_epi16(evenDiff, rate2), 8);
        const __m256i oddStep = _mm256_andnot_si256(low, _mm256_mullo_epi16(oddDiff, rate2));
        Store(d + i, _mm256_add_epi8(va, _mm256_or_si256(evenStep, oddStep)));
    }
    return i;
}

ZR_WIDE std::size_t HalfBytesWide(uint8_t* d, const uint8_t* a, const uint8_t* b, std::size_t n) {
    const __m256i one = _mm256_set1_epi8(1);
    std::size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        const __m256i va = Load(a + i), vb = Load(b + i);
        const __m256i odd = _mm256_and_si256(_mm256_xor_si256(va, vb), one);
        Store(d + i, _mm256_sub_epi8(_mm256_avg_epu8(va, vb), odd));
    }
    return i;
}

ZR_WIDE std::size_t AddBytesWide(uint8_t* d, const uint8_t* s, std::size_t n) {
    std::size_t i = 0;
    for (; i + 64 <= n; i += 64) {
        Store(d + i, _mm256_adds_epu8(Load(d + i), Load(s + i)));
        Store(d + i + 32, _mm256_adds_epu8(Load(d + i + 32), Load(s + i + 32)));
    }
    for (; i + 32 <= n; i += 32) Store(d + i, _mm256_adds_epu8(Load(d + i), Load(s + i)));
    return i;
}

ZR_WIDE std::size_t SubBytesWide(uint8_t* d, const uint8_t* s, std::size_t n) {
    std::size_t i = 0;
    for (; i + 64 <= n; i += 64) {
        Store(d + i, _mm256_subs_epu8(Load(d + i), Load(s + i)));
        Store(d + i + 32, _mm256_subs_epu8(Load(d + i + 32), Load(s + i + 32)));
    }
    for (; i + 32 <= n; i += 32) Store(d + i, _mm256_subs_epu8(Load(d + i), Load(s + i)));
    return i;
}

namespace {

template <bool DoubleWeights, bool InChannel, bool Mirror>
ZR_WIDE unsigned int Alpha32(uint8_t* d, const uint8_t* s, const uint8_t* a, unsigned int n) {
    const __m256i low = _mm256_set1_epi16(0x00FF);
    const __m256i rgbMask = _mm256_set1_epi32(0x00FFFFFF);
    const __m256i reverse = _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0);
    unsigned int i = 0;
    for (; i + 8 <= n; i += 8) {
        __m256i vs = Mirror
                         ? _mm256_permutevar8x32_epi32(Load(s - std::ptrdiff_t(i + 7) * 4), reverse)
                         : Load(s + std::size_t(i) * 4);
        __m256i alpha32;
        uint64_t alphaBytes;
        if constexpr (InChannel) {
            alpha32 = _mm256_srli_epi32(vs, 24);
            const __m256i packed =
                _mm256_packus_epi16(_mm256_packs_epi32(alpha32, alpha32), _mm256_setzero_si256());
            // Each 128-bit lane holds four alpha bytes in its lowest dword.
            alphaBytes = uint32_t(_mm256_extract_epi32(packed, 0)) |
                         uint64_t(uint32_t(_mm256_extract_epi32(packed, 4))) << 32;
        } else {
            std::memcpy(&alphaBytes, Mirror ? a - std::ptrdiff_t(i + 7) : a + i, 8);
            if (Mirror) alphaBytes = __builtin_bswap64(alphaBytes);
            alpha32 = _mm256_cvtepu8_epi32(_mm_cvtsi64_si128(static_cast<long long>(alphaBytes)));
        }
        if (alphaBytes == 0) continue;
        uint8_t* dp = d + std::size_t(i) * 4;
        const __m256i vd = Load(dp);
        __m256i m32;
        if constexpr (DoubleWeights) {
            const uint8_t* w = g_doubleAlphaWeights;
            const __m256i k = _mm256_setr_epi32(
                w[alphaBytes & 0xFF], w[(alphaBytes >> 8) & 0xFF], w[(alphaBytes >> 16) & 0xFF],
                w[(alphaBytes >> 24) & 0xFF], w[(alphaBytes >> 32) & 0xFF],
                w[(alphaBytes >> 40) & 0xFF], w[(alphaBytes >> 48) & 0xFF], w[alphaBytes >> 56]);
            m32 = _mm256_add_epi32(k, k);
        } else {
            if (alphaBytes == ~uint64_t(0)) {
                Store(dp, _mm256_blendv_epi8(vd, vs, rgbMask));
                continue;
            }
            m32 = _mm256_sub_epi32(alpha32, _mm256_cmpeq_epi32(alpha32, _mm256_set1_epi32(255)));
        }
        const __m256i mEven = _mm256_or_si256(m32, _mm256_slli_epi32(m32, 16));
        const __m256i evenDiff =
            _mm256_sub_epi16(_mm256_and_si256(vs, low), _mm256_and_si256(vd, low));
        const __m256i oddDiff =
            _mm256_sub_epi16(_mm256_srli_epi16(vs, 8), _mm256_srli_epi16(vd, 8));
        const __m256i evenStep = _mm256_srli_epi16(_mm256_mullo_epi16(evenDiff, mEven), 8);
        const __m256i oddStep = _mm256_andnot_si256(low, _mm256_mullo_epi16(oddDiff, m32));
        Store(dp, _mm256_add_epi8(vd, _mm256_or_si256(evenStep, oddStep)));
    }
    return i;
}

}  // namespace

unsigned int Alpha32Wide(uint8_t* d, const uint8_t* s, const uint8_t* a, unsigned int n,
                         bool doubleWeights, bool inChannel, bool mirror) {
    if (doubleWeights) {
        if (inChannel)
            return mirror ? Alpha32<true, true, true>(d, s, a, n)
                          : Alpha32<true, true, false>(d, s, a, n);
        return mirror ? Alpha32<true, false, true>(d, s, a, n)
                      : Alpha32<true, false, false>(d, s, a, n);
    }
    if (inChannel)
        return mirror ? Alpha32<false, true, true>(d, s, a, n)
                      : Alpha32<false, true, false>(d, s, a, n);
    return mirror ? Alpha32<false, false, true>(d, s, a, n)
                  : Alpha32<false, false, false>(d, s, a, n);
}

}  // namespace zr_effect
