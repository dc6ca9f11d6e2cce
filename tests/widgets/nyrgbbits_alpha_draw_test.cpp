#include <gtest/gtest.h>

#include "bitmaps.h"
#include "media/zrrgbcopy.h"

using namespace testbits;

namespace {

// Weight of alpha a: single (a + 1) >> 1 out of 128, or a x rate / 255 under a rate. The fast
// single-alpha kernels weigh the pixels of a row's leading (n - 1) / 2 pairs by a / 256.
int Mix(int d, int s, int a, int rate, bool fastLead) {
    if (rate < 0 && fastLead) return d + (((s - d) * (a == 255 ? 256 : a)) >> 8);
    const int weight = rate < 0 ? (a + 1) >> 1 : a * rate / 255;
    return d + (((s - d) * weight) >> 7);
}

uint32_t ToQuad(ZRPixFormat f, uint32_t px) {
    if (FormatAndDepthTable[f] >= bd24) return px;
    unsigned char p[2], q[4];
    WritePixel(p, 2, px);
    RGBQUADcpyFromProcTable[f](q, p, 1);
    return ReadPixel(q, 4);
}

uint32_t FromQuad(ZRPixFormat f, uint32_t quad, uint32_t old) {
    const int bpp = FormatAndDepthTable[f];
    if (bpp == 4) return quad;
    if (bpp == 3) return quad & 0xFFFFFF;
    (void)old;
    unsigned char p[2], q[4];
    WritePixel(q, 4, quad);
    RGBQUADcpyToProcTable[f](p, q, 1);
    return ReadPixel(p, 2);
}

// Blends src (in srcFormat) over the quad dq through alpha; byte 3 keeps dq's.
uint32_t OverQuad(uint32_t dq, ZRPixFormat sf, uint32_t s, int a, int rate, bool fastLead) {
    const uint32_t sq = ToQuad(sf, s);
    uint32_t out = dq & 0xFF000000;
    for (int c = 0; c < 3; ++c) {
        const int v = Mix(int(dq >> (8 * c)) & 0xFF, int(sq >> (8 * c)) & 0xFF, a, rate, fastLead);
        out |= uint32_t(v & 0xFF) << (8 * c);
    }
    return out;
}

uint32_t Over(ZRPixFormat df, uint32_t d, ZRPixFormat sf, uint32_t s, int a, int rate,
              bool fastLead) {
    return FromQuad(df, OverQuad(ToQuad(df, d), sf, s, a, rate, fastLead), d);
}

struct Placement {
    int x, y, sx, sy, w, h;
};

Placement RandomPlacement(std::mt19937& rng) {
    return {int(rng() % 14) - 4, int(rng() % 12) - 4, int(rng() % 10) - 3,
            int(rng() % 10) - 3, 1 + int(rng() % 13), 1 + int(rng() % 10)};
}

// Visible columns of a row as the kernel sees them, for the fast kernels' pair rule.
int VisibleColumns(const Image& dst, const Image& src, const Placement& p, int alphaW, int alphaH) {
    int n = 0;
    for (int i = 0; i < p.w; ++i)
        if (dst.Inside(p.x + i, 0) && src.Inside(p.sx + i, 0) && p.sx + i < alphaW && alphaH > 0)
            ++n;
    return n;
}

TEST_P(BothKernels, DrawingThroughAnAlphaPlaneMatchesThePerPixelModel) {
    std::mt19937 rng(21);
    for (ZRPixFormat sf : kFormats)
        for (ZRPixFormat df : kFormats)
            for (int trial = 0; trial < 4; ++trial) {
                const int rate = trial < 2 ? -1 : 1 + int(rng() % 127);
                auto src = Make(sf, 9, 8, rng, trial == 1);
                auto dst = Make(df, 10, 7, rng, trial == 3);
                auto alpha = MakePlane(trial == 2 ? 6 : 9, trial == 2 ? 5 : 8, rng);
                const Placement p = RandomPlacement(rng);
                const Image s = Snap(*src);
                Image want = Snap(*dst);
                const int n = VisibleColumns(want, s, p, alpha->Width(), alpha->Height());
                for (int j = 0; j < p.h; ++j) {
                    int col = 0;
                    for (int i = 0; i < p.w; ++i) {
                        const int dx = p.x + i, dy = p.y + j, sx = p.sx + i, sy = p.sy + j;
                        if (!s.Inside(sx, sy) || sx >= alpha->Width() || sy >= alpha->Height())
                            continue;
                        if (!want.Inside(dx, dy)) continue;
                        const bool lead = Fast() && col++ < 2 * ((n - 1) / 2);
                        want.at(dx, dy) = Over(df, want.at(dx, dy), sf, s.at(sx, sy),
                                               alpha->PGet(sx, sy), rate, lead);
                    }
                }
                const bool ok = rate < 0 ? dst->DrawAlphaMask(p.x, p.y, src.get(), p.sx, p.sy, p.w,
                                                              p.h, alpha.get())
                                         : dst->DrawDoubleAlphaMask(p.x, p.y, src.get(), p.sx, p.sy,
                                                                    p.w, p.h, alpha.get(), rate);
                ASSERT_TRUE(ok);
                ASSERT_EQ(Snap(*dst), want) << int(sf) << "->" << int(df) << " rate " << rate;
            }
}

TEST_P(BothKernels, TwoSourcesThroughAPlaneAndOwnAlpha) {
    std::mt19937 rng(22);
    for (ZRPixFormat f : kFormats)
        for (ZRPixFormat df : kFormats) {
            auto s1 = Make(f, 9, 8, rng);
            auto s2 = Make(f, 8, 9, rng, true);
            auto dst = Make(df, 10, 7, rng);
            auto alpha = MakePlane(8, 9, rng);
            const int x = -2, y = 1, x1 = 1, y1 = -1, x2 = -1, y2 = 2, w = 11, h = 8;
            const Image a = Snap(*s1), b = Snap(*s2);
            Image want = Snap(*dst);
            int n = 0;
            for (int i = 0; i < w; ++i)
                n += want.Inside(x + i, 0) && a.Inside(x1 + i, 0) && b.Inside(x2 + i, 0);
            for (int j = 0; j < h; ++j) {
                int col = 0;
                for (int i = 0; i < w; ++i) {
                    if (!want.Inside(x + i, y + j) || !a.Inside(x1 + i, y1 + j) ||
                        !b.Inside(x2 + i, y2 + j))
                        continue;
                    const bool lead = Fast() && col++ < 2 * ((n - 1) / 2);
                    // Source A's row is copied in first (as quads in the general mode).
                    const uint32_t base = ToQuad(f, a.at(x1 + i, y1 + j));
                    want.at(x + i, y + j) =
                        FromQuad(df,
                                 OverQuad(base, f, b.at(x2 + i, y2 + j),
                                          alpha->PGet(x2 + i, y2 + j), -1, lead),
                                 0);
                }
            }
            ASSERT_TRUE(
                dst->DrawAlphaMask(x, y, s1.get(), x1, y1, s2.get(), x2, y2, w, h, alpha.get()));
            ASSERT_EQ(Snap(*dst), want) << int(f) << "->" << int(df);
        }

    // Own alpha: byte 3 of a pf32_8888 source weighs it; any other source is copied opaque.
    for (ZRPixFormat df : kFormats) {
        auto src = Make(pf32_8888, 7, 5, rng);
        auto dst = Make(df, 6, 6, rng, df == pf16_565);
        const Image s = Snap(*src);
        Image want = Snap(*dst);
        const int n = 6;
        for (int j = 0; j < 5; ++j)
            for (int i = 0; i < 7; ++i) {
                if (!want.Inside(i - 1, j + 1)) continue;
                const bool lead = Fast() && i - 1 < 2 * ((n - 1) / 2);
                want.at(i - 1, j + 1) = Over(df, want.at(i - 1, j + 1), pf32_8888, s.at(i, j),
                                             int(s.at(i, j) >> 24), -1, lead);
            }
        ASSERT_TRUE(dst->DrawAlphaMask(-1, 1, src.get(), 0, 0, 7, 5));
        ASSERT_EQ(Snap(*dst), want) << int(df);
    }
    auto opaque = Make(pf32_888, 3, 3, rng);
    auto target = Make(pf32_888, 3, 3, rng);
    ASSERT_TRUE(target->DrawAlphaMask(0, 0, opaque.get(), 0, 0, 3, 3));
    EXPECT_EQ(Snap(*target), Snap(*opaque));
}

TEST(NyRGBBitsAlphaDraw, RefusalsAndExactEnds) {
    std::mt19937 rng(23);
    auto t16 = Make(pf16_565, 4, 4, rng);
    auto t24 = Make(pf24_888, 4, 4, rng);
    auto dst = Make(pf24_888, 4, 4, rng);
    auto alpha = MakePlane(4, 4, rng);
    const Image before = Snap(*dst);
    EXPECT_FALSE(dst->DrawAlphaMask(0, 0, t24.get(), 0, 0, t16.get(), 0, 0, 4, 4, alpha.get()))
        << "second source of another layout";
    TNyAlpha none;
    EXPECT_FALSE(dst->DrawAlphaMask(0, 0, t24.get(), 0, 0, 4, 4, &none));
    EXPECT_FALSE(dst->DrawDoubleAlphaMask(0, 0, t24.get(), 0, 0, 4, 4, alpha.get(), 129));
    EXPECT_TRUE(dst->DrawDoubleAlphaMask(0, 0, t24.get(), 0, 0, 4, 4, alpha.get(), 0));
    EXPECT_EQ(Snap(*dst), before);

    alpha->Fill(255);
    ASSERT_TRUE(dst->DrawAlphaMask(0, 0, t24.get(), 0, 0, 4, 4, alpha.get()));
    EXPECT_EQ(Snap(*dst), Snap(*t24));
    alpha->Fill(0);
    ASSERT_TRUE(dst->DrawAlphaMask(0, 0, t16.get(), 0, 0, 4, 4, alpha.get()));
    EXPECT_EQ(Snap(*dst), Snap(*t24));

    // Fills: an opaque plane gives the colour, cut to the plane placed at (ax, ay).
    auto small = MakePlane(3, 2, rng);
    small->Fill(255);
    dst->Cls();
    ASSERT_TRUE(dst->AlphaFill(0, 0, 0x123456, 1, 0, 4, 4, small.get()));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(dst->PGet(x, y), x < 2 && y < 2 ? 0x123456u : 0u) << x << "," << y;
    dst->Cls();
    small->Fill(128);
    ASSERT_TRUE(dst->AlphaFillRate(-1, 0, 0xFFFFFF, 0, 0, 3, 2, small.get(), 64));
    EXPECT_EQ(dst->PGet(0, 0), 0x3F3F3Fu) << "weight 128 x 64 / 255 = 32 of 128";
    EXPECT_EQ(dst->PGet(2, 0), 0u);
    EXPECT_TRUE(dst->AlphaFillRate(0, 0, 1, 0, 0, 3, 2, small.get(), 0));
    EXPECT_FALSE(dst->AlphaFillRate(0, 0, 1, 0, 0, 3, 2, small.get(), 200));
    EXPECT_EQ(t24->LockCount() + dst->LockCount(), 0);
}

}  // namespace
