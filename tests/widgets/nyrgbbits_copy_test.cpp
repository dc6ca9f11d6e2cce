#include <gtest/gtest.h>

#include <functional>

#include "bitmaps.h"
#include "media/zrrgbcopy.h"
#include "media/zrrgbeffect.h"

using namespace testbits;

namespace {

ZRRect Reported(TNyRGBBits& b, const std::function<bool()>& draw, bool* result) {
    struct Grab {
        ZRRect r{0, 0, 0, 0};
        int calls = 0;
        void On(plat::TComponent* s) {
            static_cast<TNyRGBBits*>(s)->GetModifiedRect(&r);
            ++calls;
        }
    } g;
    b.OnChange = TNotifyEvent(&g, &Grab::On);
    *result = draw();
    b.OnChange = TNotifyEvent();
    return g.calls ? g.r : ZRRect{-1, -1, -1, -1};
}

TEST(NyRGBBitsCopy, StrictCopiesRefuseSourcesLeavingTheSourceClipDrawCutsThem) {
    std::mt19937 rng(5);
    auto src = Make(pf24_888, 10, 6, rng);
    auto dst = Blank(pf24_888, 20, 10);
    const Image before = Snap(*dst);
    bool ok;
    ZRRect r = Reported(
        *dst, [&] { return dst->Draw(0, 0, src.get(), 1, 0, 10, 6); }, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(r.left, -1) << "nothing reported";
    EXPECT_EQ(Snap(*dst), before);

    ASSERT_TRUE(dst->ClipDraw(0, 0, src.get(), 1, 0, 10, 6));
    EXPECT_EQ(dst->PGet(8, 0), src->PGet(9, 0));
    EXPECT_EQ(dst->PGet(9, 0), 0u);

    dst->Cls();
    ASSERT_TRUE(dst->ClipDraw(2, 1, src.get(), -10, 0, 100, 3));
    EXPECT_EQ(dst->PGet(12, 1), src->PGet(0, 0));
    EXPECT_EQ(dst->PGet(11, 1), 0u);
    r = Reported(
        *dst, [&] { return dst->ClipDraw(0, 0, src.get(), 50, 50, 4, 4); }, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(r.left, -1);

    r = Reported(
        *dst, [&] { return dst->Draw(15, 8, src.get(), 0, 0, 10, 6); }, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(r.right, 20);
    EXPECT_EQ(r.bottom, 10);
    EXPECT_EQ(dst->PGet(19, 9), src->PGet(4, 1));

    TNyRGBBits none;
    EXPECT_FALSE(dst->Draw(0, 0, &none, 0, 0, 1, 1));
    EXPECT_FALSE(dst->ConvertCopy(0, 0, &none, 0, 0, 1, 1));
    EXPECT_FALSE(none.Draw(0, 0, src.get(), 0, 0, 1, 1));
    EXPECT_EQ(src->LockCount(), 0);
}

TEST(NyRGBBitsCopy, FormatsMustMatchExceptForConversion) {
    std::mt19937 rng(6);
    auto q = Make(pf32_888, 4, 4, rng);
    auto qa = Blank(pf32_8888, 4, 4);
    auto t = Blank(pf24_888, 4, 4);
    ASSERT_TRUE(qa->Draw(0, 0, q.get(), 0, 0, 4, 4));
    EXPECT_EQ(Snap(*qa).px, Snap(*q).px);
    EXPECT_FALSE(q->Draw(0, 0, t.get(), 0, 0, 4, 4));
    EXPECT_FALSE(q->SaturationAdd(0, 0, t.get(), 0, 0, 4, 4));
    EXPECT_TRUE(t->ConvertCopy(0, 0, q.get(), 0, 0, 4, 4));
    EXPECT_EQ(t->PGet(3, 3), q->PGet(3, 3) & 0xFFFFFF);
}

TEST(NyRGBBitsCopy, MirroredDestinationsMirrorOnlyTheStrictCopies) {
    std::mt19937 rng(8);
    auto src = Make(pf16_565, 4, 1, rng);
    auto dst = Blank(pf16_565, 4, 1);
    dst->SetReverse(true);
    ASSERT_TRUE(dst->Draw(0, 0, src.get(), 0, 0, 4, 1));
    EXPECT_EQ(dst->PGet(0, 0), src->PGet(3, 0));
    EXPECT_FALSE(dst->ClipDraw(0, 0, src.get(), 0, 0, 4, 1));
    ASSERT_TRUE(dst->ConvertCopy(0, 0, src.get(), 0, 0, 4, 1));
    EXPECT_EQ(dst->PGet(0, 0), src->PGet(0, 0));
}

TEST(NyRGBBitsCopy, KeyedAndMaskedCopies) {
    auto src = Blank(pf16_565, 8, 2);
    auto dst = Blank(pf16_565, 8, 2);
    dst->BoxFill(0, 0, 7, 1, 0x1111);
    src->PSet(0, 0, 0x2222);
    src->PSet(5, 1, 0x3333);
    // Keys differing only in bits 5-6-5 drops name the same pixels.
    ASSERT_TRUE(dst->DrawKey(0, 0, src.get(), 0, 0, 8, 2, ZRRGB(0x07, 0x03, 0x07)));
    EXPECT_EQ(dst->PGet(0, 0), 0x2222u);
    EXPECT_EQ(dst->PGet(1, 0), 0x1111u);
    EXPECT_EQ(dst->PGet(5, 1), 0x3333u);

    dst->BoxFill(0, 0, 7, 1, 0x1111);
    src->PSet(0, 0, 0x4444);
    ASSERT_TRUE(dst->DrawTLKey(0, 0, src.get(), 0, 1, 8, 1));
    EXPECT_EQ(dst->PGet(5, 0), 0x3333u);
    dst->BoxFill(0, 0, 7, 1, 0x1111);
    ASSERT_TRUE(dst->DrawTLKey(0, 0, src.get(), 0, 0, 8, 1));
    EXPECT_EQ(dst->PGet(0, 0), 0x1111u) << "the key is source pixel (0, 0)";

    auto full = Blank(pf24_888, 16, 1);
    auto white = Blank(pf24_888, 16, 1);
    white->BoxFill(0, 0, 15, 0, 0xFFFFFF);
    const uint8_t mask[1] = {0xAA};
    ASSERT_TRUE(full->DrawMask(0, 0, white.get(), 0, 0, 16, 1, mask, 8, 1));
    for (int x = 0; x < 16; ++x) EXPECT_EQ(full->PGet(x, 0), x % 2 ? 0u : 0xFFFFFFu) << x;
    EXPECT_FALSE(full->DrawMask(0, 0, white.get(), 0, 0, 16, 1, mask, 0, 1));
}

TEST_P(BothKernels, ConversionsKeepEveryColourTheTargetCanHold) {
    std::mt19937 rng(9);
    for (ZRPixFormat sf : kFormats)
        for (ZRPixFormat df : kFormats) {
            auto src = Make(sf, 9, 7, rng, sf == pf16_555);
            auto dst = Make(df, 8, 6, rng, df == pf32_8888);
            Image want = Snap(*dst);
            const Image s = Snap(*src);
            const int x = -1, y = 2, sx = -2, sy = 1, w = 12, h = 9;
            ASSERT_TRUE(dst->ConvertCopy(x, y, src.get(), sx, sy, w, h));
            const Image got = Snap(*dst);
            for (int j = 0; j < h; ++j)
                for (int i = 0; i < w; ++i) {
                    const int dx = x + i, dy = y + j;
                    if (!want.Inside(dx, dy)) continue;
                    if (!s.Inside(sx + i, sy + j)) {
                        ASSERT_EQ(got.at(dx, dy), want.at(dx, dy));
                        continue;
                    }
                    const uint32_t colour = ConvertRGBfromProcTable[sf](s.at(sx + i, sy + j));
                    const uint32_t held = ConvertRGBtoProcTable[df](colour & 0xFFFFFF);
                    ASSERT_EQ(dst->PixeltoTNyRGB(got.at(dx, dy)).ToDWORD(),
                              dst->PixeltoTNyRGB(held).ToDWORD())
                        << int(sf) << "->" << int(df) << " at " << dx << "," << dy;
                }
        }
}

// The row kernels applied one pixel at a time: the reference for the per-format arithmetic.
uint32_t OnePixel(ZRBlendProc proc, int bpp, uint32_t a, uint32_t b) {
    unsigned char d[4], pa[4], pb[4];
    WritePixel(pa, bpp, a), WritePixel(pb, bpp, b);
    proc(d, pa, pb, 1);
    return ReadPixel(d, bpp);
}
uint32_t OnePixel(ZRCombineProc proc, int bpp, uint32_t d, uint32_t s) {
    unsigned char pd[4], ps[4];
    WritePixel(pd, bpp, d), WritePixel(ps, bpp, s);
    proc(pd, ps, 1);
    return ReadPixel(pd, bpp);
}

TEST_P(BothKernels, RateBlendsAndSaturatingSumsMatchThePerPixelModel) {
    std::mt19937 rng(12);
    for (ZRPixFormat f : kFormats) {
        for (int trial = 0; trial < 12; ++trial) {
            const int rate = trial == 0   ? 64
                             : trial == 1 ? 1
                             : trial == 2 ? 127
                                          : 1 + int(rng() % 127);
            auto s1 = Make(f, 9, 8, rng, trial % 2);
            auto s2 = Make(f, 7, 9, rng);
            auto dst = Make(f, 10, 7, rng, trial % 3 == 0);
            const int x = int(rng() % 14) - 4, y = int(rng() % 12) - 4;
            const int x1 = int(rng() % 12) - 3, y1 = int(rng() % 10) - 3;
            const int x2 = int(rng() % 10) - 3, y2 = int(rng() % 10) - 3;
            const int w = 1 + rng() % 12, h = 1 + rng() % 10;
            const Image a = Snap(*s1), b = Snap(*s2);
            Image want = Snap(*dst);
            const int bpp = want.bpp;
            if (rate != 64) SetAlphaParam(rate);
            const ZRBlendProc blend = (rate == 64 ? RGBHalfProcTable : RGBAlphaProcTable)[f];
            for (int j = 0; j < h; ++j)
                for (int i = 0; i < w; ++i)
                    if (want.Inside(x + i, y + j) && a.Inside(x1 + i, y1 + j) &&
                        b.Inside(x2 + i, y2 + j))
                        want.at(x + i, y + j) =
                            OnePixel(blend, bpp, a.at(x1 + i, y1 + j), b.at(x2 + i, y2 + j));
            ASSERT_TRUE(dst->AlphaBlend(x, y, s1.get(), x1, y1, s2.get(), x2, y2, w, h, rate));
            ASSERT_EQ(Snap(*dst), want) << int(f) << " rate " << rate;

            Image sum = Snap(*dst);
            const bool add = trial % 2;
            const ZRCombineProc combine = (add ? RGBAddProcTable : RGBSubProcTable)[f];
            for (int j = 0; j < h; ++j)
                for (int i = 0; i < w; ++i)
                    if (sum.Inside(x + i, y + j) && a.Inside(x1 + i, y1 + j))
                        sum.at(x + i, y + j) =
                            OnePixel(combine, bpp, sum.at(x + i, y + j), a.at(x1 + i, y1 + j));
            ASSERT_TRUE(add ? dst->SaturationAdd(x, y, s1.get(), x1, y1, w, h)
                            : dst->SaturationSub(x, y, s1.get(), x1, y1, w, h));
            ASSERT_EQ(Snap(*dst), sum) << int(f) << (add ? " add" : " sub");
        }
    }
}

TEST(NyRGBBitsCopy, RateBlendEdges) {
    std::mt19937 rng(13);
    auto black = Blank(pf24_888, 4, 4);
    auto white = Blank(pf24_888, 4, 4);
    white->BoxFill(0, 0, 3, 3, 0xFFFFFF);
    auto dst = Blank(pf24_888, 4, 4);
    ASSERT_TRUE(dst->AlphaBlend(0, 0, black.get(), 0, 0, white.get(), 0, 0, 4, 4, 64));
    EXPECT_EQ(dst->PGet(3, 3), 0x7F7F7Fu);

    // Rates 0 and 128 are copies with the strict source rule; others clip.
    EXPECT_FALSE(dst->AlphaBlend(0, 0, black.get(), 1, 0, white.get(), 0, 0, 4, 4, 0));
    EXPECT_FALSE(dst->AlphaBlend(0, 0, black.get(), 0, 0, white.get(), 1, 0, 4, 4, 128));
    EXPECT_TRUE(dst->AlphaBlend(0, 0, black.get(), 1, 0, white.get(), 0, 0, 4, 4, 1));
    EXPECT_TRUE(dst->AlphaBlend(0, 0, black.get(), 0, 0, white.get(), 0, 0, 4, 4, 128));
    EXPECT_EQ(dst->PGet(0, 0), 0xFFFFFFu);
    const Image before = Snap(*dst);
    EXPECT_FALSE(dst->AlphaBlend(0, 0, black.get(), 0, 0, white.get(), 0, 0, 4, 4, 129));
    EXPECT_FALSE(dst->AlphaBlend(0, 0, black.get(), 0, 0, white.get(), 0, 0, 4, 4, -1));
    EXPECT_EQ(Snap(*dst), before);

    TNyRGBBits none;
    EXPECT_TRUE(dst->AlphaBlend(0, 0, &none, 0, 0, 4, 4, 0));
    EXPECT_FALSE(dst->AlphaBlend(0, 0, &none, 0, 0, 4, 4, 5));
    auto q = Make(pf32_888, 4, 4, rng);
    EXPECT_FALSE(q->AlphaBlend(0, 0, black.get(), 0, 0, white.get(), 0, 0, 4, 4, 10));

    // Over the destination: rate 32 moves a quarter of the way.
    dst->Cls();
    ASSERT_TRUE(dst->AlphaBlend(0, 0, white.get(), 0, 0, 4, 4, 32));
    EXPECT_EQ(dst->PGet(2, 2), 0x3F3F3Fu);
    dst->SetReverse(true);
    auto ramp = Blank(pf24_888, 4, 1);
    for (int i = 0; i < 4; ++i) ramp->PSet(i, 0, uint32_t(i + 1));
    ASSERT_TRUE(dst->AlphaBlend(0, 0, ramp.get(), 0, 0, 4, 1, 128));
    EXPECT_EQ(dst->PGet(0, 0), 4u) << "rate 128 is a mirrored Draw";
}

}  // namespace
