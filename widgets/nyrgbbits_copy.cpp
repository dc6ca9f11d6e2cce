// Copies from one bitmap into another. The strict forms refuse a source rectangle that leaves
// the source; the clipping forms cut it to the source, keeping every surviving pixel where it
// would have landed. The destination side is clipped by the raw kernels.
#include "platform/exception.h"
#include "widgets/nyclip.h"
#include "widgets/nyrgbbits.h"

using namespace ny_clip;

namespace {

bool InsideSource(const TNyRGBBits* src, int sx, int sy, int w, int h) {
    return sx >= 0 && int64_t(sx) + w <= src->Width() && sy >= 0 &&
           int64_t(sy) + h <= src->Height();
}

// Cuts (x, y, w, h) so that (sx, sy, w, h) lies inside the source.
Area ClipToSource(const TNyRGBBits* src, int x, int y, int sx, int sy, int w, int h) {
    Cuts cuts;
    cuts.Against(sx, sy, w, h, src->Width(), src->Height());
    Area a{x, y, w, h};
    a.Apply(cuts);
    a.sx += sx, a.sy += sy;
    return a;
}

}  // namespace

// Steps shared by the strict copies; put hands the first source byte and the source pitch on.
template <typename Put>
static bool StrictCopy(TNyRGBBits* dst, TNyRGBBits* src, int sx, int sy, int w, int h, Put put) {
    if (!src || !src->Created()) return false;
    if (!CompatibleFormat(src->PixFormat(), dst->PixFormat())) return false;
    if (!InsideSource(src, sx, sy, w, h)) return false;
    LockGuard lock(src);
    if (!lock.Held()) return false;
    return Guarded([&] {
        const unsigned char* s =
            src->Bits() + int64_t(sy) * src->Pitch() + int64_t(sx) * src->BitDepth();
        return put(s, src->Pitch());
    });
}

bool TNyRGBBits::Draw(int x, int y, TNyRGBBits* src, int sx, int sy, int w, int h) {
    return StrictCopy(this, src, sx, sy, w, h, [&](const unsigned char* s, int pitch) {
        if (!NyPutPat(x, y, w, h, s, pitch, false, 0)) return false;
        SetModifiedBlock(x, y, w, h);
        return true;
    });
}

bool TNyRGBBits::FillRows(int x, int y, int w, int h, const RowFill& fill) {
    if (!FCreated || FReverse || !fill) return false;
    const Area a = Clipped(x, y, w, h, FWidth, FHeight);
    if (a.Empty()) return true;
    LockGuard lock(this);
    if (!lock.Held()) return false;
    return Guarded([&] {
        if (!fill(PixelAt(a.x, a.y), FPitch, int(a.sx), int(a.sy), a.w, a.h)) return false;
        SetModifiedBlock(a.x, a.y, a.w, a.h);
        return true;
    });
}

bool TNyRGBBits::DrawKey(int x, int y, TNyRGBBits* src, int sx, int sy, int w, int h, ZRRGB key) {
    const uint32_t pixel = TNyRGBtoPixel(key);
    return StrictCopy(this, src, sx, sy, w, h, [&](const unsigned char* s, int pitch) {
        if (!NyPutPat(x, y, w, h, s, pitch, true, pixel)) return false;
        SetModifiedBlock(x, y, w, h);
        return true;
    });
}

bool TNyRGBBits::DrawTLKey(int x, int y, TNyRGBBits* src, int sx, int sy, int w, int h) {
    return StrictCopy(this, src, sx, sy, w, h, [&](const unsigned char* s, int pitch) {
        if (!NyPutPat(x, y, w, h, s, pitch, true, src->TopLeftGet())) return false;
        SetModifiedBlock(x, y, w, h);
        return true;
    });
}

bool TNyRGBBits::DrawMask(int x, int y, TNyRGBBits* src, int sx, int sy, int w, int h,
                          const unsigned char* mask, int maskWidth, int maskHeight) {
    return StrictCopy(this, src, sx, sy, w, h, [&](const unsigned char* s, int pitch) {
        if (!NyPutPatM(x, y, w, h, s, pitch, mask, maskWidth, maskHeight)) return false;
        SetModifiedBlock(x, y, w, h);
        return true;
    });
}

bool TNyRGBBits::ClipDraw(int x, int y, TNyRGBBits* src, int sx, int sy, int w, int h) {
    if (!src || !src->Created()) return false;
    if (!CompatibleFormat(src->PixFormat(), FPixFormat)) return false;
    if (FReverse) return false;
    const Area a = ClipToSource(src, x, y, sx, sy, w, h);
    if (a.Empty()) return true;
    return Draw(a.x, a.y, src, int(a.sx), int(a.sy), a.w, a.h);
}

// The clipping copies: kernel draws the clipped area from the source's first byte and reports it.
template <typename Kernel>
static bool ClippedCopy(TNyRGBBits* dst, TNyRGBBits* src, bool sameFormats, int x, int y, int sx,
                        int sy, int w, int h, Kernel kernel) {
    if (!dst->Created() || !src || !src->Created()) return false;
    if (sameFormats && !CompatibleFormat(src->PixFormat(), dst->PixFormat())) return false;
    const Area a = ClipToSource(src, x, y, sx, sy, w, h);
    if (a.Empty()) return true;
    LockGuard lock(src);
    if (!lock.Held()) return false;
    return Guarded([&] {
        const unsigned char* s = src->Bits() + a.sy * src->Pitch() + a.sx * src->BitDepth();
        return kernel(a, s);
    });
}

bool TNyRGBBits::ConvertCopy(int x, int y, TNyRGBBits* src, int sx, int sy, int w, int h) {
    return ClippedCopy(this, src, false, x, y, sx, sy, w, h, [&](const Area& a, auto s) {
        if (!NyConvert(a.x, a.y, a.w, a.h, s, src->PixFormat(), src->Pitch())) return false;
        SetModifiedBlock(a.x, a.y, a.w, a.h);
        return true;
    });
}

bool TNyRGBBits::SaturationAdd(int x, int y, TNyRGBBits* src, int sx, int sy, int w, int h) {
    return ClippedCopy(this, src, true, x, y, sx, sy, w, h, [&](const Area& a, auto s) {
        if (!NySaturationAdd(a.x, a.y, a.w, a.h, s, src->Pitch())) return false;
        SetModifiedBlock(a.x, a.y, a.w, a.h);
        return true;
    });
}

bool TNyRGBBits::SaturationSub(int x, int y, TNyRGBBits* src, int sx, int sy, int w, int h) {
    return ClippedCopy(this, src, true, x, y, sx, sy, w, h, [&](const Area& a, auto s) {
        if (!NySaturationSub(a.x, a.y, a.w, a.h, s, src->Pitch())) return false;
        SetModifiedBlock(a.x, a.y, a.w, a.h);
        return true;
    });
}
