// The alpha plane: one byte a pixel (0 transparent, 255 opaque) with guard bytes after it,
// its pixel and block operations, the rate blend of two planes, the level operations and the
// composition of two planes with a record of the second one's share.
#include <cstdlib>
#include <cstring>

#include "media/zrmem.h"
#include "media/zrrgbeffect.h"
#include "widgets/nyclip.h"
#include "widgets/nyrgbbits.h"
#include "widgets/nyunit.h"

using namespace ny_clip;

TNyAlpha::TNyAlpha(plat::TComponent* owner)
    : plat::TComponent(owner), FMmx(UseMmxKernels(ny_unit::Cpu())) {}

TNyAlpha::~TNyAlpha() {
    if (FCreated) TNyAlpha::Release();
}

void TNyAlpha::SetID(const plat::AnsiString& id) {
    ny_unit::SetID(FID, id);
}
plat::AnsiString TNyAlpha::GetID() const {
    return plat::AnsiString(FID, sizeof FID);
}

bool TNyAlpha::Create() {
    if (FCreated || FWidth <= 0 || FHeight <= 0) return false;
    FBits = ny_unit::NewGuarded(1, FWidth, FHeight);
    if (!FBits) return false;
    FPitch = FWidth;
    FCreated = true;
    Cls();
    return true;
}

void TNyAlpha::GuardCheck() {
    if (ny_unit::GuardIntact(FBits + static_cast<size_t>(FPitch) * FHeight)) return;
    FBufferOverRun = true;
    if (ny_unit::AlphaOverRunHandler().IsSet()) ny_unit::AlphaOverRunHandler().Call(this);
}

void TNyAlpha::Release() {
    if (!FCreated) return;
    GuardCheck();
    std::free(FBits);
    FBits = nullptr;
    FCreated = false;
}

bool TNyAlpha::Resize(int w, int h) {
    if (w <= 0 || h <= 0) return false;
    if (!FCreated) {
        FWidth = w;
        FHeight = h;
        return true;
    }
    unsigned char* mem = ny_unit::NewGuarded(1, w, h);
    if (!mem) return false;
    GuardCheck();
    std::free(FBits);
    FBits = mem;
    FWidth = w;
    FHeight = h;
    FPitch = w;
    Cls();
    return true;
}

bool TNyAlpha::GetDC(void**) {
    return false;
}
bool TNyAlpha::ReleaseDC(void*) {
    return true;
}

void TNyAlpha::Cls() {
    Fill(255);
}

void TNyAlpha::Fill(unsigned char value) {
    if (!FCreated) return;
    for (int y = 0; y < FHeight; ++y) std::memset(ValueAt(0, y), value, size_t(FWidth));
}

bool TNyAlpha::PSet(int x, int y, unsigned char value) {
    if (!FCreated || x < 0 || x >= FWidth || y < 0 || y >= FHeight) return false;
    *ValueAt(x, y) = value;
    return true;
}

unsigned char TNyAlpha::PGet(int x, int y) const {
    if (!FCreated || x < 0 || x >= FWidth || y < 0 || y >= FHeight) return 0;
    return *ValueAt(x, y);
}

bool TNyAlpha::Line(int x1, int y1, int x2, int y2, unsigned char value) {
    if (!FCreated) return false;
    WalkLine(x1, y1, x2, y2, [&](int x, int y) { PSet(x, y, value); });
    return true;
}

bool TNyAlpha::BoxFill(int x1, int y1, int x2, int y2, unsigned char value) {
    if (!FCreated) return false;
    if (!ClipCorners(x1, y1, x2, y2, FWidth, FHeight)) return true;
    for (int y = y1; y <= y2; ++y) std::memset(ValueAt(x1, y), value, size_t(x2 - x1 + 1));
    return true;
}

bool TNyAlpha::ToneDown(int x1, int y1, int x2, int y2, int rate) {
    if (!FCreated || rate < 0 || rate > 128) return false;
    if (!ClipCorners(x1, y1, x2, y2, FWidth, FHeight)) return true;
    for (int y = y1; y <= y2; ++y) {
        unsigned char* p = ValueAt(x1, y);
        for (int x = x1; x <= x2; ++x, ++p) *p = static_cast<unsigned char>(*p * rate / 128);
    }
    return true;
}

bool TNyAlpha::PutAlpha(int x, int y, int w, int h, const unsigned char* src) {
    return PutAlphaPitch(x, y, w, h, src, w);
}

bool TNyAlpha::PutAlphaPitch(int x, int y, int w, int h, const unsigned char* src, int srcPitch) {
    if (!FCreated) return false;
    const Area a = Clipped(x, y, w, h, FWidth, FHeight);
    if (a.Empty()) return true;
    return Guarded([&] {
        const unsigned char* s = src + a.sy * srcPitch + a.sx;
        for (int j = 0; j < a.h; ++j, s += srcPitch)
            ZRMemcpy(ValueAt(a.x, a.y + j), s, unsigned(a.w));
        return true;
    });
}

bool TNyAlpha::GetAlpha(int x, int y, int w, int h, unsigned char* dst) {
    if (!FCreated) return false;
    const Area a = Clipped(x, y, w, h, FWidth, FHeight);
    if (a.Empty()) return true;
    return Guarded([&] {
        unsigned char* d = dst + a.sy * w + a.sx;
        for (int j = 0; j < a.h; ++j, d += w) ZRMemcpy(d, ValueAt(a.x, a.y + j), unsigned(a.w));
        return true;
    });
}

namespace {

bool InsidePlane(const TNyAlpha* p, int x, int y, int w, int h) {
    return x >= 0 && int64_t(x) + w <= p->Width() && y >= 0 && int64_t(y) + h <= p->Height();
}

}  // namespace

bool TNyAlpha::Draw(int x, int y, TNyAlpha* src, int sx, int sy, int w, int h) {
    if (!src || !src->Created() || !InsidePlane(src, sx, sy, w, h)) return false;
    return PutAlphaPitch(x, y, w, h, src->ValueAt(sx, sy), src->Pitch());
}

bool TNyAlpha::NyAlphaBlend(int x, int y, int w, int h, const unsigned char* srcA, int pitchA,
                            const unsigned char* srcB, int pitchB, int rate) {
    if (!FCreated) return false;
    ZRBlendProc blend;
    if (rate == 64) {
        blend = FMmx ? RGBHalf8_MMX : RGBHalf8;
    } else {
        SetAlphaParam(rate);
        blend = FMmx ? RGBAlpha8_MMX : RGBAlpha8;
    }
    Area a{x, y, w, h};
    a.Direct(FWidth, FHeight);
    if (a.Empty()) return true;
    return Guarded([&] {
        const unsigned char* pa = srcA + a.sy * pitchA + a.sx;
        const unsigned char* pb = srcB + a.sy * pitchB + a.sx;
        for (int j = 0; j < a.h; ++j, pa += pitchA, pb += pitchB)
            blend(ValueAt(a.x, a.y + j), pa, pb, unsigned(a.w));
        return true;
    });
}

bool TNyAlpha::AlphaBlend(int x, int y, TNyAlpha* a, int ax, int ay, TNyAlpha* b, int bx, int by,
                          int w, int h, int rate) {
    if (!FCreated) return false;
    if (rate == 0) return Draw(x, y, a, ax, ay, w, h);
    if (rate == 128) return Draw(x, y, b, bx, by, w, h);
    if (rate < 0 || rate > 128) return false;
    if (!a || !a->Created() || !b || !b->Created()) return false;
    Cuts cuts;
    cuts.Against(ax, ay, w, h, a->Width(), a->Height());
    cuts.Against(bx, by, w, h, b->Width(), b->Height());
    Area r{x, y, w, h};
    r.Apply(cuts);
    if (r.Empty()) return true;
    return NyAlphaBlend(r.x, r.y, r.w, r.h, a->ValueAt(ax + r.sx, ay + r.sy), a->Pitch(),
                        b->ValueAt(bx + r.sx, by + r.sy), b->Pitch(), rate);
}

bool TNyAlpha::AlphaBlend(int x, int y, TNyAlpha* src, int sx, int sy, int w, int h, int rate) {
    if (rate == 0) return true;
    if (rate == 128) return Draw(x, y, src, sx, sy, w, h);
    return AlphaBlend(x, y, this, x, y, src, sx, sy, w, h, rate);
}

bool TNyAlpha::LevelKernel(LevelProc proc, int x, int y, int w, int h, const unsigned char* src,
                           int srcPitch, int level) {
    if (!FCreated) return false;
    const Area a = Clipped(x, y, w, h, FWidth, FHeight);
    if (a.Empty()) return true;
    return Guarded([&] {
        const unsigned char* s = src + a.sy * srcPitch + a.sx;
        for (int j = 0; j < a.h; ++j, s += srcPitch)
            proc(ValueAt(a.x, a.y + j), s, level, unsigned(a.w));
        return true;
    });
}

bool TNyAlpha::NyExtract(int x, int y, int w, int h, const unsigned char* src, int srcPitch,
                         int level) {
    return LevelKernel(FMmx ? RGBExtractAlpha_MMX : RGBExtractAlpha, x, y, w, h, src, srcPitch,
                       level);
}

bool TNyAlpha::NySAdd(int x, int y, int w, int h, const unsigned char* src, int srcPitch,
                      int level) {
    return LevelKernel(FMmx ? RGBSAddAlpha_MMX : RGBSAddAlpha, x, y, w, h, src, srcPitch, level);
}

bool TNyAlpha::NySSub(int x, int y, int w, int h, const unsigned char* src, int srcPitch,
                      int level) {
    return LevelKernel(FMmx ? RGBSSubAlpha_MMX : RGBSSubAlpha, x, y, w, h, src, srcPitch, level);
}

bool TNyAlpha::LevelFrom(LevelProc proc, int x, int y, TNyAlpha* src, int sx, int sy, int w, int h,
                         int level) {
    if (!src || !src->Created()) return false;
    level = std::clamp(level, 0, 255);
    if (!InsidePlane(src, sx, sy, w, h)) return false;
    return LevelKernel(proc, x, y, w, h, src->ValueAt(sx, sy), src->Pitch(), level);
}

bool TNyAlpha::Extract(int x, int y, TNyAlpha* src, int sx, int sy, int w, int h, int level) {
    return LevelFrom(FMmx ? RGBExtractAlpha_MMX : RGBExtractAlpha, x, y, src, sx, sy, w, h, level);
}

bool TNyAlpha::SAdd(int x, int y, TNyAlpha* src, int sx, int sy, int w, int h, int level) {
    return LevelFrom(FMmx ? RGBSAddAlpha_MMX : RGBSAddAlpha, x, y, src, sx, sy, w, h, level);
}

bool TNyAlpha::SSub(int x, int y, TNyAlpha* src, int sx, int sy, int w, int h, int level) {
    return LevelFrom(FMmx ? RGBSSubAlpha_MMX : RGBSSubAlpha, x, y, src, sx, sy, w, h, level);
}

bool ComposeAlphaChannel(TNyAlpha* dst, int x, int y, TNyAlpha* ratio, TNyAlpha* a, int ax, int ay,
                         TNyAlpha* b, int bx, int by, int w, int h, int rate) {
    if (rate < 0 || rate > 128) return false;
    for (TNyAlpha* p : {dst, ratio, a, b})
        if (!p || !p->Created()) return false;
    if (b->Width() > ratio->Width() || b->Height() > ratio->Height()) return false;
    Area r{x, y, w, h};
    r.Direct(dst->Width(), dst->Height());
    if (r.Empty()) return true;
    const int64_t ax0 = ax + r.sx, ay0 = ay + r.sy, bx0 = bx + r.sx, by0 = by + r.sy;
    auto inside = [](const TNyAlpha* p, int64_t px, int64_t py) {
        return px >= 0 && px < p->Width() && py >= 0 && py < p->Height();
    };
    for (int j = 0; j < r.h; ++j) {
        for (int i = 0; i < r.w; ++i) {
            const int64_t pax = ax0 + i, pay = ay0 + j, pbx = bx0 + i, pby = by0 + j;
            const int va = inside(a, pax, pay) ? *a->ValueAt(pax, pay) : 0;
            const bool inB = inside(b, pbx, pby);
            const int vb = inB ? *b->ValueAt(pbx, pby) : 0;
            const int s = va + (vb - va) * rate / 128;
            *dst->ValueAt(r.x + i, r.y + j) = static_cast<unsigned char>(s);
            if (inB) *ratio->ValueAt(pbx, pby) = static_cast<unsigned char>(s ? vb * rate / s : 0);
        }
    }
    return true;
}
