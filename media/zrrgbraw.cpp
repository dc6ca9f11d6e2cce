#include "media/zrrgbraw.h"

#include <cstddef>
#include <cstring>

const uint32_t RGBBitMask[8][4] = {
    {0, 0, 0, 0},
    {0xF800, 0x07E0, 0x001F, 0},
    {0x7C00, 0x03E0, 0x001F, 0},
    {0x7C00, 0x03E0, 0x001F, 0x8000},
    {0x0F00, 0x00F0, 0x000F, 0xF000},
    {0xFF0000, 0xFF00, 0xFF, 0},
    {0xFF0000, 0xFF00, 0xFF, 0},
    {0xFF0000, 0xFF00, 0xFF, 0xFF000000},
};

const ZRBitDepth FormatAndDepthTable[8] = {bdNone, bd16, bd16, bd16, bd16, bd24, bd32, bd32};

const int32_t ScreenSizeTable[12][2] = {
    {320, 240},  {640, 480},  {800, 600},  {1024, 768},  {1152, 864},  {1280, 720},
    {1280, 768}, {1280, 800}, {1280, 960}, {1280, 1024}, {1920, 1080}, {1920, 1440},
};

const ZRPointSetProc PointSetProcTable[5] = {nullptr, PointSet8Bit, PointSet16Bit, PointSet24Bit,
                                             PointSet32Bit};
const ZRPointGetProc PointGetProcTable[5] = {nullptr, PointGet8Bit, PointGet16Bit, PointGet24Bit,
                                             PointGet32Bit};
const ZRPointMovProc PointMovProcTable[5] = {nullptr, PointMov8Bit, PointMov16Bit, PointMov24Bit,
                                             PointMov32Bit};

bool ChkDepthAndFormat(ZRBitDepth depth, ZRPixFormat format) {
    switch (format) {
        case pfNone:
            return true;
        case pf16_565:
        case pf16_555:
        case pf16_5551:
        case pf16_4444:
            return depth == bd16;
        case pf24_888:
            return depth == bd24;
        case pf32_888:
        case pf32_8888:
            return depth == bd32;
    }
    return false;
}

bool CompatibleFormat(ZRPixFormat a, ZRPixFormat b) {
    if (a == b) return true;
    auto pair = [&](ZRPixFormat x, ZRPixFormat y) {
        return (a == x && b == y) || (a == y && b == x);
    };
    return pair(pf32_888, pf32_8888) || pair(pf16_555, pf16_5551);
}

bool PixelToScreenSize(int width, int height, ZRScreenSize& size) {
    for (int i = 0; i < 12; ++i) {
        if (ScreenSizeTable[i][0] == width && ScreenSizeTable[i][1] == height) {
            size = static_cast<ZRScreenSize>(i);
            return true;
        }
    }
    return false;
}

bool ScreenSizeToPixel(ZRScreenSize size, int& width, int& height) {
    // The enum is a byte, but callers may pass any integer converted to it.
    int v = static_cast<int>(size);
    if (v < 0 || v > 11) return false;
    width = ScreenSizeTable[v][0];
    height = ScreenSizeTable[v][1];
    return true;
}

void PointSet8Bit(void* p, uint32_t value) {
    *static_cast<uint8_t*>(p) = static_cast<uint8_t>(value);
}

void PointSet16Bit(void* p, uint32_t value) {
    uint8_t b[2] = {uint8_t(value), uint8_t(value >> 8)};
    std::memcpy(p, b, 2);
}

void PointSet24Bit(void* p, uint32_t value) {
    uint8_t b[3] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16)};
    std::memcpy(p, b, 3);
}

void PointSet32Bit(void* p, uint32_t value) {
    uint8_t b[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16),
                    uint8_t(value >> 24)};
    std::memcpy(p, b, 4);
}

uint32_t PointGet8Bit(const void* p) {
    return *static_cast<const uint8_t*>(p);
}

uint32_t PointGet16Bit(const void* p) {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8;
}

uint32_t PointGet24Bit(const void* p) {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16;
}

uint32_t PointGet32Bit(const void* p) {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

void PointMov8Bit(void* dst, const void* src) {
    std::memcpy(dst, src, 1);
}
void PointMov16Bit(void* dst, const void* src) {
    std::memcpy(dst, src, 2);
}
void PointMov24Bit(void* dst, const void* src) {
    std::memcpy(dst, src, 3);
}
void PointMov32Bit(void* dst, const void* src) {
    std::memcpy(dst, src, 4);
}

namespace {

// Walks the error-accumulator grid without any division; Pixel is the element copied and the
// pitches count elements.
template <typename Pixel>
void ZoomGrid(Pixel* src, int srcWidth, int srcHeight, std::ptrdiff_t srcPitch, Pixel* dst,
              int dstWidth, int dstHeight, std::ptrdiff_t dstPitch) {
    const int w = srcWidth > dstWidth ? srcWidth : dstWidth;
    const int h = srcHeight > dstHeight ? srcHeight : dstHeight;
    std::ptrdiff_t srcRow = 0, dstRow = 0;
    int srcRowAcc = 0, dstRowAcc = 0;
    for (int y = 0; y < h; ++y) {
        Pixel* s = src + srcRow * srcPitch;
        Pixel* d = dst + dstRow * dstPitch;
        int sAcc = 0, dAcc = 0;
        for (int x = 0; x < w; ++x) {
            *d = *s;
            sAcc += srcWidth;
            if (sAcc >= w) {
                ++s;
                sAcc -= w;
            }
            dAcc += dstWidth;
            if (dAcc >= w) {
                ++d;
                dAcc -= w;
            }
        }
        srcRowAcc += srcHeight;
        if (srcRowAcc >= h) {
            ++srcRow;
            srcRowAcc -= h;
        }
        dstRowAcc += dstHeight;
        if (dstRowAcc >= h) {
            ++dstRow;
            dstRowAcc -= h;
        }
    }
}

}  // namespace

void Zooming(unsigned char* src, int srcWidth, int srcHeight, int srcPitch, unsigned char* dst,
             int dstWidth, int dstHeight, int dstPitch) {
    ZoomGrid(src, srcWidth, srcHeight, srcPitch, dst, dstWidth, dstHeight, dstPitch);
}

void Zooming24(ZRRGB* src, int srcWidth, int srcHeight, int srcPitch, ZRRGB* dst, int dstWidth,
               int dstHeight, int dstPitch) {
    ZoomGrid(src, srcWidth, srcHeight, srcPitch, dst, dstWidth, dstHeight, dstPitch);
}
