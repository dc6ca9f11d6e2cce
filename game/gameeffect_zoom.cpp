// The four zoom transitions. Each frame stretches one picture into another and leaves trails
// by blending a quarter of the new picture over what was there, so these kinds change `from`
// as they run; their look depends on every earlier frame, which is why they count their own
// steps instead of following progress.
#include <algorithm>

#include "game/gameeffect_kinds.h"
#include "game/gameeffect_pixels.h"

namespace effect {

namespace {

// Centre cut of a level: level x 8 columns and level x 720 / 160 rows off every side.
int32_t CutX(int32_t level) {
    return level * 8;
}
int32_t CutY(int32_t level) {
    return level * kScreenH / 160;
}

PixelRect Whole(TNyRGBBits* b) {
    return RectOf(b, 0, 0, kScreenW, kScreenH);
}

Clip All(const PixelRect& r) {
    return Clip{0, 0, r.w, r.h};
}

// The window's centre rectangle of the cut, and the part of it inside the target.
bool TargetCentre(const Frame& f, int32_t cx, int32_t cy, PixelRect& r, Clip& c) {
    const Clip w = WindowClip(f);
    c = Clip{0, 0, std::min(kScreenW - 2 * cx, w.x1 - cx), std::min(kScreenH - 2 * cy, w.y1 - cy)};
    if (c.x1 <= 0 || c.y1 <= 0) return false;
    r = RectOf(f.target, cx, f.yoff + cy, kScreenW - 2 * cx, kScreenH - 2 * cy);
    return true;
}

bool Edges(const Frame& f, int32_t level, int32_t final) {
    if (level <= 0) {
        ShowWhole(f, f.from);
        return true;
    }
    if (level >= final) {
        ShowWhole(f, f.to);
        return true;
    }
    return false;
}

}  // namespace

bool ZoomInBlur(const Frame& f, int32_t level) {
    if (!Usable(f)) return level >= 36;
    if (Edges(f, level, 36)) return level >= 36;
    const int32_t cx = CutX(level), cy = CutY(level);
    {
        Locks lock(f.target, f.from);
        if (!lock.Held()) return false;
        const PixelRect crop = RectOf(f.from, cx, cy, kScreenW - 2 * cx, kScreenH - 2 * cy);
        StretchBlend(RectOf(f.target, 0, f.yoff, kScreenW, kScreenH), crop, WindowClip(f));
    }
    f.target->SetModified(0, f.yoff, kScreenW - 1, f.yoff + kScreenH - 1);
    // The next frame zooms the partly blended picture.
    if (level * 4 <= 128)
        f.from->AlphaBlend(0, 0, f.target, 0, f.yoff, f.to, 0, 0, kScreenW, kScreenH, level * 4);
    return false;
}

bool ZoomOutReveal(const Frame& f, int32_t level) {
    if (!Usable(f)) return level >= 20;
    if (Edges(f, level, 20)) return level >= 20;
    // Reads the window back: only a target that holds all of it.
    if (f.target->Width() < kScreenW || f.target->Height() - f.yoff < kScreenH) return false;
    const int32_t cx = CutX(level), cy = CutY(level);
    const int32_t c2 = CutX(20 - level), r2 = CutY(20 - level);
    {
        Locks lock(f.target, f.from, f.to);
        if (!lock.Held()) return false;
        const PixelRect from = Whole(f.from);
        StretchBlend(from, RectOf(f.target, cx, f.yoff + cy, kScreenW - 2 * cx, kScreenH - 2 * cy),
                     All(from));
        const PixelRect inner = RectOf(f.from, c2, r2, kScreenW - 2 * c2, kScreenH - 2 * r2);
        StretchCopy(inner, Whole(f.to), All(inner));
    }
    f.from->SetModified();
    f.target->AlphaBlend(0, f.yoff, f.from, 0, 0, kScreenW, kScreenH, std::max(16, level * 8 - 32));
    return false;
}

bool ShrinkTrail(const Frame& f, int32_t level) {
    if (!Usable(f)) return level >= 36;
    if (Edges(f, level, 36)) return level >= 36;
    const int32_t cx = CutX(level), cy = CutY(level);
    f.target->AlphaBlend(0, f.yoff, f.to, 0, 0, kScreenW, kScreenH, 32);
    {
        Locks lock(f.target, f.from);
        if (!lock.Held()) return false;
        PixelRect centre;
        Clip clip;
        if (TargetCentre(f, cx, cy, centre, clip)) StretchBlend(centre, Whole(f.from), clip);
    }
    f.target->SetModified(0, f.yoff, kScreenW - 1, f.yoff + kScreenH - 1);
    f.from->Draw(0, 0, f.target, 0, f.yoff, kScreenW, kScreenH);
    return false;
}

bool GrowTrail(const Frame& f, int32_t level) {
    if (!Usable(f)) return level >= 20;
    if (Edges(f, level, 20)) return level >= 20;
    if (level >= 16) {
        f.target->AlphaBlend(0, f.yoff, f.to, 0, 0, kScreenW, kScreenH, 32);
        return false;
    }
    const int32_t c = CutX(16 - level), r = CutY(16 - level);
    {
        Locks lock(f.from, f.to);
        if (!lock.Held()) return false;
        const PixelRect from = Whole(f.from);
        StretchBlend(from, RectOf(f.to, c, r, kScreenW - 2 * c, kScreenH - 2 * r), All(from));
    }
    f.from->SetModified();
    f.target->AlphaBlend(0, f.yoff, f.from, 0, 0, kScreenW, kScreenH, 32);
    f.from->Draw(0, 0, f.target, 0, f.yoff, kScreenW, kScreenH);
    return false;
}

}  // namespace effect
