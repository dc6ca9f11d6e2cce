// Nearest-pixel stretches and the water ripple: the only pixel loops of the transitions that
// the bitmap operations do not already provide. Both run on table look-ups and integer
// accumulators alone.
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
void StretchRows(const PixelRect& dst, const PixelRect& src, const Clip& clip) {
    std::vector<int32_t> sx, dx, sy, dy;
    StepPairs(src.w, dst.w, std::max(clip.x0, 0), std::min(clip.x1, dst.w), sx, dx);
    StepPairs(src.h, dst.h, std::max(clip.y0, 0), std::min(clip.y1, dst.h), sy, dy);
    const size_t cols = sx.size();
    for (size_t j = 0; j < sy.size(); ++j) {
        const unsigned char* s = src.bits + sy[j] * src.pitch;
        unsigned char* d = dst.bits + dy[j] * dst.pitch;
        for (size_t i = 0; i < cols; ++i) {
            const unsigned char* sp = s + sx[i] * Bpp;
            unsigned char* dp = d + dx[i] * Bpp;
            if constexpr (Blend) {
                dp[0] = uint8_t((3 * dp[0] + sp[0]) >> 2);
                dp[1] = uint8_t((3 * dp[1] + sp[1]) >> 2);
                dp[2] = uint8_t((3 * dp[2] + sp[2]) >> 2);
                if constexpr (Bpp == 4) dp[3] = 0;
            } else {
                std::memcpy(dp, sp, Bpp);
            }
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
    for (int32_t y = y0; y < y1; ++y) {
        const int32_t ri = y >= kWaterQuadH ? y - kWaterQuadH : kWaterQuadH - 1 - y;
        const uint16_t* dist = distance + ri * kWaterQuadW;
        unsigned char* d = dst.bits + y * dst.pitch;
        for (int32_t x = x0; x < x1; ++x) {
            const int32_t ci = x >= kWaterQuadW ? x - kWaterQuadW : kWaterQuadW - 1 - x;
            const int32_t m = shift[(4 * dist[ci] + phase) & 255];
            const int32_t sx = std::clamp(x + m, 0, kScreenW - 1);
            const int32_t sy = std::clamp(y + m, 0, kScreenH - 1);
            std::memcpy(d + x * Bpp, src.bits + sy * src.pitch + sx * Bpp, Bpp);
        }
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
