// The water transition (a ripple that swells over `from`, carries a cross-fade at its height
// and calms over `to`) and the halo transition (a darkened flash of `from`, then coloured
// glows drifting across the cross-fade).
#include <algorithm>

#include "game/gameeffect_kinds.h"
#include "game/gameeffect_pixels.h"

namespace effect {

bool Water(const Frame& f, const TNYWaterTable& water, int32_t level) {
    if (!Usable(f)) return level >= 70;
    if (level <= 0 || level >= 70 || !water.loaded) {
        ShowWhole(f, level <= 0 ? f.from : f.to);
        return level > 0;
    }
    if (level >= 32 && level <= 38)
        f.from->AlphaBlend(0, 0, f.to, 0, 0, kScreenW, kScreenH, kWaterRates[level - 32]);
    TNyRGBBits* source = level <= 38 ? f.from : f.to;
    const int32_t a = level <= 31 ? level : level <= 38 ? 31 : 70 - level;
    {
        Locks lock(f.target, source);
        if (!lock.Held()) return false;
        WaterRipple(RectOf(f.target, 0, f.yoff, kScreenW, kScreenH), WindowClip(f),
                    RectOf(source, 0, 0, kScreenW, kScreenH), water, a, 8 * level);
    }
    f.target->SetModified(0, f.yoff, kScreenW - 1, f.yoff + kScreenH - 1);
    return false;
}

bool Halo(const Frame& f, const TNYHalationImage& halo, int32_t level) {
    if (!Usable(f)) return level >= 37;
    if (level <= 0 || level >= 37 || !halo.loaded) {
        ShowWhole(f, level <= 0 ? f.from : f.to);
        return level > 0;
    }
    TNyRGBBits* t = f.target;
    if (level == 1) {
        // Halved, so the added glow of the back picture does not wash out at once.
        f.from->ToneChange(0, 0, kScreenW - 1, kScreenH - 1, 0x404040);
        if (halo.back && halo.back->Created())
            f.from->SaturationAdd(0, 0, halo.back, 0, 0, halo.back->Width(), halo.back->Height());
        t->AlphaBlend(0, f.yoff, f.from, 0, 0, kScreenW, kScreenH, kHaloRates[0]);
        return false;
    }
    if (level <= 4) {
        t->AlphaBlend(0, f.yoff, f.from, 0, 0, kScreenW, kScreenH, kHaloRates[level - 1]);
        return false;
    }
    t->AlphaBlend(0, f.yoff, f.from, 0, 0, f.to, 0, 0, kScreenW, kScreenH, level * 4 - 20);
    // Each glow's centre runs from the top-left corner along y = 3x / 4 at its own speed.
    const Clip window = WindowClip(f);
    for (int i = 0; i < kHaloLayers; ++i) {
        TNyRGBBits* l = halo.layer[i];
        if (!l || !l->Created() || l->BitDepth() != t->BitDepth()) continue;
        const int32_t s = kHaloSpeed[i] * (level - 5) / 32;
        const int32_t x = 4 * s / 3 - l->Width() / 2;
        const int32_t y = s - l->Height() / 2;
        // Cut to the window, not only to the target, so a glow never spills over the bars
        // of a taller display.
        const int32_t x0 = std::max(x, window.x0), y0 = std::max(y, window.y0);
        const int32_t x1 = std::min(x + l->Width(), window.x1);
        const int32_t y1 = std::min(y + l->Height(), window.y1);
        if (x0 >= x1 || y0 >= y1) continue;
        t->SaturationAdd(x0, f.yoff + y0, l, x0 - x, y0 - y, x1 - x0, y1 - y0);
    }
    return false;
}

}  // namespace effect
