#include <gtest/gtest.h>

#include <functional>

#include "bitmaps.h"
#include "media/zrrgbcopy.h"

using namespace testbits;

namespace {

using Channels = std::function<void(int& b, int& g, int& r)>;

// Applies fn to the colour channels of every pixel inside the inclusive corners; 16-bit pixels
// pass through triples and back, the fourth byte of 32-bit pixels stays.
void EffectModel(Image& im, int x1, int y1, int x2, int y2, const Channels& fn) {
    for (int y = std::max(0, std::min(y1, y2)); y <= std::min(im.h - 1, std::max(y1, y2)); ++y)
        for (int x = std::max(0, std::min(x1, x2)); x <= std::min(im.w - 1, std::max(x1, x2));
             ++x) {
            uint32_t& px = im.at(x, y);
            uint32_t t = px;
            if (im.bpp == 2) {
                unsigned char p[2], q[3];
                WritePixel(p, 2, px);
                RGBTRIPLEcpyFromProcTable[im.format](q, p, 1);
                t = ReadPixel(q, 3);
            }
            int b = t & 0xFF, g = (t >> 8) & 0xFF, r = (t >> 16) & 0xFF;
            fn(b, g, r);
            const uint32_t out = uint32_t(b) | uint32_t(g) << 8 | uint32_t(r) << 16;
            if (im.bpp == 2) {
                unsigned char p[2], q[3];
                WritePixel(q, 3, out);
                RGBTRIPLEcpyToProcTable[im.format](p, q, 1);
                px = ReadPixel(p, 2);
            } else {
                px = (px & 0xFF000000) | out;
            }
        }
}

TEST_P(BothKernels, ColourEffectsMatchTheChannelModel) {
    std::mt19937 rng(31);
    for (ZRPixFormat f : kFormats)
        for (int kind = 0; kind < 4; ++kind)
            for (int trial = 0; trial < 3; ++trial) {
                auto b = Make(f, 11, 7, rng, trial == 1);
                const int x1 = int(rng() % 16) - 3, y1 = int(rng() % 10) - 2;
                const int x2 = int(rng() % 16) - 3, y2 = int(rng() % 10) - 2;
                const uint32_t tone = uint32_t(rng());
                Image want = Snap(*b);
                bool ok = false;
                if (kind == 0) {
                    EffectModel(want, x1, y1, x2, y2, [&](int& bl, int& g, int& r) {
                        bl = std::min(255, int(bl * (tone & 0xFF)) >> 7);
                        g = std::min(255, int(g * ((tone >> 8) & 0xFF)) >> 7);
                        r = std::min(255, int(r * ((tone >> 16) & 0xFF)) >> 7);
                    });
                    ok = b->ToneChange(x1, y1, x2, y2, tone);
                } else if (kind == 1) {
                    EffectModel(want, x1, y1, x2, y2,
                                [](int& bl, int& g, int& r) { bl = g = r = (bl + g + r) / 3; });
                    ok = b->Monochrome(x1, y1, x2, y2);
                } else if (kind == 2) {
                    EffectModel(want, x1, y1, x2, y2, [](int& bl, int& g, int& r) {
                        const int s = bl + g + r;
                        bl = (bl + s) / 8, g = (g + s) / 5, r = (r + s) / 4;
                    });
                    ok = b->Sepia(x1, y1, x2, y2);
                } else {
                    EffectModel(want, x1, y1, x2, y2, [](int& bl, int& g, int& r) {
                        bl = 255 - bl, g = 255 - g, r = 255 - r;
                    });
                    ok = b->Negative(x1, y1, x2, y2);
                }
                ASSERT_TRUE(ok);
                ASSERT_EQ(Snap(*b), want) << "format " << int(f) << " effect " << kind;
            }
}

TEST(NyRGBBitsEffect, FixedPointsAndRectangles) {
    std::mt19937 rng(32);
    auto b = Make(pf32_8888, 6, 4, rng);
    const Image before = Snap(*b);
    ASSERT_TRUE(b->ToneChange(0, 0, 5, 3, 0xFF808080));
    EXPECT_EQ(Snap(*b), before) << "the neutral tone, whatever bits 24-31 hold";
    b->PSet(0, 0, 0x123456C8);
    ASSERT_TRUE(b->ToneChange(0, 0, 0, 0, 0x0000FF));
    EXPECT_EQ(b->PGet(0, 0), 0x120000FFu) << "blue 200 saturates, alpha stays";
    ASSERT_TRUE(b->Negative(0, 0, 5, 3));
    ASSERT_TRUE(b->Negative(5, 3, 0, 0));
    b->PSet(0, 0, before.at(0, 0));
    EXPECT_EQ(Snap(*b), before);

    b->PSet(1, 1, 0x001E140A);
    b->Monochrome(1, 1, 1, 1);
    EXPECT_EQ(b->PGet(1, 1), 0x00141414u);
    b->PSet(1, 1, 0x00FFFFFF);
    b->Sepia(1, 1, 1, 1);
    EXPECT_EQ(b->PGet(1, 1), 0x00FFCC7Fu);

    // Corners beyond the clamp range cover the whole bitmap; a rectangle outside touches
    // nothing but still reports the whole bitmap.
    auto whole = Make(pf24_888, 5, 5, rng), part = Make(pf24_888, 5, 5, rng);
    Fill(*part, rng);
    const Image w0 = Snap(*whole);
    ASSERT_TRUE(whole->Negative(-100000, 100000, 100000, -100000));
    for (int i = 0; i < 25; ++i) ASSERT_EQ(Snap(*whole).px[i], w0.px[i] ^ 0xFFFFFF);
    ZRRect r{};
    struct Grab {
        ZRRect* r;
        void On(plat::TComponent* s) { static_cast<TNyRGBBits*>(s)->GetModifiedRect(r); }
    } g{&r};
    part->OnChange = TNotifyEvent(&g, &Grab::On);
    const Image p0 = Snap(*part);
    ASSERT_TRUE(part->Sepia(15, 0, 20, 4));
    EXPECT_EQ(Snap(*part), p0);
    EXPECT_EQ(r.right, 5);
    EXPECT_EQ(r.bottom, 5);
    TNyRGBBits none;
    EXPECT_FALSE(none.ToneChange(0, 0, 1, 1, 0));
}

}  // namespace
