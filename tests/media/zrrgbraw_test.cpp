#include "media/zrrgbraw.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(ZRRGB, ConvertsBetweenColourForms) {
    ZRRGB c(0x00123456u);
    EXPECT_EQ(c.red, 0x12);
    EXPECT_EQ(c.green, 0x34);
    EXPECT_EQ(c.blue, 0x56);
    EXPECT_EQ(c.ToDWORD(), 0x00123456u);
    EXPECT_EQ(c.ToCOLORREF(), 0x00563412u);
    EXPECT_EQ(ZRRGB(0xFF123456u).ToDWORD(), 0x00123456u);

    ZRRGB rgb(1, 2, 3);
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&rgb);
    EXPECT_EQ(bytes[0], 3);  // blue first in memory
    EXPECT_EQ(bytes[2], 1);

    ZRQuad q = rgb.ToRGBQUAD();
    EXPECT_EQ(q.blue, 3);
    EXPECT_EQ(q.red, 1);
    EXPECT_EQ(q.reserved, 0);
    q.reserved = 99;
    ZRRGB back;
    back = q;
    EXPECT_EQ(back.ToDWORD(), 0x00010203u);
    back = 0x00ABCDEFu;
    EXPECT_EQ(back.ToDWORD(), 0x00ABCDEFu);
    EXPECT_EQ(ZRRGB().ToDWORD(), 0u);
}

TEST(PixFormat, TablesAndFormatChecks) {
    EXPECT_EQ(RGBBitMask[pf16_565][0], 0xF800u);
    EXPECT_EQ(RGBBitMask[pf16_5551][3], 0x8000u);
    EXPECT_EQ(RGBBitMask[pf16_4444][3], 0xF000u);
    EXPECT_EQ(RGBBitMask[pf32_8888][3], 0xFF000000u);
    EXPECT_EQ(RGBBitMask[pf32_888][3], 0u);
    for (int f = 1; f < 8; ++f) {
        const uint32_t* m = RGBBitMask[f];
        EXPECT_EQ(m[0] & m[1], 0u);
        EXPECT_EQ((m[0] | m[1]) & (m[2] | m[3]), 0u);
        EXPECT_TRUE(ChkDepthAndFormat(FormatAndDepthTable[f], ZRPixFormat(f)));
    }
    EXPECT_TRUE(ChkDepthAndFormat(bd8, pfNone));
    EXPECT_FALSE(ChkDepthAndFormat(bd24, pf32_888));
    EXPECT_FALSE(ChkDepthAndFormat(bd16, pf24_888));
    EXPECT_FALSE(ChkDepthAndFormat(bd32, ZRPixFormat(8)));

    EXPECT_TRUE(CompatibleFormat(pf16_5551, pf16_555));
    EXPECT_TRUE(CompatibleFormat(pf32_8888, pf32_888));
    EXPECT_TRUE(CompatibleFormat(pf24_888, pf24_888));
    EXPECT_FALSE(CompatibleFormat(pf16_565, pf16_555));
    EXPECT_FALSE(CompatibleFormat(pf24_888, pf32_888));
    EXPECT_FALSE(CompatibleFormat(pf16_4444, pf16_5551));
}

TEST(ScreenSize, LooksUpBothWaysAndLeavesOutputsOnFailure) {
    ZRScreenSize s = ss320x240;
    EXPECT_TRUE(PixelToScreenSize(1280, 720, s));
    EXPECT_EQ(s, ss1280x720);
    EXPECT_FALSE(PixelToScreenSize(1280, 721, s));
    EXPECT_EQ(s, ss1280x720);

    int w = -1, h = -1;
    EXPECT_TRUE(ScreenSizeToPixel(ss1920x1440, w, h));
    EXPECT_EQ(w, 1920);
    EXPECT_EQ(h, 1440);
    w = h = 7;
    EXPECT_FALSE(ScreenSizeToPixel(ZRScreenSize(12), w, h));
    EXPECT_FALSE(ScreenSizeToPixel(ZRScreenSize(-1), w, h));
    EXPECT_EQ(w, 7);
    EXPECT_EQ(h, 7);
    for (int i = 0; i < 12; ++i) {
        ASSERT_TRUE(ScreenSizeToPixel(ZRScreenSize(i), w, h));
        ASSERT_TRUE(PixelToScreenSize(w, h, s));
        EXPECT_EQ(s, i);
    }
}

TEST(Point, AccessByDepthIsLittleEndianAndExact) {
    uint8_t buf[6] = {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA};
    PointSetProcTable[bd24](buf + 1, 0xFF112233);
    EXPECT_EQ(buf[0], 0xAA);
    EXPECT_EQ(buf[1], 0x33);
    EXPECT_EQ(buf[3], 0x11);
    EXPECT_EQ(buf[4], 0xAA);
    EXPECT_EQ(PointGetProcTable[bd24](buf + 1), 0x112233u);
    EXPECT_EQ(PointGetProcTable[bd16](buf + 1), 0x2233u);
    EXPECT_EQ(PointGetProcTable[bd8](buf + 1), 0x33u);
    PointSetProcTable[bd32](buf + 2, 0x01020304);
    EXPECT_EQ(PointGetProcTable[bd32](buf + 2), 0x01020304u);
    PointSetProcTable[bd16](buf, 0xABCD1234);
    EXPECT_EQ(PointGetProcTable[bd16](buf), 0x1234u);
    PointSetProcTable[bd8](buf, 0x77);
    EXPECT_EQ(buf[0], 0x77);
    uint8_t dst[4] = {};
    PointMovProcTable[bd24](dst, buf + 2);
    EXPECT_EQ(dst[2], buf[4]);
    EXPECT_EQ(dst[3], 0);
    PointMovProcTable[bd32](dst, buf + 2);
    EXPECT_EQ(dst[3], buf[5]);
    EXPECT_EQ(PointSetProcTable[bdNone], nullptr);
}

TEST(Zooming, EnlargesRepeatsAndReductionDrops) {
    unsigned char two[2] = {1, 2};
    unsigned char four[4] = {};
    Zooming(two, 2, 1, 2, four, 4, 1, 4);
    EXPECT_EQ(std::vector<int>(four, four + 4), (std::vector<int>{1, 1, 2, 2}));

    unsigned char src[4] = {10, 11, 12, 13};
    unsigned char half[2] = {};
    Zooming(src, 4, 1, 4, half, 2, 1, 2);
    EXPECT_EQ(half[0], 11);
    EXPECT_EQ(half[1], 13);

    // Two rows to three, with pitches wider than the rows.
    unsigned char img[2 * 3] = {1, 2, 0, 3, 4, 0};
    unsigned char out[3 * 5] = {};
    Zooming(img, 2, 2, 3, out, 4, 3, 5);
    const unsigned char want[15] = {1, 1, 2, 2, 0, 1, 1, 2, 2, 0, 3, 3, 4, 4, 0};
    EXPECT_EQ(std::vector<int>(out, out + 15), std::vector<int>(want, want + 15));

    unsigned char untouched[1] = {9};
    Zooming(src, 0, 0, 4, untouched, 0, 0, 1);
    EXPECT_EQ(untouched[0], 9);
}

TEST(Zooming, Rescales24BitPixelsWithPitchesInPixels) {
    ZRRGB src[2 * 2] = {ZRRGB(0x010101u), ZRRGB(0x020202u), ZRRGB(0x030303u), ZRRGB(0x040404u)};
    ZRRGB dst[1 * 3];
    Zooming24(src, 2, 2, 2, dst, 1, 1, 3);
    EXPECT_EQ(dst[0].ToDWORD(), 0x040404u);  // the last source pixel reached wins
    ZRRGB big[4 * 4];
    Zooming24(src, 2, 2, 2, big, 4, 4, 4);
    EXPECT_EQ(big[0].ToDWORD(), 0x010101u);
    EXPECT_EQ(big[3].ToDWORD(), 0x020202u);
    EXPECT_EQ(big[15].ToDWORD(), 0x040404u);
    EXPECT_EQ(big[8].ToDWORD(), 0x030303u);
}

}  // namespace
