#include "widgets/nyrgbdib.h"

#include <gtest/gtest.h>

#include <cstring>

#include "foundation/zrfont.h"
#include "gothic_font.h"
#include "platform/codepage.h"
#include "widgets/bitmaps.h"

namespace {

// Address of the first byte of the section as stored: the top row top-down, the bottom row
// bottom-up.
const unsigned char* StoredStart(const TNyRGBBits& b, bool top_down) {
    return top_down ? b.Bits() : b.Bits() + ptrdiff_t(b.Height() - 1) * b.Pitch();
}

TEST(TNyRGBDib, SectionsOfEveryFormatInBothDirections) {
    for (ZRPixFormat format : testbits::kFormats) {
        for (TDIBDirection dir : {ddBottomUp, ddTopDown}) {
            SCOPED_TRACE(testing::Message() << "format " << int(format) << " dir " << int(dir));
            TNyRGBDib d;
            EXPECT_EQ(d.Direction(), ddBottomUp);
            d.SetDirection(dir);
            d.SetPixFormat(format);
            ASSERT_TRUE(d.Resize(7, 5));
            ASSERT_TRUE(d.Create());
            EXPECT_FALSE(d.Create());
            const int bpp = d.BitDepth();
            const int stride = (bpp * 7 + 3) & ~3;
            EXPECT_EQ(d.Pitch(), dir == ddTopDown ? stride : -stride);
            const unsigned char* start = StoredStart(d, dir == ddTopDown);
            for (int i = 0; i < stride * 5; ++i) ASSERT_EQ(start[i], 0) << i;
            // Row 0 is the top row whatever the order in memory.
            ASSERT_TRUE(d.PSet(6, 0, d.TNyRGBtoPixel(ZRRGB(0xFFFFFFu))));
            const unsigned char* top_row = dir == ddTopDown ? start : start + stride * 4;
            EXPECT_NE(top_row[6 * bpp], 0);
            ASSERT_TRUE(d.BoxFill(0, 4, 6, 4, d.TNyRGBtoPixel(ZRRGB(0x808080u))));
            const unsigned char* bottom_row = dir == ddTopDown ? start + stride * 4 : start;
            EXPECT_EQ(bottom_row[0], testbits::ReadPixel(d.Bits() + 4 * d.Pitch(), 1) & 0xFF);
            EXPECT_NE(bottom_row[0], 0);
            // The device context covers the same memory.
            void* dc = nullptr;
            ASSERT_TRUE(d.HaveDC());
            ASSERT_TRUE(d.GetDC(&dc));
            auto* s = static_cast<plat::DrawSurface*>(dc);
            EXPECT_EQ(s->pixels, d.Bits());
            EXPECT_EQ(s->pitch, d.Pitch());
            EXPECT_EQ(s->width, 7);
            EXPECT_EQ(s->height, 5);
            EXPECT_EQ(plat::BytesPerPixel(s->kind), bpp);
            EXPECT_TRUE(d.ReleaseDC(dc));
            d.Release();
            EXPECT_FALSE(d.Created());
            EXPECT_EQ(d.Bits(), nullptr);
        }
    }
}

TEST(TNyRGBDib, TextDrawnThroughTheContextDecodesToTheTextColourInEveryFormat) {
    ZRFont font(GothicFont(-16));
    ASSERT_TRUE(font.Create());
    for (ZRPixFormat format : testbits::kFormats) {
        SCOPED_TRACE(testing::Message() << "format " << int(format));
        TNyRGBDib d;
        d.SetPixFormat(format);
        ASSERT_TRUE(d.Resize(48, 24));
        ASSERT_TRUE(d.Create());
        void* dc = nullptr;
        ASSERT_TRUE(d.GetDC(&dc));
        ASSERT_TRUE(font.StartTextOut(static_cast<plat::DrawSurface*>(dc), 0xFF8800));
        ASSERT_TRUE(font.Write(4, 2, "Ag"));
        font.EndTextOut();
        ASSERT_TRUE(d.ReleaseDC(dc));
        int inked = 0;
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 48; ++x) {
                uint32_t px = d.PGet(x, y);
                if (px == 0) continue;
                ++inked;
                // Monochrome text: every touched pixel is the text colour in this format.
                EXPECT_EQ(px, d.TNyRGBtoPixel(ZRRGB(0xFF8800u))) << x << "," << y;
                EXPECT_GE(x, 4);
                EXPECT_LT(x, 4 + 16);
                EXPECT_GE(y, 2);
            }
        EXPECT_GT(inked, 20);
    }
}

TEST(TNyRGBDib, DepthsAndDirectionOnlyWhereASectionCanBeMade) {
    TNyRGBDib d;
    d.SetPixFormat(pf16_555);
    d.SetBitDepth(bd8);
    EXPECT_EQ(d.BitDepth(), bd16);
    d.SetPixFormat(pfNone);
    EXPECT_EQ(d.PixFormat(), pf16_555);
    d.SetBitDepth(bd32);
    EXPECT_EQ(d.PixFormat(), pf32_888);
    // The edge case of the bottom-up 24-bit section of width 5.
    d.SetPixFormat(pf24_888);
    ASSERT_TRUE(d.Resize(5, 3));
    ASSERT_TRUE(d.Create());
    EXPECT_EQ(d.Pitch(), -16);
    d.SetDirection(ddTopDown);  // ignored while created
    EXPECT_EQ(d.Direction(), ddBottomUp);
    d.SetBitDepth(bd16);
    EXPECT_EQ(d.BitDepth(), bd24);
    EXPECT_FALSE(d.Resize(0, 3));
    EXPECT_FALSE(d.Resize(3, 0));
    EXPECT_EQ(d.Width(), 5);
    // Sizes whose rows a 32-bit pitch cannot step over are refused, not wrapped.
    TNyRGBDib huge;
    huge.SetPixFormat(pf32_888);
    ASSERT_TRUE(huge.Resize(0x40000000, 1));
    EXPECT_FALSE(huge.Create());
    EXPECT_FALSE(huge.Created());
}

TEST(TNyRGBDib, OneDeviceContextAtATimeAndResizesFollowIt) {
    TNyRGBDib d;
    d.SetPixFormat(pf32_888);
    void* dc = nullptr;
    EXPECT_FALSE(d.GetDC(&dc));  // not created
    EXPECT_TRUE(d.ReleaseDC(nullptr));
    ASSERT_TRUE(d.Resize(8, 4));
    ASSERT_TRUE(d.Create());
    ASSERT_TRUE(d.GetDC(&dc));
    void* second = nullptr;
    EXPECT_FALSE(d.GetDC(&second));
    int other = 0;
    EXPECT_FALSE(d.ReleaseDC(&other));
    ASSERT_TRUE(d.BoxFill(0, 0, 7, 3, 0x00FFFFFF));
    // Resizing with the context out: a new zero-filled picture, and the context draws into it.
    ASSERT_TRUE(d.Resize(20, 6));
    EXPECT_EQ(d.Width(), 20);
    auto* s = static_cast<plat::DrawSurface*>(dc);
    EXPECT_EQ(s->pixels, d.Bits());
    EXPECT_EQ(s->width, 20);
    EXPECT_EQ(s->height, 6);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 20; ++x) ASSERT_EQ(d.PGet(x, y), 0u);
    ASSERT_TRUE(d.ReleaseDC(dc));
    EXPECT_TRUE(d.ReleaseDC(dc));  // nothing out any more
    ASSERT_TRUE(d.GetDC(&dc));
    // A locked bitmap keeps its section; releasing unlocks it and takes the context back.
    ASSERT_TRUE(d.Lock());
    ASSERT_TRUE(d.Lock());
    EXPECT_FALSE(d.Resize(4, 4));
    EXPECT_EQ(d.Width(), 20);
    d.Release();
    EXPECT_FALSE(d.Locked());
    EXPECT_FALSE(d.GetDC(&dc));
    // Loaded makes the section with the stored size.
    d.Loaded();
    EXPECT_TRUE(d.Created());
    EXPECT_EQ(d.Width(), 20);
}

TEST(TNyAlphaDib, GreyPlanesInBothDirectionsTakeWhiteTextAsFullCoverage) {
    for (TDIBDirection dir : {ddBottomUp, ddTopDown}) {
        SCOPED_TRACE(int(dir));
        TNyAlphaDib a;
        a.SetDirection(dir);
        void* dc = nullptr;
        EXPECT_FALSE(a.GetDC(&dc));
        ASSERT_TRUE(a.Resize(3, 2));
        ASSERT_TRUE(a.Create());
        EXPECT_EQ(a.Pitch(), dir == ddTopDown ? 4 : -4);
        EXPECT_EQ(a.PGet(0, 0), 0);  // zero-filled, unlike a plain plane
        ASSERT_TRUE(a.Resize(64, 24));
        EXPECT_EQ(a.Pitch(), dir == ddTopDown ? 64 : -64);
        ASSERT_TRUE(a.GetDC(&dc));
        void* second = nullptr;
        EXPECT_FALSE(a.GetDC(&second));
        auto* s = static_cast<plat::DrawSurface*>(dc);
        EXPECT_EQ(s->kind, plat::SurfaceKind::Grey8);
        EXPECT_EQ(s->pixels, a.Bits());
        ZRFont font(GothicFont(-20));
        ASSERT_TRUE(font.Create());
        ASSERT_TRUE(font.StartTextOut(s, 0xFFFFFF));
        ASSERT_TRUE(font.Write(0, 0, plat::SjisText("字").c_str()));
        font.EndTextOut();
        EXPECT_FALSE(a.ReleaseDC(&second));
        ASSERT_TRUE(a.ReleaseDC(dc));
        int full = 0, other = 0;
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 64; ++x) {
                unsigned char v = a.PGet(x, y);
                full += v == 255;
                other += v != 0 && v != 255;
                if (v) {
                    EXPECT_LT(x, 20);
                }
            }
        EXPECT_GT(full, 20);
        EXPECT_EQ(other, 0);
        a.Release();
        EXPECT_FALSE(a.Created());
        a.Loaded();
        EXPECT_TRUE(a.Created());
        EXPECT_EQ(a.Width(), 64);
    }
}

}  // namespace
