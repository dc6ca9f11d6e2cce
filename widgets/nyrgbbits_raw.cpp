// The bitmap's raw kernels: each checks, clips against the bitmap, locks it and hands whole rows
// to a row routine chosen once per call by the bitmap's depth or format (the fast set when the
// bitmap's Mmx is set). A class-library exception raised while rows are worked unlocks the
// bitmap and becomes a false result; rows drawn before it stay drawn.
#include <cstdlib>
#include <cstring>

#include "media/zrmem.h"
#include "media/zrrgbcopy.h"
#include "media/zrrgbeffect.h"
#include "platform/exception.h"
#include "widgets/nyclip.h"
#include "widgets/nyrgbbits.h"

using namespace ny_clip;

namespace {

int SourceBytes(ZRPixFormat f) {
    return f <= pf32_8888 ? FormatAndDepthTable[f] : 0;
}

using AlphaRowProc = void* (*)(void*, const void*, const void*, unsigned int);

struct AlphaProcs {
    AlphaRowProc row24, row32;
};

AlphaProcs SingleAlpha(bool mmx) {
    return mmx ? AlphaProcs{RGBAlphaOutChannel_MMX, RGBAlphaOutChannel32_MMX}
               : AlphaProcs{RGBAlphaOutChannel, RGBAlphaOutChannel32};
}

AlphaProcs DoubleAlpha(bool mmx) {
    return mmx ? AlphaProcs{RGBDoubleAlphaOutChannel_MMX, RGBDoubleAlphaOutChannel32_MMX}
               : AlphaProcs{RGBDoubleAlphaOutChannel, RGBDoubleAlphaOutChannel32};
}

}  // namespace

bool TNyRGBBits::NyLine(int x1, int y1, int x2, int y2, uint32_t pixel) {
    if (!FCreated) return false;
    const ZRPointSetProc set = PointSetProcTable[FBitDepth];
    if (!set) return false;
    LockGuard lock(this);
    if (!lock.Held()) return false;
    return Guarded([&] {
        WalkLine(x1, y1, x2, y2, [&](int x, int y) {
            if (x >= 0 && x < FWidth && y >= 0 && y < FHeight) set(PixelAt(x, y), pixel);
        });
        return true;
    });
}

bool TNyRGBBits::NyBoxFill(int x1, int y1, int x2, int y2, uint32_t pixel) {
    if (!FCreated) return false;
    const ZRFillProc fill = RGBFillProcTable[FBitDepth];
    if (!fill) return false;
    LockGuard lock(this);
    if (!lock.Held()) return false;
    return Guarded([&] {
        if (!ClipCorners(x1, y1, x2, y2, FWidth, FHeight)) return true;
        for (int y = y1; y <= y2; ++y) fill(PixelAt(x1, y), pixel, unsigned(x2 - x1 + 1));
        return true;
    });
}

bool TNyRGBBits::NyPutPat(int x, int y, int w, int h, const unsigned char* src, int srcPitch,
                          bool useKey, uint32_t key) {
    if (FReverse) return NyPutPatR(x, y, w, h, src, srcPitch, useKey, key);
    if (!FCreated) return false;
    const ZRKeyColorProc keyCopy = RGBKeyColorProcTable[FBitDepth];
    if (!keyCopy) return false;
    const Area a = Clipped(x, y, w, h, FWidth, FHeight);
    if (a.Empty()) return true;
    LockGuard lock(this);
    if (!lock.Held()) return false;
    return Guarded([&] {
        const unsigned char* s = src + a.sy * srcPitch + a.sx * FBitDepth;
        const unsigned n = unsigned(a.w);
        for (int j = 0; j < a.h; ++j, s += srcPitch) {
            unsigned char* d = PixelAt(a.x, a.y + j);
            if (useKey)
                keyCopy(d, s, n, key);
            else
                ZRMemcpy(d, s, n * FBitDepth);
        }
        return true;
    });
}

bool TNyRGBBits::NyPutPatR(int x, int y, int w, int h, const unsigned char* src, int srcPitch,
                           bool useKey, uint32_t key) {
    if (!FReverse || !FCreated) return false;
    const ZRReverseProc mirror = RGBReverseProcTable[FBitDepth];
    const ZRKeyColorProc keyMirror = RGBRevKeyColorProcTable[FBitDepth];
    if (!mirror || !keyMirror) return false;
    Cuts cuts;
    cuts.Against(x, y, w, h, FWidth, FHeight);
    // The columns cut on the right are the block's first ones, so only they move the source.
    Area a{x, y, w, h};
    a.Apply(cuts);
    if (a.Empty()) return true;
    const int64_t firstColumn = std::max<int64_t>(cuts.right, 0);
    LockGuard lock(this);
    if (!lock.Held()) return false;
    return Guarded([&] {
        const unsigned char* s = src + a.sy * srcPitch + firstColumn * FBitDepth;
        const unsigned n = unsigned(a.w);
        for (int j = 0; j < a.h; ++j, s += srcPitch) {
            unsigned char* d = PixelAt(a.x, a.y + j);
            if (useKey)
                keyMirror(d, s, n, key);
            else
                mirror(d, s, n);
        }
        return true;
    });
}

namespace {

// The mask bit of block column i in a mask row.
bool MaskBit(const unsigned char* maskRow, int64_t i, int maskWidth) {
    const int64_t b = i % maskWidth;
    return maskRow[b >> 3] & (0x80 >> (b & 7));
}

}  // namespace

bool TNyRGBBits::NyPutPatM(int x, int y, int w, int h, const unsigned char* src, int srcPitch,
                           const unsigned char* mask, int maskWidth, int maskHeight) {
    if (FReverse) return NyPutPatMR(x, y, w, h, src, srcPitch, mask, maskWidth, maskHeight);
    return PutMasked(x, y, w, h, src, srcPitch, mask, maskWidth, maskHeight, false);
}

bool TNyRGBBits::NyPutPatMR(int x, int y, int w, int h, const unsigned char* src, int srcPitch,
                            const unsigned char* mask, int maskWidth, int maskHeight) {
    if (!FReverse) return false;
    return PutMasked(x, y, w, h, src, srcPitch, mask, maskWidth, maskHeight, true);
}

bool TNyRGBBits::PutMasked(int x, int y, int w, int h, const unsigned char* src, int srcPitch,
                           const unsigned char* mask, int maskWidth, int maskHeight, bool mirror) {
    if (!mask || maskWidth <= 0 || maskHeight <= 0 || !FCreated) return false;
    const ZRMaskColorProc rowCopy =
        (mirror ? RGBRevMaskColorProcTable : RGBMaskColorProcTable)[FBitDepth];
    const ZRPointMovProc move = PointMovProcTable[FBitDepth];
    if (!rowCopy || !move) return false;
    LockGuard lock(this);
    if (!lock.Held()) return false;
    return Guarded([&] {
        const int64_t maskPitch = (int64_t(maskWidth) + 7) / 8;
        const bool inside =
            x >= 0 && int64_t(x) + w <= FWidth && y >= 0 && int64_t(y) + h <= FHeight;
        const int64_t x0 = std::max(x, 0), x1 = std::min<int64_t>(int64_t(x) + w, FWidth);
        const int64_t last = int64_t(x) + w - 1;  // where block column 0 lands when mirrored
        for (int64_t j = 0; j < h; ++j) {
            const int64_t dy = y + j;
            if (!inside && (dy < 0 || dy >= FHeight)) continue;
            const unsigned char* s = src + j * srcPitch;
            const unsigned char* m = mask + (j % maskHeight) * maskPitch;
            if (inside) {
                rowCopy(PixelAt(x, dy), s, unsigned(w), m, unsigned(maskWidth));
                continue;
            }
            for (int64_t dx = x0; dx < x1; ++dx) {
                const int64_t i = mirror ? last - dx : dx - x;
                if (MaskBit(m, i, maskWidth)) move(PixelAt(dx, dy), s + i * FBitDepth);
            }
        }
        return true;
    });
}

bool TNyRGBBits::NyGetPat(int x, int y, int w, int h, unsigned char* dst) {
    if (!FCreated) return false;
    const Area a = Clipped(x, y, w, h, FWidth, FHeight);
    if (a.Empty()) return true;
    LockGuard lock(this);
    if (!lock.Held()) return false;
    return Guarded([&] {
        const int64_t step = int64_t(w) * FBitDepth;
        unsigned char* d = dst + a.sy * step + a.sx * FBitDepth;
        for (int j = 0; j < a.h; ++j, d += step)
            ZRMemcpy(d, PixelAt(a.x, a.y + j), unsigned(a.w) * FBitDepth);
        return true;
    });
}

bool TNyRGBBits::NyConvert(int x, int y, int w, int h, const unsigned char* src,
                           ZRPixFormat srcFormat, int srcPitch) {
    if (!FCreated || srcFormat > pf32_8888) return false;
    ZRRowConvertProc first = nullptr, second = nullptr;
    const bool same = srcFormat == FPixFormat;
    if (same) {
    } else if (srcFormat == pf24_888) {
        first = RGBTRIPLEcpyToProcTable[FPixFormat];
    } else if (srcFormat == pf32_888 || srcFormat == pf32_8888) {
        first = RGBQUADcpyToProcTable[FPixFormat];
    } else if (FPixFormat == pf24_888) {
        first = RGBTRIPLEcpyFromProcTable[srcFormat];
    } else if (FPixFormat == pf32_888 || FPixFormat == pf32_8888) {
        first = RGBQUADcpyFromProcTable[srcFormat];
    } else {
        first = RGBTRIPLEcpyFromProcTable[srcFormat];
        second = RGBTRIPLEcpyToProcTable[FPixFormat];
        if (!second) return false;
    }
    if (!same && !first) return false;
    Area a{x, y, w, h};
    a.Direct(FWidth, FHeight);
    if (a.Empty()) return true;
    Buffer triples;
    if (second && !(triples = NewBuffer(int64_t(a.w) * 3))) return false;
    LockGuard lock(this);
    if (!lock.Held()) return false;
    return Guarded([&] {
        const unsigned char* s = src + a.sy * srcPitch + a.sx * SourceBytes(srcFormat);
        const unsigned n = unsigned(a.w);
        for (int j = 0; j < a.h; ++j, s += srcPitch) {
            unsigned char* d = PixelAt(a.x, a.y + j);
            if (same) {
                ZRMemcpy(d, s, n * FBitDepth);
            } else if (second) {
                first(triples.get(), s, n);
                second(d, triples.get(), n);
            } else {
                first(d, s, n);
            }
        }
        return true;
    });
}

bool TNyRGBBits::NyIndexColor(int x, int y, int w, int h, const unsigned char* indices,
                              const ZRQuad* palette, int srcPitch) {
    if (!FCreated) return false;
    const ZRRowConvertProc pack = RGBQUADcpyToProcTable[FPixFormat];
    if (!pack) return false;
    Area a{x, y, w, h};
    a.Direct(FWidth, FHeight);
    if (a.Empty()) return true;
    Buffer quads;
    if (FBitDepth != bd24 && FBitDepth != bd32 && !(quads = NewBuffer(int64_t(a.w) * 4)))
        return false;
    LockGuard lock(this);
    if (!lock.Held()) return false;
    return Guarded([&] {
        const unsigned char* s = indices + a.sy * srcPitch + a.sx;
        const unsigned n = unsigned(a.w);
        for (int j = 0; j < a.h; ++j, s += srcPitch) {
            unsigned char* d = PixelAt(a.x, a.y + j);
            if (FBitDepth == bd24) {
                RGBTRIPLEcpyFrom8(d, s, palette, n);
            } else if (FBitDepth == bd32) {
                RGBQUADcpyFrom8(d, s, palette, n);
            } else {
                RGBQUADcpyFrom8(quads.get(), s, palette, n);
                pack(d, quads.get(), n);
            }
        }
        return true;
    });
}

bool TNyRGBBits::NyAlphaBlend(int x, int y, int w, int h, const unsigned char* srcA, int pitchA,
                              const unsigned char* srcB, int pitchB, int rate) {
    if (!FCreated) return false;
    ZRBlendProc blend;
    if (rate == 64) {
        blend = (FMmx ? RGBHalfMMXProcTable : RGBHalfProcTable)[FPixFormat];
    } else {
        SetAlphaParam(rate);
        blend = (FMmx ? RGBAlphaMMXProcTable : RGBAlphaProcTable)[FPixFormat];
    }
    if (!blend) return false;
    Area a{x, y, w, h};
    a.Direct(FWidth, FHeight);
    if (a.Empty()) return true;
    LockGuard lock(this);
    if (!lock.Held()) return false;
    return Guarded([&] {
        const unsigned char* pa = srcA + a.sy * pitchA + a.sx * FBitDepth;
        const unsigned char* pb = srcB + a.sy * pitchB + a.sx * FBitDepth;
        for (int j = 0; j < a.h; ++j, pa += pitchA, pb += pitchB)
            blend(PixelAt(a.x, a.y + j), pa, pb, unsigned(a.w));
        return true;
    });
}

bool TNyRGBBits::NyCombine(RowCombine combine, int x, int y, int w, int h, const unsigned char* src,
                           int srcPitch) {
    Area a{x, y, w, h};
    a.Direct(FWidth, FHeight);
    if (a.Empty()) return true;
    LockGuard lock(this);
    if (!lock.Held()) return false;
    return Guarded([&] {
        const unsigned char* s = src + a.sy * srcPitch + a.sx * FBitDepth;
        for (int j = 0; j < a.h; ++j, s += srcPitch)
            combine(PixelAt(a.x, a.y + j), s, unsigned(a.w));
        return true;
    });
}

bool TNyRGBBits::NySaturationAdd(int x, int y, int w, int h, const unsigned char* src,
                                 int srcPitch) {
    const ZRCombineProc add = (FMmx ? RGBAddMMXProcTable : RGBAddProcTable)[FPixFormat];
    if (!FCreated || !add) return false;
    return NyCombine(add, x, y, w, h, src, srcPitch);
}

bool TNyRGBBits::NySaturationSub(int x, int y, int w, int h, const unsigned char* src,
                                 int srcPitch) {
    const ZRCombineProc sub = (FMmx ? RGBSubMMXProcTable : RGBSubProcTable)[FPixFormat];
    if (!FCreated || !sub) return false;
    return NyCombine(sub, x, y, w, h, src, srcPitch);
}

bool TNyRGBBits::NyAlphaRows(int x, int y, int w, int h, const unsigned char* srcA, int pitchA,
                             const unsigned char* srcB, int pitchB, ZRPixFormat srcFormat,
                             const unsigned char* alpha, int alphaPitch, bool scaled) {
    if (!FCreated || srcFormat > pf32_8888) return false;
    const ZRRowConvertProc srcToQuads = RGBQUADcpyFromProcTable[srcFormat];
    const ZRRowConvertProc toQuads = RGBQUADcpyFromProcTable[FPixFormat];
    const ZRRowConvertProc fromQuads = RGBQUADcpyToProcTable[FPixFormat];
    if (!srcToQuads || !toQuads || !fromQuads) return false;
    const AlphaProcs procs = scaled ? DoubleAlpha(FMmx) : SingleAlpha(FMmx);
    const int srcBytes = SourceBytes(srcFormat);
    Area a{x, y, w, h};
    a.Direct(FWidth, FHeight);
    if (a.Empty()) return true;
    const bool inPlace = srcBytes == FBitDepth && (srcBytes == 3 || srcBytes == 4);
    const int64_t quadRow = int64_t(a.w) * 4;
    Buffer quadsA, quadsB, quadsD;
    if (!inPlace) {
        if (srcBytes != 4) {
            if (!(quadsB = NewBuffer(quadRow))) return false;
            if (srcA && !(quadsA = NewBuffer(quadRow))) return false;
        }
        if (FBitDepth != bd32 && !(quadsD = NewBuffer(quadRow))) return false;
    }
    LockGuard lock(this);
    if (!lock.Held()) return false;
    return Guarded([&] {
        const int64_t skip = a.sx * srcBytes;
        const unsigned char* pa = srcA ? srcA + a.sy * pitchA + skip : nullptr;
        const unsigned char* pb = srcB + a.sy * pitchB + skip;
        const unsigned char* pm = alpha + a.sy * alphaPitch + a.sx;
        const unsigned n = unsigned(a.w);
        for (int j = 0; j < a.h; ++j, pb += pitchB, pm += alphaPitch) {
            unsigned char* d = PixelAt(a.x, a.y + j);
            if (inPlace) {
                if (pa) ZRMemcpy(d, pa, n * FBitDepth);
                (FBitDepth == bd24 ? procs.row24 : procs.row32)(d, pb, pm, n);
            } else {
                const unsigned char* qb = pb;
                if (quadsB) qb = static_cast<unsigned char*>(srcToQuads(quadsB.get(), pb, n));
                unsigned char* qd = quadsD ? quadsD.get() : d;
                if (pa) {
                    if (quadsA)
                        srcToQuads(qd, pa, n);
                    else
                        ZRMemcpy(qd, pa, n * 4);
                } else if (quadsD) {
                    toQuads(qd, d, n);
                }
                procs.row32(qd, qb, pm, n);
                if (quadsD) fromQuads(d, qd, n);
            }
            if (pa) pa += pitchA;
        }
        return true;
    });
}

bool TNyRGBBits::NyAlphaMask(int x, int y, int w, int h, const unsigned char* src, int srcPitch,
                             ZRPixFormat srcFormat, const unsigned char* alpha, int alphaPitch) {
    return NyAlphaRows(x, y, w, h, nullptr, 0, src, srcPitch, srcFormat, alpha, alphaPitch, false);
}

bool TNyRGBBits::NyAlphaMask(int x, int y, int w, int h, const unsigned char* srcA, int pitchA,
                             const unsigned char* srcB, int pitchB, ZRPixFormat srcFormat,
                             const unsigned char* alpha, int alphaPitch) {
    return NyAlphaRows(x, y, w, h, srcA, pitchA, srcB, pitchB, srcFormat, alpha, alphaPitch, false);
}

bool TNyRGBBits::NyDoubleAlphaMask(int x, int y, int w, int h, const unsigned char* src,
                                   int srcPitch, ZRPixFormat srcFormat, const unsigned char* alpha,
                                   int alphaPitch, int rate) {
    SetDoubleAlphaParam(rate);
    return NyAlphaRows(x, y, w, h, nullptr, 0, src, srcPitch, srcFormat, alpha, alphaPitch, true);
}

bool TNyRGBBits::NyAlphaMask(int x, int y, int w, int h, const unsigned char* src, int srcPitch,
                             ZRPixFormat srcFormat) {
    if (srcFormat != pf32_8888) return NyConvert(x, y, w, h, src, srcFormat, srcPitch);
    if (!FCreated) return false;
    const ZRRowConvertProc toQuads = RGBQUADcpyFromProcTable[FPixFormat];
    const ZRRowConvertProc fromQuads = RGBQUADcpyToProcTable[FPixFormat];
    if (!toQuads || !fromQuads) return false;
    const auto blend = FMmx ? RGBAlphaInChannel_MMX : RGBAlphaInChannel;
    Area a{x, y, w, h};
    a.Direct(FWidth, FHeight);
    if (a.Empty()) return true;
    Buffer quads;
    if (FBitDepth != bd32 && !(quads = NewBuffer(int64_t(a.w) * 4))) return false;
    LockGuard lock(this);
    if (!lock.Held()) return false;
    return Guarded([&] {
        const unsigned char* s = src + a.sy * srcPitch + a.sx * 4;
        const unsigned n = unsigned(a.w);
        for (int j = 0; j < a.h; ++j, s += srcPitch) {
            unsigned char* d = PixelAt(a.x, a.y + j);
            if (!quads) {
                blend(d, s, n);
                continue;
            }
            toQuads(quads.get(), d, n);
            blend(quads.get(), s, n);
            fromQuads(d, quads.get(), n);
        }
        return true;
    });
}
