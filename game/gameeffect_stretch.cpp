// Nearest-pixel stretches and the water ripple: the only pixel loops of the transitions that
// the bitmap operations do not already provide. Both run on table look-ups and integer
// accumulators alone.
#include <emmintrin.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "game/gameeffect_kinds.h"

namespace effect {

namespace {

// The (source, destination) positions of one pass of the stepping, cut to [lo, hi) on the
// destination side. Every pass over the other axis repeats the same pairs.
void StepPairs(int32_t sn, int32_t dn, int32_t lo, int32_t hi, std::vector<int32_t>& s,
               std::vector<int32_t>& d) {
    s.clear();
    d.clear();
    const int32_t n = std::max(sn, dn);
    int32_t si = 0, di = 0, sa = 0, da = 0;
    for (int32_t i = 0; i < n; ++i) {
        if (di >= lo && di < hi) {
            s.push_back(si);
            d.push_back(di);
        }
        if ((sa += sn) >= n) sa -= n, ++si;
        if ((da += dn) >= n) da -= n, ++di;
    }
}

template <int Bpp, bool Blend>
inline void Put(unsigned char* dp, const unsigned char* sp) {
    if constexpr (Blend) {
        if constexpr (Bpp == 4) {
            // The three colour channels side by side in 16-bit lanes, so one multiply and
            // one shift blend them all; byte 3 comes out 0.
            uint32_t d, s;
            std::memcpy(&d, dp, 4);
            std::memcpy(&s, sp, 4);
            const uint64_t D =
                (d & 0xFFu) | uint64_t(d & 0xFF00u) << 8 | uint64_t(d & 0xFF0000u) << 16;
            const uint64_t S =
                (s & 0xFFu) | uint64_t(s & 0xFF00u) << 8 | uint64_t(s & 0xFF0000u) << 16;
            const uint64_t r = ((3 * D + S) >> 2) & 0x000000FF00FF00FFull;
            const uint32_t out =
                uint32_t(r & 0xFF) | uint32_t(r >> 8 & 0xFF00) | uint32_t(r >> 16 & 0xFF0000);
            std::memcpy(dp, &out, 4);
        } else {
            dp[0] = uint8_t((3 * dp[0] + sp[0]) >> 2);
            dp[1] = uint8_t((3 * dp[1] + sp[1]) >> 2);
            dp[2] = uint8_t((3 * dp[2] + sp[2]) >> 2);
        }
    } else {
        std::memcpy(dp, sp, Bpp);
    }
}

// Blends the source pixels at the positions into a run of 32-bit destination pixels, four at
// a time; returns how many it did (a multiple of four).
size_t BlendRun4(unsigned char* d, const unsigned char* s, const int32_t* at, size_t n) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i colour = _mm_set1_epi32(0x00FFFFFF);
    size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        uint32_t p[4];
        for (int k = 0; k < 4; ++k) std::memcpy(&p[k], s + at[i + k] * 4, 4);
        const __m128i vs = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i vd = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i * 4));
        auto half = [](__m128i dd, __m128i ss) {
            return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(dd, _mm_add_epi16(dd, dd)), ss), 2);
        };
        const __m128i lo = half(_mm_unpacklo_epi8(vd, zero), _mm_unpacklo_epi8(vs, zero));
        const __m128i hi = half(_mm_unpackhi_epi8(vd, zero), _mm_unpackhi_epi8(vs, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i * 4),
                         _mm_and_si128(_mm_packus_epi16(lo, hi), colour));
    }
    return i;
}

template <int Bpp, bool Blend>
void StretchRows(const PixelRect& dst, const PixelRect& src, const Clip& clip) {
    std::vector<int32_t> sx, dx, sy, dy;
    StepPairs(src.w, dst.w, std::max(clip.x0, 0), std::min(clip.x1, dst.w), sx, dx);
    StepPairs(src.h, dst.h, std::max(clip.y0, 0), std::min(clip.y1, dst.h), sy, dy);
    const size_t cols = sx.size();
    if (cols == 0) return;
    // The wider side moves on every step, so its positions run on one by one and need no
    // look-up.
    const bool dstRuns = dst.w >= src.w;
    // A shrinking blend writes some cells more than once; the first write of every cell runs
    // in the four-pixel blend and the others follow in their order, which gives each cell
    // the same sequence of blends as stepping does.
    std::vector<int32_t> first, extra;
    if constexpr (Bpp == 4 && Blend) {
        if (!dstRuns) {
            for (size_t i = 0; i < cols; ++i) {
                if (i == 0 || dx[i] != dx[i - 1])
                    first.push_back(sx[i]);
                else
                    extra.push_back(int32_t(i));
            }
        }
    }
    for (size_t j = 0; j < sy.size(); ++j) {
        const unsigned char* s = src.bits + sy[j] * src.pitch;
        unsigned char* d = dst.bits + dy[j] * dst.pitch;
        if (dstRuns) {
            unsigned char* dp = d + dx[0] * Bpp;
            size_t i = 0;
            if constexpr (Bpp == 4 && Blend) i = BlendRun4(dp, s, sx.data(), cols);
            for (dp += i * Bpp; i < cols; ++i, dp += Bpp) Put<Bpp, Blend>(dp, s + sx[i] * Bpp);
        } else if (!first.empty()) {
            unsigned char* dp = d + dx[0] * Bpp;
            size_t i = BlendRun4(dp, s, first.data(), first.size());
            for (dp += i * Bpp; i < first.size(); ++i, dp += Bpp)
                Put<Bpp, Blend>(dp, s + first[i] * Bpp);
            for (const int32_t k : extra) Put<Bpp, Blend>(d + dx[k] * Bpp, s + sx[k] * Bpp);
        } else {
            const unsigned char* sp = s + sx[0] * Bpp;
            for (size_t i = 0; i < cols; ++i, sp += Bpp) Put<Bpp, Blend>(d + dx[i] * Bpp, sp);
        }
    }
}

bool Stretchable(const PixelRect& dst, const PixelRect& src) {
    return dst.w > 0 && dst.h > 0 && src.w > 0 && src.h > 0 && dst.bpp == src.bpp &&
           (dst.bpp == 3 || dst.bpp == 4);
}

}  // namespace

void StretchCopy(const PixelRect& dst, const PixelRect& src, const Clip& clip) {
    if (!Stretchable(dst, src)) return;
    if (dst.bpp == 4)
        StretchRows<4, false>(dst, src, clip);
    else
        StretchRows<3, false>(dst, src, clip);
}

void StretchBlend(const PixelRect& dst, const PixelRect& src, const Clip& clip) {
    if (!Stretchable(dst, src)) return;
    if (dst.bpp == 4)
        StretchRows<4, true>(dst, src, clip);
    else
        StretchRows<3, true>(dst, src, clip);
}

namespace {

template <int Bpp>
void RippleRows(const PixelRect& dst, const Clip& clip, const PixelRect& src,
                const uint16_t* distance, const int32_t (&shift)[256], int32_t phase) {
    const int32_t x0 = std::max(clip.x0, 0), x1 = std::min({clip.x1, dst.w, kScreenW});
    const int32_t y0 = std::max(clip.y0, 0), y1 = std::min({clip.y1, dst.h, kScreenH});
    // Displacements stay within 128 of the pixel: the source rows around the picture are
    // its edge rows.
    const unsigned char* rows[kScreenH + 256];
    for (int32_t i = 0; i < kScreenH + 256; ++i)
        rows[i] = src.bits + std::clamp(i - 128, 0, kScreenH - 1) * src.pitch;
    const unsigned char* const* around = rows + 128;
    auto pixel = [&](unsigned char* d, int32_t x, int32_t y, uint16_t dist) {
        const int32_t m = shift[(4 * dist + phase) & 255];
        const int32_t sx = std::clamp(x + m, 0, kScreenW - 1);
        std::memcpy(d + x * Bpp, around[y + m] + sx * Bpp, Bpp);
    };
    for (int32_t y = y0; y < y1; ++y) {
        const int32_t ri = y >= kWaterQuadH ? y - kWaterQuadH : kWaterQuadH - 1 - y;
        const uint16_t* dist = distance + ri * kWaterQuadW;
        unsigned char* d = dst.bits + y * dst.pitch;
        // The left half reads its quadrant mirrored.
        for (int32_t x = x0; x < std::min(x1, kWaterQuadW); ++x)
            pixel(d, x, y, dist[kWaterQuadW - 1 - x]);
        for (int32_t x = std::max(x0, kWaterQuadW); x < x1; ++x)
            pixel(d, x, y, dist[x - kWaterQuadW]);
    }
}

}  // namespace

void WaterRipple(const PixelRect& dst, const Clip& clip, const PixelRect& src,
                 const TNYWaterTable& water, int32_t a, int32_t phase) {
    if (!water.loaded || !water.distance || !water.sine || !water.amplitude) return;
    // The centre must lie 640 columns and 360 rows inside every edge of the source.
    if (src.w != kScreenW || src.h != kScreenH || src.bpp != dst.bpp) return;
    // One displacement per wave position for this amplitude. Wave values reach 255 in a
    // damaged table, one past an amplitude row: they count as 254.
    const uint8_t* row = water.amplitude + std::clamp(a, 0, kWaterAmpRows - 1) * kWaterAmpCols;
    int32_t shift[256];
    for (int k = 0; k < 256; ++k) shift[k] = int32_t(row[std::min<int>(water.sine[k], 254)]) - 127;
    if (dst.bpp == 4)
        RippleRows<4>(dst, clip, src, water.distance, shift, phase);
    else if (dst.bpp == 3)
        RippleRows<3>(dst, clip, src, water.distance, shift, phase);
}

}  // namespace effect
