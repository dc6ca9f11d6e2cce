// Single pixels, lines, boxes and pixel blocks of the bitmap: each checks, delegates to a raw
// kernel (or touches the one pixel itself) and reports the area it changed.
#include "media/zrrgbcopy.h"
#include "platform/exception.h"
#include "widgets/nyclip.h"
#include "widgets/nyrgbbits.h"

using namespace ny_clip;

bool TNyRGBBits::PSet(int x, int y, uint32_t pixel) {
    if (!FCreated || !PointSetProcTable[FBitDepth]) return false;
    if (x < 0 || x >= FWidth || y < 0 || y >= FHeight) return false;
    LockGuard lock(this);
    if (!lock.Held()) return false;
    try {
        PointSetProcTable[FBitDepth](PixelAt(x, y), pixel);
        SetModified(x, y, x, y);
    } catch (const plat::Exception&) {
        return false;
    }
    return true;
}

uint32_t TNyRGBBits::PGet(int x, int y) {
    if (!FCreated || !PointGetProcTable[FBitDepth]) return 0;
    if (x < 0 || x >= FWidth || y < 0 || y >= FHeight) return 0;
    LockGuard lock(this);
    if (!lock.Held()) return 0;
    try {
        return PointGetProcTable[FBitDepth](PixelAt(x, y));
    } catch (const plat::Exception&) {
        return 0;
    }
}

uint32_t TNyRGBBits::TopLeftGet() {
    if (!FCreated || !PointGetProcTable[FBitDepth]) return 0;
    LockGuard lock(this);
    if (!lock.Held()) return 0;
    try {
        return PointGetProcTable[FBitDepth](FBits);
    } catch (const plat::Exception&) {
        return 0;
    }
}

bool TNyRGBBits::Line(int x1, int y1, int x2, int y2, uint32_t pixel) {
    if (!FCreated) return false;
    const bool done = NyLine(x1, y1, x2, y2, pixel);
    SetModified(x1, y1, x2, y2);
    return done;
}

bool TNyRGBBits::Box(int x1, int y1, int x2, int y2, uint32_t pixel) {
    if (!FCreated) return false;
    LockGuard lock(this);
    if (!lock.Held()) return false;
    x1 = Clamp16(x1), y1 = Clamp16(y1), x2 = Clamp16(x2), y2 = Clamp16(y2);
    bool done;
    try {
        if (x1 == x2 || y1 == y2) {
            done = NyLine(x1, y1, x2, y2, pixel);
        } else {
            // Every side is drawn even when an earlier one was refused.
            const bool top = NyLine(x1, y1, x2, y1, pixel);
            const bool left = NyLine(x1, y1, x1, y2, pixel);
            const bool bottom = NyLine(x1, y2, x2, y2, pixel);
            const bool right = NyLine(x2, y1, x2, y2, pixel);
            done = top && left && bottom && right;
        }
    } catch (const plat::Exception&) {
        done = false;
    }
    SetModified(x1, y1, x2, y2);
    return done;
}

bool TNyRGBBits::BoxFill(int x1, int y1, int x2, int y2, uint32_t pixel) {
    if (!NyBoxFill(x1, y1, x2, y2, pixel)) return false;
    SetModified(x1, y1, x2, y2);
    return true;
}

bool TNyRGBBits::PutPat(int x, int y, int w, int h, const unsigned char* block) {
    return PutPatPitch(x, y, w, h, block, FBitDepth * w);
}

bool TNyRGBBits::PutPatPitch(int x, int y, int w, int h, const unsigned char* block, int rowStep) {
    if (!NyPutPat(x, y, w, h, block, rowStep, false, 0)) return false;
    SetModifiedBlock(x, y, w, h);
    return true;
}

bool TNyRGBBits::PasPat(int x, int y, int w, int h, const unsigned char* block, uint32_t key) {
    return PasPatPitch(x, y, w, h, block, FBitDepth * w, key);
}

bool TNyRGBBits::PasPatPitch(int x, int y, int w, int h, const unsigned char* block, int rowStep,
                             uint32_t key) {
    if (!NyPutPat(x, y, w, h, block, rowStep, true, key)) return false;
    SetModifiedBlock(x, y, w, h);
    return true;
}

bool TNyRGBBits::PasMPat(int x, int y, int w, int h, const unsigned char* block,
                         const unsigned char* mask, int maskWidth, int maskHeight) {
    if (!NyPutPatM(x, y, w, h, block, FBitDepth * w, mask, maskWidth, maskHeight)) return false;
    SetModifiedBlock(x, y, w, h);
    return true;
}

bool TNyRGBBits::GetPat(int x, int y, int w, int h, unsigned char* block) {
    return NyGetPat(x, y, w, h, block);
}

bool TNyRGBBits::IndexColorCopy(int x, int y, const unsigned char* indices, const ZRQuad* palette,
                                int sx, int sy, int w, int h, int rowStep) {
    if (!FCreated || !indices) return false;
    try {
        if (!NyIndexColor(x, y, w, h, indices + int64_t(sy) * rowStep + sx, palette, rowStep))
            return false;
        SetModifiedBlock(x, y, w, h);
    } catch (const plat::Exception&) {
        return false;
    }
    return true;
}
