#include <gtest/gtest.h>

#include <vector>

#include "bitmaps.h"

using namespace testbits;

namespace {

std::vector<uint8_t> Values(const TNyAlpha& a) {
    std::vector<uint8_t> v;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x) v.push_back(a.PGet(x, y));
    return v;
}

TEST(NyAlpha, NewAndResizedPlanesAreOpaque) {
    TNyAlpha a;
    a.SetWidth(4);
    a.SetHeight(4);
    ASSERT_TRUE(a.Create());
    EXPECT_FALSE(a.Create());
    EXPECT_EQ(Values(a), std::vector<uint8_t>(16, 255));
    a.Fill(3);
    ASSERT_TRUE(a.Resize(8, 2));
    EXPECT_EQ(a.Pitch(), 8);
    EXPECT_EQ(Values(a), std::vector<uint8_t>(16, 255));
    EXPECT_EQ(a.Bits()[16], 0x55);
    EXPECT_EQ(a.PGet(-1, 0), 0);
    EXPECT_FALSE(a.PSet(8, 0, 1));
    EXPECT_FALSE(a.Resize(0, 1));
    TNyAlpha none;
    EXPECT_FALSE(none.PSet(0, 0, 1));
    EXPECT_FALSE(none.BoxFill(0, 0, 1, 1, 0));
}

TEST(NyAlpha, LinesBoxesAndToneDown) {
    TNyAlpha a;
    a.SetWidth(6);
    a.SetHeight(4);
    ASSERT_TRUE(a.Create());
    a.Fill(0);
    ASSERT_TRUE(a.Line(0, 0, 3, 1, 9));
    EXPECT_EQ(a.PGet(1, 0), 9);
    EXPECT_EQ(a.PGet(2, 1), 9);
    EXPECT_EQ(a.PGet(2, 0), 0);
    ASSERT_TRUE(a.BoxFill(7, 7, 4, 2, 200));
    EXPECT_EQ(a.PGet(4, 2), 200);
    EXPECT_EQ(a.PGet(5, 3), 200);
    EXPECT_EQ(a.PGet(3, 3), 0);
    a.Fill(255);
    a.PSet(0, 0, 1);
    ASSERT_TRUE(a.ToneDown(0, 0, 5, 3, 64));
    EXPECT_EQ(a.PGet(0, 0), 0);
    EXPECT_EQ(a.PGet(5, 3), 127);
    EXPECT_FALSE(a.ToneDown(0, 0, 5, 3, 129));
    EXPECT_TRUE(a.ToneDown(-9, -9, -1, -1, 0));
    EXPECT_EQ(a.PGet(5, 3), 127);
}

TEST(NyAlpha, BlocksClipAndDrawNeedsWholeSources) {
    std::mt19937 rng(41);
    auto src = MakePlane(5, 5, rng);
    TNyAlpha dst;
    dst.SetWidth(6);
    dst.SetHeight(6);
    ASSERT_TRUE(dst.Create());
    dst.Fill(0);
    EXPECT_FALSE(dst.Draw(0, 0, src.get(), 1, 0, 5, 5));
    EXPECT_EQ(Values(dst), std::vector<uint8_t>(36, 0));
    ASSERT_TRUE(dst.Draw(-2, 3, src.get(), 0, 0, 5, 5));
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x) {
            const bool in = x < 3 && y >= 3;
            ASSERT_EQ(dst.PGet(x, y), in ? src->PGet(x + 2, y - 3) : 0) << x << "," << y;
        }
    std::vector<uint8_t> out(4 * 4, 77);
    ASSERT_TRUE(src->GetAlpha(3, -1, 4, 4, out.data()));
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 4; ++i)
            ASSERT_EQ(out[j * 4 + i], i < 2 && j >= 1 ? src->PGet(3 + i, j - 1) : 77);
}

TEST_P(BothKernels, PlaneBlendsLevelsAndComposition) {
    std::mt19937 rng(42);
    auto a = MakePlane(7, 6, rng);
    auto b = MakePlane(6, 7, rng);
    auto dst = MakePlane(8, 5, rng);
    std::vector<uint8_t> want = Values(*dst);
    const int rate = 37;
    // Destination (i, j) mixes a at (i, j + 2) and b at (i - 1, j) where both exist.
    for (int j = 0; j < 5; ++j)
        for (int i = 0; i < 8; ++i) {
            const int ax = i, ay = j + 2, bx = i - 1, by = j;
            if (ax >= 7 || ay >= 6 || bx < 0 || bx >= 6 || by >= 7) continue;
            const int va = a->PGet(ax, ay), vb = b->PGet(bx, by);
            want[size_t(j) * 8 + i] = uint8_t(va + (((vb - va) * rate) >> 7));
        }
    ASSERT_TRUE(dst->AlphaBlend(0, 0, a.get(), 0, 2, b.get(), -1, 0, 9, 6, rate));
    EXPECT_EQ(Values(*dst), want);
    EXPECT_TRUE(dst->AlphaBlend(0, 0, a.get(), 0, 0, 4, 4, 0));
    EXPECT_EQ(Values(*dst), want);
    EXPECT_FALSE(dst->AlphaBlend(0, 0, a.get(), 0, 0, b.get(), 0, 0, 4, 4, 129));
    ASSERT_TRUE(dst->AlphaBlend(1, 1, a.get(), 0, 0, 4, 4, 128));
    EXPECT_EQ(dst->PGet(1, 1), a->PGet(0, 0));

    TNyAlpha levels;
    levels.SetWidth(4);
    levels.SetHeight(1);
    ASSERT_TRUE(levels.Create());
    TNyAlpha src;
    src.SetWidth(4);
    src.SetHeight(1);
    ASSERT_TRUE(src.Create());
    const uint8_t row[4] = {250, 239, 100, 0};
    src.PutAlpha(0, 0, 4, 1, row);
    ASSERT_TRUE(levels.Extract(0, 0, &src, 0, 0, 4, 1, 0));
    EXPECT_EQ(Values(levels), (std::vector<uint8_t>{170, 0, 0, 0}));
    ASSERT_TRUE(levels.SAdd(0, 0, &src, 0, 0, 4, 1, 300));
    EXPECT_EQ(Values(levels), (std::vector<uint8_t>{255, 255, 255, 255})) << "level 300 clamps";
    ASSERT_TRUE(levels.SSub(0, 0, &src, 0, 0, 4, 1, 100));
    EXPECT_EQ(Values(levels), (std::vector<uint8_t>{150, 139, 0, 0}));
    EXPECT_FALSE(levels.SSub(0, 0, &src, 1, 0, 4, 1, 1));
    ASSERT_TRUE(levels.SAdd(-2, 0, &src, 0, 0, 4, 1, 5));
    EXPECT_EQ(Values(levels), (std::vector<uint8_t>{105, 5, 0, 0}));
}

TEST(NyAlpha, ComposeRecordsTheSecondPlanesShare) {
    std::mt19937 rng(43);
    auto a = MakePlane(5, 5, rng), b = MakePlane(3, 3, rng);
    auto dst = MakePlane(5, 5, rng), ratio = MakePlane(4, 4, rng);
    ratio->Fill(9);
    ASSERT_TRUE(
        ComposeAlphaChannel(dst.get(), 0, 0, ratio.get(), a.get(), 0, 0, b.get(), 0, 0, 5, 5, 0));
    EXPECT_EQ(Values(*dst), Values(*a));
    EXPECT_EQ(ratio->PGet(2, 2), 0);
    EXPECT_EQ(ratio->PGet(3, 3), 9) << "only where b exists";

    ASSERT_TRUE(ComposeAlphaChannel(dst.get(), -1, 0, ratio.get(), a.get(), 0, 0, b.get(), 0, 0, 5,
                                    5, 128));
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 4; ++x) {
            const int bx = x + 1;
            const int vb = bx < 3 && y < 3 ? b->PGet(bx, y) : 0;
            ASSERT_EQ(dst->PGet(x, y), vb);
            if (bx < 3 && y < 3) {
                ASSERT_EQ(ratio->PGet(bx, y), vb ? 128 : 0);
            }
        }
    auto tiny = MakePlane(2, 2, rng);
    EXPECT_FALSE(
        ComposeAlphaChannel(dst.get(), 0, 0, tiny.get(), a.get(), 0, 0, b.get(), 0, 0, 1, 1, 64));
    EXPECT_FALSE(
        ComposeAlphaChannel(dst.get(), 0, 0, ratio.get(), a.get(), 0, 0, b.get(), 0, 0, 1, 1, 129));
}

}  // namespace
