// Pixel vocabulary shared by every pixel-handling unit: formats, bit depths, screen sizes, the
// three-byte colour ZRRGB, the tables that describe each format, single-pixel access by depth
// and nearest-neighbour rescaling.
#pragma once
#include <cstdint>

enum ZRPixFormat : uint8_t {
    pfNone,
    pf16_565,
    pf16_555,
    pf16_5551,
    pf16_4444,
    pf24_888,
    pf32_888,
    pf32_8888,
};

// The value is the number of bytes per pixel.
enum ZRBitDepth : uint8_t { bdNone, bd8, bd16, bd24, bd32 };

enum ZRScreenSize : uint8_t {
    ss320x240,
    ss640x480,
    ss800x600,
    ss1024x768,
    ss1152x864,
    ss1280x720,
    ss1280x768,
    ss1280x800,
    ss1280x960,
    ss1280x1024,
    ss1920x1080,
    ss1920x1440,
};

// A four-byte colour record in memory order blue, green, red, reserved (or alpha): the element
// of palettes and of 32-bit rows.
struct ZRQuad {
    uint8_t blue;
    uint8_t green;
    uint8_t red;
    uint8_t reserved;
};
static_assert(sizeof(ZRQuad) == 4);

// Three bytes blue, green, red: an array of ZRRGB is a pf24_888 row.
struct ZRRGB {
    uint8_t blue = 0;
    uint8_t green = 0;
    uint8_t red = 0;

    ZRRGB() = default;
    ZRRGB(uint8_t r, uint8_t g, uint8_t b) : blue(b), green(g), red(r) {}
    ZRRGB(const ZRQuad& q) : blue(q.blue), green(q.green), red(q.red) {}
    // From 0x00RRGGBB; the top byte is ignored.
    ZRRGB(uint32_t c)
        : blue(static_cast<uint8_t>(c)),
          green(static_cast<uint8_t>(c >> 8)),
          red(static_cast<uint8_t>(c >> 16)) {}
    ZRRGB& operator=(const ZRQuad& q) { return *this = ZRRGB(q); }
    ZRRGB& operator=(uint32_t c) { return *this = ZRRGB(c); }

    ZRQuad ToRGBQUAD() const { return ZRQuad{blue, green, red, 0}; }
    uint32_t ToDWORD() const { return uint32_t(red) << 16 | uint32_t(green) << 8 | blue; }
    // 0x00BBGGRR, the order the outside world's colour references use.
    uint32_t ToCOLORREF() const { return uint32_t(blue) << 16 | uint32_t(green) << 8 | red; }
};
static_assert(sizeof(ZRRGB) == 3);

// Masks red, green, blue, alpha by format.
extern const uint32_t RGBBitMask[8][4];
// Bit depth of each format.
extern const ZRBitDepth FormatAndDepthTable[8];
// Width and height of each screen size.
extern const int32_t ScreenSizeTable[12][2];

using ZRPointSetProc = void (*)(void* p, uint32_t value);
using ZRPointGetProc = uint32_t (*)(const void* p);
using ZRPointMovProc = void (*)(void* dst, const void* src);

extern const ZRPointSetProc PointSetProcTable[5];
extern const ZRPointGetProc PointGetProcTable[5];
extern const ZRPointMovProc PointMovProcTable[5];

bool ChkDepthAndFormat(ZRBitDepth depth, ZRPixFormat format);
// True when pixels of one format may be copied byte for byte into the other.
bool CompatibleFormat(ZRPixFormat a, ZRPixFormat b);
// On no exact match size is left untouched.
bool PixelToScreenSize(int width, int height, ZRScreenSize& size);
// On an unknown value width and height are left untouched.
bool ScreenSizeToPixel(ZRScreenSize size, int& width, int& height);

void PointSet8Bit(void* p, uint32_t value);
void PointSet16Bit(void* p, uint32_t value);
void PointSet24Bit(void* p, uint32_t value);
void PointSet32Bit(void* p, uint32_t value);
uint32_t PointGet8Bit(const void* p);
uint32_t PointGet16Bit(const void* p);
uint32_t PointGet24Bit(const void* p);
uint32_t PointGet32Bit(const void* p);
void PointMov8Bit(void* dst, const void* src);
void PointMov16Bit(void* dst, const void* src);
void PointMov24Bit(void* dst, const void* src);
void PointMov32Bit(void* dst, const void* src);

// Nearest-neighbour rescale of a one-byte-per-pixel image; pitches in bytes.
void Zooming(unsigned char* src, int srcWidth, int srcHeight, int srcPitch, unsigned char* dst,
             int dstWidth, int dstHeight, int dstPitch);
// The same for ZRRGB pixels; here both pitches count pixels.
void Zooming24(ZRRGB* src, int srcWidth, int srcHeight, int srcPitch, ZRRGB* dst, int dstWidth,
               int dstHeight, int dstPitch);
