// Plain forms of the per-pixel alpha kernels, tone, grey conversion and the alpha-plane
// transforms, and the weight tables of the double-alpha members.
#include <array>
#include <cstddef>
#include <cstring>

#include "media/zrrgbeffect.h"
#include "media/zrrgbeffect_state.h"

namespace {

using WeightTable = std::array<uint8_t, 256>;

constexpr WeightTable MakeWeights(int rate) {
    WeightTable t{};
    for (int a = 0; a < 256; ++a) t[a] = static_cast<uint8_t>(a * rate / 255);
    return t;
}

// The rates that are multiples of 16 have constant tables; any other rate is computed into one
// shared table, rebuilt only when the rate changes.
constexpr std::array<WeightTable, 9> kStepWeights = {
    MakeWeights(0),  MakeWeights(16), MakeWeights(32),  MakeWeights(48), MakeWeights(64),
    MakeWeights(80), MakeWeights(96), MakeWeights(112), MakeWeights(128)};
WeightTable g_computedWeights{};
int g_computedRate = -1;

}  // namespace

namespace zr_effect {
const uint8_t* g_doubleAlphaWeights = g_computedWeights.data();
}
using namespace zr_effect;

void SetDoubleAlphaParam(int rate) {
    if (rate < 0) rate = 0;
    if (rate > 128) rate = 128;
    if (rate % 16 == 0) {
        g_doubleAlphaWeights = kStepWeights[rate / 16].data();
        return;
    }
    if (rate != g_computedRate) {
        g_computedWeights = MakeWeights(rate);
        g_computedRate = rate;
    }
    g_doubleAlphaWeights = g_computedWeights.data();
}

namespace {

// One destination channel moved towards the source by k / 128 (k up to 128), floored.
inline uint8_t Toward(int d, int s, int k) {
    return static_cast<uint8_t>(d + (((s - d) * k) >> 7));
}

// Walks count pixels of DS-byte destination and source pixels; the alpha of a pixel comes from
// the plane (InChannel false) or from byte 3 of the source pixel. Mirrored rows read the source
// and the plane backwards from the pixel given.
template <unsigned PS, bool InChannel, bool Mirror, typename Weight>
void* AlphaRow(void* dst, const void* src, const void* alpha, unsigned int count, Weight weight) {
    uint8_t* d = static_cast<uint8_t*>(dst);
    const uint8_t* s = static_cast<const uint8_t*>(src);
    const uint8_t* a = static_cast<const uint8_t*>(alpha);
    const std::ptrdiff_t step = Mirror ? -std::ptrdiff_t(PS) : std::ptrdiff_t(PS);
    for (unsigned int i = 0; i < count; ++i) {
        const int k = weight(InChannel ? s[3] : *a);
        if (k) {
            d[0] = Toward(d[0], s[0], k);
            d[1] = Toward(d[1], s[1], k);
            d[2] = Toward(d[2], s[2], k);
        }
        d += PS;
        s += step;
        if constexpr (!InChannel) a += Mirror ? -1 : 1;
    }
    return dst;
}

inline int SingleWeight(int a) {
    return (a + 1) >> 1;
}
inline int DoubleWeight(int a) {
    return g_doubleAlphaWeights[a];
}

}  // namespace

void* RGBAlphaOutChannel(void* dst, const void* src, const void* alpha, unsigned int count) {
    return AlphaRow<3, false, false>(dst, src, alpha, count, SingleWeight);
}
void* RGBAlphaOutChannel32(void* dst, const void* src, const void* alpha, unsigned int count) {
    return AlphaRow<4, false, false>(dst, src, alpha, count, SingleWeight);
}
void* RGBAlphaInChannel(void* dst, const void* src, unsigned int count) {
    return AlphaRow<4, true, false>(dst, src, nullptr, count, SingleWeight);
}
void* RGBAlphaOutChannelR(void* dst, const void* src, const void* alpha, unsigned int count) {
    return AlphaRow<3, false, true>(dst, src, alpha, count, SingleWeight);
}
void* RGBAlphaOutChannelR32(void* dst, const void* src, const void* alpha, unsigned int count) {
    return AlphaRow<4, false, true>(dst, src, alpha, count, SingleWeight);
}
void* RGBAlphaInChannelR(void* dst, const void* src, unsigned int count) {
    return AlphaRow<4, true, true>(dst, src, nullptr, count, SingleWeight);
}

void* RGBDoubleAlphaOutChannel(void* dst, const void* src, const void* alpha, unsigned int count) {
    return AlphaRow<3, false, false>(dst, src, alpha, count, DoubleWeight);
}
void* RGBDoubleAlphaOutChannel32(void* dst, const void* src, const void* alpha,
                                 unsigned int count) {
    return AlphaRow<4, false, false>(dst, src, alpha, count, DoubleWeight);
}
void* RGBDoubleAlphaInChannel(void* dst, const void* src, unsigned int count) {
    return AlphaRow<4, true, false>(dst, src, nullptr, count, DoubleWeight);
}
void* RGBDoubleAlphaOutChannelR(void* dst, const void* src, const void* alpha, unsigned int count) {
    return AlphaRow<3, false, true>(dst, src, alpha, count, DoubleWeight);
}
void* RGBDoubleAlphaOutChannelR32(void* dst, const void* src, const void* alpha,
                                  unsigned int count) {
    return AlphaRow<4, false, true>(dst, src, alpha, count, DoubleWeight);
}
void* RGBDoubleAlphaInChannelR(void* dst, const void* src, unsigned int count) {
    return AlphaRow<4, true, true>(dst, src, nullptr, count, DoubleWeight);
}

namespace {

inline uint8_t Tone(int s, int f) {
    const int v = (s * f) >> 7;
    return static_cast<uint8_t>(v > 255 ? 255 : v);
}

template <unsigned PS>
void* ToneRow(void* dst, const void* src, uint32_t tone, unsigned int count) {
    uint8_t* d = static_cast<uint8_t*>(dst);
    const uint8_t* s = static_cast<const uint8_t*>(src);
    const int fb = tone & 0xFF, fg = (tone >> 8) & 0xFF, fr = (tone >> 16) & 0xFF;
    for (unsigned int i = 0; i < count; ++i, d += PS, s += PS) {
        d[0] = Tone(s[0], fb);
        d[1] = Tone(s[1], fg);
        d[2] = Tone(s[2], fr);
    }
    return dst;
}

template <unsigned PS>
void* MonochromeRow(void* dst, const void* src, unsigned int count) {
    uint8_t* d = static_cast<uint8_t*>(dst);
    const uint8_t* s = static_cast<const uint8_t*>(src);
    for (unsigned int i = 0; i < count; ++i, d += PS, s += PS) {
        const uint8_t g = static_cast<uint8_t>((s[0] + s[1] + s[2]) / 3);
        d[0] = d[1] = d[2] = g;
    }
    return dst;
}

template <typename Fn>
void* PlaneRow(void* dst, const void* src, unsigned int count, Fn fn) {
    uint8_t* d = static_cast<uint8_t*>(dst);
    const uint8_t* s = static_cast<const uint8_t*>(src);
    for (unsigned int i = 0; i < count; ++i) d[i] = static_cast<uint8_t>(fn(s[i]));
    return dst;
}

}  // namespace

void* RGBTone24(void* dst, const void* src, uint32_t tone, unsigned int count) {
    return ToneRow<3>(dst, src, tone, count);
}
void* RGBTone32(void* dst, const void* src, uint32_t tone, unsigned int count) {
    return ToneRow<4>(dst, src, tone, count);
}

void* RGBMonochrome24(void* dst, const void* src, unsigned int count) {
    return MonochromeRow<3>(dst, src, count);
}
void* RGBMonochrome32(void* dst, const void* src, unsigned int count) {
    return MonochromeRow<4>(dst, src, count);
}

void* RGBExtractAlpha(void* dst, const void* src, const int value, unsigned int count) {
    const int v = value & 0xFF;
    return PlaneRow(dst, src, count, [v](int s) {
        const int t = s + v > 255 ? 255 : s + v;
        return t >= 240 ? (t - 240) * 17 : 0;
    });
}
void* RGBSAddAlpha(void* dst, const void* src, const int value, unsigned int count) {
    const int v = value & 0xFF;
    return PlaneRow(dst, src, count, [v](int s) { return s + v > 255 ? 255 : s + v; });
}
void* RGBSSubAlpha(void* dst, const void* src, const int value, unsigned int count) {
    const int v = value & 0xFF;
    return PlaneRow(dst, src, count, [v](int s) { return s > v ? s - v : 0; });
}
