#include "widgets/nyrgbparts.h"

#include <gtest/gtest.h>

#include "bitmaps.h"
#include "panels.h"

namespace {

TEST(PartsCutter, CutsTheTableAndSkipsRecordsOutsideTheSource) {
    std::mt19937 rng(3);
    auto src = testbits::Make(pf24_888, 64, 32, rng);
    auto plane = testbits::MakePlane(64, 32, rng);
    TNyRGBParts parts;
    const TNyPartsData table[] = {{0, 0, 32, 16, 2}, {32, 0, 32, 16, 1}, {-1, 0, 0, 0, 0}};
    ASSERT_TRUE(parts.SetParts(src.get(), table));
    ASSERT_EQ(parts.GetSize(), 2);
    EXPECT_EQ(parts.GetImage(0)->Width(), 32);
    EXPECT_EQ(parts.GetImage(0)->Height(), 32);
    EXPECT_EQ(parts.GetPattern(0), 2);
    EXPECT_EQ(parts.GetImage(1)->Height(), 16);
    EXPECT_EQ(parts.GetPattern(1), 1);
    EXPECT_EQ(parts.GetAlpha(0), nullptr);
    EXPECT_EQ(parts.GetImage(2), nullptr);
    EXPECT_EQ(parts.GetImage(-1), nullptr);
    EXPECT_EQ(parts.GetPattern(2), 0);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x) ASSERT_EQ(parts.GetImage(1)->PGet(x, y), src->PGet(32 + x, y));

    // Past the right edge, past the bottom, empty and negative records stay empty entries.
    const TNyPartsData mixed[] = {{40, 0, 25, 8, 1}, {8, 4, 8, 8, 2}, {0, 20, 4, 4, 4},
                                  {0, 0, 0, 4, 1},   {0, 0, 4, 4, -1}, {1, -1, 4, 4, 1}};
    ASSERT_TRUE(parts.SetParts(src.get(), plane.get(), mixed, 6));
    EXPECT_EQ(parts.GetSize(), 6);
    for (int i : {0, 2, 3, 4, 5}) {
        EXPECT_EQ(parts.GetImage(i), nullptr) << i;
        EXPECT_EQ(parts.GetPattern(i), 0) << i;
    }
    ASSERT_NE(parts.GetAlpha(1), nullptr);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 8; ++x) {
            ASSERT_EQ(parts.GetImage(1)->PGet(x, y), src->PGet(8 + x, 4 + y));
            ASSERT_EQ(parts.GetAlpha(1)->PGet(x, y), plane->PGet(8 + x, 4 + y));
        }
    // Parts are owned here and leave with the next cut.
    EXPECT_EQ(parts.ComponentCount(), 2);
    parts.FreeParts();
    EXPECT_EQ(parts.GetSize(), 0);
    EXPECT_EQ(parts.ComponentCount(), 0);

    TNyRGBBits uncreated;
    EXPECT_FALSE(parts.SetParts(&uncreated, table));
    EXPECT_FALSE(parts.SetParts(src.get(), nullptr, table, 0));
    EXPECT_FALSE(parts.SetParts(nullptr, table));
}

TEST(PartsCutter, DepthAndFormatFollowEachOtherUntilPartsExist) {
    TNyRGBParts parts;
    EXPECT_EQ(parts.GetBitDepth(), bd24);
    parts.SetBitDepth(bd32);
    EXPECT_EQ(parts.GetPixFormat(), pf32_888);
    parts.SetPixFormat(pf32_8888);
    EXPECT_EQ(parts.GetBitDepth(), bd32);
    parts.SetPixFormat(pf16_555);
    EXPECT_EQ(parts.GetBitDepth(), bd16);
    parts.SetBitDepth(bd16);
    EXPECT_EQ(parts.GetPixFormat(), pf16_555);

    std::mt19937 rng(4);
    auto src = testbits::Make(pf16_555, 8, 8, rng);
    const TNyPartsData table[] = {{0, 0, 8, 8, 1}, {-1, 0, 0, 0, 0}};
    ASSERT_TRUE(parts.SetParts(src.get(), table));
    EXPECT_EQ(parts.GetImage(0)->PixFormat(), pf16_555);
    parts.SetBitDepth(bd24);
    parts.SetPixFormat(pf24_888);
    EXPECT_EQ(parts.GetBitDepth(), bd16);
    EXPECT_EQ(parts.GetPixFormat(), pf16_555);
}

}  // namespace
