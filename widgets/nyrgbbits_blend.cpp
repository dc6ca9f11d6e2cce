// Translucent drawing: cross-fades at a global rate, drawing through an alpha plane laid over
// the source, both at once, and solid fills through an alpha plane. Each call cuts the source
// rectangle to every source and plane, locks the sources and hands the rows to a raw kernel.
#include <cstring>

#include "media/zrmem.h"
#include "platform/exception.h"
#include "widgets/nyclip.h"
#include "widgets/nyrgbbits.h"

using namespace ny_clip;

namespace {

const unsigned char* PixelOf(const TNyRGBBits* b, int64_t x, int64_t y) {
    return b->Bits() + y * b->Pitch() + x * b->BitDepth();
}

const unsigned char* ValueOf(const TNyAlpha* a, int64_t x, int64_t y) {
    return a->ValueAt(x, y);
}

bool Usable(const TNyRGBBits* b) {
    return b && b->Created();
}
bool Usable(const TNyAlpha* a) {
    return a && a->Created();
}

}  // namespace

bool TNyRGBBits::AlphaBlend(int x, int y, TNyRGBBits* src1, int x1, int y1, TNyRGBBits* src2,
                            int x2, int y2, int w, int h, int rate) {
    if (!FCreated) return false;
    if (rate == 0) return Draw(x, y, src1, x1, y1, w, h);
    if (rate == 128) return Draw(x, y, src2, x2, y2, w, h);
    if (rate < 0 || rate > 128) return false;
    if (!Usable(src1) || !CompatibleFormat(src1->PixFormat(), FPixFormat)) return false;
    if (!Usable(src2) || !CompatibleFormat(src2->PixFormat(), FPixFormat)) return false;
    Cuts cuts;
    cuts.Against(x1, y1, w, h, src1->Width(), src1->Height());
    cuts.Against(x2, y2, w, h, src2->Width(), src2->Height());
    Area a{x, y, w, h};
    a.Apply(cuts);
    if (a.Empty()) return true;
    LockGuard lock1(src1);
    if (!lock1.Held()) return false;
    LockGuard lock2(src2);
    if (!lock2.Held()) return false;
    return Guarded([&] {
        // Both sources are addressed with this bitmap's depth; their formats are compatible.
        const unsigned char* p1 =
            src1->Bits() + (y1 + a.sy) * src1->Pitch() + (x1 + a.sx) * FBitDepth;
        const unsigned char* p2 =
            src2->Bits() + (y2 + a.sy) * src2->Pitch() + (x2 + a.sx) * FBitDepth;
        if (!NyAlphaBlend(a.x, a.y, a.w, a.h, p1, src1->Pitch(), p2, src2->Pitch(), rate))
            return false;
        SetModifiedBlock(a.x, a.y, a.w, a.h);
        return true;
    });
}

bool TNyRGBBits::AlphaBlend(int x, int y, TNyRGBBits* src, int sx, int sy, int w, int h, int rate) {
    if (rate == 0) return true;
    if (rate == 128) return Draw(x, y, src, sx, sy, w, h);
    return AlphaBlend(x, y, this, x, y, src, sx, sy, w, h, rate);
}

bool TNyRGBBits::ThroughAlpha(int x, int y, TNyRGBBits* src, int sx, int sy, int w, int h,
                              TNyAlpha* alpha, int rate) {
    Cuts cuts;
    cuts.Against(sx, sy, w, h, src->Width(), src->Height());
    if (alpha) cuts.Against(sx, sy, w, h, alpha->Width(), alpha->Height());
    Area a{x, y, w, h};
    a.Apply(cuts);
    if (a.Empty()) return true;
    LockGuard lock(src);
    if (!lock.Held()) return false;
    return Guarded([&] {
        const unsigned char* s = PixelOf(src, sx + a.sx, sy + a.sy);
        const ZRPixFormat f = src->PixFormat();
        bool done;
        if (!alpha) {
            done = NyAlphaMask(a.x, a.y, a.w, a.h, s, src->Pitch(), f);
        } else {
            const unsigned char* plane = ValueOf(alpha, sx + a.sx, sy + a.sy);
            done = rate == 128
                       ? NyAlphaMask(a.x, a.y, a.w, a.h, s, src->Pitch(), f, plane, alpha->Pitch())
                       : NyDoubleAlphaMask(a.x, a.y, a.w, a.h, s, src->Pitch(), f, plane,
                                           alpha->Pitch(), rate);
        }
        if (!done) return false;
        SetModifiedBlock(a.x, a.y, a.w, a.h);
        return true;
    });
}

bool TNyRGBBits::DrawAlphaMask(int x, int y, TNyRGBBits* src, int sx, int sy, int w, int h,
                               TNyAlpha* alpha) {
    if (!FCreated || !Usable(src) || !Usable(alpha)) return false;
    return ThroughAlpha(x, y, src, sx, sy, w, h, alpha, 128);
}

bool TNyRGBBits::DrawAlphaMask(int x, int y, TNyRGBBits* src, int sx, int sy, int w, int h) {
    if (!FCreated || !Usable(src)) return false;
    return ThroughAlpha(x, y, src, sx, sy, w, h, nullptr, 128);
}

bool TNyRGBBits::DrawAlphaMask(int x, int y, TNyRGBBits* src1, int x1, int y1, TNyRGBBits* src2,
                               int x2, int y2, int w, int h, TNyAlpha* alpha) {
    if (!FCreated || !Usable(src1) || !Usable(src2) || !Usable(alpha)) return false;
    // Both sources are read in src1's format, so src2 must share its pixel layout.
    if (!CompatibleFormat(src1->PixFormat(), src2->PixFormat())) return false;
    Area a{x, y, w, h};
    Cuts first;
    first.Against(x1, y1, w, h, src1->Width(), src1->Height());
    a.Apply(first);
    if (a.Empty()) return true;
    Cuts second;
    second.Against(x2 + a.sx, y2 + a.sy, a.w, a.h, src2->Width(), src2->Height());
    second.Against(x2 + a.sx, y2 + a.sy, a.w, a.h, alpha->Width(), alpha->Height());
    a.Apply(second);
    if (a.Empty()) return true;
    LockGuard lock1(src1);
    if (!lock1.Held()) return false;
    LockGuard lock2(src2);
    if (!lock2.Held()) return false;
    return Guarded([&] {
        if (!NyAlphaMask(a.x, a.y, a.w, a.h, PixelOf(src1, x1 + a.sx, y1 + a.sy), src1->Pitch(),
                         PixelOf(src2, x2 + a.sx, y2 + a.sy), src2->Pitch(), src1->PixFormat(),
                         ValueOf(alpha, x2 + a.sx, y2 + a.sy), alpha->Pitch()))
            return false;
        SetModifiedBlock(a.x, a.y, a.w, a.h);
        return true;
    });
}

bool TNyRGBBits::DrawDoubleAlphaMask(int x, int y, TNyRGBBits* src, int sx, int sy, int w, int h,
                                     TNyAlpha* alpha, int rate) {
    if (!FCreated || !Usable(src) || !Usable(alpha)) return false;
    if (rate == 0) return true;
    if (rate < 0 || rate > 128) return false;
    return ThroughAlpha(x, y, src, sx, sy, w, h, alpha, rate);
}

bool TNyRGBBits::AlphaFillRows(int x, int y, uint32_t colour, int ax, int ay, int w, int h,
                               TNyAlpha* alpha, int rate) {
    if (!FCreated || !Usable(alpha)) return false;
    const ZRFillProc fill = RGBFillProcTable[FBitDepth];
    if (!fill) return false;
    Cuts cuts;
    cuts.Against(ax, ay, w, h, alpha->Width(), alpha->Height());
    Area a{x, y, w, h};
    a.Apply(cuts);
    if (a.Empty()) return true;
    LockGuard lock(this);
    if (!lock.Held()) return false;
    // One row of the colour serves every line, with a row step of 0.
    Buffer row = NewBuffer(int64_t(a.w) * FBitDepth);
    if (!row) return false;
    return Guarded([&] {
        fill(row.get(), colour, unsigned(a.w));
        const unsigned char* plane = ValueOf(alpha, ax + a.sx, ay + a.sy);
        const bool done = rate == 128 ? NyAlphaMask(a.x, a.y, a.w, a.h, row.get(), 0, FPixFormat,
                                                    plane, alpha->Pitch())
                                      : NyDoubleAlphaMask(a.x, a.y, a.w, a.h, row.get(), 0,
                                                          FPixFormat, plane, alpha->Pitch(), rate);
        if (!done) return false;
        SetModifiedBlock(a.x, a.y, a.w, a.h);
        return true;
    });
}

bool TNyRGBBits::AlphaFill(int x, int y, uint32_t colour, int ax, int ay, int w, int h,
                           TNyAlpha* alpha) {
    return AlphaFillRows(x, y, colour, ax, ay, w, h, alpha, 128);
}

bool TNyRGBBits::AlphaFillRate(int x, int y, uint32_t colour, int ax, int ay, int w, int h,
                               TNyAlpha* alpha, int rate) {
    if (!FCreated || !Usable(alpha)) return false;
    if (rate == 0) return true;
    if (rate < 0 || rate > 128) return false;
    return AlphaFillRows(x, y, colour, ax, ay, w, h, alpha, rate);
}
