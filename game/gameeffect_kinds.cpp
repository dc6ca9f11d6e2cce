// What the transition routines share: the checks on their pictures and the choice of routine
// for a kind.
#include "game/gameeffect_kinds.h"

#include <algorithm>
#include <array>
#include <utility>

#include "game/gameeffect_pixels.h"

namespace effect {

bool Usable(const Frame& f) {
    auto picture = [](const TNyRGBBits* b) {
        return b && b->Created() && b->Width() == kScreenW && b->Height() == kScreenH &&
               (b->BitDepth() == bd24 || b->BitDepth() == bd32);
    };
    if (!picture(f.from) || !picture(f.to)) return false;
    const TNyRGBBits* t = f.target;
    return t && t->Created() && f.from->BitDepth() == f.to->BitDepth() &&
           t->BitDepth() == f.from->BitDepth() && f.yoff >= 0 && f.yoff < t->Height();
}

void ShowWhole(const Frame& f, TNyRGBBits* picture) {
    f.target->Draw(0, f.yoff, picture, 0, 0, kScreenW, kScreenH);
}

PixelRect RectOf(TNyRGBBits* b, int32_t x, int32_t y, int32_t w, int32_t h) {
    PixelRect r;
    r.bpp = b->BitDepth();
    r.pitch = b->Pitch();
    r.bits = b->Bits() + int64_t(y) * r.pitch + int64_t(x) * r.bpp;
    r.w = w;
    r.h = h;
    return r;
}

Clip WindowClip(const Frame& f) {
    Clip c;
    c.x1 = std::min(kScreenW, f.target->Width());
    c.y1 = std::min(kScreenH, f.target->Height() - f.yoff);
    return c;
}

bool HasResource(uint8_t kind, const Resources& r) {
    switch (kind) {
        case 11:
            return r.water && r.water->loaded;
        case 12:
            return r.halo && r.halo->loaded;
        case 13:
        case 14:
            return r.mask && r.mask->loaded;
        default:
            return true;
    }
}

bool DrawKind(uint8_t kind, const Frame& f, const Resources& r, int32_t level) {
    if (kind > 14 || !HasResource(kind, r)) {
        const bool end = kind > 14 || level > 0;
        if (Usable(f)) ShowWhole(f, end ? f.to : f.from);
        return end;
    }
    switch (kind) {
        case 0:
        case 1:
        case 2:
            return CrossFade(f, level);
        case 3:
        case 4:
        case 5:
        case 6:
            return Slide(f, kind - 3, level);
        case 7:
            return ZoomInBlur(f, level);
        case 8:
            return ZoomOutReveal(f, level);
        case 9:
            return ShrinkTrail(f, level);
        case 10:
            return GrowTrail(f, level);
        case 11:
            return Water(f, *r.water, level);
        case 12:
            return Halo(f, *r.halo, level);
        case 13:
            return SoftMaskWipe(f, *r.mask, level);
        default:
            return EdgeMaskWipe(f, *r.mask, level);
    }
}

namespace {

template <uint8_t Kind>
bool Routine(TransitionEffect& e, TNyRGBBits* target, int32_t yoff, int32_t level) {
    return DrawKind(Kind, Frame{target, yoff, e.from, e.to}, Resources{&e.water, &e.mask, &e.halo},
                    level);
}

template <size_t... K>
constexpr std::array<TransitionRoutine, sizeof...(K)> Table(std::index_sequence<K...>) {
    return {&Routine<uint8_t(K)>...};
}

constexpr auto kRoutines = Table(std::make_index_sequence<15>());

}  // namespace

TransitionRoutine RoutineOf(uint8_t kind) {
    return kind < kRoutines.size() ? kRoutines[kind] : nullptr;
}

}  // namespace effect
