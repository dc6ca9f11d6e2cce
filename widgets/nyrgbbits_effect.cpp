// In-place colour effects on a rectangle: tone, grey, sepia and negative. 24- and 32-bit rows
// are worked in place; 16-bit rows go through one 24-bit row buffer and back.
#include "media/zrrgbcopy.h"
#include "media/zrrgbeffect.h"
#include "platform/exception.h"
#include "widgets/nyclip.h"
#include "widgets/nyrgbbits.h"

using namespace ny_clip;

namespace {

void ToneRow(unsigned char* row, unsigned n, int step, uint32_t tone, bool mmx) {
    // Byte 3 of the tone is 0x80 so the fast 32-bit form keeps a pixel's fourth byte as the
    // plain form does.
    tone = (tone & 0x00FFFFFF) | 0x80000000;
    if (step == 4)
        (mmx ? RGBTone32_MMX : RGBTone32)(row, row, tone, n);
    else
        (mmx ? RGBTone24_MMX : RGBTone24)(row, row, tone, n);
}

void MonochromeRow(unsigned char* row, unsigned n, int step, uint32_t, bool) {
    (step == 4 ? RGBMonochrome32 : RGBMonochrome24)(row, row, n);
}

void SepiaRow(unsigned char* row, unsigned n, int step, uint32_t, bool) {
    for (unsigned i = 0; i < n; ++i, row += step) {
        const int b = row[0], g = row[1], r = row[2], sum = b + g + r;
        row[0] = static_cast<unsigned char>((b + sum) / 8);
        row[1] = static_cast<unsigned char>((g + sum) / 5);
        row[2] = static_cast<unsigned char>((r + sum) / 4);
    }
}

void NegativeRow(unsigned char* row, unsigned n, int step, uint32_t, bool) {
    for (unsigned i = 0; i < n; ++i, row += step)
        for (int c = 0; c < 3; ++c) row[c] = static_cast<unsigned char>(255 - row[c]);
}

}  // namespace

bool TNyRGBBits::Effect(int x1, int y1, int x2, int y2, EffectRow rowEffect, uint32_t tone) {
    if (!FCreated) return false;
    const ZRRowConvertProc toTriples = RGBTRIPLEcpyFromProcTable[FPixFormat];
    const ZRRowConvertProc fromTriples = RGBTRIPLEcpyToProcTable[FPixFormat];
    if (!toTriples || !fromTriples) return false;
    const bool direct = FBitDepth == bd24 || FBitDepth == bd32;
    Buffer triples;
    if (!direct && !(triples = NewBuffer(int64_t(FWidth) * 3))) return false;
    LockGuard lock(this);
    if (!lock.Held()) return false;
    try {
        if (ClipCorners(x1, y1, x2, y2, FWidth, FHeight)) {
            const unsigned n = unsigned(x2 - x1 + 1);
            for (int y = y1; y <= y2; ++y) {
                unsigned char* row = PixelAt(x1, y);
                if (direct) {
                    rowEffect(row, n, FBitDepth, tone, FMmx);
                } else {
                    toTriples(triples.get(), row, n);
                    rowEffect(triples.get(), n, 3, tone, FMmx);
                    fromTriples(row, triples.get(), n);
                }
            }
        }
    } catch (const plat::Exception&) {
        return false;
    }
    SetModified();
    return true;
}

bool TNyRGBBits::ToneChange(int x1, int y1, int x2, int y2, uint32_t tone) {
    return Effect(x1, y1, x2, y2, ToneRow, tone);
}

bool TNyRGBBits::Monochrome(int x1, int y1, int x2, int y2) {
    return Effect(x1, y1, x2, y2, MonochromeRow, 0);
}

bool TNyRGBBits::Sepia(int x1, int y1, int x2, int y2) {
    return Effect(x1, y1, x2, y2, SepiaRow, 0);
}

bool TNyRGBBits::Negative(int x1, int y1, int x2, int y2) {
    return Effect(x1, y1, x2, y2, NegativeRow, 0);
}
