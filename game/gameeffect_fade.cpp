// The transitions that only combine the two pictures: cross-fades, slides and the two mask
// wipes, all through the bitmap operations and their row kernels.
#include <algorithm>

#include "game/gameeffect_kinds.h"

namespace effect {

bool CrossFade(const Frame& f, int32_t level) {
    if (!Usable(f)) return level >= 128;
    if (level <= 0) {
        ShowWhole(f, f.from);
        return false;
    }
    if (level >= 128) {
        ShowWhole(f, f.to);
        return true;
    }
    f.target->AlphaBlend(0, f.yoff, f.from, 0, 0, f.to, 0, 0, kScreenW, kScreenH, level);
    return false;
}

bool Slide(const Frame& f, int direction, int32_t level) {
    if (!Usable(f)) return level >= 160;
    if (level <= 0) {
        ShowWhole(f, f.from);
        return false;
    }
    if (level >= 160) {
        ShowWhole(f, f.to);
        return true;
    }
    TNyRGBBits* t = f.target;
    const int32_t y = f.yoff;
    const int32_t dv = level * kScreenH / 160;
    const int32_t dh = level * 8;
    switch (direction) {
        case 0:
            t->Draw(0, y, f.from, 0, dv, kScreenW, kScreenH - dv);
            t->Draw(0, y + kScreenH - dv, f.to, 0, 0, kScreenW, dv);
            break;
        case 1:
            t->Draw(0, y, f.to, 0, kScreenH - dv, kScreenW, dv);
            t->Draw(0, y + dv, f.from, 0, 0, kScreenW, kScreenH - dv);
            break;
        case 2:
            t->Draw(0, y, f.to, kScreenW - dh, 0, dh, kScreenH);
            t->Draw(dh, y, f.from, 0, 0, kScreenW - dh, kScreenH);
            break;
        default:
            t->Draw(0, y, f.from, dh, 0, kScreenW - dh, kScreenH);
            t->Draw(kScreenW - dh, y, f.to, 0, 0, dh, kScreenH);
            break;
    }
    return false;
}

namespace {

bool MaskUsable(const TNYFadeAlphaMask& m) {
    return m.loaded && m.mask && m.work && m.mask->Created() && m.work->Created() &&
           m.mask->Width() == kScreenW && m.mask->Height() == kScreenH &&
           m.work->Width() == kScreenW && m.work->Height() == kScreenH;
}

void Mix(const Frame& f, TNyAlpha* plane) {
    f.target->DrawAlphaMask(0, f.yoff, f.from, 0, 0, f.to, 0, 0, kScreenW, kScreenH, plane);
}

}  // namespace

bool SoftMaskWipe(const Frame& f, TNYFadeAlphaMask& mask, int32_t level) {
    if (!Usable(f)) return level >= 511;
    if (level <= 0 || !MaskUsable(mask)) {
        ShowWhole(f, level <= 0 ? f.from : f.to);
        return level > 0;
    }
    if (level >= 511) {
        ShowWhole(f, f.to);
        return true;
    }
    TNyAlpha* plane = mask.mask;
    if (level < 255) {
        mask.SSub(255 - level);
        plane = mask.work;
    } else if (level > 256) {
        mask.SAdd(level - 256);
        plane = mask.work;
    }
    Mix(f, plane);
    return false;
}

bool EdgeMaskWipe(const Frame& f, TNYFadeAlphaMask& mask, int32_t level) {
    if (!Usable(f)) return level >= 255;
    if (level <= 0 || !MaskUsable(mask)) {
        ShowWhole(f, level <= 0 ? f.from : f.to);
        return level > 0;
    }
    if (level >= 255) {
        ShowWhole(f, f.to);
        return true;
    }
    mask.Extract(level);
    Mix(f, mask.work);
    return false;
}

}  // namespace effect
