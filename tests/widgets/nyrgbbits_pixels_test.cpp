#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "bitmaps.h"
#include "media/zrrgbcopy.h"

using namespace testbits;

namespace {

std::set<std::pair<int, int>> SetPoints(TNyRGBBits& b) {
    std::set<std::pair<int, int>> s;
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            if (b.PGet(x, y)) s.insert({x, y});
    return s;
}

TEST(NyRGBBitsPixels, LinesWalkPixelCountsFromTheTopEnd) {
    auto b = Blank(pf24_888, 640, 8);
    ASSERT_TRUE(b->Line(0, 0, 3, 1, 1));
    EXPECT_EQ(SetPoints(*b), (std::set<std::pair<int, int>>{{0, 0}, {1, 0}, {2, 1}, {3, 1}}));
    b->Cls();
    ASSERT_TRUE(b->Line(1, 3, 0, 0, 1));
    EXPECT_EQ(SetPoints(*b), (std::set<std::pair<int, int>>{{0, 0}, {0, 1}, {1, 2}, {1, 3}}));
    b->Cls();
    ASSERT_TRUE(b->Line(-100000, 5, 10, 5, 1));
    EXPECT_EQ(SetPoints(*b).size(), 11u);
    b->Cls();
    ASSERT_TRUE(b->Line(7, 7, 7, 7, 1));
    EXPECT_EQ(SetPoints(*b), (std::set<std::pair<int, int>>{{7, 7}}));
}

TEST(NyRGBBitsPixels, SinglePixelsStayInsideAndKeepTheirWidth) {
    auto b = Blank(pf24_888, 4, 3);
    EXPECT_FALSE(b->PSet(4, 0, 1));
    EXPECT_FALSE(b->PSet(0, -1, 1));
    EXPECT_TRUE(b->PSet(3, 2, 0xAA123456));
    EXPECT_EQ(b->PGet(3, 2), 0x123456u);
    EXPECT_EQ(b->Bits()[b->Pitch() * 2 + 9], 0x56);
    EXPECT_EQ(b->Bits()[4 * 3 * 3], 0x55) << "the guard is untouched";
    EXPECT_EQ(b->PGet(-1, 0), 0u);
    b->PSet(0, 0, 0x0102);
    EXPECT_EQ(b->TopLeftGet(), 0x0102u);
    TNyRGBBits none;
    EXPECT_FALSE(none.PSet(0, 0, 1));
    EXPECT_EQ(none.TopLeftGet(), 0u);
}

TEST(NyRGBBitsPixels, BoxesClampOrderAndReportTheirCorners) {
    auto a = Blank(pf16_565, 64, 64);
    auto b = Blank(pf16_565, 64, 64);
    a->Box(10, 10, 50, 50, 7);
    b->Box(50, 50, 10, 10, 7);
    EXPECT_EQ(Snap(*a), Snap(*b));
    EXPECT_EQ(SetPoints(*a).size(), 160u);
    a->Cls(), b->Cls();
    a->Box(10, 10, 10, 50, 7);
    EXPECT_EQ(SetPoints(*a).size(), 41u);

    auto wide1 = Blank(pf32_888, 8, 8), wide2 = Blank(pf32_888, 8, 8);
    ZRRect r1{}, r2{};
    struct Grab {
        ZRRect* r;
        void On(plat::TComponent* s) { static_cast<TNyRGBBits*>(s)->GetModifiedRect(r); }
    } g1{&r1}, g2{&r2};
    wide1->OnChange = TNotifyEvent(&g1, &Grab::On);
    wide2->OnChange = TNotifyEvent(&g2, &Grab::On);
    EXPECT_TRUE(wide1->Box(2, 2, 100000, 5, 9));
    EXPECT_TRUE(wide2->Box(2, 2, 32768, 5, 9));
    EXPECT_EQ(Snap(*wide1), Snap(*wide2));
    EXPECT_EQ(r1.right, 8);

    auto f = Blank(pf24_888, 20, 20);
    EXPECT_TRUE(f->BoxFill(10, 10, 5, 5, 1));
    EXPECT_EQ(SetPoints(*f).size(), 36u);
    EXPECT_TRUE(f->BoxFill(-5, -5, -1, -1, 2));
    EXPECT_TRUE(f->BoxFill(0, 0, 0, 0, 3));
    EXPECT_EQ(SetPoints(*f).size(), 37u);
}

// The model of a block put: source pixel (i, j) lands on (x + i, y + j), or on
// (x + w - 1 - i, y + j) into a mirrored bitmap, where the mask bit allows and inside the bitmap.
void PutModel(Image& im, int x, int y, int w, int h, const std::vector<uint32_t>& block,
              bool mirror, const std::vector<uint8_t>* mask, int mw, int mh, const uint32_t* key) {
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            const int dx = mirror ? x + w - 1 - i : x + i;
            if (!im.Inside(dx, y + j)) continue;
            const uint32_t v = block[size_t(j) * w + i];
            if (key && v == *key) continue;
            if (mask) {
                const int b = i % mw;
                if (!((*mask)[size_t(j % mh) * ((mw + 7) / 8) + b / 8] & (0x80 >> (b % 8))))
                    continue;
            }
            im.at(dx, y + j) = v;
        }
}

TEST_P(BothKernels, BlockPutsClipOnEverySideInEveryFormat) {
    std::mt19937 rng(7);
    for (ZRPixFormat f : kFormats) {
        for (int trial = 0; trial < 40; ++trial) {
            const bool bottomUp = trial % 2, mirror = trial % 3 == 0;
            const int W = 5 + rng() % 12, H = 4 + rng() % 9;
            auto b = Make(f, W, H, rng, bottomUp);
            b->SetReverse(mirror);
            const int w = 1 + rng() % 20, h = 1 + rng() % 12;
            const int x = int(rng() % 30) - 12, y = int(rng() % 24) - 10;
            const int bpp = b->BitDepth();
            const int step = w * bpp + 3;
            std::vector<unsigned char> raw(size_t(step) * h);
            std::vector<uint32_t> block(size_t(w) * h);
            for (int j = 0; j < h; ++j)
                for (int i = 0; i < w; ++i) {
                    uint32_t v = rng() % 3 == 0 ? 0x0000A5A5u : uint32_t(rng());
                    v &= bpp == 4 ? 0xFFFFFFFFu : (1u << (8 * bpp)) - 1;
                    block[size_t(j) * w + i] = v;
                    WritePixel(&raw[size_t(j) * step + size_t(i) * bpp], bpp, v);
                }
            const int mw = 1 + rng() % 11, mh = 1 + rng() % 4;
            std::vector<uint8_t> mask(size_t((mw + 7) / 8) * mh);
            for (auto& m : mask) m = uint8_t(rng());
            const uint32_t key = 0x0000A5A5u;
            const int kind = trial % 4;

            Image want = Snap(*b);
            bool done;
            if (kind == 0) {
                done = b->PutPatPitch(x, y, w, h, raw.data(), step);
                PutModel(want, x, y, w, h, block, mirror, nullptr, 0, 0, nullptr);
            } else if (kind == 1) {
                done = b->PasPatPitch(x, y, w, h, raw.data(), step, key);
                PutModel(want, x, y, w, h, block, mirror, nullptr, 0, 0, &key);
            } else {
                // Packed rows for the mask form.
                std::vector<unsigned char> packed(size_t(w) * bpp * h);
                for (int j = 0; j < h; ++j)
                    std::memcpy(&packed[size_t(j) * w * bpp], &raw[size_t(j) * step],
                                size_t(w) * bpp);
                done = b->PasMPat(x, y, w, h, packed.data(), mask.data(), mw, mh);
                PutModel(want, x, y, w, h, block, mirror, &mask, mw, mh, nullptr);
            }
            ASSERT_TRUE(done);
            ASSERT_EQ(Snap(*b), want) << "format " << int(f) << " trial " << trial << " at " << x
                                      << "," << y << " " << w << "x" << h;
            EXPECT_EQ(b->LockCount(), 0);
        }
    }
}

TEST(NyRGBBitsPixels, MirroredPutsAndTheirRefusals) {
    auto b = Blank(pf32_888, 6, 1);
    b->SetReverse(true);
    const uint32_t row[4] = {0xA, 0xB, 0xC, 0xD};
    auto bytes = reinterpret_cast<const unsigned char*>(row);
    b->PutPat(0, 0, 4, 1, bytes);
    EXPECT_EQ(Snap(*b).px, (std::vector<uint32_t>{0xD, 0xC, 0xB, 0xA, 0, 0}));
    b->Cls();
    b->PutPat(-1, 0, 4, 1, bytes);
    EXPECT_EQ(Snap(*b).px, (std::vector<uint32_t>{0xC, 0xB, 0xA, 0, 0, 0}));
    auto narrow = Blank(pf32_888, 3, 1);
    narrow->SetReverse(true);
    narrow->PutPat(0, 0, 4, 1, bytes);
    EXPECT_EQ(Snap(*narrow).px, (std::vector<uint32_t>{0xD, 0xC, 0xB}));
    narrow->SetReverse(false);
    EXPECT_FALSE(narrow->NyPutPatR(0, 0, 1, 1, bytes, 4, false, 0));
    const uint8_t mask[1] = {0xFF};
    EXPECT_FALSE(narrow->NyPutPatMR(0, 0, 1, 1, bytes, 4, mask, 8, 1));
}

TEST(NyRGBBitsPixels, MaskedPutsRefuseMissingOrEmptyMasks) {
    auto b = Blank(pf24_888, 8, 8);
    const unsigned char block[3] = {1, 2, 3};
    const uint8_t mask[1] = {0x80};
    EXPECT_FALSE(b->PasMPat(0, 0, 1, 1, block, nullptr, 8, 1));
    EXPECT_FALSE(b->PasMPat(0, 0, 1, 1, block, mask, 0, 1));
    EXPECT_FALSE(b->PasMPat(0, 0, 1, 1, block, mask, 8, 0));
    EXPECT_FALSE(b->PasMPat(-2, 0, 3, 1, block, mask, -1, 1));
    EXPECT_TRUE(b->PasMPat(0, 0, 1, 1, block, mask, 1, 1));
    EXPECT_EQ(b->PGet(0, 0), 0x030201u);
}

TEST(NyRGBBitsPixels, GetPatFillsOnlyTheVisiblePartOfTheBlock) {
    std::mt19937 rng(3);
    auto b = Make(pf16_4444, 6, 5, rng, true);
    const Image im = Snap(*b);
    std::vector<uint16_t> block(10 * 4, 0xEEEE);
    ASSERT_TRUE(b->GetPat(-4, 3, 10, 4, reinterpret_cast<unsigned char*>(block.data())));
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 10; ++i) {
            const bool inside = im.Inside(i - 4, j + 3);
            ASSERT_EQ(block[j * 10 + i], inside ? im.at(i - 4, j + 3) : 0xEEEE) << i << "," << j;
        }
    EXPECT_TRUE(b->GetPat(10, 10, 2, 2, nullptr));
    TNyRGBBits none;
    EXPECT_FALSE(none.GetPat(0, 0, 1, 1, reinterpret_cast<unsigned char*>(block.data())));
}

TEST(NyRGBBitsPixels, PutReportsItsBlockClippedByTheNotice) {
    auto b = Blank(pf24_888, 20, 10);
    ZRRect r{};
    struct Grab {
        ZRRect* r;
        void On(plat::TComponent* s) { static_cast<TNyRGBBits*>(s)->GetModifiedRect(r); }
    } g{&r};
    b->OnChange = TNotifyEvent(&g, &Grab::On);
    std::vector<unsigned char> block(10 * 3 * 2, 9);
    ASSERT_TRUE(b->PutPat(-5, 0, 10, 2, block.data()));
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.right, 5);
    EXPECT_EQ(r.bottom, 2);
    EXPECT_EQ(b->PGet(4, 1), 0x090909u);
    EXPECT_EQ(b->PGet(5, 1), 0u);
    ASSERT_TRUE(b->PasPat(0, 0, 10, 2, block.data(), 0x090909));
    EXPECT_EQ(b->PGet(7, 0), 0u) << "every block pixel is the key";
    EXPECT_TRUE(b->PutPat(30, 0, 10, 2, block.data()));
}

TEST_P(BothKernels, IndexedBlocksExpandThroughThePalette) {
    std::mt19937 rng(11);
    ZRQuad palette[256];
    for (auto& q : palette) q = ZRQuad{uint8_t(rng()), uint8_t(rng()), uint8_t(rng()), 0};
    for (ZRPixFormat f : kFormats) {
        auto b = Make(f, 7, 5, rng, f == pf24_888);
        std::vector<unsigned char> idx(12 * 9);
        for (auto& v : idx) v = uint8_t(rng());
        Image want = Snap(*b);
        const int x = -2, y = 1, sx = 3, sy = 2, w = 8, h = 6;
        for (int j = 0; j < h; ++j)
            for (int i = 0; i < w; ++i)
                if (want.Inside(x + i, y + j)) {
                    const ZRQuad q = palette[idx[size_t(sy + j) * 12 + sx + i]];
                    want.at(x + i, y + j) = ConvertRGBtoProcTable[f](ZRRGB(q).ToDWORD());
                }
        ASSERT_TRUE(b->IndexColorCopy(x, y, idx.data(), palette, sx, sy, w, h, 12));
        EXPECT_EQ(Snap(*b), want) << int(f);
        EXPECT_FALSE(b->IndexColorCopy(0, 0, nullptr, palette, 0, 0, 1, 1, 1));
    }
}

INSTANTIATE_TEST_SUITE_P(Kernels, BothKernels, ::testing::Values(false, true));

}  // namespace
